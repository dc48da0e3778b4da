#include "InstanceDataManager.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::checkIdentifier;
using detail::quoteIdentifier;
using detail::StatementLease;

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

// Runs a prepared write to its end.
ResultMsg stepWrite(detail::Connection& conn, detail::Statement& stmt, const std::string& table,
                    const std::vector<std::string>& columns) {
    if (stmt.step() == detail::StepResult::Done) return ResultMsg();
    return writeFailure(conn, table, columns);
}

// Prepares `sql`, binds the row's values and then the condition values, and
// runs it. An INSERT whose backend returns the new "id" as a row hands it to
// `newID`.
ResultMsg writeRow(detail::Connection& conn, const std::string& sql, const ITableData& row,
                   const std::vector<std::string>& conditionValues, long long* newID = nullptr,
                   detail::StatementKind kind = detail::StatementKind::Other) {
    StatementLease lease;
    ResultMsg r = conn.prepare(sql, lease, kind);
    if (!r.ok()) return conn.explainFailure(row._tableInnerName, rowColumns(row), r);
    for (int i = 0; i < row._colNum; ++i) {
        detail::bindRowValue(*lease, i + 1, row._colValue[i], row._colType[i]);
    }
    bindWhereValues(*lease, row._colNum + 1, conditionValues);
    // The column list is only needed to explain a failure.
    const detail::StepResult rc = lease->step();
    if (rc == detail::StepResult::Row && newID != nullptr) {
        *newID = lease->columnInt64(0);
        return ResultMsg();
    }
    if (rc == detail::StepResult::Done) {
        if (newID != nullptr) *newID = conn.lastInsertRowId();
        return ResultMsg();
    }
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

bool sameConditionParts(const std::vector<std::string>& parts,
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

bool sameSelect(const detail::SelectShape& shape, const std::string& table,
                const std::vector<MNormalColumn>& columns,
                const std::list<IQueryCondition>& conditions, const IOrderClause* order) {
    if (shape.table != table || shape.names.size() != columns.size() ||
        !sameConditionParts(shape.conditionParts, conditions) ||
        shape.ordered != (order != nullptr)) {
        return false;
    }
    if (order != nullptr && (shape.orderAttribute != order->orderAttribute ||
                             shape.orderDirection != order->orderDirection)) {
        return false;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (shape.names[i] != columns[i]._innerName || shape.types[i] != columns[i]._dataType)
            return false;
    }
    return true;
}

// The checked SELECT of the columns asked for (or all columns of the table)
// under the conditions and the order, with what it is built from.
ResultMsg selectShape(detail::Connection& conn, const std::string& table,
                      const std::vector<MNormalColumn>& columns,
                      const std::list<IQueryCondition>& conditions, const IOrderClause* order,
                      detail::SelectShape& shape) {
    ResultMsg rm;
    std::vector<std::string>& names = shape.names;
    std::vector<int>& types = shape.types;
    if (columns.empty()) {
        const std::vector<detail::ColumnInfo>* layout = nullptr;
        rm = conn.tableColumns(table, layout);
        if (!rm.ok()) return rm;
        for (const detail::ColumnInfo& info : *layout) {
            names.push_back(info.name);
            types.push_back(detail::typeFromDeclared(info.declaredType));
        }
    } else {
        for (const MNormalColumn& column : columns) {
            rm = checkIdentifier(column._innerName, "列");
            if (!rm.ok()) return rm;
            names.push_back(column._innerName);
            types.push_back(column._dataType);
        }
    }
    if (names.size() > static_cast<std::size_t>(ITABLEDATA_MAX_COLUMNS)) {
        return ResultMsg(SRV_ERR_ARGUMENT, "查询的列数超过80：" + table);
    }

    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < names.size(); ++i) {
        sql += (i ? "," : "") + quoteIdentifier(names[i]);
    }
    sql += " FROM " + quoteIdentifier(table);
    std::vector<std::string> values;
    rm = detail::appendWhere(conn, conditions, sql, values);
    if (!rm.ok()) return rm;
    std::string orderColumn;
    if (order != nullptr) {
        orderColumn = order->orderAttribute;
        StringHelper::TrimSpace(orderColumn);
    }
    rm = detail::appendOrderBy(conn, order, orderColumn, sql);
    if (!rm.ok()) return rm;

    shape.referenced = names;
    for (const IQueryCondition& condition : conditions) {
        shape.referenced.push_back(condition.columnInnerName);
        shape.conditionParts.push_back(condition.columnInnerName);
        shape.conditionParts.push_back(condition.operation);
        shape.conditionParts.push_back(condition.logicRelation);
    }
    if (!orderColumn.empty()) shape.referenced.push_back(orderColumn);
    shape.ordered = order != nullptr;
    if (order != nullptr) {
        shape.orderAttribute = order->orderAttribute;
        shape.orderDirection = order->orderDirection;
    }
    // Numbers from one counter for the process: no two shapes share one.
    static std::atomic<std::uint64_t> lastLayoutKey{0};
    shape.layoutKey = lastLayoutKey.fetch_add(1, std::memory_order_relaxed) + 1;
    shape.uniqueNames = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t k = 0; k < i; ++k)
            shape.uniqueNames = shape.uniqueNames && names[k] != names[i];
    }
    shape.table = table;
    shape.sql = std::move(sql);
    return rm;
}

