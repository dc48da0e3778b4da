#include "DAO.h"

#include <memory>
#include <typeindex>

#include "CommonErrorCode.h"
#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "Mapper.h"
#include "MeridianNew.h"
#include "ServiceErrorCode.h"
#include "detail/DAOClassLayout.h"
#include "detail/ScratchLease.h"
#include "detail/ThreadScratch.h"

namespace MeridianSpace {

namespace {

// The object's table, from its mapper.
ResultMsg tableOf(DAO& object, std::string& table) {
    std::unique_ptr<Mapper> mapper(object.createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "对象没有映射器。");
    ITableData row;
    ResultMsg rm = detail::mapObject(object, *mapper, row);
    if (rm.ok()) table = row._tableInnerName;
    return rm;
}

ResultMsg unsavedDelete(int id) {
    return ResultMsg(COM_ERR_ARGUMENT,
                     "对象尚未保存，无法删除。_ID = " + StringHelper::int2String(id));
}

}  // namespace

DAO::DAO() : _ID(0), _DAOType(DAO_TYPE_PLAIN) {}

DAO::~DAO() = default;

ResultMsg DAO::save(int commitType) {
    InstanceDataManager* idm = getIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();
    return save(*idm, commitType);
}

ResultMsg DAO::save(InstanceDataManager& idm, int commitType) {
    if (_ID < 1) {
        ResultMsg rm;
        int newID = 0;
        // A new record goes through the typed insert its class keeps on this
        // thread, lent to one save at a time.
        auto& slot = detail::ThreadScratch::mine().saves[std::type_index(typeid(*this))];
        detail::ScratchLease<detail::TypedSave> tools(
            slot, [] { return std::make_unique<detail::TypedSave>(); });
        if (detail::insertTyped(tools.get(), *this, idm, commitType, rm, newID)) {
            if (rm.ok()) _ID = newID;
            return rm;
        }
    }
    std::unique_ptr<Mapper> mapper(createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "对象没有映射器，无法保存。");
    // A save fills a row of 160 strings; making and freeing one per save cost
    // more than the rest of the frame, so each thread lends its own.
    detail::ScratchLease<ITableData> scratch(detail::ThreadScratch::mine().row,
                                             [] { return std::make_unique<ITableData>(); });
    ITableData& row = scratch.get();
    detail::clearRow(row);
    ResultMsg rm = detail::mapObject(*this, *mapper, row);
    if (!rm.ok()) return rm;

    if (_ID < 1) {
        int newID = 0;
        rm = idm.addITableData(row, commitType, newID);
        if (rm.ok()) _ID = newID;
        return rm;
    }
    if (row._colNum == 0) return rm;
    IQueryCondition byId;
    byId.columnInnerName = "id";
    byId.operation = "=";
    byId.columValue = StringHelper::int2String(_ID);
    int changed = 0;
    rm = idm.updateITableData(row, {byId}, commitType, changed);
    if (rm.ok() && changed == 0) {
        rm = ResultMsg(SRV_ERR_NO_ROW, "记录不存在，无法更新：" + row._tableInnerName +
                                           " id = " + StringHelper::int2String(_ID));
    }
    return rm;
}

ResultMsg DAO::delself(int commitType) {
    if (_ID < 1) return unsavedDelete(_ID);
    InstanceDataManager* idm = getIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();
    return delself(*idm, commitType);
}

ResultMsg DAO::delself(InstanceDataManager& idm, int commitType) {
    if (_ID < 1) return unsavedDelete(_ID);
    std::string table;
    ResultMsg rm = tableOf(*this, table);
    if (!rm.ok()) return rm;
    return idm.deleteITableDataById(table, _ID, commitType);
}

ResultMsg DAO::delAll(int commitType) {
    std::string table;
    ResultMsg rm = tableOf(*this, table);
    if (!rm.ok()) return rm;
    InstanceDataManager* idm = getIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();
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
    return DAOFactoryRegistry::classNameOf(*this);
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
