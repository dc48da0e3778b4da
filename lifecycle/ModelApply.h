#pragma once

// Making a model version match a model description (a model file), through
// the records' own operations, in one transaction of the configuration
// database: tables and columns with a key are the stored ones of that key
// (a changed name or display name is a change of them, never a drop and an
// add), items without a key are new, stored items the description leaves
// out end. Whatever the records refuse, and whatever would not match the
// description afterwards, refuses the whole apply and nothing stays written;
// a refusal names the line and column of the file.
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ModelDescription.h"
#include "ModelDiff.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// A change of the apply outside the tables' and columns' own (those are
/// ModelChange records of the model diff). A plain value record; texts GBK.
struct StructureChange {
    enum class Kind {
        /// An attribute of the model record.
        ModelChanged,
        FolderAdded,
        FolderChanged,
        FolderEnded,
        /// An attribute of a table that the model diff does not compare.
        TableChanged,
        /// The folders that hold a table.
        TableMoved,
        DefinitionAdded,
        DefinitionChanged,
        DefinitionEnded,
    };
    Kind kind = Kind::FolderAdded;
    /// A folder's path, a table's name, "Table.Definition" or the model's name.
    std::string subject;
    /// The attribute's name in the file ("display", "parameters", "folders").
    std::string attribute;
    std::string before;
    std::string after;
};

/// Stable ASCII names for output: "model-changed", "folder-added", ...
ARX const char* structureChangeName(StructureChange::Kind kind);

struct ApplyOptions {
    /// Everything is done and checked, then rolled back: the plan says what
    /// the apply would do.
    bool dryRun = false;
};

/// What an apply did (or, in a dry run, would do). A plain value record.
struct ApplyPlan {
    std::string modelName;
    int version = 0;
    /// The tables and columns of the version before against after, in the
    /// form and order of the model diff.
    std::vector<ModelChange> changes;
    std::vector<StructureChange> structure;
    /// True once the apply was committed.
    bool applied = false;
};

/// Stateless; works on the current configuration database, used by one
/// thread at a time.
class ARX ModelApply {
public:
    /// Makes the newest version of the model that `model` names (its project
    /// and name) match `file`. A locked newest version is refused
    /// ("upgrade first"), and so is a file that gives keys but names another
    /// model in its header, a key that is none of the model's tables or
    /// columns (a key that is exactly the inner name the new item gets is
    /// taken for that item), duplicate keys or names, and a reference to a
    /// table or column the file does not hold.
    static ResultMsg apply(const M_EntityModelDAO& model, const ModelDescription& file,
                           const ApplyOptions& options, ApplyPlan& plan);
    /// Stores a new model `name` (of the file's type and attributes) in the
    /// project `projectID` and applies `file` to it, in one transaction.
    /// Refused when the project has a model of that name.
    static ResultMsg applyAsNewModel(int projectID, const std::string& name,
                                     const ModelDescription& file, const ApplyOptions& options,
                                     ApplyPlan& plan);
    /// Locks the newest version of the model `model` names, makes the next
    /// one (M_EntityModelDAO::upgradeNewVersion) and applies `file` to it,
    /// in one transaction.
    static ResultMsg applyAsNewVersion(const M_EntityModelDAO& model, const ModelDescription& file,
                                       const ApplyOptions& options, ApplyPlan& plan);
};

}  // namespace MeridianSpace
