#include "RowInserter.h"

#include <algorithm>

#include "ITableData.h"
#include "InstanceDataManager.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "detail/RowWrites.h"

namespace MeridianSpace {

RowInserter::RowInserter() = default;

RowInserter::~RowInserter() = default;

ResultMsg RowInserter::prepare(InstanceDataManager& idm, const std::string& table,
                               const std::vector<std::string>& columns, int rows) {
    shape_.reset();
    values_.clear();
    rows_ = std::max(rows, 1);
    width_ = static_cast<int>(columns.size());
    base_ = 0;
    idsFollowRows_ = false;
    const std::shared_ptr<detail::Connection> connection = idm.connection_;
    connection_ = connection;
    ResultMsg rm = connection->checkOpen();
    if (!rm.ok()) return rm;
    if (columns.size() > static_cast<std::size_t>(ITABLEDATA_MAX_COLUMNS)) {
        return ResultMsg(SRV_ERR_ARGUMENT,
                         "列数超出范围（0到80）：" + std::to_string(columns.size()));
    }
    // The names are checked and the text built the way a row's insert is.
    ITableData layout;
    layout._tableInnerName = table;
    layout._colNum = static_cast<int>(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i)
        layout._cloInnerName[i] = columns[i];
    auto shape = std::make_unique<detail::RowShape>();
    rm = detail::insertShapeOf(*connection, layout, *shape);
    if (!rm.ok()) return rm;
    for (const std::string& column : columns) {
        if (StringHelper::equalsIgnoreCase(column, "id")) {
            return ResultMsg(SRV_ERR_ARGUMENT, "批量插入的行标识由数据库分配：" + table);
        }
    }
    if (rows > 1 && !columns.empty()) {
        // The same list of values once per row, before the RETURNING part.
        const std::string returning = connection->dialect().insertReturning();
        std::string& sql = shape->sql;
        sql.resize(sql.size() - returning.size());
        const std::string values = sql.substr(sql.rfind(" VALUES ") + 8);
        for (int row = 1; row < rows; ++row)
            sql += "," + values;
        sql += returning;
    }
    shape_ = std::move(shape);
    values_.resize(columns.size() * static_cast<std::size_t>(rows_));
    idsFollowRows_ = rows_ == 1 || connection->dialect().insertIdsFollowRows();
    return rm;
}

int RowInserter::rowsPerInsert(std::size_t columns) {
    constexpr std::size_t kRows = 64, kParameters = 999;
    return static_cast<int>(
        std::max<std::size_t>(1, std::min(kRows, columns == 0 ? kRows : kParameters / columns)));
}

bool RowInserter::isFor(const InstanceDataManager& idm) const {
    return !connection_.owner_before(idm.connection_) &&
           !idm.connection_.owner_before(connection_) && !connection_.expired();
}

ResultMsg RowInserter::insert(int commitType, int& newID) {
    if (!shape_) return ResultMsg(SRV_ERR_ARGUMENT, "插入语句尚未准备。");
    const std::shared_ptr<detail::Connection> connection = connection_.lock();
    if (!connection) return ResultMsg(SRV_ERR_ARGUMENT, "插入语句的数据库已关闭。");
    ResultMsg rm = detail::insertRow(
        *connection, *shape_, commitType,
        [this](detail::Statement& stmt) {
            for (std::size_t i = 0; i < values_.size(); ++i) {
                const Value& v = values_[i];
                const int index = static_cast<int>(i) + 1;
                switch (v.kind) {
                    case Value::Kind::Integer:
                        stmt.bindInt64(index, v.integer);
                        break;
                    case Value::Kind::Real:
                        stmt.bindDouble(index, v.real);
                        break;
                    case Value::Kind::Text:
                        stmt.bindTextInPlace(index, v.text->data(), v.text->size());
                        break;
                    case Value::Kind::RowText:
                        detail::bindRowValue(stmt, index, *v.text, static_cast<int>(v.integer));
                        break;
                    default:
                        stmt.bindNull(index);
                }
            }
        },
        false, newID, rows_);
    for (Value& v : values_)
        v = Value();
    base_ = 0;
    return rm;
}

}  // namespace MeridianSpace
