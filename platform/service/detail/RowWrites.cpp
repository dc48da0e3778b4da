// The row writes of InstanceDataManager: the checked INSERT, UPDATE and
// DELETE texts, cached by shape, and their runs inside the session's writes.
#include "detail/RowWrites.h"

#include <algorithm>
#include <climits>
#include <functional>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::checkIdentifier;
using detail::quoteIdentifier;
using detail::sameConditionParts;
using detail::StatementLease;
using detail::stepWrite;

namespace {

// Checks what a row brings before any SQL is built from it.
ResultMsg checkRow(const ITableData& row) {
    ResultMsg rm = checkIdentifier(row._tableInnerName, "表");
    if (!rm.ok()) return rm;
    if (row._colNum < 0 || row._colNum > ITABLEDATA_MAX_COLUMNS) {
        return ResultMsg(SRV_ERR_ARGUMENT,
                         "列数超出范围（0到80）：" + StringHelper::int2String(row._colNum));
    }
    for (int i = 0; i < row._colNum; ++i) {
        rm = checkIdentifier(row._cloInnerName[i], "列");
        if (!rm.ok()) return rm;
        for (int k = 0; k < i; ++k) {
            if (StringHelper::equalsIgnoreCase(row._cloInnerName[k], row._cloInnerName[i])) {
                return ResultMsg(SRV_ERR_ARGUMENT, "同一列出现两次：" + row._cloInnerName[i]);
            }
        }
    }
    return rm;
}

std::vector<std::string> rowColumns(const ITableData& row) {
    return std::vector<std::string>(row._cloInnerName, row._cloInnerName + row._colNum);
}

void bindWhereValues(detail::Statement& stmt, int first, const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        detail::bindConditionValue(stmt, first + static_cast<int>(i), values[i]);
    }
}

// Why a write on `table` failed: the table or one of `columns` missing, or
// the engine's own answer.
ResultMsg writeFailure(detail::Connection& conn, const std::string& table,
                       const std::vector<std::string>& columns) {
    ResultMsg failure = conn.engineError(SRV_ERR_ENGINE, "写入表" + table + "失败");
    return conn.explainFailure(table, columns, failure);
}

// Prepares `sql`, binds the row's values and then the condition values, and
// runs it.
ResultMsg writeRow(detail::Connection& conn, const std::string& sql, const ITableData& row,
                   const std::vector<std::string>& conditionValues) {
    StatementLease lease;
    ResultMsg r = conn.prepare(sql, lease);
    if (!r.ok()) return conn.explainFailure(row._tableInnerName, rowColumns(row), r);
    for (int i = 0; i < row._colNum; ++i) {
        detail::bindRowValue(*lease, i + 1, row._colValue[i], row._colType[i]);
    }
    bindWhereValues(*lease, row._colNum + 1, conditionValues);
    // The column list is only needed to explain a failure.
    if (lease->step() == detail::StepResult::Done) return ResultMsg();
    return writeFailure(conn, row._tableInnerName, rowColumns(row));
}

bool isIdColumn(const std::string& column) {
    return StringHelper::equalsIgnoreCase(column, "id");
}

// The checked INSERT text of the row's layout and its kind; the text is
// empty when the row is refused (checkRow tells why). Repeated layouts reuse
// the shape of the last insert.
const detail::RowShape& insertStatement(detail::Connection& conn, const ITableData& row) {
    detail::RowShape& shape = conn.cache().lastInsert();
    bool same = row._colNum >= 0 && shape.table == row._tableInnerName &&
                shape.columns.size() == static_cast<std::size_t>(row._colNum);
    for (int i = 0; same && i < row._colNum; ++i)
        same = shape.columns[i] == row._cloInnerName[i];
    if (same) return shape;

    shape = detail::RowShape();
    if (!checkRow(row).ok()) return shape;
    std::string sql = "INSERT INTO " + quoteIdentifier(row._tableInnerName);
    bool plain = conn.dialect().insertReturnsId() && row._colNum > 0;
    if (row._colNum == 0) {
        sql += " DEFAULT VALUES";
    } else {
        std::string names, marks;
        for (int i = 0; i < row._colNum; ++i) {
            names += (i ? "," : "") + quoteIdentifier(row._cloInnerName[i]);
            marks += i ? ",?" : "?";
            plain = plain && !isIdColumn(row._cloInnerName[i]);
        }
        sql += " (" + names + ") VALUES (" + marks + ")";
    }
    sql += conn.dialect().insertReturning();
    shape.table = row._tableInnerName;
    shape.columns = rowColumns(row);
    shape.sql = std::move(sql);
    shape.kind = plain ? detail::StatementKind::PlainInsert : detail::StatementKind::Other;
    return shape;
}

