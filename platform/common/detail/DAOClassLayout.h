#pragma once

// What the common library knows of a registered class: its table and the
// columns its mapper writes, worked out once from a fresh object. Internal.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DAOFactoryRegistry.h"
#include "ITableData.h"
#include "MNormalColumn.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
class DAO;
class Mapper;
}  // namespace MeridianSpace

namespace MeridianSpace::detail {

/// Layouts are shared, never changed once made: several threads may read one.
class DAOClassLayout {
public:
    /// The layout of a registered class; COM_ERR_UNKNOWN_CLASS or
    /// COM_ERR_MAPPER when it cannot be worked out. The cache is guarded.
    static ResultMsg of(const std::string& className, std::shared_ptr<const DAOClassLayout>& out);

    /// The column a member name stands for: member _x matches, ignoring case,
    /// the column x, Mx, x_N or Mx_N (N a number), exact matches first.
    /// Each name is worked out once and remembered (guarded).
    ResultMsg resolve(const std::string& attribute, std::string& column) const;

    std::string className;
    DAOFactory factory = nullptr;
    std::string table;
    /// "id" first, then the mapper's columns in its order.
    std::vector<MNormalColumn> columns;

private:
    ResultMsg match(const std::string& attribute, std::string& column) const;

    mutable std::mutex resolvedMutex_;
    mutable std::map<std::string, std::string, std::less<>> resolved_;
};

/// The row a mapper makes of an object, with the table name filled in from
/// the mapper when the mapper leaves it empty. Every reading of a mapper's
/// answer goes through here: a column count outside 0..80 is refused before
/// anyone reads the slots.
ResultMsg mapObject(DAO& object, Mapper& mapper, ITableData& row);

/// True for the columns that lookups use as keys: identifier columns such as
/// "T_M_EntityTableID", "RProjectID" or "MRDictItemID_2".
bool isKeyColumn(const std::string& column);

}  // namespace MeridianSpace::detail
