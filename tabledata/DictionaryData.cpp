// Rows of a dictionary model's table, kept in the configuration database,
// exported and imported as text (no identifier column).
#include <memory>
#include <vector>

#include "InstanceDataManager.h"
#include "MNormalColumn.h"
#include "MTable.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_NormalColumnDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "RowLines.h"

namespace MeridianSpace {

ResultMsg M_EntityTableDAO::exportData(std::list<M_NormalColumnDAO*>& columns,
                                       std::list<std::string>& values) {
    T_deletePtrList(columns);
    M_EntityModelDAO* owner = nullptr;
    ResultMsg rm = getMaxVersionEntityModelOwner(owner);
    std::unique_ptr<M_EntityModelDAO> model(owner);
    if (!rm.ok()) return rm;
    if (!model) return ResultMsg(RUN_FAIL, "找不到最高版本的所属数据模型。");

    std::list<M_NormalColumnDAO*> tableColumns;
    PtrListGuard<M_NormalColumnDAO> tableColumnsGuard(tableColumns);
    rm = getNormalColumnDAOList(model.get(), tableColumns);
    if (!rm.ok()) return rm;
    if (tableColumns.empty()) {
        return ResultMsg(RUN_SUCCESS, "该数据类没有属性，不需要继续导出数据。");
    }
    InstanceDataManager* manager = MeridianNew::getCurrMRDConfigIDM();
    if (manager == nullptr) return MeridianNew::noCurrentDatabase();

    std::vector<MNormalColumn> descriptions;
    for (const M_NormalColumnDAO* column : tableColumns) {
        descriptions.push_back(
            rowtext::describe(column->_name, column->_innerName, column->_dataType));
    }
    bool found = false;
    rm = rowtext::readLines(*manager, _innerName, descriptions, tableColumns, columns, values,
                            found);
    if (!found) rm.rMsg = "未查询到数据。";
    return rm;
}

ResultMsg M_EntityTableDAO::importData(std::list<M_NormalColumnDAO*> columns,
                                       std::list<std::string> values) {
    LogManager* log = MeridianNew::LOGGER();
    const std::string operation = "::M_EntityTableDAO::importData()";
    log->appendMsg("RUN:" + _displayName + operation);
    if (_belongToDictionaryModel != 1) {
        return ResultMsg(RUN_FAIL, "所属数据模型，不是数据字典类型，不允许导入数据操作。");
    }
    InstanceDataManager* manager = MeridianNew::getCurrMRDConfigIDM();
    // The lines are checked, and the columns read, before the table is
    // dropped: a refused call or a failed read leaves the table and its rows
    // as they were. Without lines the column list is not used: the call
    // empties the table.
    ResultMsg rm;
    if (!values.empty()) rm = rowtext::check(columns, values, rowtext::FirstValue::Plain);
    if (rm.ok() && manager == nullptr) rm = MeridianNew::noCurrentDatabase();
    M_EntityModelDAO* owner = nullptr;
    if (rm.ok()) rm = getMaxVersionEntityModelOwner(owner);
    std::unique_ptr<M_EntityModelDAO> model(owner);
    std::list<M_NormalColumnDAO*> tableColumns;
    PtrListGuard<M_NormalColumnDAO> tableColumnsGuard(tableColumns);
    if (rm.ok() && model) rm = getNormalColumnDAOList(model.get(), tableColumns);
    if (!rm.ok()) {
        log->appendError(_innerName + "M_EntityTableDAO::importData()", rm.rMsg);
        log->appendMsg("RUN_END:" + _displayName + operation);
        return rm;
    }

    // A table that was not there is as good as dropped; the rebuild below
    // answers for the table.
    (void)manager->delTableInstance(_innerName);
    if (tableColumns.empty()) {
        return ResultMsg(RUN_SUCCESS, "该数据类没有属性，不需要继续导入数据。");
    }

    MTable table;
    table._name = _name;
    table._innerName = _innerName;
    std::list<MNormalColumn> descriptions;
    for (const M_NormalColumnDAO* column : tableColumns)
        descriptions.push_back(rowtext::describe(*column));
    // The lines are written even when the rebuild failed (each then fails
    // on its own); with no line to fail, the rebuild's failure is the answer.
    const ResultMsg rebuilt = manager->addMTableInstance(table, descriptions);
    rm = rowtext::writeLines(*manager, _innerName, columns, values, rowtext::FirstValue::Plain);
    if (rm.ok() && !rebuilt.ok()) rm = rebuilt;
    if (!rm.ok()) log->appendError(_innerName + "M_EntityTableDAO::importData()", rm.rMsg);
    log->appendMsg("RUN_END:" + _displayName + operation);
    return rm;
}

}  // namespace MeridianSpace
