#pragma once

// Finding the records a command names: projects, models, tables, folders
// and columns by name, projects and models also by identifier.
#include <string>

#include "Cli.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"

namespace qms {

// Finding records by name (names in UTF-8 as typed, matched exactly). Each
// throws Failure when the lookup cannot read ("cannot look up ..."),
// NotFound when nothing matches, and Failure when more than one record matches, naming the
// identifiers of the matches for --id.
/// The project of that name, or with the identifier `id` when above 0.
M_ProjectDAO findProject(const std::string& name, int id = 0);
/// Whether a project of exactly that name is stored.
bool projectExists(const std::string& name);
/// The model of that name (in `project` when not empty); the highest
/// version unless `version` is above 0. With `id` above 0, the model
/// version with that identifier.
M_EntityModelDAO findModel(const std::string& name, const std::string& project = "",
                           int version = 0, int id = 0);
M_EntityTableDAO findTable(M_EntityModelDAO& model, const std::string& name);
/// The table with identifier `id` in the model's version.
M_EntityTableDAO findTableByID(M_EntityModelDAO& model, int id);
/// A folder by its path of names from the root ("Sales/Orders").
M_FolderDAO findFolder(M_EntityModelDAO& model, const std::string& path);
M_NormalColumnDAO findColumn(M_EntityModelDAO& model, M_EntityTableDAO& table,
                             const std::string& name);
/// The folder with identifier `id` among the model version's folders.
M_FolderDAO findFolderByID(const M_EntityModelDAO& model, int id);
/// The column with identifier `id` among the table's columns in the model's version.
M_NormalColumnDAO findColumnByID(M_EntityModelDAO& model, M_EntityTableDAO& table, int id);

/// Whether a project (its name in GBK) is the platform's own, which holds
/// the configuration database's self-description: lists leave it out
/// unless asked for all.
bool isPlatformProject(const std::string& name);

/// Column data type by name: int 1, text 2, real 3, bytes 4, blob 5.
int dataTypeOf(const std::string& name);
std::string dataTypeName(int dataType);

}  // namespace qms