// The checked UPDATE text of the row's layout and the conditions' columns,
// operations and relations (their values are bound, so they may differ);
// empty with the refusal in `rm`. A run of updates of one shape checks and
// builds it once.
const std::string& updateStatement(detail::Connection& conn, const ITableData& row,
                                   const std::list<IQueryCondition>& conditions, ResultMsg& rm) {
    detail::UpdateShape& shape = conn.cache().lastUpdate();
    bool same = row._colNum > 0 && shape.row.table == row._tableInnerName &&
                shape.row.columns.size() == static_cast<std::size_t>(row._colNum) &&
                sameConditionParts(shape.conditionParts, conditions);
    for (int i = 0; same && i < row._colNum; ++i)
        same = shape.row.columns[i] == row._cloInnerName[i];
    if (same) return shape.row.sql;

    shape = detail::UpdateShape();
    rm = checkRow(row);
    if (!rm.ok()) return shape.row.sql;
    if (row._colNum == 0) {
        rm = ResultMsg(SRV_ERR_ARGUMENT, "没有要更新的列：" + row._tableInnerName);
        return shape.row.sql;
    }
    std::string sql = "UPDATE " + quoteIdentifier(row._tableInnerName) + " SET ";
    for (int i = 0; i < row._colNum; ++i) {
        sql += (i ? "," : "") + quoteIdentifier(row._cloInnerName[i]) + "=?";
    }
    std::vector<std::string> ignored;
    rm = detail::appendWhere(conn, conditions, sql, ignored);
    if (!rm.ok()) return shape.row.sql;
    shape.row.table = row._tableInnerName;
    shape.row.columns = rowColumns(row);
    for (const IQueryCondition& condition : conditions) {
        shape.conditionParts.push_back(condition.columnInnerName);
        shape.conditionParts.push_back(condition.operation);
        shape.conditionParts.push_back(condition.logicRelation);
    }
    shape.row.sql = std::move(sql);
    return shape.row.sql;
}

}  // namespace

// Runs a prepared write to its end.
ResultMsg detail::stepWrite(detail::Connection& conn, detail::Statement& stmt,
                            const std::string& table, const std::vector<std::string>& columns) {
    if (stmt.step() == detail::StepResult::Done) return ResultMsg();
    return writeFailure(conn, table, columns);
}

bool detail::sameConditionParts(const std::vector<std::string>& parts,
                                const std::list<IQueryCondition>& conditions) {
    if (parts.size() != conditions.size() * 3) return false;
    std::size_t k = 0;
    for (const IQueryCondition& condition : conditions) {
        if (parts[k] != condition.columnInnerName || parts[k + 1] != condition.operation ||
            parts[k + 2] != condition.logicRelation) {
            return false;
        }
        k += 3;
    }
    return true;
}

ResultMsg detail::insertShapeOf(Connection& conn, const ITableData& row, RowShape& out) {
    const detail::RowShape& shape = insertStatement(conn, row);
    if (shape.sql.empty()) return checkRow(row);
    out = shape;
    return ResultMsg();
}

