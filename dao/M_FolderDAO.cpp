#include "M_FolderDAO.h"

#include <deque>
#include <memory>
#include <set>
#include <vector>

#include "InstanceDataManager.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderMapper.h"
#include "M_NormalColumnDAO.h"
#include "M_R_FolderTableDAO.h"
#include "M_R_ModelTableDAO.h"
#include "M_SceneInfoDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"
#include "RelationDataTool.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_FolderDAO";
const char* const kNoModel = "错误：找不到所属数据 模型信息";

// Delete-report record kinds that a folder filters.
constexpr int REPORT_KIND_TABLE = 2;
constexpr int REPORT_KIND_COLUMN = 3;
constexpr int REPORT_KIND_REFERENCE_CLEARED = 7;

// The folder's model, or null; the look-up's own answer is not needed.
std::unique_ptr<M_EntityModelDAO> findModel(int modelID) {
    M_EntityModelDAO* found = nullptr;
    (void)M_EntityModelDAO::FindByID(modelID, found);  // a failed look-up finds no model
    return std::unique_ptr<M_EntityModelDAO>(found);
}

}  // namespace

M_FolderDAO::M_FolderDAO()
    : _addVersion(0), _folderType(0), _isGenerateDAO(0), _t_M_EntityModelID(0), _t_M_FolderID(0) {}

M_FolderDAO::~M_FolderDAO() = default;

DAO* M_FolderDAO::createObject() {
    return new M_FolderDAO;
}

Mapper* M_FolderDAO::createMapper() {
    return new M_FolderMapper;
}