// The row a read hands its visitor: the shape's own unless a nested read of
// the same shape holds it, with the names and types set and every other slot
// empty (a visitor may have written anywhere in it).
class ShapeRow {
public:
    explicit ShapeRow(detail::SelectShape& shape) : shape_(shape) {
        if (shape.rowBusy) {
            own_ = std::make_unique<ITableData>();
            row_ = own_.get();
        } else {
            shape.rowBusy = true;
            row_ = &shape.row;
        }
        ITableData& row = *row_;
        row._tableInnerName = shape.table;
        const int count = static_cast<int>(shape.names.size());
        row._colNum = count;
        for (int i = 0; i < ITABLEDATA_MAX_COLUMNS; ++i) {
            if (i < count) {
                row._cloInnerName[i] = shape.names[i];
                row._colType[i] = shape.types[i];
                continue;
            }
            if (!row._cloInnerName[i].empty()) row._cloInnerName[i].clear();
            if (!row._colValue[i].empty()) row._colValue[i].clear();
            row._colType[i] = 0;
        }
    }
    ~ShapeRow() {
        if (!own_) shape_.rowBusy = false;
    }
    ShapeRow(const ShapeRow&) = delete;
    ShapeRow& operator=(const ShapeRow&) = delete;

    ITableData& get() { return *row_; }

private:
    detail::SelectShape& shape_;
    ITableData* row_ = nullptr;
    std::unique_ptr<ITableData> own_;
};

}  // namespace

ResultMsg InstanceDataManager::addITableData(const ITableData& row, int commitType) {
    int ignored = 0;
    return addITableData(row, commitType, ignored);
}

ResultMsg InstanceDataManager::addITableData(const ITableData& row, int commitType, int& newID) {
    detail::Connection& conn = *connection_;
    const detail::RowShape& shape = insertStatement(conn, row);
    if (shape.sql.empty()) return checkRow(row);
    return conn.write(commitType, [&]() {
        static const std::vector<std::string> noConditions;
        long long id = 0;
        ResultMsg r = writeRow(conn, shape.sql, row, noConditions, &id, shape.kind);
        if (!r.ok()) return r;
        // A row stored under an identifier of its own keeps the backend's
        // next identifiers above it.
        for (int i = 0; i < row._colNum; ++i) {
            if (isIdColumn(row._cloInnerName[i]) && !row._colValue[i].empty()) {
                r = conn.explicitIdStored(row._tableInnerName, id);
                if (!r.ok()) return r;
            }
        }
        if (id > INT_MAX) {
            return ResultMsg(SRV_ERR_ARGUMENT, "行标识超出32位范围：" + std::to_string(id));
        }
        newID = static_cast<int>(id);
        return r;
    });
}

ResultMsg InstanceDataManager::updateITableData(const ITableData& row,
                                                const std::list<IQueryCondition>& conditions,
                                                int commitType) {
    int ignored = 0;
    return updateITableData(row, conditions, commitType, ignored);
}

