// InstanceDataManager hands each operation to the class of its job in
// detail/, on the session's connection: rows (RowWrites, RowReads), blobs
// (InstanceBlobs), names (NameRules), tables as stored (StoredTables), schema
// changes and table rebuilds (SchemaChanges), instance files (InstanceFiles,
// InstanceFileInfo). The change counters are the connection's; the value
// scans of the migration are ValueScans'.
#include "InstanceDataManager.h"

#include "MRDSession.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "detail/InstanceBlobs.h"
#include "detail/InstanceFileInfo.h"
#include "detail/InstanceFiles.h"
#include "detail/NameRules.h"
#include "detail/RowReads.h"
#include "detail/RowWrites.h"
#include "detail/SchemaChanges.h"
#include "detail/StoredTables.h"

namespace MeridianSpace {

ResultMsg InstanceDataManager::addITableData(const ITableData& row, int commitType) {
    int ignored = 0;
    return addITableData(row, commitType, ignored);
}

ResultMsg InstanceDataManager::addITableData(const ITableData& row, int commitType, int& newID) {
    return detail::RowWrites(*connection_).addITableData(row, commitType, newID);
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
    return detail::RowWrites(*connection_)
        .updateITableData(row, conditions, commitType, changedRows);
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
    return detail::RowReads(*connection_)
        .forEachITableData(table, columns, conditions, order, visit);
}

ResultMsg InstanceDataManager::forEachResultRow(const std::string& table,
                                                const std::vector<MNormalColumn>& columns,
                                                const std::list<IQueryCondition>& conditions,
                                                const IOrderClause* order,
                                                const ResultRowVisitor& visit) {
    return detail::RowReads(*connection_)
        .forEachResultRow(table, columns, conditions, order, visit);
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
    return detail::RowWrites(*connection_).deleteITableDataAll(table, commitType);
}

ResultMsg InstanceDataManager::deleteITableDataByCondition(
    const std::string& table, const std::list<IQueryCondition>& conditions, int commitType) {
    return detail::RowWrites(*connection_)
        .deleteITableDataByCondition(table, conditions, commitType);
}

ResultMsg InstanceDataManager::updateIBlobTableData(const std::string& table,
                                                    const std::string& column, const double* data,
                                                    int count, int id, int commitType) {
    return detail::InstanceBlobs(*connection_)
        .updateIBlobTableData(table, column, data, count, id, commitType);
}

ResultMsg InstanceDataManager::getIBlobTableData(const std::string& table,
                                                 const std::string& column, int id, double*& data,
                                                 int& count) {
    return detail::InstanceBlobs(*connection_).getIBlobTableData(table, column, id, data, count);
}

ResultMsg InstanceDataManager::checkTableName(const std::string& innerName) {
    return detail::checkTableName(innerName);
}

ResultMsg InstanceDataManager::checkColumnName(const std::string& innerName,
                                               const std::vector<std::string>& others) {
    return detail::checkColumnName(innerName, others);
}

ResultMsg InstanceDataManager::addMTableInstance(const MTable& table,
                                                 const std::list<MNormalColumn>& columns) {
    return detail::SchemaChanges(*connection_).addMTableInstance(table, columns);
}

ResultMsg InstanceDataManager::addNormalColumnInstance(const std::string& table,
                                                       const MNormalColumn& column) {
    return detail::SchemaChanges(*connection_).addNormalColumnInstance(table, column);
}

ResultMsg InstanceDataManager::delTableInstance(const std::string& table) {
    return detail::SchemaChanges(*connection_).delTableInstance(table);
}

ResultMsg InstanceDataManager::getTableColumnNames(const std::string& table,
                                                   std::vector<std::string>& names) {
    return detail::StoredTables(*connection_).getTableColumnNames(table, names);
}

ResultMsg InstanceDataManager::getTableNames(std::vector<std::string>& names) {
    return detail::StoredTables(*connection_).getTableNames(names);
}

int InstanceDataManager::storageType(int dataType) {
    return detail::StoredTables::storageType(dataType);
}

ResultMsg InstanceDataManager::getTableLayout(const std::string& table,
                                              std::list<MNormalColumn>& columns) {
    return detail::StoredTables(*connection_).getTableLayout(table, columns);
}

ResultMsg InstanceDataManager::setColumnIndex(const std::string& table,
                                              const MNormalColumn& column) {
    return detail::SchemaChanges(*connection_).setColumnIndex(table, column);
}

ResultMsg InstanceDataManager::getSchemaObjects(std::vector<SchemaObject>& objects) {
    return detail::SchemaChanges(*connection_).getSchemaObjects(objects);
}

ResultMsg InstanceDataManager::dropSchemaObject(const SchemaObject& object) {
    return detail::SchemaChanges(*connection_).dropSchemaObject(object);
}

ResultMsg InstanceDataManager::rebuildTable(const MTable& table,
                                            const std::list<MNormalColumn>& columns) {
    return detail::SchemaChanges(*connection_).rebuildTable(table, columns);
}

ResultMsg InstanceDataManager::holdOffWriters(const std::vector<std::string>& tables) {
    ResultMsg rm = connection_->checkOpen();
    return rm.ok() ? connection_->catalogue().holdOffWriters(tables) : rm;
}

ResultMsg InstanceDataManager::initialMetaDataCache() {
    return connection_->refreshSchema();
}

ResultMsg InstanceDataManager::lockSchemaChanges() {
    ResultMsg rm = connection_->checkOpen();
    return rm.ok() ? connection_->catalogue().lockSchemaChanges() : rm;
}

// The connection keeps the counters. On a SQLite file a call costs one step
// of a prepared PRAGMA data_version and a map look-up, no allocation once the
// table has been asked about; outside a transaction the pragma opens a read
// transaction (two lock calls of the WAL index).
std::uint64_t InstanceDataManager::changeCount(const std::string& table) {
    return connection_->changeCount(table);
}

ResultMsg InstanceDataManager::createEntityModelInstance_Create(IEntityModel model,
                                                                MRDSession*& session, int flag) {
    std::shared_ptr<detail::Connection> opened;
    ResultMsg rm = detail::InstanceFiles(*connection_)
                       .createEntityModelInstance_Create(std::move(model), opened, flag);
    if (rm.ok()) session = new MRDSession(std::move(opened));
    return rm;
}

ResultMsg InstanceDataManager::instanceStatements(const IEntityModel& model,
                                                  std::vector<std::string>& statements) {
    return detail::InstanceFiles(*connection_).instanceStatements(model, statements);
}

ResultMsg InstanceDataManager::getEntityModelInstanceInfo(IEntityModel& model) {
    return detail::InstanceFileInfo(*connection_).getEntityModelInstanceInfo(model);
}

ResultMsg InstanceDataManager::setEntityModelInstanceVersion(int version) {
    return detail::InstanceFileInfo(*connection_).setEntityModelInstanceVersion(version);
}

}  // namespace MeridianSpace
