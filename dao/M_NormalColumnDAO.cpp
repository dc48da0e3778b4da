#include "M_NormalColumnDAO.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>
#include <vector>

#include "InstanceDataManager.h"
#include "MNormalColumn.h"
#include "MRDSession.h"
#include "MTable.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_NormalColumnMapper.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "RecordFinder.h"
#include "StringHelper.h"
#include "Transaction.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_NormalColumnDAO";

// Creates the physical table with its first column, or adds a later column
// to it, in the configuration database that holds dictionary rows.
ResultMsg addPhysicalColumn(const M_NormalColumnDAO& column, const M_EntityTableDAO& table,
                            std::size_t storedColumns) {
    MNormalColumn description;
    description._name = column._name;
    description._innerName = column._innerName;
    description._dataType = column._dataType;
    description._maxLength = column._maxLength;
    description._numPresision = column._numPresision;

    InstanceDataManager* idm = MeridianNew::getCurrMRDConfigIDM();
    ResultMsg rm;
    // A physical table that is already there (another model's table of the
    // same inner name, or a copy imported before) keeps its rows: the column
    // is added when it lacks it.
    std::vector<std::string> existing;
    const bool tableExists = idm->getTableColumnNames(table._innerName, existing).ok();
    if (tableExists) {
        for (const std::string& name : existing) {
            if (StringHelper::equalsIgnoreCase(name, column._innerName)) return rm;
        }
        storedColumns = 2;
    }
    if (storedColumns == 1) {
        MTable physical;
        physical._name = table._name;
        physical._innerName = table._innerName;
        if (description._dataType == COL_TYPE_BLOB_CHAR ||
            description._dataType == COL_TYPE_BLOB_DOUBLE) {
            description._dataType = COL_TYPE_BLOB;
        }
        rm = idm->addMTableInstance(physical, {description});
        if (!rm.ok()) {
            MeridianNew::LOGGER()->appendError(
                "M_NormalColumnDAO::save():MeridianNew::getCurrMRDConfigIDM()->addMTableInstance()"
                " ",
                rm.rMsg);
        }
    } else {
        rm = idm->addNormalColumnInstance(table._innerName, description);
        if (!rm.ok()) {
            MeridianNew::LOGGER()->appendError(
                "M_NormalColumnDAO::save():MeridianNew::getCurrMRDConfigIDM()->"
                "addMTaaddNormalColumnInstancebleInstance() ",
                rm.rMsg);
        }
    }
    return rm;
}

// A decimal integer, with a sign and leading zeros, of 64 bits or (`wide`
// false) of 32.
bool isIntegerText(const std::string& text, bool wide) {
    const char* first = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const char* const last = text.data() + text.size();
    if (first != text.data() && first != last && *first == '-') return false;  // "+-1"
    long long value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last &&
           (wide || (value >= INT32_MIN && value <= INT32_MAX));
}

// A default the column cannot take, refused before anything is written.
ResultMsg checkedDefault(const M_NormalColumnDAO& column) {
    ResultMsg rm = column.checkDefaultValue();
    if (!rm.ok()) MeridianNew::LOGGER()->appendError("M_NormalColumnDAO::save() ", rm.rMsg);
    return rm;
}

// A failed save of the column's own row.
ResultMsg ownSaveFailed(const ResultMsg& saved) {
    std::string msg = "数据属性自保存M_ObjectDAO::save()失败：" + saved.rMsg;
    MeridianNew::LOGGER()->appendError("M_NormalColumnDAO::save():_ObjectDAO::save(commitType) ",
                                       msg);
    return ResultMsg(saved.rCode, msg);
}

}  // namespace

M_NormalColumnDAO::M_NormalColumnDAO()
    : _addVersion(0),
      _dataType(1),
      _delVersion(MODEL_VERSION_NEVER_DELETED),
      _fkTableID(-1),
      _fkType(0),
      _interfaceAttrType(0),
      _isAutoIncrement(0),
      _isDeleted(0),
      _isFindKey(0),
      _isIndex(0),
      _isOnly(0),
      _isPk(0),
      _maxLength(256),
      _minLength(0),
      _numLength(10),
      _numPresision(3),
      _t_M_EntityTableID(-1),
      _t_M_EntityViewID(-1),
      _version(0) {}

M_NormalColumnDAO::~M_NormalColumnDAO() = default;

