#include "ProjectTransfer.h"

#include <utility>

#include "InstanceDataManager.h"
#include "LogManager.h"
#include "MRDSession.h"
#include "M_DelByInterfaceDAO.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "M_R_FolderTableDAO.h"
#include "M_R_ModelTableDAO.h"
#include "M_SceneInfoDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// Takes the objects of a finder's list into owning pointers.
template <class T>
std::vector<std::unique_ptr<T>> owned(std::list<T*>& found) {
    std::vector<std::unique_ptr<T>> out;
    out.reserve(found.size());
    for (T* object : found)
        out.emplace_back(object);
    found.clear();
    return out;
}

template <class T, class Find>
std::vector<std::unique_ptr<T>> findAll(Find find) {
    std::list<T*> found;
    PtrListGuard<T> guard(found);
    (void)find(found);
    return owned(found);
}

bool holds(const IdentifierMap& map, int id) {
    return map.count(id) != 0;
}

}  // namespace

ProjectTransfer::ProjectTransfer(Direction direction, std::string file)
    : direction_(direction),
      file_(std::move(file)),
      side_(direction == Direction::Export ? Side::Source : Side::Target),
      savedProject_(M_ProjectDAO::getCurrProjectID()) {
    // Records saved into the other database must not stamp the update time
    // of whatever project there happens to carry the current project's _ID.
    M_ProjectDAO::setCurrProjectID(-1);
}

ProjectTransfer::~ProjectTransfer() {
    M_ProjectDAO::setCurrProjectID(savedProject_);
}

const char* ProjectTransfer::operation() const {
    return direction_ == Direction::Export ? "M_ProjectDAO::exportProject()"
                                           : "M_ProjectDAO::importProject()";
}

ResultMsg ProjectTransfer::toSource(int* failedStep) {
    if (side_ == Side::Source) return ResultMsg();
    ResultMsg rm =
        direction_ == Direction::Export ? switch_.toHome() : switch_.toFile(file_, failedStep);
    // A failed switch goes home, which is one of the two sides.
    side_ = rm.ok() || direction_ == Direction::Export ? Side::Source : Side::Target;
    return rm;
}

ResultMsg ProjectTransfer::toTarget(int* failedStep) {
    if (side_ == Side::Target) return ResultMsg();
    ResultMsg rm =
        direction_ == Direction::Export ? switch_.toFile(file_, failedStep) : switch_.toHome();
    side_ = rm.ok() || direction_ == Direction::Import ? Side::Target : Side::Source;
    return rm;
}

ResultMsg ProjectTransfer::commitCurrent() {
    ResultMsg rm;
    for (InstanceDataManager* idm :
         {MeridianNew::getCurrMRDConfigIDM(), MeridianNew::getCurrentWorkDBIDM()}) {
        MRDSession* session = idm != nullptr ? idm->getPSession() : nullptr;
        if (session == nullptr) continue;
        ResultMsg committed = session->commit();
        if (rm.ok()) rm = committed;
    }
    return rm;
}

void ProjectTransfer::logStep(const std::string& step) const {
    MeridianNew::LOGGER()->appendMsg(std::string("RUN:") + operation() + ":" + step);
}

void ProjectTransfer::logProgress(const std::string& step, std::size_t index, std::size_t count,
                                  const std::string& name) const {
    std::string line =
        std::string("PROGRESS:") + operation() + ":" + step + " " + std::to_string(index);
    if (count > 0) line += "/" + std::to_string(count);
    MeridianNew::LOGGER()->appendMsg(line + " " + name);
}

void ProjectTransfer::leftOut(const char* what, int sourceID, const ResultMsg& failure) {
    const std::string message =
        std::string(what) + " _ID = " + StringHelper::int2String(sourceID) + "：" + failure.rMsg;
    MeridianNew::LOGGER()->appendError(std::string(operation()) + " ", message);
    if (leftOutCount_++ == 0) firstLeftOut_ = message;
}

