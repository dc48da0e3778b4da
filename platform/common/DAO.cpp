#include "DAO.h"

#include <memory>
#include <typeinfo>

#include "CommonErrorCode.h"
#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "Mapper.h"
#include "MeridianNew.h"
#include "ServiceErrorCode.h"
#include "detail/DAOClassLayout.h"

namespace MeridianSpace {

namespace {

ResultMsg noDatabase() {
    return ResultMsg(COM_ERR_NOT_STARTED, "没有可用的当前数据库，平台未启动或未连接。");
}

// The object's table, from its mapper.
ResultMsg tableOf(DAO& object, std::string& table) {
    std::unique_ptr<Mapper> mapper(object.createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "对象没有映射器。");
    ITableData row;
    ResultMsg rm = detail::mapObject(object, *mapper, row);
    if (rm.ok()) table = row._tableInnerName;
    return rm;
}

}  // namespace

DAO::DAO() : _ID(0), _DAOType(0) {}

DAO::~DAO() = default;

ResultMsg DAO::save(int commitType) {
    std::unique_ptr<Mapper> mapper(createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "对象没有映射器，无法保存。");
    ITableData row;
    ResultMsg rm = detail::mapObject(*this, *mapper, row);
    if (!rm.ok()) return rm;
    InstanceDataManager* idm = getIDM();
    if (idm == nullptr) return noDatabase();

    if (_ID < 1) {
        int newID = 0;
        rm = idm->addITableData(row, commitType, newID);
        if (rm.ok()) _ID = newID;
        return rm;
    }
    if (row._colNum == 0) return rm;
    IQueryCondition byId;
    byId.columnInnerName = "id";
    byId.operation = "=";
    byId.columValue = StringHelper::int2String(_ID);
    int changed = 0;
    rm = idm->updateITableData(row, {byId}, commitType, changed);
    if (rm.ok() && changed == 0) {
        rm = ResultMsg(SRV_ERR_NO_ROW, "记录不存在，无法更新：" + row._tableInnerName +
                                           " id = " + StringHelper::int2String(_ID));
    }
    return rm;
}

ResultMsg DAO::delself(int commitType) {
    if (_ID < 1) {
        return ResultMsg(COM_ERR_ARGUMENT,
                         "对象尚未保存，无法删除。_ID = " + StringHelper::int2String(_ID));
    }
    std::string table;
    ResultMsg rm = tableOf(*this, table);
    if (!rm.ok()) return rm;
    InstanceDataManager* idm = getIDM();
    if (idm == nullptr) return noDatabase();
    return idm->deleteITableDataById(table, _ID, commitType);
}

ResultMsg DAO::delAll(int commitType) {
    std::string table;
    ResultMsg rm = tableOf(*this, table);
    if (!rm.ok()) return rm;
    InstanceDataManager* idm = getIDM();
    if (idm == nullptr) return noDatabase();
    return idm->deleteITableDataAll(table, commitType);
}

Mapper* DAO::createMapper() {
    return nullptr;
}

InstanceDataManager* DAO::getIDM() {
    return MeridianNew::getCurrentWorkDBIDM();
}

ResultMsg DAO::toMapData(std::map<std::string, std::string>& data) {
    std::unique_ptr<Mapper> mapper(createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "对象没有映射器。");
    ITableData row;
    ResultMsg rm = detail::mapObject(*this, *mapper, row);
    if (!rm.ok()) return rm;
    for (int i = 0; i < row._colNum; ++i)
        data[row._cloInnerName[i]] = row._colValue[i];
    data["id"] = StringHelper::int2String(_ID);
    return rm;
}

ResultMsg DAO::transfromMapData(std::map<std::string, std::string>& data, DAO*& pdao) {
    std::unique_ptr<Mapper> mapper(createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "对象没有映射器。");
    if (data.size() > static_cast<std::size_t>(ITABLEDATA_MAX_COLUMNS)) {
        return ResultMsg(COM_ERR_ARGUMENT, "数据项超过80个，无法转换。");
    }
    ITableData row;
    row._tableInnerName = mapper->_entityInnerName;
    for (const auto& [column, value] : data) {
        row._cloInnerName[row._colNum] = column;
        row._colValue[row._colNum] = value;
        ++row._colNum;
    }
    DAO* made = mapper->doLoad(row);
    if (made == nullptr) return ResultMsg(COM_ERR_MAPPER, "映射器没有产生对象。");
    pdao = made;
    return ResultMsg();
}

std::string DAO::GetDAOClassName() {
    for (const auto& [className, factory] : DAOFactoryRegistry::factories()) {
        if (factory == nullptr) continue;
        std::unique_ptr<DAO> sample(factory());
        if (sample && typeid(*sample) == typeid(*this)) return className;
    }
    return std::string();
}

InstanceDataManager* totalDAO::getIDM() {
    return MeridianNew::getCurrMRDConfigIDM();
}

InstanceDataManager* subDBDAO::getIDM() {
    return MeridianNew::getCurrentWorkDBIDM();
}

InstanceDataManager* dataDictionaryDAO::getIDM() {
    return MeridianNew::getCurrMRDConfigIDM();
}

}  // namespace MeridianSpace
