// Project export: chosen projects, with everything that hangs on them, into
// a new export file (an instance file of the model "M_QMS").
#include <filesystem>
#include <memory>

#include "ConfigTransaction.h"
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

// A failure that ends the export: the error line, the end line; the source
// databases are made current again by the transfer's switch.
ResultMsg stop(const std::string& location, const ResultMsg& failure) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendError(location, failure.rMsg);
    log->appendMsg(kRunEnd);
    return failure;
}

// Where a failed save of a model is logged.
std::string saveLocation(const char* label, int failedSave) {
    return std::string("M_ProjectDAO::exportProject()：") + label +
           (failedSave == 1 ? "->save1() " : "->save2()update version ");
}

// Steps 1 to 12 on the target side, inside one transaction.
ResultMsg writeExport(ProjectTransfer& transfer,
                      std::vector<std::unique_ptr<M_ProjectDAO>>& projects,
                      ProjectTransfer::Dictionaries& dictionaries) {
    transfer.logStep("1. M_project");
    for (auto& project : projects) {
        const int oldID = project->_ID;
        project->_ID = -1;
        ResultMsg rm = project->save(0);
        const int newID = project->_ID;
        project->_ID = oldID;
        if (!rm.ok()) return stop("M_ProjectDAO::exportProject()：currProject->save() ", rm);
        transfer.projectMap[oldID] = newID;
    }

    transfer.logStep("2. M_EntityModel");
    // The platform's models first (their temporary folders stay), then the
    // projects' models.
    for (std::size_t i = 0; i < transfer.plannedModels(); ++i) {
        const std::string name = transfer.plannedModel(i)._name;
        const bool platform = i < 2 && (name == QmsSelfDescription::metaDataModelName() ||
                                        name == QmsSelfDescription::projectManageModelName());
        int failedSave = 0;
        ResultMsg rm = transfer.writeModel(i, !platform, &failedSave);
        if (rm.ok()) continue;
        if (!platform) return stop("M_ProjectDAO::exportProject()：currP->addEntityModel() ", rm);
        return stop(saveLocation(i == 0 ? "pMQMS" : "pMPM", failedSave), rm);
    }

    ResultMsg rm = transfer.writeTree();
    if (!rm.ok()) return stop("M_ProjectDAO::exportProject() ", rm);

    transfer.logStep("12. 软件数据字典数据");
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
    return ResultMsg();
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

    // Everything is read from the source first...
    ProjectTransfer transfer(ProjectTransfer::Direction::Export, path);
    std::vector<std::unique_ptr<M_ProjectDAO>> projects;
    for (int id : projectIDs) {
        M_ProjectDAO* project = nullptr;
        (void)FindByID(id, project);
        if (project != nullptr) projects.emplace_back(project);
    }
    const int metaModelID = metaModel->_ID;
    transfer.planModel(std::move(metaModel), nullptr);
    found = nullptr;
    (void)M_EntityModelDAO::FindByNameMaxVersion(QmsSelfDescription::projectManageModelName(),
                                                 found);
    std::unique_ptr<M_EntityModelDAO> manageModel(found);
    // A source without the model has nothing to copy.
    if (manageModel && manageModel->_ID > 0) transfer.planModel(std::move(manageModel), nullptr);
    for (auto& project : projects) {
        std::list<M_EntityModelDAO*> models;
        PtrListGuard<M_EntityModelDAO> guard(models);
        (void)project->getEntityModelList(models);
        while (!models.empty()) {
            std::unique_ptr<M_EntityModelDAO> model(models.front());
            models.pop_front();
            if (model->_ID != metaModelID) transfer.planModel(std::move(model), project.get());
        }
    }
    transfer.readTree();
    ProjectTransfer::Dictionaries dictionaries = ProjectTransfer::readDictionaries();

    // ...then written into the export file in one transaction, which keeps
    // what was written when a step fails.
    rm = transfer.toTarget();
    if (!rm.ok())
        return stop("M_ProjectDAO::exportProject()：MeridianNew::setCurrentWorkDB() ", rm);
    ResultMsg written;
    {
        ConfigTransaction transaction;
        written = transaction.begun();
        if (written.ok())
            written = transaction.finish(writeExport(transfer, projects, dictionaries));
    }
    rm = transfer.toSource();
    if (!written.ok()) return written;
    log->appendMsg("END:M_ProjectDAO::exportProject()");
    return transfer.finish(rm);
}

}  // namespace MeridianSpace