DAO* M_NormalColumnDAO::createObject() {
    return new M_NormalColumnDAO();
}

Mapper* M_NormalColumnDAO::createMapper() {
    return new M_NormalColumnMapper();
}

ResultMsg M_NormalColumnDAO::FindByID(int id, M_NormalColumnDAO*& pnewdao) {
    return RecordFinder<M_NormalColumnDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_NormalColumnDAO::FindAll(std::list<M_NormalColumnDAO*>& newlist) {
    return RecordFinder<M_NormalColumnDAO>().all(kClassName, newlist);
}

ResultMsg M_NormalColumnDAO::FindByT_M_EntityTableID(int tableID,
                                                     std::list<M_NormalColumnDAO*>& newlist) {
    return RecordFinder<M_NormalColumnDAO>().byInt(kClassName, "_t_M_EntityTableID", tableID,
                                                   newlist);
}

ResultMsg M_NormalColumnDAO::save(int commitType) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendMsg("[RUN]: M_NormalColumnDAO::save(): columnName = " + _name);
    ResultMsg result = [&]() -> ResultMsg {
        const std::string tableID = StringHelper::int2String(_t_M_EntityTableID);
        if (_t_M_EntityTableID < 1) {
            std::string msg = "数据属性所属数据类的_ID必须大于0。_t_M_EntityTableID = " + tableID;
            log->appendError("M_NormalColumnDAO::save() ", msg);
            return ResultMsg(RUN_FAIL, msg);
        }
        M_EntityTableDAO* found = nullptr;
        (void)M_EntityTableDAO::FindByID(_t_M_EntityTableID, found);  // none read: refused below
        std::unique_ptr<M_EntityTableDAO> table(found);
        if (!table) {
            std::string msg = "数据属性所属数据类在库中未找到。_t_M_EntityTableID = " + tableID;
            log->appendError("M_NormalColumnDAO::save():M_EntityTableDAO::FindByID() ", msg);
            return ResultMsg(RUN_FAIL, msg);
        }

        if (_ID < 1) {
            std::vector<std::string> others;
            MetaDataManager* mdm = MeridianNew::getCurrMRDConfigMDM();
            if (mdm == nullptr) return MeridianNew::noCurrentDatabase();
            ResultMsg named = mdm->findColumnInnerNames(_t_M_EntityTableID, others);
            if (!named.ok()) {
                log->appendError(
                    "M_NormalColumnDAO::save():InstanceDataManager::checkColumnName() ",
                    named.rMsg);
                return ResultMsg(RUN_FAIL, named.rMsg);
            }
            return saveAsNewColumnOf(*table, others, commitType);
        }
        ResultMsg fits = checkedDefault(*this);
        if (!fits.ok()) return fits;
        ResultMsg saved = M_ObjectDAO::save(commitType);
        if (!saved.ok()) return ownSaveFailed(saved);
        return ResultMsg(RUN_SUCCESS, saved.rMsg);
    }();
    log->appendMsg("[RUN_END]:M_NormalColumnDAO::save(): columnName = " + _name);
    return result;
}

ResultMsg M_NormalColumnDAO::saveAsNewColumnOf(M_EntityTableDAO& table,
                                               std::vector<std::string>& innerNames,
                                               int commitType) {
    ResultMsg fits = checkedDefault(*this);
    if (!fits.ok()) return fits;
    // The inner name becomes the name of a physical column, checked against
    // the table's other columns now rather than by the first instance file
    // or dictionary table.
    const std::string innerName = _name + "_" + StringHelper::int2String(_addVersion);
    ResultMsg named = InstanceDataManager::checkColumnName(innerName, innerNames);
    if (!named.ok()) {
        MeridianNew::LOGGER()->appendError(
            "M_NormalColumnDAO::save():InstanceDataManager::checkColumnName() ", named.rMsg);
        return ResultMsg(RUN_FAIL, named.rMsg);
    }
    _innerName = innerName;
    ResultMsg saved = M_ObjectDAO::save(commitType);
    if (!saved.ok()) return ownSaveFailed(saved);
    innerNames.push_back(_innerName);
    if (!table.isBelongToDictionaryModel()) return ResultMsg(RUN_SUCCESS, saved.rMsg);
    return addPhysicalColumn(*this, table, innerNames.size());
}