ResultMsg M_FolderDAO::FindByID(int id, M_FolderDAO*& pnewdao) {
    return RecordFinder<M_FolderDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_FolderDAO::FindAll(std::list<M_FolderDAO*>& newlist) {
    return RecordFinder<M_FolderDAO>().all(kClassName, newlist);
}

ResultMsg M_FolderDAO::FindRootFolderByEntityModelID(int modelID,
                                                     std::list<M_FolderDAO*>& newlist) {
    return RecordFinder<M_FolderDAO>().byAll(kClassName,
                                             FinderConditions()
                                                 .integer("_t_M_EntityModelID", modelID)
                                                 .integer("_t_M_FolderID", " <= ", 0),
                                             newlist);
}

ResultMsg M_FolderDAO::FindByEntityModelID(int modelID, std::list<M_FolderDAO*>& newlist) {
    return RecordFinder<M_FolderDAO>().byAll(
        kClassName, FinderConditions().integer("_t_M_EntityModelID", modelID), newlist);
}

ResultMsg M_FolderDAO::FindByEntityModelIDAndFolderType(int modelID, int folderType,
                                                        std::list<M_FolderDAO*>& newlist) {
    return RecordFinder<M_FolderDAO>().byAll(kClassName,
                                             FinderConditions()
                                                 .integer("_t_M_EntityModelID", modelID)
                                                 .integer("_folderType", folderType),
                                             newlist);
}

ResultMsg M_FolderDAO::FindByParentFolderID(int parentID, std::list<M_FolderDAO*>& newlist) {
    return RecordFinder<M_FolderDAO>().byAll(
        kClassName, FinderConditions().integer("_t_M_FolderID", parentID), newlist);
}

ResultMsg M_FolderDAO::delself(int commitType) {
    // The row goes whatever becomes of the tables and sub-folders; the
    // answer is that of the row's deletion.
    if (std::unique_ptr<M_EntityModelDAO> model = findModel(_t_M_EntityModelID)) {
        std::list<M_EntityTableDAO*> tables;
        PtrListGuard<M_EntityTableDAO> tablesGuard(tables);
        (void)getM_EntityTableDAOList(tables);  // answers 0 once the model is found
        std::string unusedReport;
        for (M_EntityTableDAO* table : tables)
            (void)table->delFromEntityModel(model.get(), unusedReport);  // the loop goes on
    }
    std::list<M_FolderDAO*> subs;
    PtrListGuard<M_FolderDAO> subsGuard(subs);
    (void)FindByParentFolderID(_ID, subs);  // a failed find leaves sub-folders, not the row
    for (M_FolderDAO* sub : subs)
        (void)sub->delself(commitType);  // the loop goes on; the row's deletion answers
    return DAO::delself(commitType);
}

ResultMsg M_FolderDAO::delself(std::string& report, int commitType) {
    if (std::unique_ptr<M_EntityModelDAO> model = findModel(_t_M_EntityModelID)) {
        std::list<M_EntityTableDAO*> tables;
        PtrListGuard<M_EntityTableDAO> tablesGuard(tables);
        (void)getM_EntityTableDAOList(tables);  // answers 0 once the model is found
        for (M_EntityTableDAO* table : tables) {
            std::string tableReport;
            (void)table->delFromEntityModel(model.get(), tableReport);  // its report counts
            // Tables and columns that stay inside this folder's tree go with
            // it; only what lay outside is reported.
            for (const std::string& record : StringHelper::splitString(tableReport, "#")) {
                const std::vector<std::string> parts = StringHelper::splitString(record, ",");
                if (parts.size() >= 2) {
                    const int kind = StringHelper::string2int(parts[0]);
                    const int id = StringHelper::string2int(parts[1]);
                    if (kind == REPORT_KIND_TABLE && isHaveEntityTable(id)) continue;
                    if (kind == REPORT_KIND_COLUMN || kind == REPORT_KIND_REFERENCE_CLEARED) {
                        M_NormalColumnDAO* found = nullptr;
                        (void)M_NormalColumnDAO::FindByID(id, found);  // none: reported
                        std::unique_ptr<M_NormalColumnDAO> column(found);
                        if (column && isHaveEntityTable(column->_t_M_EntityTableID)) continue;
                    }
                }
                report += record + "#";
            }
        }
    }

    std::list<M_FolderDAO*> subs;
    PtrListGuard<M_FolderDAO> subsGuard(subs);
    (void)FindByParentFolderID(_ID, subs);  // a failed find leaves sub-folders, not the row
    for (M_FolderDAO* sub : subs)
        (void)sub->delself(report, commitType);  // not kept; its report is

    std::list<M_SceneInfoDAO*> scenes;
    PtrListGuard<M_SceneInfoDAO> scenesGuard(scenes);
    // A failed find leaves scene records, which name a folder that is gone.
    (void)M_SceneInfoDAO::FindByParentTypeAndParentID(SCENE_KIND_FOLDER, _ID, scenes);
    std::string sceneReport;
    for (M_SceneInfoDAO* scene : scenes) {
        ResultMsg rm = scene->delself(0);
        if (!rm.ok())
            return ResultMsg(RUN_FAIL, "ERROR:M_SceneInfoDAO()->delself()失败:" + rm.rMsg);
        sceneReport += "6," + StringHelper::int2String(scene->_ID) + "#";
    }
    if (sceneReport.size() >= 2) report += sceneReport;
    return DAO::delself(commitType);
}

ResultMsg M_FolderDAO::addM_SubFolderDAO(M_FolderDAO* sub, int commitType) {
    if (sub != nullptr) {
        sub->_t_M_EntityModelID = _t_M_EntityModelID;
        sub->_addVersion = _addVersion;
    }
    return RelationDataTool(this).add1N(sub, &M_FolderDAO::_t_M_FolderID, commitType);
}

ResultMsg M_FolderDAO::removeSubFolderDAO(M_FolderDAO* sub, int commitType) {
    return RelationDataTool(this).remove1N(sub, &M_FolderDAO::_t_M_FolderID, commitType);
}

ResultMsg M_FolderDAO::getSubFolderDAOList(std::list<M_FolderDAO*>& subs) {
    return FindByParentFolderID(_ID, subs);
}

ResultMsg M_FolderDAO::addM_EntityTableDAO(M_EntityTableDAO* table) {
    LogManager* log = MeridianNew::LOGGER();
    const std::string runLine = "[RUN]: M_FolderDAO::addM_EntityTableDAO(): folderName = " + _name;
    log->appendMsg(runLine);
    // Failures before anything was written.
    auto refuse = [&](const std::string& position, const std::string& message) {
        log->appendError(position, message);
        log->appendMsg(runLine);
        return ResultMsg(RUN_FAIL, message);
    };

    if (table == nullptr) {
        return refuse("M_FolderDAO::addM_EntityTableDAO() ",
                      "错误：待添加数据类指针为NULL,不可用。");
    }
    std::unique_ptr<M_EntityModelDAO> model = findModel(_t_M_EntityModelID);
    if (!model) return refuse("M_FolderDAO::addM_EntityTableDAO() ", kNoModel);

    if (model->_type == ENTITY_MODEL_TYPE_DICTIONARY) table->_belongToDictionaryModel = 1;
    const bool tableWasStored = table->_ID >= 1;
    if (!tableWasStored || table->_addVersion < 1) {
        table->_addVersion = model->_version;
        table->_version = model->_version;
    }
    // The model suffix makes a dictionary table's inner name unique per
    // model; the table's save takes it off the name again.
    if (table->_belongToDictionaryModel == 1) {
        table->_name = table->_name + "_" + StringHelper::int2String(model->_ID);
    }
    ResultMsg saved = table->save(0);
    if (!saved.ok()) {
        return refuse("M_FolderDAO::addM_EntityTableDAO():pEntityTable->save() ",
                      "错误：保存数据类自身信息pEntityTable->save()失败。" + saved.rMsg);
    }

    M_R_ModelTableDAO* foundModelLink = nullptr;
    ResultMsg rm =
        M_R_ModelTableDAO::FindByModelIDAndTableID(model->_ID, table->_ID, foundModelLink);
    std::unique_ptr<M_R_ModelTableDAO> modelLink(foundModelLink);
    const bool modelLinkIsNew = !modelLink;
    if (modelLinkIsNew) {
        modelLink = std::make_unique<M_R_ModelTableDAO>();
        modelLink->_t_M_EntityModelID = model->_ID;
        modelLink->_t_M_EntityTableID = table->_ID;
        rm = modelLink->save(0);
    }
    if (!rm.ok()) {
        return refuse("M_FolderDAO::addM_EntityTableDAO():M_R_ModelTableDAO->save() ",
                      "错误：保存数据模型与数据类的关联信息失败。");
    }

    M_R_FolderTableDAO* foundFolderLink = nullptr;
    // Its result is not kept: a link not found is made.
    (void)M_R_FolderTableDAO::FindByFolderIDAndTableID(_ID, table->_ID, foundFolderLink);
    std::unique_ptr<M_R_FolderTableDAO> folderLink(foundFolderLink);
    if (!folderLink) {
        folderLink = std::make_unique<M_R_FolderTableDAO>();
        folderLink->_t_M_EntityTableID = table->_ID;
        folderLink->_t_M_FolderID = _ID;
        rm = folderLink->save(0);
        if (!rm.ok()) {
            const std::string message = "错误：保存数据模块与数据类的关联信息失败。";
            log->appendError("M_FolderDAO::addM_EntityTableDAO():M_R_FolderTableDAO->save() ",
                             message);
            // Undo what this call wrote: a table stored before keeps its row,
            // a model link that existed before stays.
            // The failed link is the answer, whatever the undoing says.
            if (!tableWasStored) (void)table->delself(0);
            if (modelLinkIsNew) (void)modelLink->delself(0);
            rm = ResultMsg(RUN_FAIL, message);
        }
    }
    if (InstanceDataManager* idm = MeridianNew::getCurrMRDConfigIDM()) {
        (void)idm->initialMetaDataCache();  // a stale cache is reloaded by the next change
    }
    log->appendMsg(runLine + "  tableName = " + table->_name);
    return rm;
}

ResultMsg M_FolderDAO::removeM_EntityTableDAO(M_EntityTableDAO* table) {
    MeridianNew::LOGGER()->appendMsg("RUN:M_FolderDAO::removeM_EntityTableDAO()");
    if (table == nullptr) return ResultMsg(RUN_FAIL, "错误：待移除数据类指针为NULL,不可用。");
    if (table->_ID < 1) return ResultMsg();

    M_R_FolderTableDAO* foundFolderLink = nullptr;
    // A link that could not be looked for is not known to be gone.
    ResultMsg found =
        M_R_FolderTableDAO::FindByFolderIDAndTableID(_ID, table->_ID, foundFolderLink);
    std::unique_ptr<M_R_FolderTableDAO> folderLink(foundFolderLink);
    if (!found.ok() || (folderLink && !folderLink->delself(0).ok())) {
        return ResultMsg(RUN_FAIL, "错误：删除数据模块与数据类的关联信息失败。" + found.rMsg);
    }

    std::unique_ptr<M_EntityModelDAO> model = findModel(_t_M_EntityModelID);
    if (!model) return ResultMsg(RUN_FAIL, kNoModel);
    M_R_ModelTableDAO* foundModelLink = nullptr;
    ResultMsg rm =
        M_R_ModelTableDAO::FindByModelIDAndTableID(model->_ID, table->_ID, foundModelLink);
    std::unique_ptr<M_R_ModelTableDAO> modelLink(foundModelLink);
    if (modelLink) rm = modelLink->delself(0);
    if (!rm.ok()) return ResultMsg(RUN_FAIL, "错误：删除数据模型与数据类的关联信息失败。");
    return rm;
}

ResultMsg M_FolderDAO::getM_EntityTableDAOList(std::list<M_EntityTableDAO*>& tables) {
    std::unique_ptr<M_EntityModelDAO> model = findModel(_t_M_EntityModelID);
    if (!model) return ResultMsg(RUN_FAIL, kNoModel);

    std::list<M_R_FolderTableDAO*> links;
    PtrListGuard<M_R_FolderTableDAO> linksGuard(links);
    (void)M_R_FolderTableDAO::FindByT_M_FolderID(_ID, links);  // its result is not kept
    for (M_R_FolderTableDAO* link : links) {
        M_EntityTableDAO* table = nullptr;
        ResultMsg found = M_EntityTableDAO::FindByID(link->_t_M_EntityTableID, table);
        if (table != nullptr) {
            if (model->_type == ENTITY_MODEL_TYPE_DICTIONARY) table->_belongToDictionaryModel = 1;
            tables.push_back(table);
        } else if (found.ok()) {
            // The table is gone: the link dangles. A failed look-up proves
            // nothing, so its link stays.
            (void)link->delself(0);  // a link left dangling is cleaned up next time
        }
    }
    return ResultMsg();
}

bool M_FolderDAO::isHaveEntityTable(int tableID) {
    // An unstored folder has no children (parent key 0 marks the roots).
    if (_ID < 1) return false;
    std::list<M_R_FolderTableDAO*> links;
    PtrListGuard<M_R_FolderTableDAO> linksGuard(links);
    (void)M_R_FolderTableDAO::FindByT_M_EntityTableID(tableID, links);  // no links: false
    std::set<int> holders;
    for (const M_R_FolderTableDAO* link : links)
        holders.insert(link->_t_M_FolderID);
    if (holders.empty()) return false;

    // This folder and its descendants, each visited once.
    std::set<int> visited{_ID};
    std::deque<int> pending{_ID};
    while (!pending.empty()) {
        const int folderID = pending.front();
        pending.pop_front();
        if (holders.count(folderID) != 0) return true;
        std::list<M_FolderDAO*> children;
        PtrListGuard<M_FolderDAO> childrenGuard(children);
        (void)FindByParentFolderID(folderID, children);  // none found: none searched
        for (const M_FolderDAO* child : children) {
            if (visited.insert(child->_ID).second) pending.push_back(child->_ID);
        }
    }
    return false;
}

ResultMsg M_FolderDAO::getEntityModelOwner(M_EntityModelDAO*& model) {
    return M_EntityModelDAO::FindByID(_t_M_EntityModelID, model);
}

ResultMsg M_FolderDAO::getParentFolder(M_FolderDAO*& parent) {
    return FindByID(_t_M_FolderID, parent);
}

ResultMsg M_FolderDAO::addSceneInfo(M_SceneInfoDAO* scene, int commitType) {
    if (scene != nullptr) scene->_parentType = SCENE_KIND_FOLDER;
    return RelationDataTool(this).add1N(scene, &M_SceneInfoDAO::_parentID, commitType);
}

ResultMsg M_FolderDAO::getSceneInfoList(std::list<M_SceneInfoDAO*>& scenes) {
    return M_SceneInfoDAO::FindByParentTypeAndParentID(SCENE_KIND_FOLDER, _ID, scenes);
}

}  // namespace MeridianSpace