ResultMsg ProjectTransfer::finish(const ResultMsg& result) const {
    if (!result.ok() || leftOutCount_ == 0) return result;
    return ResultMsg(RUN_FAIL, "ERROR：有" + std::to_string(leftOutCount_) +
                                   "条记录未能写入目标数据库，第一条：" + firstLeftOut_);
}

ResultMsg ProjectTransfer::copyModel(std::unique_ptr<M_EntityModelDAO> model, M_ProjectDAO* project,
                                     bool dropRootFolders, int* failedSave) {
    const int oldID = model->_ID;
    // A model reached twice (a platform model inside an exported project)
    // is copied once.
    if (holds(modelMap, oldID)) return ResultMsg();
    const int version = model->_version;
    model->_ID = -1;
    ResultMsg rm;
    if (project == nullptr) {
        // A platform model whose project is not transferred belongs to none
        // in the target, so that no transferred project lists it.
        model->_rProjectID = mapIdentifier(projectMap, model->_rProjectID, Unmapped::MinusOne);
    }
    if (project != nullptr) {
        const int oldProject = project->_ID;
        project->_ID = mapIdentifier(projectMap, oldProject, Unmapped::MinusOne);
        rm = project->addEntityModel(model.get(), 0);
        project->_ID = oldProject;
    } else {
        rm = model->save(0);
    }
    if (!rm.ok()) {
        model->_ID = oldID;
        if (failedSave != nullptr) *failedSave = 1;
        return rm;
    }
    model->_version = version;
    rm = model->save(0);
    if (!rm.ok()) {
        model->_ID = oldID;
        if (failedSave != nullptr) *failedSave = 2;
        return rm;
    }
    if (dropRootFolders) {
        std::list<M_FolderDAO*> roots;
        PtrListGuard<M_FolderDAO> ownRoots(roots);
        (void)model->getRootM_FolderDAOList(roots);
        for (M_FolderDAO* root : roots)
            (void)root->delself(0);
    }
    modelMap[oldID] = model->_ID;
    model->_ID = oldID;
    logProgress("2. M_EntityModel", models.size() + 1, 0, model->_name);
    models.push_back(std::move(model));
    return rm;
}

ResultMsg ProjectTransfer::copyTree() {
    // The export's step 9 would copy the columns of dictionary tables a
    // second time, which gives those tables every column twice; both
    // directions copy each column once, in step 7.
    const std::pair<const char*, ResultMsg (ProjectTransfer::*)()> steps[] = {
        {"3. M_Folder", &ProjectTransfer::copyFolders},
        {"4. M_Table", &ProjectTransfer::copyTables},
        {"5. M_R_ModelTable", &ProjectTransfer::copyModelTableLinks},
        {"6. M_R_FolderTable", &ProjectTransfer::copyFolderTableLinks},
        {"7. M_NormalColumn", &ProjectTransfer::copyColumns},
        {"8. Findby接口信息,delBy接口信息", &ProjectTransfer::copyDefinitions},
        {direction_ == Direction::Export ? "9. M_NormalColumn._t_M_EntityTableID处理"
                                         : "9. M_NormalColumn",
         nullptr},
        {"10. M_SceneInfoDAO    场景数据", &ProjectTransfer::copySceneRecords},
        {"11. 数据字典的表实例和数据", &ProjectTransfer::copyDictionaryRows},
    };
    ResultMsg rm;
    for (const auto& [name, run] : steps) {
        logStep(name);
        if (run != nullptr) rm = (this->*run)();
        if (!rm.ok()) break;
    }
    return rm;
}

