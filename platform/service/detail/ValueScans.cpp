// Scans of a column's values: what a change of the column would lose or
// alter, counted and sampled by the database.
#include "detail/ValueScans.h"

#include <list>

#include "InstanceDataManager.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::checkIdentifier;
using detail::quoteIdentifier;

namespace {

// The condition findValues counts, on the quoted column `c` of storage type `type`.
ResultMsg valueCondition(const detail::Connection& conn, ValueCheck check, const std::string& c,
                         int type, int argument, std::string& out) {
    using Check = ValueCheck;
    out = c + " IS NOT NULL";
    switch (check) {
        case Check::Present:
        case Check::Duplicated:
            break;
        case Check::NotConvertible:
            out += " AND NOT (" +
                   conn.dialect().convertsUnchanged(c, type,
                                                    InstanceDataManager::storageType(argument)) +
                   ")";
            break;
        case Check::LongerThan:
            out += " AND " + conn.dialect().byteLength(c) + " > " + std::to_string(argument);
            break;
        case Check::Beyond32Bits:
            if (type != COL_TYPE_INT) return ResultMsg(SRV_ERR_ARGUMENT, "不是整数列：" + c);
            out += " AND " + c + " NOT BETWEEN -2147483648 AND 2147483647";
            break;
    }
    return ResultMsg();
}

}  // namespace

ResultMsg ValueScans::findValues(const std::string& table, const std::string& column,
                                 ValueCheck check, int argument, int limit, long long& count,
                                 std::vector<std::pair<long long, std::string>>& samples) {
    std::list<MNormalColumn> layout;
    ResultMsg rm = checkIdentifier(column, "列");
    if (rm.ok()) rm = manager_.getTableLayout(table, layout);
    if (!rm.ok()) return rm;
    int type = COL_TYPE_INT;  // "id"
    bool found = StringHelper::equalsIgnoreCase(column, "id");
    for (const MNormalColumn& c : layout) {
        if (!StringHelper::equalsIgnoreCase(c._innerName, column)) continue;
        type = c._dataType;
        found = true;
    }
    if (!found) return ResultMsg(SRV_ERR_NO_COLUMN, "列不存在：" + table + "." + column);
    detail::Connection& conn = *manager_.connection_;
    const std::string c = quoteIdentifier(column), t = quoteIdentifier(table);
    std::string where;
    rm = valueCondition(conn, check, c, type, argument, where);
    if (!rm.ok()) return rm;
    const bool grouped = check == ValueCheck::Duplicated;
    const std::string groups =
        " FROM " + t + " WHERE " + where + " GROUP BY " + c + " HAVING count(*) > 1";
    // The rows themselves are counted without a condition, which an engine
    // answers from its smallest index instead of reading the whole table.
    const bool rows = check == ValueCheck::Present && StringHelper::equalsIgnoreCase(column, "id");
    const std::string counted =
        grouped ? "SELECT count(*) FROM (SELECT 1" + groups + ") AS d"
                : "SELECT count(*) FROM " + t + (rows ? std::string() : " WHERE " + where);
    const std::string listed = grouped ? "SELECT count(*), " + c + groups +
                                             " ORDER BY min(\"id\") LIMIT " + std::to_string(limit)
                                       : "SELECT \"id\", " + c + " FROM " + t + " WHERE " + where +
                                             " ORDER BY \"id\" LIMIT " + std::to_string(limit);
    const std::string what = "检查表" + table + "的列" + column + "失败";
    count = 0;
    rm = detail::forEachResultRow(
        conn, counted, [](detail::Statement&) {},
        [&](const detail::Statement& s) { count = s.columnInt64(0); }, what);
    if (rm.ok() && limit > 0 && count > 0) {
        rm = detail::forEachResultRow(
            conn, listed, [](detail::Statement&) {},
            [&](const detail::Statement& s) {
                samples.emplace_back(s.columnInt64(0), detail::columnText(s, 1));
            },
            what);
    }
    return rm;
}

}  // namespace MeridianSpace
