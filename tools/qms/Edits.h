#pragma once

// The edits of projects, models, folders, tables and columns that both the
// qms commands and qms serve make. Each checks what the library leaves to
// its caller, runs the library's own operations in one transaction of the
// configuration database and throws when refused, having written nothing:
// EditRefused when the input is wrong, Failure when the library refuses
// (its message after "cannot ..."), NotFound for a record that is missing.
// Names are UTF-8. Used by the library's thread only.
#include <memory>
#include <optional>
#include <string>

#include "Cli.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"

namespace MeridianSpace {
class Transaction;
}

namespace qms {

/// A refused edit: the input it concerns ("name", "folder", ...; empty for
/// the record itself) and what would let it pass; what() is the message
/// qms prints.
struct EditRefused : Failure {
    EditRefused(std::string field, const std::string& message, std::string hint)
        : Failure(message), field(std::move(field)), hint(std::move(hint)) {}
    std::string field, hint;
};

/// One transaction of the configuration database around an edit, rolled
/// back unless committed; nested in another it is a savepoint.
class EditTransaction {
public:
    /// `what` begins the message of a failure ("cannot add table 'T'").
    explicit EditTransaction(std::string what);
    ~EditTransaction();
    EditTransaction(const EditTransaction&) = delete;
    EditTransaction& operator=(const EditTransaction&) = delete;
    void commit();

private:
    std::string what_;
    std::unique_ptr<MeridianSpace::Transaction> transaction_;
};

/// Throws EditRefused unless the model version may change (it is not
/// locked); makes its project the one that saves stamp.
void requireChangeable(const M_EntityModelDAO& model);

/// A new folder below `parent` (a root folder for null).
M_FolderDAO addFolder(M_EntityModelDAO& model, M_FolderDAO* parent, const std::string& name,
                      bool generateDao);
/// Deletes the folder with its sub-folders and tables; answers the
/// library's report of what went or changed outside it ("kind,id#...").
std::string deleteFolder(M_EntityModelDAO& model, M_FolderDAO& folder);

M_EntityTableDAO addTable(M_EntityModelDAO& model, M_FolderDAO& folder, const std::string& name,
                          const std::string& display);
/// A new display name and/or another folder of the model for the table.
void changeTable(M_EntityModelDAO& model, M_EntityTableDAO& table,
                 const std::optional<std::string>& display, M_FolderDAO* folder);
/// Answers the library's report as deleteFolder does.
std::string deleteTable(M_EntityModelDAO& model, M_EntityTableDAO& table);

/// What a new column is given or a change sets; unset: the default of a
/// new column, unchanged for a change.
struct ColumnFields {
    std::optional<int> dataType;  // dataTypeOf()
    std::optional<std::string> display, defaultValue;
    std::optional<int> index, unique, maxLength;  // 0/1, 0/1, from 1
    std::optional<int> references;                // a table of the model; 0 for none
    bool findKey = false;                         // new columns only
};
M_NormalColumnDAO addColumn(M_EntityModelDAO& model, M_EntityTableDAO& table,
                            const std::string& name, const ColumnFields& fields);
/// Changes the column from this version on (earlier versions keep it).
void changeColumn(M_EntityModelDAO& model, M_NormalColumnDAO& column, const ColumnFields& fields);
/// Ends the column in this version (deleted when this version added it).
void deleteColumn(M_EntityModelDAO& model, M_NormalColumnDAO& column);

/// A new project; refused (EditRefused on "name") when one has that name.
M_ProjectDAO createProject(const std::string& name, const std::string& author, int type);
/// A new model (version 1) of the project.
M_EntityModelDAO createModel(M_ProjectDAO& project, const std::string& name, int type,
                             const std::string& display);
/// Locks the highest version and makes the next one; answers it.
M_EntityModelDAO upgradeModel(M_EntityModelDAO& model);
/// Takes back the upgrade that made this version while nothing in it
/// changed: deletes it and leaves the version before it locked as it was
/// before the upgrade (`wasLocked`), which it answers.
M_EntityModelDAO withdrawUpgrade(M_EntityModelDAO& model, bool wasLocked);
/// Locks this version (nothing more may change in it).
void lockModel(M_EntityModelDAO& model);
/// Deletes every version of the model's name in its project.
void deleteModel(M_EntityModelDAO& model);
/// Deletes the project with its models; the platform's own project stays.
void deleteProject(M_ProjectDAO& project);

}  // namespace qms
