// Instance files of an entity model: creating one for a stored model and
// finding the model an existing file was made for.
#include <list>
#include <memory>

#include "FileHelper.h"
#include "FolderHelper.h"
#include "IEntityModel.h"
#include "InstanceClaim.h"
#include "InstanceDataManager.h"
#include "LogManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "M_EntityModelDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// A manager of the configuration database and the description of `model`'s
// instance at `path`, as the service builds one.
ResultMsg instanceRecord(const M_EntityModelDAO& model, const std::string& path,
                         std::unique_ptr<InstanceDataManager>& manager, IEntityModel& record) {
    MetaDataManager* mdm = MeridianNew::getCurrMRDConfigMDM();
    if (mdm == nullptr || mdm->getPSession() == nullptr) return MeridianNew::noCurrentDatabase();
    InstanceDataManager* createdManager = nullptr;
    ResultMsg rm = mdm->getPSession()->createInstanceDataManager(createdManager, 0);
    manager.reset(createdManager);
    if (!manager) return rm;
    record._name = model._name;
    record._version = model._version;
    record._type = StringHelper::int2String(model._type);
    record._description = model._description;
    record._filePath = path;
    record._instanceKind = "3";
    M_ProjectDAO* foundProject = nullptr;
    (void)M_ProjectDAO::FindByID(model._rProjectID, foundProject);  // none read: refused below
    const std::unique_ptr<M_ProjectDAO> project(foundProject);
    if (!project) {
        return ResultMsg(RUN_FAIL, "ERROR: 所属项目Mproject信息未找到 ！_rProjectID =" +
                                       StringHelper::int2String(model._rProjectID));
    }
    record._projectUID = project->_uID;
    return ResultMsg();
}

}  // namespace

ResultMsg M_EntityModelDAO::createInstance(std::string folderPath, std::string fileName) {
    // A server URI names the database itself: there is no folder to make.
    const bool server = MRDService::isServerLocation(folderPath);
    if (server && !fileName.empty()) {
        return ResultMsg(RUN_FAIL, "ERROR: 服务器数据库的实例不需要文件名：" +
                                       MRDService::displayLocation(folderPath));
    }
    if (!server && !FolderHelper::createDirs(folderPath)) {
        return ResultMsg(RUN_FAIL, "ERROR: 建立实例文件保存目录失败.");
    }
    if (!server) FolderHelper::folderPathStrNormalize(folderPath);
    const std::string fullPath = folderPath + fileName;
    if (!server && FileHelper::isFileExists(fullPath)) {
        return ResultMsg(RUN_FAIL, "ERROR: 待生成实例文件已存在，不能重新生成覆盖！");
    }

    std::unique_ptr<InstanceDataManager> manager;
    IEntityModel record;
    ResultMsg rm = instanceRecord(*this, fullPath, manager, record);
    if (!rm.ok()) return rm;
    MRDSession* createdSession = nullptr;
    rm = manager->createEntityModelInstance_Create(record, createdSession, 1);
    delete createdSession;
    if (rm.ok()) return ResultMsg(rm.rCode, "建立成功." + rm.rMsg);
    return ResultMsg(rm.rCode, "建立失败！原因：" + rm.rMsg);
}

ResultMsg M_EntityModelDAO::instanceStatements(const std::string& location,
                                               std::vector<std::string>& statements) const {
    std::unique_ptr<InstanceDataManager> manager;
    IEntityModel record;
    ResultMsg rm = instanceRecord(*this, location, manager, record);
    if (rm.ok()) rm = manager->instanceStatements(record, statements);
    return rm;
}

