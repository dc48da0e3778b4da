#include "M_EntityTableDAO.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "InstanceDataManager.h"
#include "InterfaceParameters.h"
#include "MRDSession.h"
#include "M_DelByInterfaceDAO.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableMapper.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_R_FolderTableDAO.h"
#include "M_R_ModelTableDAO.h"
#include "M_SceneInfoDAO.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "RecordFinder.h"
#include "StringHelper.h"
#include "VersionColumns.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_EntityTableDAO";
const char* const kNullModel = "所属数据模型指针，不能为NULL。";
const char* const kDelEnd = "END:M_EntityTableDAO::delFromEntityModel()";

ResultMsg fail(const std::string& msg) {
    return ResultMsg(RUN_FAIL, msg);
}

const char* const kFindByReadFailed = "ERROR:M_FindByInterfaceDAO::FindByT_M_EntityTableID()失败：";
const char* const kDelByReadFailed = "ERROR:M_DelByInterfaceDAO::FindByT_M_EntityTableID()失败：";

// Keeps the definitions whose parameters all name columns of `columnIDs`.
template <class Definition>
void keepDefinitionsOn(const std::set<int>& columnIDs, std::list<Definition*>& definitions) {
    for (auto it = definitions.begin(); it != definitions.end();) {
        if (parametersAreColumns((*it)->_paraList, columnIDs)) {
            ++it;
            continue;
        }
        delete *it;
        it = definitions.erase(it);
    }
}

// The table's query or delete definitions whose parameters all name columns
// of the model's version (those of `columnIDs` when the caller holds them);
// `definitions` keeps only those.
template <class Definition>
ResultMsg validDefinitions(M_EntityTableDAO& table, M_EntityModelDAO* model,
                           const std::set<int>* columnIDs, std::list<Definition*>& definitions,
                           const std::string& findFailed) {
    ResultMsg rm = Definition::FindByT_M_EntityTableID(table._ID, definitions);
    if (!rm.ok()) return fail(findFailed + rm.rMsg);
    if (columnIDs != nullptr) {
        keepDefinitionsOn(*columnIDs, definitions);
        return rm;
    }
    std::list<M_NormalColumnDAO*> columns;
    PtrListGuard<M_NormalColumnDAO> columnsGuard(columns);
    rm = table.getNormalColumnDAOList(model, columns);
    std::set<int> versionColumnIDs;
    for (const M_NormalColumnDAO* column : columns)
        versionColumnIDs.insert(column->_ID);
    keepDefinitionsOn(versionColumnIDs, definitions);
    return rm;
}

// Deletes every object of the list's rows (inner steps commit later); the
// first failure is returned with `prefix` in front of its message.
template <class T>
ResultMsg delselfAll(std::list<T*>& objects, const std::string& prefix, std::string* report,
                     const char* kind) {
    for (T* object : objects) {
        ResultMsg rm = object->delself(0);
        if (!rm.ok()) return fail(prefix + rm.rMsg);
        if (report != nullptr)
            *report += std::string(kind) + StringHelper::int2String(object->_ID) + "#";
    }
    return ResultMsg();
}

// Whether the model still links the table, into `linked`.
ResultMsg linkedTo(int modelID, int tableID, bool& linked) {
    M_R_ModelTableDAO* found = nullptr;
    ResultMsg rm = M_R_ModelTableDAO::FindByModelIDAndTableID(modelID, tableID, found);
    std::unique_ptr<M_R_ModelTableDAO> link(found);
    linked = link != nullptr;
    return rm;
}

