#pragma once

// The differences between two layouts of a model's data: two versions of
// one model, or an instance file's physical tables and the version it
// claims. Tables and columns are matched by inner name, which a table and a
// column keep in every version: a changed name is a rename by identity, an
// ended column a drop, never a guess.
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "MNormalColumn.h"
#include "MTable.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class M_EntityModelDAO;

/// One table of a layout and its columns, in their order.
struct LayoutTable {
    MTable table;
    std::list<MNormalColumn> columns;
};
/// The tables of a model version or of a database, in their order.
using ModelLayout = std::vector<LayoutTable>;

/// One difference. A plain value record.
struct ModelChange {
    enum class Kind {
        TableAdded,
        TableEnded,
        ColumnAdded,
        ColumnEnded,
        /// Name or display name (see attribute).
        Renamed,
        TypeChanged,
        DefaultChanged,
        IndexChanged,
        UniqueChanged,
        /// Maximum or minimum length, digits or decimals (see attribute).
        LengthChanged,
    };
    enum class Safety {
        /// No row or value can be lost.
        Safe,
        /// Fails on some rows (duplicates for a new unique column, values a
        /// new type cannot hold); the migration checks the rows first.
        DataDependent,
        /// Rows or values are dropped.
        Destructive,
    };

    Kind kind = Kind::TableAdded;
    Safety safety = Safety::Safe;
    /// The table: identifier (0 in a database layout), name, inner name.
    int tableID = 0;
    std::string tableName;
    std::string tableInnerName;
    /// The column's record on each side (0 where the side lacks it or the
    /// change is a table's), name and inner name; empty for a table.
    int fromColumnID = 0;
    int toColumnID = 0;
    std::string columnName;
    std::string columnInnerName;
    /// The metadata column that changed ("DataType", "MaxLength", ...;
    /// between layouts read from a database "StorageType", whose values are
    /// InstanceDataManager::storageType codes), empty for an added or ended
    /// table or column.
    std::string attribute;
    /// The values before and after, as text.
    std::string before;
    std::string after;
};

/// Stable ASCII names for output: "table-added", ..., "length-changed".
ARX const char* changeKindName(ModelChange::Kind kind);
/// "safe", "data-dependent", "destructive".
ARX const char* safetyName(ModelChange::Safety safety);

/// Stateless; may be used from any thread that may use the current databases.
class ARX ModelDiff {
public:
    /// The layout of `version` of the model that `model` names (its project
    /// and name): the tables linked to that version's record that exist in
    /// it, each once in link order, and their columns of that version in
    /// identifier order. A version without a record is refused.
    static ResultMsg readVersion(const M_EntityModelDAO& model, int version, ModelLayout& layout);
    /// The changes that turn `from` into `to`: tables in `to`'s order, then
    /// the ended ones; within a table the columns the same way. With
    /// `physicalOnly` only what a database holds is compared (tables,
    /// columns, storage types (InstanceDataManager::storageType), defaults,
    /// indexes), for layouts read from a database.
    static std::vector<ModelChange> compare(const ModelLayout& from, const ModelLayout& to,
                                            bool physicalOnly = false);
    /// The changes from version `fromVersion` to `toVersion` of the model.
    static ResultMsg between(const M_EntityModelDAO& model, int fromVersion, int toVersion,
                             std::vector<ModelChange>& changes);
};

}  // namespace MeridianSpace
