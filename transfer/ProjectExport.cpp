// Project export: chosen projects, with everything that hangs on them, into
// a new export file (an instance file of the model "M_QMS").
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "ConfigTransaction.h"
#include "FileHelper.h"
#include "FolderHelper.h"
#include "LogManager.h"
#include "MRDService.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "M_EntityModelDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "ProjectTransfer.h"
#include "PtrListHelper.h"
#include "QmsSelfDescription.h"
#include "ServiceErrorCode.h"

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

// Where a failed save of a platform model is logged: "M_QMS" or
// "M_ProjectManage", its first or second save.
const char* const kPlatformModelSaves[2][2] = {
    {"M_ProjectDAO::exportProject()：pMQMS->save1() ",
     "M_ProjectDAO::exportProject()：pMQMS->save2()update version "},
    {"M_ProjectDAO::exportProject()：pMPM->save1() ",
     "M_ProjectDAO::exportProject()：pMPM->save2()update version "}};

// A private folder beside the export file, in which the file is built so
// that it appears under its name complete or not at all. The folder goes,
// with whatever the database engine left in it, on every way out.
class BuildFolder {
public:
    BuildFolder() = default;
    ~BuildFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    BuildFolder(const BuildFolder&) = delete;
    BuildFolder& operator=(const BuildFolder&) = delete;

    ResultMsg make(const std::string& folder) {
        std::string pattern = folder + "/.arx-export-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data()) == nullptr) {
            return ResultMsg(RUN_FAIL, "ERROR: 无法在导出文件的目录中建立临时目录：" + folder +
                                           "：" + std::strerror(errno));
        }
        path_ = name.data();
        return ResultMsg();
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Gives the built file the export file's name, once it stands complete on
// its own: the engine folded its write-ahead log in when the file was left.
ResultMsg publish(const std::string& built, const std::string& path) {
    if (FileHelper::isFileExists(built + "-wal")) {
        return ResultMsg(RUN_FAIL, "ERROR: 导出文件没有完整写入磁盘：" + path);
    }
    ResultMsg rm = MRDService::publishFile(built, path);
    if (rm.rCode == SRV_ERR_EXISTS)
        return ResultMsg(RUN_FAIL, "ERROR: 导出文件已存在，请更换路径!");
    return rm;
}

// Steps 1 to 12 on the target side, inside one transaction.
ResultMsg writeExport(ProjectTransfer& transfer,
                      std::vector<std::unique_ptr<M_ProjectDAO>>& projects,
                      ProjectTransfer::Dictionaries& dictionaries) {
    transfer.logStep(1);
    for (auto& project : projects) {
        const int oldID = project->_ID;
        project->_ID = -1;
        ResultMsg rm = project->save(0);
        const int newID = project->_ID;
        project->_ID = oldID;
        if (!rm.ok()) return stop("M_ProjectDAO::exportProject()：currProject->save() ", rm);
        transfer.projectMap[oldID] = newID;
    }

    transfer.logStep(2);
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
        return stop(kPlatformModelSaves[i][failedSave == 1 ? 0 : 1], rm);
    }

    ResultMsg rm = transfer.writeTree();
    if (!rm.ok()) return stop("M_ProjectDAO::exportProject() ", rm);

    transfer.logStep(12);
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
    ResultMsg rm;
    M_EntityModelDAO* found = nullptr;
    rm = M_EntityModelDAO::FindByNameMaxVersion(QmsSelfDescription::metaDataModelName(), found);
    std::unique_ptr<M_EntityModelDAO> metaModel(found);
    if (!rm.ok())
        return stop("M_ProjectDAO::exportProject()：M_EntityModelDAO::FindByNameMaxVersion() ", rm);
    if (!metaModel || metaModel->_ID < 1) {
        return stop("M_ProjectDAO::exportProject()：M_EntityModelDAO::FindByNameMaxVersion() ",
                    ResultMsg(RUN_FAIL, "ERROR: M_QMS模型没有查到!"));
    }
    // A relative path names a file below the current folder.
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    if (!absolute.empty()) path = absolute.string();
    const std::string folder = FolderHelper::folderPathFromFileFullPathStr(path);
    const std::string name = path.substr(path.rfind('/') + 1);
    BuildFolder build;
    rm = FolderHelper::createDirs(folder) ? build.make(folder)
                                          : ResultMsg(RUN_FAIL, "ERROR: 建立实例文件保存目录失败.");
    if (rm.ok()) rm = metaModel->createInstance(build.path(), name);
    if (!rm.ok()) return stop("M_ProjectDAO::exportProject()：pMQMS->createInstance() ", rm);
    const std::string built = build.path() + "/" + name;

    // Everything is read from the source first; a read that fails ends the
    // export before anything is written...
    ProjectTransfer transfer(ProjectTransfer::Direction::Export, built);
    std::vector<std::unique_ptr<M_ProjectDAO>> projects;
    for (int id : projectIDs) {
        M_ProjectDAO* project = nullptr;
        transfer.reads.read("M_ProjectDAO", FindByID(id, project));
        if (project != nullptr) projects.emplace_back(project);
    }
    const int metaModelID = metaModel->_ID;
    transfer.planModel(std::move(metaModel), nullptr);
    found = nullptr;
    transfer.reads.read("M_EntityModelDAO",
                        M_EntityModelDAO::FindByNameMaxVersion(
                            QmsSelfDescription::projectManageModelName(), found));
    std::unique_ptr<M_EntityModelDAO> manageModel(found);
    // A source without the model has nothing to copy.
    if (manageModel && manageModel->_ID > 0) transfer.planModel(std::move(manageModel), nullptr);
    for (auto& project : projects) {
        std::list<M_EntityModelDAO*> models;
        PtrListGuard<M_EntityModelDAO> guard(models);
        transfer.reads.read("M_EntityModelDAO", project->getEntityModelList(models));
        while (!models.empty()) {
            std::unique_ptr<M_EntityModelDAO> model(models.front());
            models.pop_front();
            if (model->_ID != metaModelID) transfer.planModel(std::move(model), project.get());
        }
    }
    ProjectTransfer::Dictionaries dictionaries = transfer.readDictionaries();
    rm = transfer.readTree();
    if (!rm.ok()) {
        log->appendMsg(kRunEnd);  // the failures are logged as they happened
        return rm;
    }

    // ...then written into the export file in one transaction; a file
    // whose export failed is never published.
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
    // A file that lacks records is no export: it is not published.
    rm = transfer.finish(rm);
    if (rm.ok()) rm = publish(built, path);
    if (!rm.ok()) return stop("M_ProjectDAO::exportProject() ", rm);
    log->appendMsg("END:M_ProjectDAO::exportProject()");
    return rm;
}

}  // namespace MeridianSpace
