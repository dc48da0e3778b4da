#pragma once

// Which records of a table a model version shows, and in what order: the
// rule M_EntityTableDAO::getNormalColumnDAOList and ModelVersionRecords
// share. Internal to arx_qms.
#include <cstddef>
#include <list>
#include <vector>

namespace MeridianSpace {

class M_NormalColumnDAO;

/// A table or column exists in model version v when addVersion <= v < delVersion.
inline bool existsInVersion(int addVersion, int delVersion, int version) {
    return addVersion <= version && version < delVersion;
}

/// The places in `found` (the `count` records of one table, as stored) of
/// those that exist in `version`, in the order the version shows them: each
/// in the place its first record took when it entered the table.
void versionColumnPlaces(const M_NormalColumnDAO* const* found, std::size_t count, int version,
                         std::vector<std::size_t>& places);

/// Moves the columns of one table (`found`, as stored) that exist in
/// `version` to the end of `out`, in versionColumnPlaces' order.
void takeVersionColumns(std::list<M_NormalColumnDAO*>& found, int version,
                        std::list<M_NormalColumnDAO*>& out);

}  // namespace MeridianSpace
