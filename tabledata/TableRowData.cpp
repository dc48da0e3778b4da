// Rows of an entity table's physical table in the current work database,
// exchanged as text: read, saved (update or insert) and deleted.
#include <memory>
#include <vector>

#include "ITableData.h"
#include "InstanceDataManager.h"
#include "MNormalColumn.h"
#include "MRDSession.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_NormalColumnDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "RowLines.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

using rowtext::appendCopy;
using rowtext::describe;

const char* const kNoModel = "找不到所属数据模型信息。";

ResultMsg commitAfterDelete(InstanceDataManager& manager, const std::string& errorKey) {
    MRDSession* session = manager.getPSession();
    ResultMsg rm = session != nullptr ? session->commit() : MeridianNew::noCurrentDatabase();
    if (!rm.ok()) MeridianNew::LOGGER()->appendError(errorKey, rm.rMsg);
    return rm;
}

// Every line is checked before the first one is written: a refused call
// writes nothing.
ResultMsg writeRows(const M_EntityTableDAO& table, const std::string& operation,
                    const std::list<M_NormalColumnDAO*>& columns,
                    const std::list<std::string>& values, rowtext::FirstValue first) {
    LogManager* log = MeridianNew::LOGGER();
    const std::string logged = "::M_EntityTableDAO::" + operation;
    log->appendMsg("RUN:" + table._displayName + logged);
    ResultMsg rm = rowtext::check(columns, values, first);
    InstanceDataManager* manager = MeridianNew::getCurrentWorkDBIDM();
    if (rm.ok() && manager == nullptr) rm = MeridianNew::noCurrentDatabase();
    if (rm.ok()) rm = rowtext::writeLines(*manager, table._innerName, columns, values, first);
    if (!rm.ok()) log->appendError(table._innerName + "M_EntityTableDAO::" + operation, rm.rMsg);
    log->appendMsg("RUN_END:" + table._displayName + logged);
    return rm;
}

}  // namespace

ResultMsg M_EntityTableDAO::getData(std::list<M_NormalColumnDAO*>& columns,
                                    std::list<std::string>& values) {
    T_deletePtrList(columns);
    M_EntityModelDAO* instanceModel = nullptr;
    // A model whose project or record is gone still comes back (with what
    // the file says); only a file that is no instance file gives none.
    (void)M_EntityModelDAO::getInstanceInfo(MeridianNew::getCurrentWorkDB(),
                                            instanceModel);  // none: below
    std::unique_ptr<M_EntityModelDAO> model(instanceModel);
    if (!model) {
        MeridianNew::LOGGER()->appendError(std::string("M_EntityTableDAO::getData() ") + kNoModel,
                                           kNoModel);
        return ResultMsg(RUN_FAIL, kNoModel);
    }

    std::list<M_NormalColumnDAO*> tableColumns;
    PtrListGuard<M_NormalColumnDAO> tableColumnsGuard(tableColumns);
    // Columns that could not be read are no table without columns.
    ResultMsg read = getNormalColumnDAOList(model.get(), tableColumns);
    if (!read.ok()) return read;
    if (tableColumns.empty()) {
        return ResultMsg(RUN_SUCCESS, "该数据类没有属性，不需要继续导出数据。");
    }
    InstanceDataManager* manager = MeridianNew::getCurrentWorkDBIDM();
    if (manager == nullptr) return MeridianNew::noCurrentDatabase();

    std::vector<MNormalColumn> descriptions{describe("id", "id", COL_TYPE_INT)};
    for (const M_NormalColumnDAO* column : tableColumns) {
        descriptions.push_back(describe(column->_name, column->_innerName, column->_dataType));
    }
    M_NormalColumnDAO idColumn;
    idColumn._name = idColumn._innerName = "id";
    idColumn._dataType = COL_TYPE_INT;
    // The identifier column leads the list whatever the query answers.
    std::list<M_NormalColumnDAO*> readColumns;
    PtrListGuard<M_NormalColumnDAO> readColumnsGuard(readColumns);
    appendCopy(readColumns, idColumn);

    bool found = false;
    ResultMsg rm = rowtext::readLines(*manager, _innerName, descriptions, tableColumns, readColumns,
                                      values, found);
    if (!found) {
        for (const M_NormalColumnDAO* column : tableColumns)
            appendCopy(readColumns, *column);
        rm.rMsg = "未查询到数据。";
    }
    columns.splice(columns.end(), readColumns);
    return rm;
}

ResultMsg M_EntityTableDAO::saveData(std::list<M_NormalColumnDAO*> columns,
                                     std::list<std::string> values) {
    return writeRows(*this, "saveData()", columns, values, rowtext::FirstValue::RowID);
}

ResultMsg M_EntityTableDAO::insertData(std::list<M_NormalColumnDAO*> columns,
                                       std::list<std::string> values) {
    return writeRows(*this, "insertData()", columns, values, rowtext::FirstValue::KeptRowID);
}

ResultMsg M_EntityTableDAO::delData(std::vector<int> ids) {
    InstanceDataManager* manager = MeridianNew::getCurrentWorkDBIDM();
    if (manager == nullptr) return MeridianNew::noCurrentDatabase();
    // Only the commit reports: a single delete's answer is overwritten by
    // the next one.
    for (int id : ids)
        (void)manager->deleteITableDataById(_innerName, id);  // see above
    return commitAfterDelete(*manager, _innerName + "M_EntityTableDAO::delData()::commit()");
}

ResultMsg M_EntityTableDAO::delAllData() {
    InstanceDataManager* manager = MeridianNew::getCurrentWorkDBIDM();
    if (manager == nullptr) return MeridianNew::noCurrentDatabase();
    (void)manager->deleteITableDataAll(_innerName);  // only the commit reports
    return commitAfterDelete(*manager, _innerName + "M_EntityTableDAO::delAllData()::commit()");
}

}  // namespace MeridianSpace
