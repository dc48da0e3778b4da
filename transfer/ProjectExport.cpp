// Project export: chosen projects, with everything that hangs on them, into
// a new export file (an instance file of the model "M_QMS").
#include <filesystem>
#include <memory>

#include "FileHelper.h"
#include "FolderHelper.h"
#include "LogManager.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "M_EntityModelDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "ProjectTransfer.h"
#include "PtrListHelper.h"
#include "QmsSelfDescription.h"

namespace MeridianSpace {

namespace {

const char* const kRunEnd = "[RUN_END] :M_ProjectDAO::exportProject()!!!";

// A failure that ends the export: the error line, the end line, then the
// source databases are made current again (the transfer's switch does it).
ResultMsg stop(const std::string& location, const ResultMsg& failure) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendError(location, failure.rMsg);
    log->appendMsg(kRunEnd);
    return failure;
}

// Where a failed save of a platform model is logged.
std::string saveLocation(const char* label, int failedSave) {
    return std::string("M_ProjectDAO::exportProject()：") + label +
           (failedSave == 1 ? "->save1() " : "->save2()update version ");
}

// Copies the highest version of a platform model (found in the source) into
// the target; its temporary folder stays.
ResultMsg copyPlatformModel(ProjectTransfer& transfer, const char* name, const char* label) {
    ResultMsg rm = transfer.toSource();
    M_EntityModelDAO* found = nullptr;
    if (rm.ok()) (void)M_EntityModelDAO::FindByNameMaxVersion(name, found);
    std::unique_ptr<M_EntityModelDAO> model(found);
    if (rm.ok()) rm = transfer.toTarget();
    // A source without the model has nothing to copy.
    if (!rm.ok() || !model || model->_ID < 1) return rm;
    int failedSave = 0;
    rm = transfer.copyModel(std::move(model), nullptr, false, &failedSave);
    if (!rm.ok()) return stop(saveLocation(label, failedSave), rm);
    return rm;
}

}  // namespace

ResultMsg M_ProjectDAO::exportProject(std::list<int> projectIDs, std::string path) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendMsg("[RUN] :M_ProjectDAO::exportProject()");
    if (FileHelper::isFileExists(path)) {
        return ResultMsg(RUN_FAIL, "ERROR: 导出文件已存在，请更换路径!");
    }
    M_EntityModelDAO* found = nullptr;
    (void)M_EntityModelDAO::FindByNameMaxVersion(QmsSelfDescription::metaDataModelName(), found);
    std::unique_ptr<M_EntityModelDAO> metaModel(found);
    if (!metaModel || metaModel->_ID < 1) {
        return stop("M_ProjectDAO::exportProject()：M_EntityModelDAO::FindByNameMaxVersion() ",
                    ResultMsg(RUN_FAIL, "ERROR: M_QMS模型没有查到!"));
    }
    // A relative path names a file below the current folder.
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    if (!absolute.empty()) path = absolute.string();
    const std::string folder = FolderHelper::folderPathFromFileFullPathStr(path);
    ResultMsg rm = metaModel->createInstance(folder, path.substr(folder.size()));
    if (!rm.ok()) return stop("M_ProjectDAO::exportProject()：pMQMS->createInstance() ", rm);

    ProjectTransfer transfer(ProjectTransfer::Direction::Export, path);

    transfer.logStep("1. M_project");
    std::vector<std::unique_ptr<M_ProjectDAO>> projects;
    for (int id : projectIDs) {
        M_ProjectDAO* project = nullptr;
        (void)FindByID(id, project);
        if (project != nullptr) projects.emplace_back(project);
    }
    rm = transfer.toTarget();
    if (!rm.ok())
        return stop("M_ProjectDAO::exportProject()：MeridianNew::setCurrentWorkDB() ", rm);
    for (auto& project : projects) {
        const int oldID = project->_ID;
        project->_ID = -1;
        rm = project->save(0);
        if (!rm.ok()) return stop("M_ProjectDAO::exportProject()：currProject->save() ", rm);
        transfer.projectMap[oldID] = project->_ID;
        project->_ID = oldID;
    }

    transfer.logStep("2. M_EntityModel");
    // The platform's own models first; the export file is an instance of
    // the first one.
    {
        const int oldID = metaModel->_ID;
        int failedSave = 0;
        rm = transfer.copyModel(std::move(metaModel), nullptr, false, &failedSave);
        if (!rm.ok()) return stop(saveLocation("pMQMS", failedSave), rm);
        rm = copyPlatformModel(transfer, QmsSelfDescription::projectManageModelName(), "pMPM");
        if (!rm.ok()) return rm;
        for (auto& project : projects) {
            rm = transfer.toSource();
            std::list<M_EntityModelDAO*> list;
            PtrListGuard<M_EntityModelDAO> guard(list);
            if (rm.ok()) (void)project->getEntityModelList(list);
            if (rm.ok()) rm = transfer.toTarget();
            if (!rm.ok())
                return stop("M_ProjectDAO::exportProject()：MeridianNew::setCurrentWorkDB() ", rm);
            while (!list.empty()) {
                std::unique_ptr<M_EntityModelDAO> model(list.front());
                list.pop_front();
                if (model->_ID == oldID) continue;
                rm = transfer.copyModel(std::move(model), project.get(), true);
                if (!rm.ok())
                    return stop("M_ProjectDAO::exportProject()：currP->addEntityModel() ", rm);
            }
        }
    }

    rm = transfer.copyTree();
    if (!rm.ok()) return stop("M_ProjectDAO::exportProject() ", rm);

    transfer.logStep("12. 软件数据字典数据");
    rm = transfer.toSource();
    std::vector<
        std::pair<std::unique_ptr<M_DictItemDAO>, std::vector<std::unique_ptr<M_DictDataDAO>>>>
        dictionaries;
    {
        std::list<M_DictItemDAO*> items;
        PtrListGuard<M_DictItemDAO> guard(items);
        if (rm.ok()) (void)M_DictItemDAO::FindAll(items);
        while (!items.empty()) {
            std::unique_ptr<M_DictItemDAO> item(items.front());
            items.pop_front();
            std::list<M_DictDataDAO*> entries;
            PtrListGuard<M_DictDataDAO> entriesGuard(entries);
            (void)item->getDictDataList(entries);
            std::vector<std::unique_ptr<M_DictDataDAO>> owned;
            for (M_DictDataDAO* entry : entries)
                owned.emplace_back(entry);
            entries.clear();
            dictionaries.emplace_back(std::move(item), std::move(owned));
        }
    }
    if (rm.ok()) rm = transfer.toTarget();
    if (!rm.ok())
        return stop("M_ProjectDAO::exportProject()：MeridianNew::setCurrentWorkDB() ", rm);
    for (auto& [item, entries] : dictionaries) {
        const int oldID = item->_ID;
        item->_ID = -1;
        ResultMsg saved = item->save(0);
        if (!saved.ok()) {
            transfer.leftOut("M_DictItemDAO", oldID, saved);
            continue;
        }
        for (auto& entry : entries) {
            const int oldEntry = entry->_ID;
            entry->_ID = -1;
            entry->_rDictItemID = -1;
            saved = item->addDictData(entry.get(), 0);
            if (!saved.ok()) transfer.leftOut("M_DictDataDAO", oldEntry, saved);
        }
    }

    rm = transfer.toSource();
    log->appendMsg("END:M_ProjectDAO::exportProject()");
    return transfer.finish(rm);
}

}  // namespace MeridianSpace
