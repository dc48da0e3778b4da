// The schema changes of InstanceDataManager made in place: creating and
// dropping tables, adding columns, setting a column's index, dropping what a
// user made beside the tables.
#include "detail/SchemaChanges.h"

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/SqlText.h"
#include "backend/TableDefinition.h"
#include "detail/NameRules.h"

namespace MeridianSpace {

using detail::checkColumnName;
using detail::checkIdentifier;
using detail::checkNameFits;
using detail::checkTableName;
using detail::columnDefinition;
using detail::createColumnIndex;
using detail::quoteIdentifier;

namespace {

bool tableExists(detail::Connection& conn, const std::string& table) {
    conn.cache().forgetLayout(table);
    const std::vector<detail::ColumnInfo>* layout = nullptr;
    return conn.tableColumns(table, layout).ok();
}

}  // namespace

ResultMsg detail::SchemaChanges::addMTableInstance(const MTable& table,
                                                   const std::list<MNormalColumn>& columns) {
    detail::Connection& conn = conn_;
    ResultMsg rm = checkTableName(table._innerName);
    if (rm.ok()) rm = checkNameFits(table._innerName, "表", conn.capabilities().nameLimit);
    if (rm.ok()) rm = conn.checkOpen();
    if (!rm.ok()) return rm;

    std::string sql = "CREATE TABLE IF NOT EXISTS " + quoteIdentifier(table._innerName) + " (" +
                      conn.dialect().idColumnDefinition(table._neverReuseIDs);
    std::vector<std::string> seen;
    for (const MNormalColumn& column : columns) {
        rm = checkColumnName(column._innerName, seen);
        if (rm.ok()) rm = checkNameFits(column._innerName, "列", conn.capabilities().nameLimit);
        if (!rm.ok()) return rm;
        std::string definition;
        rm = columnDefinition(conn, column, definition);
        if (!rm.ok()) return rm;
        seen.push_back(column._innerName);
        sql += ", " + definition;
    }
    sql += ")";
    if (tableExists(conn, table._innerName)) {
        return ResultMsg(SRV_ERR_EXISTS, "表已存在：" + table._innerName);
    }
    rm = conn.atomic([&]() {
        ResultMsg r = conn.execute(sql);
        for (auto it = columns.begin(); r.ok() && it != columns.end(); ++it) {
            r = createColumnIndex(conn, table._innerName, *it);
        }
        return r;
    });
    conn.schemaChanged();
    return rm;
}

ResultMsg detail::SchemaChanges::addNormalColumnInstance(const std::string& table,
                                                         const MNormalColumn& column) {
    detail::Connection& conn = conn_;
    ResultMsg rm = checkTableName(table);
    if (rm.ok()) rm = checkColumnName(column._innerName, {});
    if (rm.ok()) rm = checkNameFits(column._innerName, "列", conn.capabilities().nameLimit);
    if (!rm.ok()) return rm;
    std::string definition;
    rm = columnDefinition(conn, column, definition);
    if (!rm.ok()) return rm;
    rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    conn.cache().forgetLayout(table);
    const std::vector<detail::ColumnInfo>* layout = nullptr;
    rm = conn.tableColumns(table, layout);
    if (!rm.ok()) return rm;
    for (const detail::ColumnInfo& info : *layout) {
        if (StringHelper::equalsIgnoreCase(info.name, column._innerName)) {
            return ResultMsg(SRV_ERR_EXISTS, "列已存在：" + table + "." + column._innerName);
        }
    }
    rm = conn.atomic([&]() {
        ResultMsg r =
            conn.execute("ALTER TABLE " + quoteIdentifier(table) + " ADD COLUMN " + definition);
        if (r.ok()) r = createColumnIndex(conn, table, column);
        return r;
    });
    conn.schemaChanged();
    return rm;
}

ResultMsg detail::SchemaChanges::delTableInstance(const std::string& table) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (!rm.ok()) return rm;
    detail::Connection& conn = conn_;
    rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    if (!tableExists(conn, table)) return ResultMsg(SRV_ERR_NO_TABLE, "表不存在：" + table);
    // Statements prepared on the table must go before the table can.
    conn.schemaChanged();
    rm = conn.execute("DROP TABLE " + quoteIdentifier(table));
    conn.schemaChanged();
    return rm;
}

ResultMsg detail::SchemaChanges::setColumnIndex(const std::string& table,
                                                const MNormalColumn& column) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (rm.ok()) rm = checkIdentifier(column._innerName, "列");
    detail::Connection& conn = conn_;
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

ResultMsg detail::SchemaChanges::getSchemaObjects(std::vector<SchemaObject>& objects) {
    ResultMsg rm = conn_.checkOpen();
    return rm.ok() ? conn_.catalogue().userObjects(objects) : rm;
}

ResultMsg detail::SchemaChanges::dropSchemaObject(const SchemaObject& object) {
    detail::Connection& conn = conn_;
    ResultMsg rm = checkIdentifier(object.name, "对象");
    if (rm.ok() && !object.table.empty()) rm = checkIdentifier(object.table, "表");
    if (rm.ok()) rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    rm = conn.atomic([&]() { return conn.execute(conn.dialect().dropObject(object)); });
    conn.schemaChanged();
    return rm;
}

}  // namespace MeridianSpace