// Columns of other tables that refer to `table` (_fkTableID) and no longer
// meet it in any model version they exist in lose the reference, so that none
// points to a table that is gone or to a later one given its identifier. Each
// is reported as "7,<column _ID>#". Columns of the table itself go or stay
// with it.
ResultMsg clearReferencesTo(M_EntityTableDAO& table, std::string& report) {
    std::list<M_NormalColumnDAO*> referring;
    PtrListGuard<M_NormalColumnDAO> referringGuard(referring);
    ResultMsg rm = RecordFinder<M_NormalColumnDAO>().byInt("M_NormalColumnDAO", "_fkTableID",
                                                           table._ID, referring);
    if (!rm.ok() || referring.empty()) return rm;
    // A reference is cleared only on what was read: a failed read ends the call.
    std::list<M_EntityModelDAO*> owners;
    PtrListGuard<M_EntityModelDAO> ownersGuard(owners);
    rm = table.getEntityModelOwners(owners);
    if (!rm.ok()) return rm;
    for (M_NormalColumnDAO* column : referring) {
        if (column->_t_M_EntityTableID == table._ID) continue;
        bool stillMet = false;
        for (auto owner = owners.begin(); owner != owners.end() && !stillMet; ++owner) {
            if (column->_addVersion > (*owner)->_version ||
                column->_delVersion <= (*owner)->_version)
                continue;
            rm = linkedTo((*owner)->_ID, column->_t_M_EntityTableID, stillMet);
            if (!rm.ok()) return rm;
        }
        if (stillMet) continue;
        column->_fkTableID = -1;
        rm = column->save(0);
        if (!rm.ok()) return fail("错误：清除数据属性对数据类的引用失败。" + rm.rMsg);
        report += "7," + StringHelper::int2String(column->_ID) + "#";
    }
    return ResultMsg();
}

}  // namespace

M_EntityTableDAO::M_EntityTableDAO()
    : _addVersion(0),
      _countType(0),
      _delVersion(MODEL_VERSION_NEVER_DELETED),
      _isDeleted(0),
      _type(0),
      _version(0),
      _whiteBoxType("1:1,2:1,3:1,4:1,5:1,6:1,7:1,8:1"),
      _belongToDictionaryModel(0) {}

M_EntityTableDAO::~M_EntityTableDAO() = default;

DAO* M_EntityTableDAO::createObject() {
    return new M_EntityTableDAO();
}

Mapper* M_EntityTableDAO::createMapper() {
    return new M_EntityTableMapper();
}

ResultMsg M_EntityTableDAO::FindByID(int id, M_EntityTableDAO*& pnewdao) {
    M_EntityTableDAO* found = nullptr;
    ResultMsg rm = RecordFinder<M_EntityTableDAO>().byID(kClassName, id, found);
    if (found == nullptr) return rm;
    pnewdao = found;
    // The type of the highest-version owner, read in one lookup: loading
    // every owning version would cost one more statement per version.
    MetaDataManager* mdm = MeridianNew::getCurrMRDConfigMDM();
    int ownerType = 0;
    if (mdm != nullptr && mdm->findMaxVersionOwnerType(id, ownerType).ok())
        found->_belongToDictionaryModel = ownerType == ENTITY_MODEL_TYPE_DICTIONARY ? 1 : 0;
    return rm;
}

ResultMsg M_EntityTableDAO::FindAll(std::list<M_EntityTableDAO*>& newlist) {
    return RecordFinder<M_EntityTableDAO>().all(kClassName, newlist);
}