ResultMsg ProjectTransfer::copyFolders() {
    ResultMsg switched = toSource();
    if (!switched.ok()) return switched;
    std::vector<std::vector<std::unique_ptr<M_FolderDAO>>> perModel;
    for (const auto& model : models) {
        const int id = model->_ID;
        perModel.push_back(findAll<M_FolderDAO>(
            [id](std::list<M_FolderDAO*>& l) { return M_FolderDAO::FindByEntityModelID(id, l); }));
    }
    ResultMsg rm = toTarget();
    if (!rm.ok()) return rm;
    for (std::size_t i = 0; i < models.size(); ++i) {
        const int newModel = mapIdentifier(modelMap, models[i]->_ID, Unmapped::MinusOne);
        for (auto& folder : perModel[i]) {
            const int oldID = folder->_ID;
            folder->_ID = -1;
            folder->_t_M_EntityModelID = newModel;
            ResultMsg saved = folder->save(0);
            if (saved.ok()) {
                folderMap[oldID] = folder->_ID;
            } else {
                leftOut("M_FolderDAO", oldID, saved);
            }
            folder->_ID = oldID;
        }
        // The tree once every folder of the model has its new identifier.
        for (auto& folder : perModel[i]) {
            if (folder->_t_M_FolderID <= 0 || !holds(folderMap, folder->_ID)) continue;
            const int oldID = folder->_ID;
            const int oldParent = folder->_t_M_FolderID;
            folder->_ID = folderMap[oldID];
            folder->_t_M_FolderID = mapIdentifier(folderMap, oldParent, Unmapped::MinusOne);
            ResultMsg saved = folder->save(0);
            if (!saved.ok()) leftOut("M_FolderDAO", oldID, saved);
            folder->_ID = oldID;
            folder->_t_M_FolderID = oldParent;
        }
        for (auto& folder : perModel[i])
            folders.push_back(std::move(folder));
    }
    return rm;
}

ResultMsg ProjectTransfer::copyTables() {
    ResultMsg switched = toSource();
    if (!switched.ok()) return switched;
    std::vector<std::unique_ptr<M_EntityTableDAO>> found;
    for (const auto& model : models) {
        std::list<M_EntityTableDAO*> list;
        PtrListGuard<M_EntityTableDAO> guard(list);
        (void)model->getEntityTableList(list);
        for (auto& table : owned(list))
            found.push_back(std::move(table));
    }
    ResultMsg rm = toTarget();
    if (!rm.ok()) return rm;
    std::size_t index = 0;
    for (auto& table : found) {
        ++index;
        const int oldID = table->_ID;
        if (holds(tableMap, oldID)) continue;  // shared by several models
        logProgress("4. M_Table", index, found.size(), table->_name);
        const std::string innerName = table->_innerName;
        const int dictionaryFlag = table->_belongToDictionaryModel;
        // Saved as a plain table: a new dictionary table's save would take
        // the last "_" piece of its name for a model suffix.
        table->_belongToDictionaryModel = 0;
        table->_ID = -1;
        ResultMsg saved = table->save(0);
        if (saved.ok()) {
            table->_innerName = innerName;
            saved = table->save(0);
            tableMap[oldID] = table->_ID;
        }
        if (!saved.ok()) leftOut("M_EntityTableDAO", oldID, saved);
        table->_ID = oldID;
        table->_belongToDictionaryModel = dictionaryFlag;
        if (holds(tableMap, oldID)) tables.push_back(std::move(table));
    }
    return rm;
}

ResultMsg ProjectTransfer::copyModelTableLinks() {
    ResultMsg switched = toSource();
    if (!switched.ok()) return switched;
    std::vector<std::unique_ptr<M_R_ModelTableDAO>> links;
    for (const auto& model : models) {
        const double id = model->_ID;
        for (auto& link : findAll<M_R_ModelTableDAO>([id](std::list<M_R_ModelTableDAO*>& l) {
                 return M_R_ModelTableDAO::FindByT_M_EntityModelID(id, l);
             }))
            links.push_back(std::move(link));
    }
    ResultMsg rm = toTarget();
    if (!rm.ok()) return rm;
    for (auto& link : links) {
        // A link to a table that was not copied has nothing to point at.
        if (!holds(modelMap, link->_t_M_EntityModelID) ||
            !holds(tableMap, link->_t_M_EntityTableID))
            continue;
        const int oldID = link->_ID;
        link->_ID = -1;
        link->_t_M_EntityModelID = modelMap[link->_t_M_EntityModelID];
        link->_t_M_EntityTableID = tableMap[link->_t_M_EntityTableID];
        ResultMsg saved = link->save(0);
        if (!saved.ok()) leftOut("M_R_ModelTableDAO", oldID, saved);
    }
    return rm;
}

