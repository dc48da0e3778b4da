#pragma once

// Which records of a table a model version shows, and in what order: the
// rule M_EntityTableDAO::getNormalColumnDAOList and ModelVersionRecords
// share. Internal to arx_qms.
#include <list>

namespace MeridianSpace {

class M_NormalColumnDAO;

/// A table or column exists in model version v when addVersion <= v < delVersion.
inline bool existsInVersion(int addVersion, int delVersion, int version) {
    return addVersion <= version && version < delVersion;
}

/// Moves the columns of one table (`found`, as stored) that exist in
/// `version` to the end of `out`, each in the place its first record took
/// when it entered the table.
void takeVersionColumns(std::list<M_NormalColumnDAO*>& found, int version,
                        std::list<M_NormalColumnDAO*>& out);

}  // namespace MeridianSpace