ResultMsg M_EntityTableDAO::save(int commitType) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendMsg("[RUN]: M_EntityTableDAO::save(): tableName = " + _name);
    if (_ID > 0) {
        // A stored dictionary table keeps the name it was stored with.
        if (_belongToDictionaryModel == 1) {
            M_EntityTableDAO* stored = nullptr;
            (void)FindByID(_ID, stored);  // not used: a name not read stays as it is
            if (stored != nullptr) {
                _name = stored->_name;
                delete stored;
            }
        }
    } else {
        // The inner name becomes the name of the physical table: refused
        // now rather than by the first instance file or dictionary table.
        const std::string innerName = _name + "_" + StringHelper::int2String(_addVersion);
        ResultMsg named = InstanceDataManager::checkTableName(innerName);
        if (!named.ok()) {
            log->appendError("M_EntityTableDAO::save():InstanceDataManager::checkTableName() ",
                             named.rMsg);
            return fail(named.rMsg);
        }
        _innerName = innerName;
        // A new dictionary table arrives as name + "_" + model _ID: the inner
        // name keeps the suffix (unique per model), the name drops it.
        if (_belongToDictionaryModel == 1) {
            std::vector<std::string> pieces = StringHelper::splitString(_name, "_");
            std::string name;
            for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
                name += (i == 0 ? "" : "_") + pieces[i];
            _name = name;
        }
    }
    ResultMsg rm = M_ObjectDAO::save(commitType);
    if (!rm.ok()) {
        std::string msg = "数据类自保存M_ObjectDAO::save()失败：" + rm.rMsg;
        log->appendError("M_EntityTableDAO::save():M_ObjectDAO::save() ", msg);
        return ResultMsg(rm.rCode, msg);
    }
    log->appendMsg("[RUN_END]: M_EntityTableDAO::save(): tableName = " + _name);
    return ResultMsg(RUN_SUCCESS, rm.rMsg);
}

bool M_EntityTableDAO::isBelongToDictionaryModel() {
    return _belongToDictionaryModel == 1;
}

ResultMsg M_EntityTableDAO::getEntityModelOwners(std::list<M_EntityModelDAO*>& models) {
    std::list<M_R_ModelTableDAO*> links;
    PtrListGuard<M_R_ModelTableDAO> linksGuard(links);
    (void)M_R_ModelTableDAO::FindByT_M_EntityTableID(_ID, links);  // the last FindByID answers
    ResultMsg rm;
    for (const M_R_ModelTableDAO* link : links) {
        M_EntityModelDAO* model = nullptr;
        rm = M_EntityModelDAO::FindByID(link->_t_M_EntityModelID, model);
        if (model != nullptr) models.push_back(model);
    }
    return rm;
}

ResultMsg M_EntityTableDAO::getMaxVersionEntityModelOwner(M_EntityModelDAO*& model) {
    std::list<M_EntityModelDAO*> owners;
    PtrListGuard<M_EntityModelDAO> ownersGuard(owners);
    (void)getEntityModelOwners(owners);  // the answer is code 0 whatever was found
    M_EntityModelDAO* best = nullptr;
    for (M_EntityModelDAO* owner : owners) {
        if (owner->_version > (best != nullptr ? best->_version : 0)) best = owner;
    }
    owners.remove(best);
    model = best;
    return ResultMsg();
}

ResultMsg M_EntityTableDAO::getFolderOwner(M_EntityModelDAO* pMEntityModel,
                                           std::list<M_FolderDAO*>& folders) {
    if (pMEntityModel == nullptr) return fail("ERROR:所属数据模型, 指针不能为NULL。");
    if (pMEntityModel->_ID <= 0) return fail("ERROR:所属数据模型,  _ID不能小于等于0。");
    std::list<M_FolderDAO*> modelFolders;
    PtrListGuard<M_FolderDAO> foldersGuard(modelFolders);
    (void)M_FolderDAO::FindByEntityModelID(pMEntityModel->_ID, modelFolders);  // links answer
    std::list<M_R_FolderTableDAO*> links;
    PtrListGuard<M_R_FolderTableDAO> linksGuard(links);
    ResultMsg rm = M_R_FolderTableDAO::FindByT_M_EntityTableID(_ID, links);
    std::set<int> linkedFolders;
    for (const M_R_FolderTableDAO* link : links)
        linkedFolders.insert(link->_t_M_FolderID);
    for (auto it = modelFolders.begin(); it != modelFolders.end();) {
        if (linkedFolders.count((*it)->_ID) == 0) {
            ++it;
            continue;
        }
        folders.push_back(*it);
        it = modelFolders.erase(it);
    }
    return rm;
}