ResultMsg ProjectTransfer::copyFolderTableLinks() {
    ResultMsg switched = toSource();
    if (!switched.ok()) return switched;
    std::vector<std::unique_ptr<M_R_FolderTableDAO>> links;
    for (const auto& folder : folders) {
        const int id = folder->_ID;
        for (auto& link : findAll<M_R_FolderTableDAO>([id](std::list<M_R_FolderTableDAO*>& l) {
                 return M_R_FolderTableDAO::FindByT_M_FolderID(id, l);
             }))
            links.push_back(std::move(link));
    }
    ResultMsg rm = toTarget();
    if (!rm.ok()) return rm;
    for (auto& link : links) {
        if (!holds(folderMap, link->_t_M_FolderID) || !holds(tableMap, link->_t_M_EntityTableID))
            continue;
        const int oldID = link->_ID;
        link->_ID = -1;
        link->_t_M_FolderID = folderMap[link->_t_M_FolderID];
        link->_t_M_EntityTableID = tableMap[link->_t_M_EntityTableID];
        ResultMsg saved = link->save(0);
        if (!saved.ok()) leftOut("M_R_FolderTableDAO", oldID, saved);
    }
    return rm;
}

ResultMsg ProjectTransfer::copyColumns() {
    ResultMsg switched = toSource();
    if (!switched.ok()) return switched;
    std::vector<std::vector<std::unique_ptr<M_NormalColumnDAO>>> perTable;
    for (const auto& table : tables) {
        const int id = table->_ID;
        perTable.push_back(findAll<M_NormalColumnDAO>([id](std::list<M_NormalColumnDAO*>& l) {
            return M_NormalColumnDAO::FindByT_M_EntityTableID(id, l);
        }));
    }
    ResultMsg rm = toTarget();
    if (!rm.ok()) return rm;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        logProgress("7. M_NormalColumn", i + 1, tables.size(), tables[i]->_name);
        for (auto& column : perTable[i]) {
            const int oldID = column->_ID;
            const std::string innerName = column->_innerName;
            column->_t_M_EntityTableID =
                mapIdentifier(tableMap, column->_t_M_EntityTableID, Unmapped::MinusOne);
            // A reference to a table outside the copied set has nothing to
            // point at in the target.
            if (column->_fkTableID > 0)
                column->_fkTableID =
                    mapIdentifier(tableMap, column->_fkTableID, Unmapped::MinusOne);
            column->_ID = -1;
            ResultMsg saved = column->save(0);
            if (saved.ok()) {
                column->_innerName = innerName;
                saved = column->save(0);
                columnMap[oldID] = column->_ID;
            }
            if (!saved.ok()) leftOut("M_NormalColumnDAO", oldID, saved);
        }
    }
    return rm;
}

ResultMsg ProjectTransfer::copyDefinitions() {
    ResultMsg switched = toSource();
    if (!switched.ok()) return switched;
    std::vector<std::unique_ptr<M_FindByInterfaceDAO>> finders;
    std::vector<std::unique_ptr<M_DelByInterfaceDAO>> deleters;
    for (const auto& table : tables) {
        const int id = table->_ID;
        for (auto& f : findAll<M_FindByInterfaceDAO>([id](std::list<M_FindByInterfaceDAO*>& l) {
                 return M_FindByInterfaceDAO::FindByT_M_EntityTableID(id, l);
             }))
            finders.push_back(std::move(f));
        for (auto& d : findAll<M_DelByInterfaceDAO>([id](std::list<M_DelByInterfaceDAO*>& l) {
                 return M_DelByInterfaceDAO::FindByT_M_EntityTableID(id, l);
             }))
            deleters.push_back(std::move(d));
    }
    ResultMsg rm = toTarget();
    if (!rm.ok()) return rm;
    for (auto& finder : finders) {
        finder->_paraList = rewriteParameterList(finder->_paraList, columnMap);
        finder->_sortAttributeList = rewriteSortList(finder->_sortAttributeList, columnMap);
        finder->_t_M_EntityTableID =
            mapIdentifier(tableMap, finder->_t_M_EntityTableID, Unmapped::MinusOne);
        finder->_ID = -1;
        rm = finder->save(0);
        if (!rm.ok()) return rm;
    }
    for (auto& deleter : deleters) {
        deleter->_paraList = rewriteParameterList(deleter->_paraList, columnMap);
        deleter->_t_M_EntityTableID =
            mapIdentifier(tableMap, deleter->_t_M_EntityTableID, Unmapped::MinusOne);
        deleter->_ID = -1;
        rm = deleter->save(0);
        if (!rm.ok()) return rm;
    }
    return rm;
}

