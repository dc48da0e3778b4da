#include "MeridianNew.h"

#include <limits.h>
#include <stdlib.h>

#include <memory>

#include "CommonErrorCode.h"
#include "InstanceDataManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "MetaDataManager.h"
#include "detail/RegisteredTables.h"

namespace MeridianSpace {

namespace {

// One open database: its session and the managers working in it. Releasing
// it commits what is pending and closes the file.
struct OpenDatabase {
    ~OpenDatabase() {
        metaData.reset();
        instanceData.reset();
        session.reset();
    }

    std::string path;
    std::string identity;
    std::unique_ptr<MRDSession> session;
    std::unique_ptr<InstanceDataManager> instanceData;
    std::unique_ptr<MetaDataManager> metaData;
};

struct Platform {
    // Members go in reverse order: the databases before the service, the
    // log manager last.
    std::unique_ptr<LogManager> logger;
    std::unique_ptr<MRDService> service;
    std::shared_ptr<OpenDatabase> config;
    std::shared_ptr<OpenDatabase> work;
};

Platform& platform() {
    static Platform state;
    return state;
}

// The file's canonical path when it exists, so that two spellings of one
// file are recognised as the same database.
std::string identityOf(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

ResultMsg notStarted() {
    return ResultMsg(COM_ERR_NOT_STARTED, "平台未启动。");
}

ResultMsg openDatabase(const std::string& path, bool create, std::shared_ptr<OpenDatabase>& out) {
    Platform& p = platform();
    const std::string identity = identityOf(path);
    for (const auto& current : {p.config, p.work}) {
        if (current && current->identity == identity) {
            out = current;
            return ResultMsg();
        }
    }
    MRDSession* session = nullptr;
    ResultMsg rm = p.service->createSession(path, session, create ? 1 : 0);
    if (!rm.ok()) return rm;
    auto db = std::make_shared<OpenDatabase>();
    db->path = path;
    db->session.reset(session);
    db->identity = identityOf(path);
    InstanceDataManager* instanceData = nullptr;
    rm = session->createInstanceDataManager(instanceData, 0);
    if (!rm.ok()) return rm;
    db->instanceData.reset(instanceData);
    MetaDataManager* metaData = nullptr;
    rm = session->createMetaDataManager(metaData);
    if (!rm.ok()) return rm;
    db->metaData.reset(metaData);
    out = std::move(db);
    return rm;
}

}  // namespace

ResultMsg MeridianNew::startup(const std::string& configDBPath, const std::string& workDBPath,
                               int logMode) {
    shutdown();
    Platform& p = platform();
    p.logger = std::make_unique<LogManager>(logMode);
    p.service = std::make_unique<MRDService>();
    ResultMsg rm = openDatabase(configDBPath, true, p.config);
    if (rm.ok()) rm = openDatabase(workDBPath, true, p.work);
    if (rm.ok()) rm = detail::ensureRegisteredTables(*p.config->instanceData);
    if (!rm.ok()) shutdown();
    return rm;
}

void MeridianNew::shutdown() {
    Platform& p = platform();
    p.work.reset();
    p.config.reset();
    p.service.reset();
}

LogManager* MeridianNew::LOGGER() {
    Platform& p = platform();
    if (!p.logger) p.logger = std::make_unique<LogManager>(0);
    return p.logger.get();
}

InstanceDataManager* MeridianNew::getCurrMRDConfigIDM() {
    const auto& db = platform().config;
    return db ? db->instanceData.get() : nullptr;
}

MetaDataManager* MeridianNew::getCurrMRDConfigMDM() {
    const auto& db = platform().config;
    return db ? db->metaData.get() : nullptr;
}

InstanceDataManager* MeridianNew::getCurrentWorkDBIDM() {
    const auto& db = platform().work;
    return db ? db->instanceData.get() : nullptr;
}

std::string MeridianNew::getCurrentWorkDB() {
    const auto& db = platform().work;
    return db ? db->path : std::string();
}

std::string MeridianNew::getCurrentMRDConfigDB() {
    const auto& db = platform().config;
    return db ? db->path : std::string();
}

ResultMsg MeridianNew::setCurrentWorkDB(const std::string& path, int mustExist) {
    Platform& p = platform();
    if (!p.service) return notStarted();
    std::shared_ptr<OpenDatabase> db;
    ResultMsg rm = openDatabase(path, mustExist == 0, db);
    if (rm.ok()) p.work = std::move(db);
    return rm;
}

ResultMsg MeridianNew::setCurrMRDConfigDB(const std::string& path) {
    Platform& p = platform();
    if (!p.service) return notStarted();
    std::shared_ptr<OpenDatabase> db;
    ResultMsg rm = openDatabase(path, false, db);
    if (!rm.ok()) return rm;
    p.config = std::move(db);
    return detail::ensureRegisteredTables(*p.config->instanceData);
}

ResultMsg MeridianNew::ensureRegisteredTables() {
    InstanceDataManager* idm = getCurrMRDConfigIDM();
    if (idm == nullptr) return notStarted();
    return detail::ensureRegisteredTables(*idm);
}

std::string MeridianNew::getCurrPlatformStatus() {
    const Platform& p = platform();
    if (!p.service) return "NOT_STARTED";
    if (!p.config) return "NO_CONFIG_DB";
    if (!p.work) return "NO_WORK_DB";
    return "OK";
}

MRDService* MeridianNew::getCurrService() {
    return platform().service.get();
}

}  // namespace MeridianSpace