ResultMsg M_EntityTableDAO::addNormalColumnDAO(M_EntityModelDAO* pMEntityModel,
                                               M_NormalColumnDAO* column, int commitType) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendMsg("[RUN]:M_EntityTableDAO::addNormalColumnDAO(): tableName = " + _name);
    if (pMEntityModel == nullptr || column == nullptr) {
        std::string msg = pMEntityModel == nullptr ? kNullModel : "待添加属性的指针，不能为NULL。";
        log->appendError("M_EntityTableDAO::addNormalColumnDAO() ", msg);
        return fail(msg);
    }
    bool owned = false;
    {
        std::list<M_EntityModelDAO*> owners;
        PtrListGuard<M_EntityModelDAO> ownersGuard(owners);
        (void)getEntityModelOwners(owners);  // an owner not found refuses the column below
        for (const M_EntityModelDAO* owner : owners)
            owned = owned || owner->_ID == pMEntityModel->_ID;
    }
    if (!owned) {
        std::string msg = "此数据类不属于输入的数据模型指针，请更改输入的数据模型。";
        log->appendError("M_EntityTableDAO::addNormalColumnDAO()：getEntityModelOwners() ", msg);
        return fail(msg);
    }
    column->_addVersion = pMEntityModel->_version;
    column->_version = pMEntityModel->_version;
    ResultMsg rm = RelationDataTool(this).add1N(column, column->_t_M_EntityTableID, commitType);
    if (!rm.ok()) {
        std::string msg = "rdt.add1N 失败。" + rm.rMsg;
        log->appendError("M_EntityTableDAO::addNormalColumnDAO()：rdt.add1N() ", msg);
        return fail(msg);
    }
    return MeridianNew::getCurrMRDConfigIDM()->initialMetaDataCache();
}

ResultMsg M_EntityTableDAO::getNormalColumnDAOList(M_EntityModelDAO* pMEntityModel,
                                                   std::list<M_NormalColumnDAO*>& columns) {
    if (pMEntityModel == nullptr) return fail(kNullModel);
    std::list<M_NormalColumnDAO*> found;
    PtrListGuard<M_NormalColumnDAO> foundGuard(found);
    ResultMsg rm = M_NormalColumnDAO::FindByT_M_EntityTableID(_ID, found);
    takeVersionColumns(found, pMEntityModel->_version, columns);
    return rm;
}

ResultMsg M_EntityTableDAO::addSceneInfo(M_EntityModelDAO* pMEntityModel, M_SceneInfoDAO* scene,
                                         int commitType) {
    if (pMEntityModel == nullptr) return fail(kNullModel);
    if (scene != nullptr) {
        scene->_parentType = SCENE_KIND_TABLE;
        scene->_entityModelID = pMEntityModel->_ID;
    }
    return RelationDataTool(this).add1N(scene, &M_SceneInfoDAO::_parentID, commitType);
}

ResultMsg M_EntityTableDAO::getSceneInfoList(M_EntityModelDAO* pMEntityModel,
                                             std::list<M_SceneInfoDAO*>& scenes) {
    if (pMEntityModel == nullptr) return fail(kNullModel);
    return M_SceneInfoDAO::FindByModelIDAndParentTypeAndParentID(pMEntityModel->_ID,
                                                                 SCENE_KIND_TABLE, _ID, scenes);
}

ResultMsg M_EntityTableDAO::addFindByInterfaceDAO(M_FindByInterfaceDAO* definition,
                                                  int commitType) {
    return RelationDataTool(this).add1N(definition, &M_FindByInterfaceDAO::_t_M_EntityTableID,
                                        commitType);
}

ResultMsg M_EntityTableDAO::removeFindByInterfaceDAO(M_FindByInterfaceDAO* definition,
                                                     int commitType) {
    return RelationDataTool(this).remove1N(definition, &M_FindByInterfaceDAO::_t_M_EntityTableID,
                                           commitType);
}

