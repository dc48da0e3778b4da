#pragma once

// The JSON of the records, one shape for each: `qms ... --json` prints it
// and `qms serve` answers it. Texts are UTF-8. Each throws Failure when a
// read fails.
#include <list>
#include <string>
#include <vector>

#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_ProjectDAO.h"
#include "ModelDiff.h"
#include "ModelVersionRecords.h"
#include "Output.h"

namespace qms {

/// The name of the project with that identifier, or empty.
std::string projectName(int projectID);

/// A project in a list: id, name, type, author, updated.
Json projectJson(const M_ProjectDAO& project);
/// A project with its fields and its models (id, name, version).
Json projectDetailJson(M_ProjectDAO& project);

/// A model version in a list: id, name, version, type, locked, project.
Json modelJson(const M_EntityModelDAO& model, const std::string& project);
/// Models as modelJson, each project's name read once.
Json modelsJson(const std::list<M_EntityModelDAO*>& models);
/// The folders, tables and columns of the model version (ModelVersionRecords).
/// `members` as ModelVersionRecords::read takes them.
ModelVersionRecords readModelVersion(const M_EntityModelDAO& model,
                                     ColumnMembers members = ColumnMembers::All);
/// A model version with its display name and its folder tree (each folder
/// with its tables and sub-folders); with `ids` (qms serve), each folder
/// and table also with its "id".
Json modelDetailJson(const ModelVersionRecords& records, bool ids = false);
/// The same, read first.
Json modelDetailJson(const M_EntityModelDAO& model, bool ids = false);
/// The folder tree of modelDetailJson as indented lines, from `depth`.
std::string folderTreeText(const Json& folders, int depth);
/// The tables of modelDetailJson's folder tree, each once by name, as
/// lines "  NAME" with " (DISPLAY)" where the display name differs.
std::string tableListText(const Json& folders);

/// A table of a model version: its names, the version that added it, its
/// folder paths, its columns (name, display name, type, inner name, default,
/// flags, the name of the table it refers to) and its query and delete definitions.
Json tableJson(M_EntityModelDAO& model, M_EntityTableDAO& table);
/// tableJson as the lines of `qms table show`.
std::string tableText(const Json& table);

/// One change of a model diff: kind, safety, table and column (names,
/// inner names, identifiers), attribute, before and after (a data type by
/// its name). Also the drift and the checks of `qms data check|migrate`.
Json changeJson(const ModelChange& change);
/// The changes as an array of changeJson.
Json changeListJson(const std::vector<ModelChange>& changes);
/// The changes of `model` from version `from` to version `to`, as `qms
/// model diff --json` prints them: model, from, to, changes.
Json modelDiffJson(const M_EntityModelDAO& model, int from, int to,
                   const std::vector<ModelChange>& changes);

}  // namespace qms
