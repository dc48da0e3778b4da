// Blob values (arrays of doubles) of one column of one stored row of an
// entity table's physical table in the current work database.
#include "InstanceDataManager.h"
#include "M_EntityTableDAO.h"
#include "M_NormalColumnDAO.h"
#include "MeridianNew.h"

namespace MeridianSpace {

namespace {

const char* const kSaveWithoutRow =
    "dataId<=0！ "
    "保存blob数据前，需要先保存对应数据记录（blob字段以外的字段），获取id后，才能执行本接口。";
const char* const kReadWithoutRow =
    "dataId<=0！ "
    "读取blob数据前，需要先保存对应数据记录（blob字段以外的字段），获取id后，才能执行本接口。";
const char* const kNoColumn = "blob字段的属性对象为空。";

}  // namespace

ResultMsg M_EntityTableDAO::saveBlobData(M_NormalColumnDAO* pColumn, double* data, int size,
                                         int dataId) {
    LogManager* log = MeridianNew::LOGGER();
    const std::string operation = "::M_EntityTableDAO::saveBlobData()";
    log->appendMsg("RUN:" + _displayName + operation);
    if (dataId < 1) {
        log->appendError(_innerName + "M_EntityTableDAO::saveBlobData()", kSaveWithoutRow);
        return ResultMsg(RUN_FAIL, kSaveWithoutRow);
    }
    if (pColumn == nullptr) return ResultMsg(RUN_FAIL, kNoColumn);
    InstanceDataManager* manager = MeridianNew::getCurrentWorkDBIDM();
    if (manager == nullptr) return MeridianNew::noCurrentDatabase();
    // Joins the work session's open transaction: the caller's next commit
    // (or saveData/delData) makes it durable.
    ResultMsg rm =
        manager->updateIBlobTableData(_innerName, pColumn->_innerName, data, size, dataId);
    if (!rm.ok()) {
        log->appendError(
            _innerName +
                "M_EntityTableDAO::saveBlobData()::MeridianNew::getCurrentWorkDBIDM()->"
                "updateIBlobTableData",
            rm.rMsg);
    }
    log->appendMsg("RUN_END:" + _displayName + operation);
    return rm;
}

ResultMsg M_EntityTableDAO::getBlobData(M_NormalColumnDAO* pColumn, int dataId, double*& data,
                                        int& size) {
    LogManager* log = MeridianNew::LOGGER();
    const std::string operation = "::M_EntityTableDAO::getBlobData()";
    log->appendMsg("RUN:" + _displayName + operation);
    if (dataId < 1) {
        log->appendError(_innerName + "M_EntityTableDAO::getBlobData()", kReadWithoutRow);
        return ResultMsg(RUN_FAIL, kReadWithoutRow);
    }
    if (pColumn == nullptr) return ResultMsg(RUN_FAIL, kNoColumn);
    InstanceDataManager* manager = MeridianNew::getCurrentWorkDBIDM();
    if (manager == nullptr) return MeridianNew::noCurrentDatabase();
    // On success `data` is a new array the caller frees with delete[]; on
    // failure the service leaves both out-parameters untouched.
    ResultMsg rm = manager->getIBlobTableData(_innerName, pColumn->_innerName, dataId, data, size);
    if (!rm.ok()) {
        log->appendError(_innerName +
                             "M_EntityTableDAO::getBlobData()::MeridianNew::getCurrentWorkDBIDM()->"
                             "getIBlobTableData",
                         rm.rMsg);
    }
    log->appendMsg("RUN_END:" + _displayName + operation);
    return rm;
}

}  // namespace MeridianSpace