ResultMsg M_EntityTableDAO::getFindByInterfaceDAOList(
    M_EntityModelDAO* pMEntityModel, std::list<M_FindByInterfaceDAO*>& definitions) {
    return validDefinitions(*this, pMEntityModel, nullptr, definitions, kFindByReadFailed);
}

ResultMsg M_EntityTableDAO::getFindByInterfaceDAOList(
    const std::set<int>& columnIDs, std::list<M_FindByInterfaceDAO*>& definitions) {
    return validDefinitions(*this, nullptr, &columnIDs, definitions, kFindByReadFailed);
}

ResultMsg M_EntityTableDAO::addDelByInterfaceDAO(M_DelByInterfaceDAO* definition, int commitType) {
    return RelationDataTool(this).add1N(definition, &M_DelByInterfaceDAO::_t_M_EntityTableID,
                                        commitType);
}

ResultMsg M_EntityTableDAO::removeDelByInterfaceDAO(M_DelByInterfaceDAO* definition,
                                                    int commitType) {
    return RelationDataTool(this).remove1N(definition, &M_DelByInterfaceDAO::_t_M_EntityTableID,
                                           commitType);
}

ResultMsg M_EntityTableDAO::getDelByInterfaceDAOList(M_EntityModelDAO* pMEntityModel,
                                                     std::list<M_DelByInterfaceDAO*>& definitions) {
    return validDefinitions(*this, pMEntityModel, nullptr, definitions, kDelByReadFailed);
}

ResultMsg M_EntityTableDAO::getDelByInterfaceDAOList(const std::set<int>& columnIDs,
                                                     std::list<M_DelByInterfaceDAO*>& definitions) {
    return validDefinitions(*this, nullptr, &columnIDs, definitions, kDelByReadFailed);
}

ResultMsg M_EntityTableDAO::getRelationInfo(M_EntityModelDAO* pMEntityModel,
                                            std::list<M_NormalColumnDAO*>& columns,
                                            std::list<M_EntityTableDAO*>& tables) {
    if (pMEntityModel == nullptr) return fail(kNullModel);
    const std::string keyColumn = "CR" + _name + "ID";
    const std::string prefix = "TR_" + _name;
    std::string suffix = "_" + _name;
    if (pMEntityModel->_type == ENTITY_MODEL_TYPE_DICTIONARY)
        suffix += "_" + StringHelper::int2String(pMEntityModel->_ID);

    // The store picks the matching tables and columns of the model's version
    // by index, so the cost does not grow with the size of the model.
    MetaDataManager* mdm = MeridianNew::getCurrMRDConfigMDM();
    if (mdm == nullptr) return MeridianNew::noCurrentDatabase();
    // The answer is code 0 whatever was found: a relation that cannot be read
    // is not there for the caller.
    std::vector<int> tableIDs;
    (void)mdm->findRelatedTableIDs(pMEntityModel->_ID, pMEntityModel->_version, prefix, suffix,
                                   tableIDs);
    for (int id : tableIDs) {
        M_EntityTableDAO* table = nullptr;
        (void)FindByID(id, table);  // see above
        if (table != nullptr) tables.push_back(table);
    }
    std::set<int> relatedTables;
    for (const M_EntityTableDAO* table : tables)
        relatedTables.insert(table->_ID);

    std::vector<int> columnIDs;  // see above
    (void)mdm->findModelColumnIDsByName(pMEntityModel->_ID, pMEntityModel->_version, keyColumn,
                                        columnIDs);
    for (int id : columnIDs) {
        M_NormalColumnDAO* found = nullptr;
        (void)M_NormalColumnDAO::FindByID(id, found);  // see above
        std::unique_ptr<M_NormalColumnDAO> column(found);
        if (column && relatedTables.count(column->_t_M_EntityTableID) == 0)
            columns.push_back(column.release());
    }
    return ResultMsg();
}