ResultMsg InstanceDataManager::updateITableData(const ITableData& row,
                                                const std::list<IQueryCondition>& conditions,
                                                int commitType, int& changedRows) {
    detail::Connection& conn = *connection_;
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

ResultMsg InstanceDataManager::getITableData(const std::string& table,
                                             const std::vector<MNormalColumn>& columns,
                                             const std::list<IQueryCondition>& conditions,
                                             std::list<ITableData>& rows,
                                             const IOrderClause* order) {
    return forEachITableData(table, columns, conditions, order, [&rows](ITableData& row) {
        rows.push_back(row);
        return true;
    });
}

ResultMsg InstanceDataManager::forEachITableData(const std::string& table,
                                                 const std::vector<MNormalColumn>& columns,
                                                 const std::list<IQueryCondition>& conditions,
                                                 const IOrderClause* order,
                                                 const RowVisitor& visit) {
    std::shared_ptr<detail::SelectShape> shape;
    std::unique_ptr<ShapeRow> row;
    return readRows(*connection_, table, columns, conditions, order, shape,
                    [&](const ResultRow& result) {
                        if (!row) row = std::make_unique<ShapeRow>(*shape);
                        ITableData& data = row->get();
                        for (int i = 0; i < result.count(); ++i)
                            result.text(i, data._colValue[i]);
                        return visit(data);
                    });
}

ResultMsg InstanceDataManager::forEachResultRow(const std::string& table,
                                                const std::vector<MNormalColumn>& columns,
                                                const std::list<IQueryCondition>& conditions,
                                                const IOrderClause* order,
                                                const ResultRowVisitor& visit) {
    if (columns.empty()) return ResultMsg(SRV_ERR_ARGUMENT, "没有给出要读取的列：" + table);
    std::shared_ptr<detail::SelectShape> shape;
    return readRows(*connection_, table, columns, conditions, order, shape, visit);
}

ResultMsg InstanceDataManager::readRows(detail::Connection& conn, const std::string& table,
                                        const std::vector<MNormalColumn>& columns,
                                        const std::list<IQueryCondition>& conditions,
                                        const IOrderClause* order,
                                        std::shared_ptr<detail::SelectShape>& shape,
                                        const ResultRowVisitor& visit) {
    // A run of reads of one shape (a finder called in a loop) checks and
    // builds its text once.
    shape = conn.cache().lastSelect();
    const bool known =
        !columns.empty() && shape && sameSelect(*shape, table, columns, conditions, order);
    ResultMsg rm;
    if (!known) {
        rm = checkIdentifier(table, "表");
        if (!rm.ok()) return rm;
    }
    rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    if (!known) {
        shape = std::make_shared<detail::SelectShape>();
        rm = selectShape(conn, table, columns, conditions, order, *shape);
        if (!rm.ok()) return rm;
        if (!columns.empty()) conn.cache().lastSelect() = shape;
    }

    StatementLease lease;
    if (!StatementLease::lendIdle(shape->statement, lease)) {
        rm = conn.prepare(shape->sql, lease);
        if (!rm.ok()) return conn.explainFailure(table, shape->referenced, rm);
        shape->statement = lease.held();
    }
    int parameter = 1;
    for (const IQueryCondition& condition : conditions)
        detail::bindConditionValue(*lease, parameter++, condition.columValue);

    const ResultRow row(*lease, shape->names, shape->uniqueNames, shape->layoutKey);
    detail::StepResult rc;
    while ((rc = lease->step()) == detail::StepResult::Row) {
        if (!visit(row)) return rm;
    }
    if (rc != detail::StepResult::Done) {
        return conn.explainFailure(table, shape->referenced,
                                   conn.engineError(SRV_ERR_ENGINE, "读取表" + table + "失败"));
    }
    return rm;
}

int ResultRow::indexOf(const std::string& name, int hint) const {
    const std::vector<std::string>& names = *names_;
    if (uniqueNames_ && hint >= 0 && hint < count() && names[hint] == name) return hint;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<int>(i);
    }
    return -1;
}

void ResultRow::text(int column, std::string& out) const {
    detail::readColumnText(statement_, column, out);
}