ResultMsg M_EntityModelDAO::getInstanceInfo(std::string filePath, M_EntityModelDAO*& model) {
    LogManager* log = MeridianNew::LOGGER();
    StringHelper::TrimLeftSpace(filePath);
    StringHelper::TrimRightSpace(filePath);
    // A server URI is shown and logged without its password.
    const std::string shownPath = MRDService::displayLocation(filePath);
    if (MRDService::isFileLocation(filePath) && !FileHelper::isFileExists(filePath)) {
        ResultMsg missing(RUN_FAIL, "指定数据文件不存在！路径为： " + shownPath);
        log->appendError("M_EntityModelDAO::getInstanceInfo() ", missing.rMsg);
        return missing;
    }

    MRDService* service = MeridianNew::getCurrService();
    if (service == nullptr) return MeridianNew::noCurrentDatabase();
    MRDSession* createdSession = nullptr;
    ResultMsg rm = service->createSession(filePath, createdSession);
    const std::unique_ptr<MRDSession> session(createdSession);
    log->appendError(
        rm.rCode,
        " M_EntityModelDAO::getInstanceInfo()::MeridianNew::getCurrService()->createSession() " +
            shownPath,
        rm.rMsg);
    if (!rm.ok()) {
        ResultMsg failed(RUN_FAIL, "建立连接失败！ERROR: " + rm.rMsg);
        log->appendError(
            "建立连接失败！ M_EntityModelDAO::getInstanceInfo()::MeridianNew::getCurrService()->"
            "createSession() ",
            failed.rMsg);
        return failed;
    }

    InstanceDataManager* createdManager = nullptr;
    rm = session->createInstanceDataManager(createdManager, 1);
    const std::unique_ptr<InstanceDataManager> manager(createdManager);
    if (!rm.ok()) {
        log->appendError(
            "建立实例DataManager失败! "
            "M_EntityModelDAO::getInstanceInfo()::pCurrDBSession->createInstanceDataManagern() ",
            rm.rMsg);
        return ResultMsg(RUN_FAIL, "建立实例DataManager失败!");
    }

    IEntityModel record;
    rm = manager->getEntityModelInstanceInfo(record);
    if (!rm.ok()) {
        log->appendError(
            "无法获取当前文件的基本信息! "
            "M_EntityModelDAO::getInstanceInfo()::getEntityModelInstanceInfo()",
            rm.rMsg);
        return ResultMsg(RUN_FAIL, "getEntityModelInstanceInfo():无法获取当前文件的基本信息");
    }

    const ResultMsg found = findInstanceModel(record, model);
    return found.ok() ? ResultMsg(RUN_SUCCESS, rm.rMsg) : found;
}

ResultMsg findInstanceModel(const IEntityModel& record, M_EntityModelDAO*& model) {
    LogManager* log = MeridianNew::LOGGER();
    delete model;
    model = new M_EntityModelDAO();
    model->_name = record._name;
    model->_type = StringHelper::string2int(record._type);
    model->_description = record._description;
    model->_version = record._version;

    std::list<M_ProjectDAO*> projects;
    const PtrListGuard<M_ProjectDAO> ownProjects(projects);
    (void)M_ProjectDAO::FindByUID(record._projectUID, projects);  // none read: refused below
    if (projects.empty()) {
        ResultMsg failed(RUN_FAIL, "在数据库中没有查找到项目信息，无法获取其ID");
        log->appendError(
            "在数据库中没有查找到项目信息，无法获取其ID! "
            "M_EntityModelDAO::getInstanceInfo()::M_ProjectDAO::FindByUID() :GUID=" +
                record._projectUID,
            failed.rMsg);
        return failed;
    }
    model->_rProjectID = projects.front()->_ID;

    std::list<M_EntityModelDAO*> models;
    const PtrListGuard<M_EntityModelDAO> ownModels(models);
    // None read: refused below.
    (void)M_EntityModelDAO::FindByRProjectIDAndNameAndVersion(model->_rProjectID, model->_name,
                                                              model->_version, models);
    if (models.empty()) {
        ResultMsg failed(RUN_FAIL, "在数据库中没有查找到数据模型信息，无法获取其ID");
        log->appendError(
            "在数据库中没有查找到数据模型信息，无法获取其ID! "
            "M_EntityModelDAO::getInstanceInfo()::M_EntityModelDAO::FindByRProjectIDAndName():"
            "pMEntityModel->_rProjectID=" +
                StringHelper::int2String(model->_rProjectID) +
                ", pMEntityModel->_name=" + model->_name,
            failed.rMsg);
        return failed;
    }
    model->_ID = models.front()->_ID;
    return ResultMsg();
}

}  // namespace MeridianSpace
