// The schema-change side of InstanceDataManager: what a table holds as the
// database sees it, looks at the values of a column before a change, changes
// that SQLite cannot make in place (a table rebuilt, an index set), and what
// a user made beside the tables.
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

// The name the new table of a rebuild has until the old one is dropped.
// Model tables are named "<name>_<version>", so none of them can take it.
const char* const kRebuildTable = "ARX_Rebuild";

// The old column's value for a rebuilt column of storage type `to`.
std::string copiedValue(const detail::Connection& conn, const std::string& quoted, int from,
                        int to) {
    if (from == to) return quoted;
    if (from == COL_TYPE_BLOB || to == COL_TYPE_BLOB) return "NULL";
    return "CAST(" + quoted + " AS " + conn.dialect().declaredType(to) + ")";
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
    const std::string built = quoteIdentifier(kRebuildTable);
    std::string create =
        "CREATE TABLE " + built + " (" + conn.dialect().idColumnDefinition(table._neverReuseIDs);
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
        // The new table is made aside and takes the old one's name last:
        // renaming the old one aside instead would carry the views and
        // triggers that name it along to the table that is dropped.
        conn.schemaChanged();  // statements prepared on the old table go first
        std::vector<SchemaObject> setAside;
        ResultMsg r = conn.objectsDroppedWith(table._innerName, setAside);
        if (r.ok()) r = conn.execute(create + ")");
        if (r.ok()) {
            r = conn.execute("INSERT INTO " + built + " (" + names + ") SELECT " + values +
                             " FROM " + target);
        }
        if (r.ok()) r = conn.carryIdentity(table._innerName, kRebuildTable);
        // Views that use the table block its drop on a server; the last made goes first.
        for (auto it = setAside.rbegin(); r.ok() && it != setAside.rend(); ++it) {
            if (it->kind == "view") r = conn.execute(conn.dialect().dropObject(*it));
        }
        if (r.ok()) r = conn.execute("DROP TABLE " + target);
        if (r.ok()) r = conn.renameTable(kRebuildTable, table._innerName);
        // With the names a new instance gives them (a server's key and identifier sequence).
        if (r.ok()) r = conn.releaseDerivedNames(table._innerName);
        for (auto it = columns.begin(); r.ok() && it != columns.end(); ++it)
            r = detail::createColumnIndex(conn, table._innerName, *it);
        for (auto it = setAside.begin(); r.ok() && it != setAside.end(); ++it) {
            r = conn.execute(it->definition);
            if (!r.ok()) r.rMsg = "重建表后无法重新建立" + it->name + "：" + r.rMsg;
        }
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

ResultMsg InstanceDataManager::getSchemaObjects(std::vector<SchemaObject>& objects) {
    ResultMsg rm = connection_->checkOpen();
    return rm.ok() ? connection_->userObjects(objects) : rm;
}

ResultMsg InstanceDataManager::dropSchemaObject(const SchemaObject& object) {
    detail::Connection& conn = *connection_;
    ResultMsg rm = checkIdentifier(object.name, "对象");
    if (rm.ok() && !object.table.empty()) rm = checkIdentifier(object.table, "表");
    if (rm.ok()) rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    rm = conn.atomic([&]() { return conn.execute(conn.dialect().dropObject(object)); });
    conn.schemaChanged();
    return rm;
}

ResultMsg InstanceDataManager::holdOffWriters(const std::vector<std::string>& tables) {
    ResultMsg rm = connection_->checkOpen();
    return rm.ok() ? connection_->holdOffWriters(tables) : rm;
}

}  // namespace MeridianSpace