ResultMsg ProjectTransfer::copySceneRecords() {
    ResultMsg switched = toSource();
    if (!switched.ok()) return switched;
    std::vector<std::pair<int, std::unique_ptr<M_SceneInfoDAO>>> scenes;
    for (const auto& model : models) {
        const int id = model->_ID;
        for (auto& scene : findAll<M_SceneInfoDAO>([id](std::list<M_SceneInfoDAO*>& l) {
                 return M_SceneInfoDAO::FindByEntityModelID(id, l);
             }))
            scenes.emplace_back(id, std::move(scene));
    }
    ResultMsg rm = toTarget();
    if (!rm.ok()) return rm;
    for (auto& [modelID, scene] : scenes) {
        rewriteSceneReferences(*scene, &folderMap, &tableMap, Unmapped::MinusOne);
        scene->_ID = -1;
        scene->_entityModelID = mapIdentifier(modelMap, modelID, Unmapped::MinusOne);
        // The export keeps only records that still show or stand in something.
        if (direction_ == Direction::Export && scene->_dataObjectId <= 0 && scene->_parentID < 1)
            continue;
        rm = scene->save(0);
        if (!rm.ok()) {
            return ResultMsg(rm.rCode, "ERROR：导出场景信息失败。 场景 ID = " +
                                           StringHelper::int2String(scene->_ID) + rm.rMsg);
        }
    }
    return rm;
}

ResultMsg ProjectTransfer::copyDictionaryRows() {
    ResultMsg switched = toSource();
    if (!switched.ok()) return switched;
    struct Rows {
        M_EntityTableDAO* table;
        std::list<M_NormalColumnDAO*> columns;
        std::list<std::string> lines;
    };
    std::vector<Rows> found;
    for (const auto& table : tables) {
        M_EntityModelDAO* owner = nullptr;
        (void)table->getMaxVersionEntityModelOwner(owner);
        const std::unique_ptr<M_EntityModelDAO> ownerGuard(owner);
        if (!owner || owner->_type != ENTITY_MODEL_TYPE_DICTIONARY) continue;
        found.push_back(Rows{table.get(), {}, {}});
        ResultMsg exported = table->exportData(found.back().columns, found.back().lines);
        if (!exported.ok()) {
            // The import skips a table whose rows cannot be read; the
            // export reports it.
            T_deletePtrList(found.back().columns);
            found.pop_back();
            if (direction_ == Direction::Export) leftOut("数据字典表数据", table->_ID, exported);
        }
    }
    ResultMsg rm = toTarget();
    for (Rows& rows : found) {
        PtrListGuard<M_NormalColumnDAO> ownColumns(rows.columns);
        if (!rm.ok()) continue;
        M_EntityTableDAO target(*rows.table);
        target._ID = mapIdentifier(tableMap, rows.table->_ID, Unmapped::MinusOne);
        target._belongToDictionaryModel = 1;
        for (M_NormalColumnDAO* column : rows.columns) {
            column->_ID = mapIdentifier(columnMap, column->_ID, Unmapped::Keep);
            column->_t_M_EntityTableID = target._ID;
        }
        ResultMsg imported = target.importData(rows.columns, rows.lines);
        if (!imported.ok()) leftOut("数据字典表数据", rows.table->_ID, imported);
    }
    return rm;
}

}  // namespace MeridianSpace
