#pragma once

// Looking up the records of one model version for the model file
// operations. Internal to arx_qms.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "M_EntityModelDAO.h"
#include "M_FolderDAO.h"
#include "ModelDescription.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class M_DelByInterfaceDAO;

/// The record of version `version` (the newest when 0) of the model that
/// `model` names (its project and name). A version without a record is refused.
ResultMsg findVersionRecord(const M_EntityModelDAO& model, int version, M_EntityModelDAO& out);

/// A folder of a model version and its path of names from the root.
struct FolderAt {
    std::unique_ptr<M_FolderDAO> folder;
    std::string path;
    /// Index of the parent in the list; -1 for a root folder.
    int parent = -1;
};

/// Every folder of the model record `modelID`, parents before children and
/// siblings in the order they were made.
ResultMsg listFolders(int modelID, std::vector<FolderAt>& out);

/// "A/B": the path of a folder under `parent` (empty at the root).
std::string childPath(const std::string& parent, const std::string& name);

/// A stored query or delete definition described with column names: the
/// parameter entries as the generator reads them (split at "#", fields at
/// ",", the first field a column _ID) and the ordering's columns; entries
/// and ordering columns that name none of `columnNames` (by _ID) are left out.
DefinitionDescription describeDefinition(const M_FindByInterfaceDAO& stored,
                                         const std::map<int, std::string>& columnNames);
/// True when two definitions have the same attributes and lists.
bool sameDefinition(const DefinitionDescription& a, const DefinitionDescription& b);
/// The same for a delete definition (no ordering).
DefinitionDescription describeDefinition(const M_DelByInterfaceDAO& stored,
                                         const std::map<int, std::string>& columnNames);

}  // namespace MeridianSpace
