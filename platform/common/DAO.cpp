#include "DAO.h"

#include <memory>

#include "CommonErrorCode.h"
#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "Mapper.h"
#include "MeridianNew.h"
#include "ServiceErrorCode.h"
#include "detail/DAOClassLayout.h"

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

// A save fills one row of 160 strings; making and freeing one per save cost
// more than the rest of the frame, so each thread keeps one and empties it
// after use. A save made while another one fills the row (a mapper that
// saves) gets a row of its own.
class ScratchRow {
public:
    ScratchRow() {
        Slot& shared = slot();
        if (shared.busy) {
            own_ = std::make_unique<ITableData>();
            row_ = own_.get();
        } else {
            shared.busy = true;
            row_ = &shared.row;
        }
    }
    ~ScratchRow() {
        if (own_) return;
        ITableData& row = *row_;
        row._tableInnerName.clear();
        // Every slot, not only the counted ones: a mapper may write beyond
        // its count, and the next one must find the row empty.
        for (int i = 0; i < ITABLEDATA_MAX_COLUMNS; ++i) {
            if (!row._cloInnerName[i].empty()) row._cloInnerName[i].clear();
            if (!row._colValue[i].empty()) row._colValue[i].clear();
            row._colType[i] = 0;
        }
        row._colNum = 0;
        slot().busy = false;
    }
    ScratchRow(const ScratchRow&) = delete;
    ScratchRow& operator=(const ScratchRow&) = delete;

    ITableData& get() { return *row_; }

private:
    struct Slot {
        ITableData row;
        bool busy = false;
    };
    static Slot& slot() {
        thread_local Slot shared;
        return shared;
    }

    ITableData* row_ = nullptr;
    std::unique_ptr<ITableData> own_;
};

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
    std::unique_ptr<Mapper> mapper(createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "对象没有映射器，无法保存。");
    ScratchRow scratch;
    ITableData& row = scratch.get();
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