ResultMsg M_NormalColumnDAO::delFromEntityModel(M_EntityModelDAO* pMEntityModel) {
    if (pMEntityModel == nullptr) return ResultMsg(RUN_FAIL, "所属数据模型指针，不能为NULL。");
    MetaDataManager* mdm = MeridianNew::getCurrMRDConfigMDM();
    if (mdm == nullptr) return MeridianNew::noCurrentDatabase();
    ResultMsg removed = mdm->delMNormalColumnById(_ID, pMEntityModel->_ID);
    ResultMsg committed = mdm->getPSession()->commit();
    return removed.ok() ? committed : removed;
}

ResultMsg M_NormalColumnDAO::reviseInModel(M_EntityModelDAO* pMEntityModel, int commitType) {
    if (pMEntityModel == nullptr) return ResultMsg(RUN_FAIL, "所属数据模型指针，不能为NULL。");
    const int version = pMEntityModel->_version;
    if (pMEntityModel->_isVersionLocked == 1) {
        return ResultMsg(RUN_FAIL, "数据模型版本已定版，不能修改数据属性。版本 = " +
                                       StringHelper::int2String(version));
    }
    M_NormalColumnDAO* found = nullptr;
    ResultMsg rm = FindByID(_ID, found);
    const std::unique_ptr<M_NormalColumnDAO> stored(found);
    if (!rm.ok()) return rm;
    if (!stored || stored->_addVersion > version || stored->_delVersion <= version) {
        return ResultMsg(RUN_FAIL, "数据属性不在此数据模型版本中，不能修改。_ID = " +
                                       StringHelper::int2String(_ID));
    }
    M_EntityTableDAO* foundTable = nullptr;
    rm = M_EntityTableDAO::FindByID(stored->_t_M_EntityTableID, foundTable);
    const std::unique_ptr<M_EntityTableDAO> table(foundTable);
    if (!rm.ok()) return rm;
    if (table && table->isBelongToDictionaryModel()) {
        return ResultMsg(RUN_FAIL,
                         "字典数据模型的数据属性不能按版本修改：其物理表为所有版本共用。");
    }
    InstanceDataManager* idm = MeridianNew::getCurrMRDConfigIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();

    Savepoint group(*idm);
    if (!group.begun().ok()) return group.begun();
    M_NormalColumnDAO revised(*this);
    revised._t_M_EntityTableID = stored->_t_M_EntityTableID;
    revised._innerName = stored->_innerName;
    revised._delVersion = stored->_delVersion;
    revised._addVersion = std::max(stored->_addVersion, version);
    revised._version = version;
    if (stored->_addVersion < version) {
        // The earlier versions' state, as a record of its own that ends here;
        // saved as the row it is, since its inner name is taken already.
        stored->_ID = -1;
        stored->_delVersion = version;
        rm = stored->M_ObjectDAO::save(0);
    }
    if (rm.ok()) rm = revised.save(0);
    if (rm.ok()) rm = group.release();
    if (rm.ok() && commitType == COMMIT_T_IMMEDIATELY) rm = idm->getPSession()->commit();
    if (rm.ok()) *this = revised;
    return rm;
}

ResultMsg M_NormalColumnDAO::checkDefaultValue() const {
    std::string value = _defaultValue;
    StringHelper::TrimSpace(value);
    double real = 0.0;
    const char* type = nullptr;
    if (value.empty()) return ResultMsg();
    if (_dataType == COL_TYPE_INT && !isIntegerText(value, holdsWideIntegers())) {
        type = holdsWideIntegers() ? "64位整数" : "32位整数";
    } else if (_dataType == COL_TYPE_DOUBLE && !StringHelper::parseWholeDouble(value, real)) {
        type = "实数";
    }
    if (type == nullptr) return ResultMsg();
    return ResultMsg(RUN_FAIL,
                     "数据属性\"" + _name + "\"的默认值\"" + value + "\"不是" + type + "。");
}

std::string M_NormalColumnDAO::NameToDAOAttriName(std::string name) {
    std::string rest = name.empty() ? std::string() : name.substr(1);
    if (!rest.empty() && rest[0] >= 'A' && rest[0] <= 'Z')
        rest[0] = static_cast<char>(rest[0] - 'A' + 'a');
    return "_" + rest;
}

}  // namespace MeridianSpace
