// The schema-change side of InstanceDataManager: what a table holds as the
// database sees it, looks at the values of a column before a change, and
// changes that SQLite cannot make in place (a table rebuilt, an index set).
#include <vector>

#include "InstanceDataManager.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"
#include "backend/TableDefinition.h"

namespace MeridianSpace {

using detail::checkIdentifier;
using detail::quoteIdentifier;

namespace {

// The name the old table of a rebuild has until it is dropped. Model tables
// are named "<name>_<version>", so none of them can take it.
const char* const kRebuildTable = "ARX_Rebuild";

// The old column's value for a rebuilt column of storage type `to`.
std::string copiedValue(const detail::Connection& conn, const std::string& quoted, int from,
                        int to) {
    if (from == to) return quoted;
    if (from == COL_TYPE_BLOB || to == COL_TYPE_BLOB) return "NULL";
    return "CAST(" + quoted + " AS " + conn.declaredType(to) + ")";
}

// The condition findValues counts, on the quoted column `c` of storage type `type`.
ResultMsg valueCondition(const detail::Connection& conn, InstanceDataManager::ValueCheck check,
                         const std::string& c, int type, int argument, std::string& out) {
    using Check = InstanceDataManager::ValueCheck;
    out = c + " IS NOT NULL";
    switch (check) {
        case Check::Present:
        case Check::Duplicated:
            break;
        case Check::NotConvertible:
            out += " AND NOT (" +
                   conn.convertsUnchanged(c, type, InstanceDataManager::storageType(argument)) +
                   ")";
            break;
        case Check::LongerThan:
            out += " AND " + conn.byteLength(c) + " > " + std::to_string(argument);
            break;
        case Check::Beyond32Bits:
            if (type != COL_TYPE_INT) return ResultMsg(SRV_ERR_ARGUMENT, "不是整数列：" + c);
            out += " AND " + c + " NOT BETWEEN -2147483648 AND 2147483647";
            break;
    }
    return ResultMsg();
}

}  // namespace

int InstanceDataManager::storageType(int dataType) {
    switch (dataType) {
        case COL_TYPE_INT:
        case COL_TYPE_DOUBLE:
            return dataType;
        case COL_TYPE_BLOB_CHAR:
        case COL_TYPE_BLOB_DOUBLE:
        case COL_TYPE_BLOB:
            return COL_TYPE_BLOB;
        default:
            return COL_TYPE_STRING;
    }
}

ResultMsg InstanceDataManager::getTableLayout(const std::string& table,
                                              std::list<MNormalColumn>& columns) {
    ResultMsg rm = checkIdentifier(table, "表");
    detail::Connection& conn = *connection_;
    if (rm.ok()) rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    conn.forgetLayout(table);
    const std::vector<detail::ColumnInfo>* layout = nullptr;
    rm = conn.tableColumns(table, layout);
    std::vector<detail::IndexInfo> indexes;
    if (rm.ok()) rm = conn.columnIndexes(table, indexes);
    if (!rm.ok()) return rm;
    for (const detail::ColumnInfo& info : *layout) {
        if (StringHelper::equalsIgnoreCase(info.name, "id")) continue;
        MNormalColumn column;
        column._name = column._innerName = info.name;
        column._dataType =
            InstanceDataManager::storageType(detail::typeFromDeclared(info.declaredType));
        for (const detail::IndexInfo& index : indexes) {
            if (!StringHelper::equalsIgnoreCase(index.column, info.name)) continue;
            column._isIndex = 1;
            if (index.unique) column._isOnly = 1;
        }
        columns.push_back(std::move(column));
    }
    return rm;
}

ResultMsg InstanceDataManager::findValues(const std::string& table, const std::string& column,
                                          ValueCheck check, int argument, int limit,
                                          long long& count,
                                          std::vector<std::pair<long long, std::string>>& samples) {
    std::list<MNormalColumn> layout;
    ResultMsg rm = checkIdentifier(column, "列");
    if (rm.ok()) rm = getTableLayout(table, layout);
    if (!rm.ok()) return rm;
    int type = COL_TYPE_INT;  // "id"
    bool found = StringHelper::equalsIgnoreCase(column, "id");
    for (const MNormalColumn& c : layout) {
        if (!StringHelper::equalsIgnoreCase(c._innerName, column)) continue;
        type = c._dataType;
        found = true;
    }
    if (!found) return ResultMsg(SRV_ERR_NO_COLUMN, "列不存在：" + table + "." + column);
    detail::Connection& conn = *connection_;
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

ResultMsg InstanceDataManager::rebuildTable(const MTable& table,
                                            const std::list<MNormalColumn>& columns) {
    std::list<MNormalColumn> old;
    ResultMsg rm = getTableLayout(table._innerName, old);
    if (!rm.ok()) return rm;
    detail::Connection& conn = *connection_;
    const std::string target = quoteIdentifier(table._innerName);
    const std::string moved = quoteIdentifier(kRebuildTable);
    std::string create =
        "CREATE TABLE " + target + " (" + conn.idColumnDefinition(table._neverReuseIDs);
    std::string names = "\"id\"", values = "\"id\"";
    std::vector<std::string> seen;
    for (const MNormalColumn& column : columns) {
        rm = checkColumnName(column._innerName, seen);
        if (rm.ok()) rm = detail::checkNameFits(column._innerName, "列", conn.nameLimit());
        std::string definition;
        if (rm.ok()) rm = detail::columnDefinition(conn, column, definition);
        if (!rm.ok()) return rm;
        seen.push_back(column._innerName);
        create += ", " + definition;
        for (const MNormalColumn& was : old) {
            if (!StringHelper::equalsIgnoreCase(was._innerName, column._innerName)) continue;
            const std::string quoted = quoteIdentifier(column._innerName);
            names += ", " + quoted;
            values += ", " + copiedValue(conn, quoteIdentifier(was._innerName), was._dataType,
                                         InstanceDataManager::storageType(column._dataType));
        }
    }
    rm = conn.atomic([&]() {
        // The old table moves aside first, so that the new one is made under
        // its own name, as a new instance makes it (with the names a server
        // derives from the table's: its key, its identifier sequence).
        conn.schemaChanged();  // statements prepared on the old table go first
        ResultMsg r = conn.execute("ALTER TABLE " + target + " RENAME TO " + moved);
        if (r.ok()) r = conn.releaseDerivedNames(kRebuildTable);
        if (r.ok()) r = conn.execute(create + ")");
        if (r.ok()) {
            r = conn.execute("INSERT INTO " + target + " (" + names + ") SELECT " + values +
                             " FROM " + moved);
        }
        if (r.ok()) r = conn.carryIdentity(kRebuildTable, table._innerName);
        if (r.ok()) r = conn.execute("DROP TABLE " + moved);
        for (auto it = columns.begin(); r.ok() && it != columns.end(); ++it)
            r = detail::createColumnIndex(conn, table._innerName, *it);
        return r;
    });
    conn.schemaChanged();
    return rm;
}

ResultMsg InstanceDataManager::setColumnIndex(const std::string& table,
                                              const MNormalColumn& column) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (rm.ok()) rm = checkIdentifier(column._innerName, "列");
    detail::Connection& conn = *connection_;
    if (rm.ok()) rm = conn.checkOpen();
    std::vector<detail::IndexInfo> indexes;
    if (rm.ok()) rm = conn.columnIndexes(table, indexes);
    if (!rm.ok()) return rm;
    rm = conn.atomic([&]() {
        ResultMsg r;
        for (auto it = indexes.begin(); r.ok() && it != indexes.end(); ++it) {
            if (StringHelper::equalsIgnoreCase(it->column, column._innerName))
                r = conn.execute("DROP INDEX " + quoteIdentifier(it->name));
        }
        return r.ok() ? detail::createColumnIndex(conn, table, column) : r;
    });
    conn.schemaChanged();
    return rm;
}

}  // namespace MeridianSpace
