// What tables a database holds and how each is laid out, read from the
// database itself.
#include "detail/StoredTables.h"

#include "InstanceDataModel.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/SqlText.h"
#include "backend/TableDefinition.h"

namespace MeridianSpace {

using detail::checkIdentifier;

int detail::StoredTables::storageType(int dataType) {
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

ResultMsg detail::StoredTables::getTableLayout(const std::string& table,
                                               std::list<MNormalColumn>& columns) {
    ResultMsg rm = checkIdentifier(table, "表");
    detail::Connection& conn = conn_;
    if (rm.ok()) rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    conn.cache().forgetLayout(table);
    const std::vector<detail::ColumnInfo>* layout = nullptr;
    rm = conn.tableColumns(table, layout);
    std::vector<detail::IndexInfo> indexes;
    if (rm.ok()) rm = conn.columnIndexes(table, indexes);
    if (!rm.ok()) return rm;
    for (const detail::ColumnInfo& info : *layout) {
        if (StringHelper::equalsIgnoreCase(info.name, "id")) continue;
        MNormalColumn column;
        column._name = column._innerName = info.name;
        column._dataType = storageType(detail::typeFromDeclared(info.declaredType));
        for (const detail::IndexInfo& index : indexes) {
            if (!StringHelper::equalsIgnoreCase(index.column, info.name)) continue;
            column._isIndex = 1;
            if (index.unique) column._isOnly = 1;
        }
        columns.push_back(std::move(column));
    }
    return rm;
}

ResultMsg detail::StoredTables::getTableColumnNames(const std::string& table,
                                                    std::vector<std::string>& names) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (!rm.ok()) return rm;
    detail::Connection& conn = conn_;
    rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    const std::vector<detail::ColumnInfo>* layout = nullptr;
    rm = conn.tableColumns(table, layout);
    if (!rm.ok()) return rm;
    for (const detail::ColumnInfo& info : *layout)
        names.push_back(info.name);
    return rm;
}

ResultMsg detail::StoredTables::getTableNames(std::vector<std::string>& names) {
    return conn_.tableNames(names);
}

}  // namespace MeridianSpace