bool ResultRow::integer(int column, long long& value) const {
    return statement_.readInteger(column, value);
}

bool ResultRow::real(int column, double& value) const {
    return statement_.readReal(column, value);
}

ResultMsg InstanceDataManager::deleteITableDataById(const std::string& table, int id,
                                                    int commitType) {
    IQueryCondition byId;
    byId.columnInnerName = "id";
    byId.operation = "=";
    byId.columValue = StringHelper::int2String(id);
    return deleteITableDataByCondition(table, {byId}, commitType);
}

ResultMsg InstanceDataManager::deleteITableDataAll(const std::string& table, int commitType) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (!rm.ok()) return rm;
    detail::Connection& conn = *connection_;
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

ResultMsg InstanceDataManager::deleteITableDataByCondition(
    const std::string& table, const std::list<IQueryCondition>& conditions, int commitType) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (!rm.ok()) return rm;
    if (conditions.empty()) {
        return ResultMsg(SRV_ERR_ARGUMENT, "按条件删除时没有给出条件：" + table);
    }
    detail::Connection& conn = *connection_;
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

ResultMsg InstanceDataManager::updateIBlobTableData(const std::string& table,
                                                    const std::string& column, const double* data,
                                                    int count, int id, int commitType) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (rm.ok()) rm = checkIdentifier(column, "列");
    if (!rm.ok()) return rm;
    if (count < 0 || (count > 0 && data == nullptr) ||
        static_cast<long long>(count) * sizeof(double) > INT_MAX) {
        return ResultMsg(SRV_ERR_ARGUMENT,
                         "blob数据的个数或指针不合法：" + StringHelper::int2String(count));
    }
    const std::string sql = "UPDATE " + quoteIdentifier(table) + " SET " + quoteIdentifier(column) +
                            " = ? WHERE \"id\" = ?";
    detail::Connection& conn = *connection_;
    return conn.write(commitType, [&]() {
        StatementLease lease;
        ResultMsg r = conn.prepare(sql, lease);
        if (!r.ok()) return conn.explainFailure(table, {column, "id"}, r);
        lease->bindBlob(1, data, static_cast<std::size_t>(count) * sizeof(double));
        lease->bindInt64(2, id);
        r = stepWrite(conn, *lease, table, {column, "id"});
        // The statement stays cached; it need not keep a copy of the blob.
        lease->clearBindings();
        if (r.ok() && conn.changes() == 0) {
            r = ResultMsg(SRV_ERR_NO_ROW,
                          "记录不存在：" + table + " id = " + StringHelper::int2String(id));
        }
        return r;
    });
}

ResultMsg InstanceDataManager::getIBlobTableData(const std::string& table,
                                                 const std::string& column, int id, double*& data,
                                                 int& count) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (rm.ok()) rm = checkIdentifier(column, "列");
    if (!rm.ok()) return rm;
    detail::Connection& conn = *connection_;
    StatementLease lease;
    rm = conn.prepare("SELECT " + quoteIdentifier(column) + " FROM " + quoteIdentifier(table) +
                          " WHERE \"id\" = ?",
                      lease);
    if (!rm.ok()) return conn.explainFailure(table, {column, "id"}, rm);
    lease->bindInt64(1, id);
    const detail::StepResult rc = lease->step();
    if (rc == detail::StepResult::Done) {
        return ResultMsg(SRV_ERR_NO_ROW,
                         "记录不存在：" + table + " id = " + StringHelper::int2String(id));
    }
    if (rc != detail::StepResult::Row) {
        return conn.explainFailure(table, {column, "id"},
                                   conn.engineError(SRV_ERR_ENGINE, "读取blob数据失败"));
    }
    const std::string bytes = lease->columnBytes(0);
    const std::size_t size = bytes.size();
    if (size == 0) {
        data = nullptr;
        count = 0;
        return rm;
    }
    // A blob whose length is no multiple of 8 gets its last value zero-padded.
    const int values = static_cast<int>((size + sizeof(double) - 1) / sizeof(double));
    double* out = new double[values]();
    std::memcpy(out, bytes.data(), size);
    data = out;
    count = values;
    return rm;
}

}  // namespace MeridianSpace
