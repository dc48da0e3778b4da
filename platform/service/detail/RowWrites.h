#pragma once

// Inserts, updates and deletes the rows of one database's tables.
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "IQueryCondition.h"
#include "ITableData.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

class Connection;
class Statement;

/// The row writes InstanceDataManager forwards, on its connection. Used by
/// the thread that uses the session.
class RowWrites {
public:
    explicit RowWrites(Connection& conn) : conn_(conn) {}

    ResultMsg addITableData(const ITableData& row, int commitType, int& newID);
    ResultMsg updateITableData(const ITableData& row, const std::list<IQueryCondition>& conditions,
                               int commitType, int& changedRows);
    ResultMsg deleteITableDataAll(const std::string& table, int commitType);
    ResultMsg deleteITableDataByCondition(const std::string& table,
                                          const std::list<IQueryCondition>& conditions,
                                          int commitType);

private:
    Connection& conn_;
};

struct RowShape;

/// The checked INSERT of rows of `row`'s table and column names (its values
/// are not looked at), into `out`; the refusal when a name is not sound.
ResultMsg insertShapeOf(Connection& conn, const ITableData& row, RowShape& out);
/// Inserts one row through the statement of `shape` (prepared once, then
/// taken from the connection's cache), its values bound by `bind`, as a
/// write of `commitType`; `newID` is the identifier the row got.
/// `explicitId`: the row brings its own "id". A statement of `rows` rows
/// stores all or none of them; `newID` is then the first row's identifier
/// where Dialect::insertIdsFollowRows() (row r's is newID + r), otherwise
/// one of theirs.
ResultMsg insertRow(Connection& conn, const RowShape& shape, int commitType,
                    const std::function<void(Statement&)>& bind, bool explicitId, int& newID,
                    int rows = 1);

/// Runs a prepared write on `table` to its end; a failure says which of
/// `columns` (or the table) is missing, or what the engine answered.
ResultMsg stepWrite(Connection& conn, Statement& stmt, const std::string& table,
                    const std::vector<std::string>& columns);

/// True when `parts` (column, operation, relation of each condition) are
/// those of `conditions`: a cached statement of that shape fits them.
bool sameConditionParts(const std::vector<std::string>& parts,
                        const std::list<IQueryCondition>& conditions);

}  // namespace detail
}  // namespace MeridianSpace
