// The row reads of InstanceDataManager: the checked SELECT text, cached by
// shape, run with each row read in place or copied into the shape's row.
#include "detail/RowReads.h"

#include <atomic>
#include <memory>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"
#include "detail/RowWrites.h"

namespace MeridianSpace {

using detail::checkIdentifier;
using detail::quoteIdentifier;
using detail::sameConditionParts;
using detail::StatementLease;

namespace {

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

// The names and types of the columns asked for (or all columns of the table).
ResultMsg selectedColumns(detail::Connection& conn, const std::string& table,
                          const std::vector<MNormalColumn>& columns,
                          std::vector<std::string>& names, std::vector<int>& types) {
    ResultMsg rm;
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
    return rm;
}

// The checked SELECT of the columns asked for (or all columns of the table)
// under the conditions and the order, with what it is built from.
ResultMsg selectShape(detail::Connection& conn, const std::string& table,
                      const std::vector<MNormalColumn>& columns,
                      const std::list<IQueryCondition>& conditions, const IOrderClause* order,
                      detail::SelectShape& shape) {
    std::vector<std::string>& names = shape.names;
    ResultMsg rm = selectedColumns(conn, table, columns, names, shape.types);
    if (!rm.ok()) return rm;

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

ResultMsg detail::RowReads::forEachITableData(const std::string& table,
                                              const std::vector<MNormalColumn>& columns,
                                              const std::list<IQueryCondition>& conditions,
                                              const IOrderClause* order,
                                              const InstanceDataManager::RowVisitor& visit) {
    std::shared_ptr<detail::SelectShape> shape;
    std::unique_ptr<ShapeRow> row;
    return readRows(table, columns, conditions, order, shape, [&](const ResultRow& result) {
        if (!row) row = std::make_unique<ShapeRow>(*shape);
        ITableData& data = row->get();
        for (int i = 0; i < result.count(); ++i)
            result.text(i, data._colValue[i]);
        return visit(data);
    });
}

ResultMsg detail::RowReads::forEachResultRow(const std::string& table,
                                             const std::vector<MNormalColumn>& columns,
                                             const std::list<IQueryCondition>& conditions,
                                             const IOrderClause* order,
                                             const InstanceDataManager::ResultRowVisitor& visit) {
    if (columns.empty()) return ResultMsg(SRV_ERR_ARGUMENT, "没有给出要读取的列：" + table);
    std::shared_ptr<detail::SelectShape> shape;
    return readRows(table, columns, conditions, order, shape, visit);
}

ResultMsg detail::RowReads::readRows(const std::string& table,
                                     const std::vector<MNormalColumn>& columns,
                                     const std::list<IQueryCondition>& conditions,
                                     const IOrderClause* order,
                                     std::shared_ptr<detail::SelectShape>& shape,
                                     const InstanceDataManager::ResultRowVisitor& visit) {
    detail::Connection& conn = conn_;
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

ResultRow::Kind ResultRow::value(int column, long long& integer, double& real,
                                 std::string& text) const {
    switch (statement_.readValue(column, integer, real, text)) {
        case detail::ValueType::Integer:
            return Kind::Integer;
        case detail::ValueType::Real:
            return Kind::Real;
        case detail::ValueType::Null:
            text.clear();
            return Kind::Text;
        default:
            return Kind::Text;
    }
}

}  // namespace MeridianSpace