ResultMsg detail::insertRow(Connection& conn, const RowShape& shape, int commitType,
                            const std::function<void(Statement&)>& bind, bool explicitId,
                            int& newID, int rows) {
    return conn.write(commitType, [&]() {
        StatementLease lease;
        ResultMsg r = conn.prepare(shape.sql, lease, shape.kind);
        if (!r.ok()) return conn.explainFailure(shape.table, shape.columns, r);
        bind(*lease);
        long long id = 0, first = 0;
        const detail::StepResult rc = lease->step();
        if (rc == detail::StepResult::Row) {
            id = first = lease->columnInt64(0);
        } else if (rc == detail::StepResult::Done) {
            // The last row's; the rows before it have the ones below.
            id = conn.lastInsertRowId();
            first = conn.dialect().insertIdsFollowRows() ? id - (rows - 1) : id;
        } else {
            return writeFailure(conn, shape.table, shape.columns);
        }
        // A row stored under an identifier of its own keeps the backend's
        // next identifiers above it.
        if (explicitId) {
            r = conn.catalogue().explicitIdStored(shape.table, id);
            if (!r.ok()) return r;
        }
        if (id > INT_MAX) {
            // The rows are stored already: take them out again, so that
            // the refused insert leaves nothing behind.
            lease->reset();
            r = detail::forEachResultRow(
                conn,
                "DELETE FROM " + quoteIdentifier(shape.table) +
                    " WHERE \"id\" >= ?1 AND \"id\" <= ?2",
                [first, id](detail::Statement& s) {
                    s.bindInt64(1, std::min(first, id));
                    s.bindInt64(2, id);
                },
                [](const detail::Statement&) {}, "撤销插入失败：" + shape.table);
            if (!r.ok()) return r;
            return ResultMsg(SRV_ERR_ARGUMENT, "行标识超出32位范围：" + std::to_string(id));
        }
        newID = static_cast<int>(first);
        return r;
    });
}

ResultMsg detail::RowWrites::addITableData(const ITableData& row, int commitType, int& newID) {
    detail::Connection& conn = conn_;
    const detail::RowShape& shape = insertStatement(conn, row);
    if (shape.sql.empty()) return checkRow(row);
    bool explicitId = false;
    for (int i = 0; i < row._colNum; ++i)
        explicitId = explicitId || (isIdColumn(row._cloInnerName[i]) && !row._colValue[i].empty());
    return insertRow(
        conn, shape, commitType,
        [&row](Statement& stmt) {
            for (int i = 0; i < row._colNum; ++i)
                detail::bindRowValue(stmt, i + 1, row._colValue[i], row._colType[i]);
        },
        explicitId, newID);
}

ResultMsg detail::RowWrites::updateITableData(const ITableData& row,
                                              const std::list<IQueryCondition>& conditions,
                                              int commitType, int& changedRows) {
    detail::Connection& conn = conn_;
    ResultMsg rm;
    const std::string& sql = updateStatement(conn, row, conditions, rm);
    if (sql.empty()) return rm;
    std::vector<std::string> values;
    values.reserve(conditions.size());
    for (const IQueryCondition& condition : conditions)
        values.push_back(condition.columValue);
    return conn.write(commitType, [&]() {
        ResultMsg r = writeRow(conn, sql, row, values);
        if (r.ok()) changedRows = conn.changes();
        return r;
    });
}

ResultMsg detail::RowWrites::deleteITableDataAll(const std::string& table, int commitType) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (!rm.ok()) return rm;
    detail::Connection& conn = conn_;
    const std::string sql = "DELETE FROM " + quoteIdentifier(table);
    return conn.write(commitType, [&]() {
        StatementLease lease;
        ResultMsg r = conn.prepare(sql, lease);
        if (!r.ok()) return conn.explainFailure(table, {}, r);
        r = stepWrite(conn, *lease, table, {});
        // SQLite empties a table without visiting its rows, which reaches no
        // update hook.
        conn.tableRowsChanged(table);
        return r;
    });
}

ResultMsg detail::RowWrites::deleteITableDataByCondition(
    const std::string& table, const std::list<IQueryCondition>& conditions, int commitType) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (!rm.ok()) return rm;
    if (conditions.empty()) {
        return ResultMsg(SRV_ERR_ARGUMENT, "按条件删除时没有给出条件：" + table);
    }
    detail::Connection& conn = conn_;
    std::string sql = "DELETE FROM " + quoteIdentifier(table);
    std::vector<std::string> values;
    rm = detail::appendWhere(conn, conditions, sql, values);
    if (!rm.ok()) return rm;
    std::vector<std::string> referenced;
    for (const IQueryCondition& condition : conditions) {
        referenced.push_back(condition.columnInnerName);
    }
    return conn.write(commitType, [&]() {
        StatementLease lease;
        ResultMsg r = conn.prepare(sql, lease);
        if (!r.ok()) return conn.explainFailure(table, referenced, r);
        bindWhereValues(*lease, 1, values);
        return stepWrite(conn, *lease, table, referenced);
    });
}

}  // namespace MeridianSpace
