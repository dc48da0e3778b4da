// The physical-table side of InstanceDataManager: creating and dropping
// tables, adding columns, listing what exists.
#include "InstanceDataManager.h"

#include <cstdint>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/SqlText.h"
#include "backend/TableDefinition.h"

namespace MeridianSpace {

using detail::checkIdentifier;
using detail::checkNameFits;
using detail::columnDefinition;
using detail::createColumnIndex;
using detail::quoteIdentifier;

namespace {

bool tableExists(detail::Connection& conn, const std::string& table) {
    conn.forgetLayout(table);
    const std::vector<detail::ColumnInfo>* layout = nullptr;
    return conn.tableColumns(table, layout).ok();
}

}  // namespace

ResultMsg InstanceDataManager::checkTableName(const std::string& innerName) {
    return checkIdentifier(innerName, "表");
}

ResultMsg InstanceDataManager::checkColumnName(const std::string& innerName,
                                               const std::vector<std::string>& others) {
    ResultMsg rm = checkIdentifier(innerName, "列");
    if (!rm.ok()) return rm;
    if (StringHelper::equalsIgnoreCase(innerName, "id")) {
        return ResultMsg(SRV_ERR_ARGUMENT, "列名id由存储自动建立，不能再定义");
    }
    for (const std::string& other : others) {
        if (StringHelper::equalsIgnoreCase(other, innerName)) {
            return ResultMsg(SRV_ERR_ARGUMENT, "同一列出现两次：" + innerName);
        }
    }
    return rm;
}

ResultMsg InstanceDataManager::addMTableInstance(const MTable& table,
                                                 const std::list<MNormalColumn>& columns) {
    detail::Connection& conn = *connection_;
    ResultMsg rm = checkTableName(table._innerName);
    if (rm.ok()) rm = checkNameFits(table._innerName, "表", conn.nameLimit());
    if (rm.ok()) rm = conn.checkOpen();
    if (!rm.ok()) return rm;

    std::string sql = "CREATE TABLE IF NOT EXISTS " + quoteIdentifier(table._innerName) + " (" +
                      conn.dialect().idColumnDefinition(table._neverReuseIDs);
    std::vector<std::string> seen;
    for (const MNormalColumn& column : columns) {
        rm = checkColumnName(column._innerName, seen);
        if (rm.ok()) rm = checkNameFits(column._innerName, "列", conn.nameLimit());
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

ResultMsg InstanceDataManager::addNormalColumnInstance(const std::string& table,
                                                       const MNormalColumn& column) {
    detail::Connection& conn = *connection_;
    ResultMsg rm = checkTableName(table);
    if (rm.ok()) rm = checkColumnName(column._innerName, {});
    if (rm.ok()) rm = checkNameFits(column._innerName, "列", conn.nameLimit());
    if (!rm.ok()) return rm;
    std::string definition;
    rm = columnDefinition(conn, column, definition);
    if (!rm.ok()) return rm;
    rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    conn.forgetLayout(table);
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

ResultMsg InstanceDataManager::delTableInstance(const std::string& table) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (!rm.ok()) return rm;
    detail::Connection& conn = *connection_;
    rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    if (!tableExists(conn, table)) return ResultMsg(SRV_ERR_NO_TABLE, "表不存在：" + table);
    // Statements prepared on the table must go before the table can.
    conn.schemaChanged();
    rm = conn.execute("DROP TABLE " + quoteIdentifier(table));
    conn.schemaChanged();
    return rm;
}

ResultMsg InstanceDataManager::getTableColumnNames(const std::string& table,
                                                   std::vector<std::string>& names) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (!rm.ok()) return rm;
    detail::Connection& conn = *connection_;
    rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    const std::vector<detail::ColumnInfo>* layout = nullptr;
    rm = conn.tableColumns(table, layout);
    if (!rm.ok()) return rm;
    for (const detail::ColumnInfo& info : *layout)
        names.push_back(info.name);
    return rm;
}

ResultMsg InstanceDataManager::getTableNames(std::vector<std::string>& names) {
    return connection_->tableNames(names);
}

ResultMsg InstanceDataManager::lockSchemaChanges() {
    ResultMsg rm = connection_->checkOpen();
    return rm.ok() ? connection_->lockSchemaChanges() : rm;
}

ResultMsg InstanceDataManager::initialMetaDataCache() {
    return connection_->refreshSchema();
}

std::uint64_t InstanceDataManager::changeCount(const std::string& table) {
    return connection_->changeCount(table);
}

}  // namespace MeridianSpace