ResultMsg M_EntityTableDAO::delFromEntityModel(M_EntityModelDAO* pMEntityModel,
                                               std::string& report) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendMsg("RUN:M_EntityTableDAO::delFromEntityModel()");
    if (pMEntityModel == nullptr) return fail(kNullModel);
    const int modelID = pMEntityModel->_ID;

    MetaDataManager* mdm = MeridianNew::getCurrMRDConfigMDM();
    if (mdm == nullptr) return MeridianNew::noCurrentDatabase();
    ResultMsg removed = mdm->delMTableByIdFromEntityModel(_ID, modelID);
    ResultMsg committed = mdm->getPSession()->commit();
    if (!removed.ok()) return fail("delMTableByIdFromEntityModel()失败:" + removed.rMsg);
    if (!committed.ok()) return fail("delMTableByIdFromEntityModel()失败:" + committed.rMsg);

    // Folder links: those whose folder belongs to the model.
    {
        std::list<M_R_FolderTableDAO*> links;
        PtrListGuard<M_R_FolderTableDAO> linksGuard(links);
        // A link that could not be read would stay behind the table.
        ResultMsg rm = M_R_FolderTableDAO::FindByT_M_EntityTableID(_ID, links);
        if (!rm.ok()) return fail("M_R_FolderTableDAO()->delself()失败:" + rm.rMsg);
        for (M_R_FolderTableDAO* link : links) {
            M_FolderDAO* found = nullptr;
            rm = M_FolderDAO::FindByID(link->_t_M_FolderID, found);
            std::unique_ptr<M_FolderDAO> folder(found);
            if (!rm.ok()) return fail("M_R_FolderTableDAO()->delself()失败:" + rm.rMsg);
            if (!folder || folder->_t_M_EntityModelID != modelID) continue;
            rm = link->delself(0);
            if (!rm.ok()) return fail("M_R_FolderTableDAO()->delself()失败:" + rm.rMsg);
        }
    }
    log->appendMsg("RUN:M_EntityTableDAO::delFromEntityModel:ft->delself()()");

    {
        std::list<M_FindByInterfaceDAO*> finds;
        PtrListGuard<M_FindByInterfaceDAO> findsGuard(finds);
        (void)getFindByInterfaceDAOList(pMEntityModel, finds);  // its result is not checked
        ResultMsg rm =
            delselfAll(finds, "ERROR:M_FindByInterfaceDAO()->delself()失败:", nullptr, "");
        if (!rm.ok()) return rm;
    }
    log->appendMsg("RUN:1");
    {
        std::list<M_DelByInterfaceDAO*> dels;
        PtrListGuard<M_DelByInterfaceDAO> delsGuard(dels);
        (void)getDelByInterfaceDAOList(pMEntityModel, dels);  // its result is not checked
        ResultMsg rm = delselfAll(dels, "ERROR:M_DelByInterfaceDAO()->delself()失败:", nullptr, "");
        if (!rm.ok()) return rm;
    }
    log->appendMsg("RUN:2");

    std::string local;
    {
        std::list<M_NormalColumnDAO*> columns;
        PtrListGuard<M_NormalColumnDAO> columnsGuard(columns);
        std::list<M_EntityTableDAO*> tables;
        PtrListGuard<M_EntityTableDAO> tablesGuard(tables);
        (void)getRelationInfo(pMEntityModel, columns, tables);  // always code 0
        ResultMsg rm = delselfAll(
            columns, "ERROR:关系相关的M_NormalColumnDAO()->delself()失败:", &local, "3,");
        if (!rm.ok()) return rm;
        log->appendMsg("RUN:3");
        for (M_EntityTableDAO* table : tables) {
            // A table related to two of these (Y_X_A to X_A as well) went
            // with the first; its removal is in the report already.
            bool linked = false;
            rm = linkedTo(modelID, table->_ID, linked);
            if (!rm.ok())
                return fail("ERROR:关系相关的M_EntityTableDAO()->delself()失败:" + rm.rMsg);
            if (!linked) continue;
            rm = table->delFromEntityModel(pMEntityModel, report);
            if (!rm.ok())
                return fail("ERROR:关系相关的M_EntityTableDAO()->delself()失败:" + rm.rMsg);
            local += "2," + StringHelper::int2String(table->_ID) + "#";
        }
        log->appendMsg("RUN:4");
    }
    {
        std::list<M_SceneInfoDAO*> scenes;
        PtrListGuard<M_SceneInfoDAO> scenesGuard(scenes);
        // A record that could not be read would show a table that is gone.
        ResultMsg rm = M_SceneInfoDAO::FindByModelIDAndParentTypeAndParentID(
            modelID, SCENE_KIND_TABLE, _ID, scenes);
        if (!rm.ok()) return fail("ERROR:M_SceneInfoDAO()->delself()失败:" + rm.rMsg);
        rm = delselfAll(scenes, "ERROR:M_SceneInfoDAO()->delself()失败:", &local, "6,");
        if (!rm.ok()) return rm;
    }
    if (local.size() > 1) report += local;
    log->appendMsg("RUN:5");

    if (_belongToDictionaryModel == 1)
        (void)MeridianNew::getCurrMRDConfigIDM()->delTableInstance(_innerName);  // not checked
    log->appendMsg("RUN:6");

    M_R_ModelTableDAO* foundLink = nullptr;
    ResultMsg rm = M_R_ModelTableDAO::FindByModelIDAndTableID(modelID, _ID, foundLink);
    std::unique_ptr<M_R_ModelTableDAO> modelLink(foundLink);
    if (modelLink) {
        rm = modelLink->delself(0);
        if (!rm.ok()) {
            std::string msg = "错误：删除数据模型与数据类的关联信息失败。";
            log->appendError("M_EntityTableDAO::delFromEntityModel:M_R_ModelTableDAO->delself() ",
                             msg);
            log->appendMsg(kDelEnd);
            return fail(msg);
        }
    }

    ResultMsg cleared = clearReferencesTo(*this, report);
    if (!cleared.ok()) {
        log->appendError("M_EntityTableDAO::delFromEntityModel:clearReferencesTo() ", cleared.rMsg);
        log->appendMsg(kDelEnd);
        return cleared;
    }

    // Another model version still links the table: its row and columns stay.
    std::list<M_R_ModelTableDAO*> otherLinks;
    PtrListGuard<M_R_ModelTableDAO> otherLinksGuard(otherLinks);
    // Links that could not be read keep the table: it may still be in use.
    ResultMsg others = M_R_ModelTableDAO::FindByT_M_EntityTableID(_ID, otherLinks);
    if (!others.ok() || !otherLinks.empty()) {
        if (!others.ok()) rm = fail("错误：删除数据类自身失败。" + others.rMsg);
        log->appendMsg(kDelEnd);
        return rm;
    }

    std::list<M_NormalColumnDAO*> ownColumns;
    PtrListGuard<M_NormalColumnDAO> ownColumnsGuard(ownColumns);
    // Columns that could not be read would outlive their table.
    rm = M_NormalColumnDAO::FindByT_M_EntityTableID(_ID, ownColumns);
    for (auto column = ownColumns.begin(); rm.ok() && column != ownColumns.end(); ++column)
        rm = (*column)->delself(0);
    if (!rm.ok()) {
        std::string msg = "错误：删除数据属性失败。";
        log->appendError("M_EntityTableDAO::delFromEntityModel:M_NormalColumnDAO->delself() ", msg);
        log->appendMsg(kDelEnd);
        return fail(msg);
    }
    rm = DAO::delself(0);
    if (!rm.ok()) {
        std::string msg = "错误：删除数据类自身失败。";
        log->appendError("M_EntityTableDAO::delFromEntityModel:M_ObjectDAO->delself() ", msg);
        log->appendMsg(kDelEnd);
        return fail(msg);
    }
    log->appendMsg(kDelEnd);
    return rm;
}

}  // namespace MeridianSpace
