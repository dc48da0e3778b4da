#include "MeridianNew.h"

#include <limits.h>
#include <stdlib.h>

#include <map>
#include <memory>

#include "CommonErrorCode.h"
#include "InstanceDataManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "MetaDataManager.h"
#include "ServiceErrorCode.h"
#include "detail/RegisteredTables.h"

namespace MeridianSpace {

namespace {

// One database file the platform has opened, with its session and the
// managers working in it. It is kept for the life of the process so that
// the managers handed out never dangle; its session is open only while the
// file is current.
struct KnownDatabase {
    std::string path;
    bool readOnly = false;
    std::unique_ptr<MRDSession> session;
    std::unique_ptr<InstanceDataManager> instanceData;
    std::unique_ptr<MetaDataManager> metaData;
};

struct Platform {
    // Members go in reverse order: the databases first, the log manager last.
    std::unique_ptr<LogManager> logger;
    MRDService service;
    bool started = false;
    std::map<std::string, std::unique_ptr<KnownDatabase>> known;
    KnownDatabase* config = nullptr;
    KnownDatabase* work = nullptr;
};

Platform& platform() {
    static Platform state;
    return state;
}

// The file's canonical path, so that two spellings of one file are
// recognised as the same database; for a file still to be made, the
// canonical folder and the name; for a server database its URI.
std::string identityOf(const std::string& path) {
    // Only a file has a canonical path; a server database is named by its URI alone.
    if (!MRDService::isFileLocation(path)) return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (realpath(folder.c_str(), resolved) == nullptr) return path;
    return std::string(resolved) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// Where the platform keeps a database: a file opened only to be read is
// another session than the same file opened to be written.
std::string keyOf(const std::string& path, bool readOnly) {
    return identityOf(path) + (readOnly ? "\n(read-only)" : "");
}

ResultMsg notStarted() {
    return ResultMsg(COM_ERR_NOT_STARTED, "平台未启动。");
}

// Makes the file's session open, reusing what the platform knows of it.
ResultMsg openDatabase(const std::string& path, bool create, bool readOnly, KnownDatabase*& out) {
    Platform& p = platform();
    auto known = p.known.find(keyOf(path, readOnly));
    if (known != p.known.end()) {
        KnownDatabase& db = *known->second;
        ResultMsg rm = db.session->reopen(create ? 1 : 0);
        if (!rm.ok()) return rm;
        db.path = path;
        out = &db;
        return rm;
    }
    MRDSession* session = nullptr;
    ResultMsg rm = readOnly ? p.service.openReadOnlySession(path, session)
                            : p.service.createSession(path, session, create ? 1 : 0);
    if (!rm.ok()) return rm;
    auto db = std::make_unique<KnownDatabase>();
    db->path = path;
    db->readOnly = readOnly;
    db->session.reset(session);
    InstanceDataManager* instanceData = nullptr;
    rm = session->createInstanceDataManager(instanceData, 0);
    if (!rm.ok()) return rm;
    db->instanceData.reset(instanceData);
    MetaDataManager* metaData = nullptr;
    rm = session->createMetaDataManager(metaData);
    if (!rm.ok()) return rm;
    db->metaData.reset(metaData);
    out = db.get();
    p.known[keyOf(path, readOnly)] = std::move(db);
    return rm;
}

// Commits what is pending in a database about to stop being current. An
// open transaction cannot be committed for its owner, so it keeps the
// database current.
ResultMsg prepareToLeave(KnownDatabase& db) {
    if (db.session->hasOpenTransaction()) {
        return ResultMsg(SRV_ERR_TRANSACTION, "数据库中有未结束的事务，不能切换：" +
                                                  MRDService::displayLocation(db.path));
    }
    return db.session->commit();
}

// Makes the file at `path` current in one role (`slot`), leaving the
// database that held it; `other` holds the other role and stays open.
ResultMsg switchTo(KnownDatabase*& slot, const KnownDatabase* other, const std::string& path,
                   bool create, bool readOnly) {
    KnownDatabase* previous = slot;
    const bool leaving =
        previous != other && keyOf(path, readOnly) != keyOf(previous->path, previous->readOnly);
    if (leaving) {
        ResultMsg rm = prepareToLeave(*previous);
        if (!rm.ok()) return rm;
    }
    KnownDatabase* target = nullptr;
    ResultMsg rm = openDatabase(path, create, readOnly, target);
    if (!rm.ok()) return rm;
    slot = target;
    if (leaving && previous != target) rm = previous->session->close();
    return rm;
}

}  // namespace

ResultMsg MeridianNew::startup(const std::string& configDBPath, const std::string& workDBPath,
                               int logMode) {
    ResultMsg rm = shutdown();
    if (!rm.ok()) return rm;
    Platform& p = platform();
    p.logger = std::make_unique<LogManager>(logMode);
    rm = openDatabase(configDBPath, true, false, p.config);
    if (rm.ok()) rm = openDatabase(workDBPath, true, false, p.work);
    if (rm.ok()) rm = detail::ensureRegisteredTables(*p.config->instanceData, *p.config->metaData);
    if (!rm.ok()) {
        ResultMsg stopped = shutdown();
        (void)stopped;  // nothing but tables was written; the start-up failure is the answer
        return rm;
    }
    p.started = true;
    return rm;
}

ResultMsg MeridianNew::shutdown() {
    Platform& p = platform();
    ResultMsg result;
    for (auto& [identity, db] : p.known) {
        if (!db->session->isOpen()) continue;
        ResultMsg rm = db->session->close();
        if (!rm.ok()) {
            LOGGER()->appendError("MeridianNew::shutdown() ", rm.rMsg);
            if (result.ok()) result = rm;
        }
    }
    p.config = p.work = nullptr;
    p.started = false;
    return result;
}

LogManager* MeridianNew::LOGGER() {
    Platform& p = platform();
    if (!p.logger) p.logger = std::make_unique<LogManager>(0);
    return p.logger.get();
}

InstanceDataManager* MeridianNew::getCurrMRDConfigIDM() {
    const KnownDatabase* db = platform().config;
    return db ? db->instanceData.get() : nullptr;
}

MetaDataManager* MeridianNew::getCurrMRDConfigMDM() {
    const KnownDatabase* db = platform().config;
    return db ? db->metaData.get() : nullptr;
}

InstanceDataManager* MeridianNew::getCurrentWorkDBIDM() {
    const KnownDatabase* db = platform().work;
    return db ? db->instanceData.get() : nullptr;
}

std::string MeridianNew::getCurrentWorkDB() {
    const KnownDatabase* db = platform().work;
    return db ? db->path : std::string();
}

std::string MeridianNew::getCurrentMRDConfigDB() {
    const KnownDatabase* db = platform().config;
    return db ? db->path : std::string();
}

ResultMsg MeridianNew::setCurrentWorkDB(const std::string& path, int mustExist, bool readOnly) {
    Platform& p = platform();
    if (!p.started) return notStarted();
    return switchTo(p.work, p.config, path, mustExist == 0 && !readOnly, readOnly);
}

ResultMsg MeridianNew::setCurrMRDConfigDB(const std::string& path, bool readOnly) {
    Platform& p = platform();
    if (!p.started) return notStarted();
    ResultMsg rm = switchTo(p.config, p.work, path, false, readOnly);
    if (!rm.ok() || readOnly) return rm;
    return detail::ensureRegisteredTables(*p.config->instanceData, *p.config->metaData);
}

ResultMsg MeridianNew::ensureRegisteredTables() {
    InstanceDataManager* idm = getCurrMRDConfigIDM();
    MetaDataManager* mdm = getCurrMRDConfigMDM();
    if (idm == nullptr || mdm == nullptr) return notStarted();
    return detail::ensureRegisteredTables(*idm, *mdm);
}

std::string MeridianNew::getCurrPlatformStatus() {
    const Platform& p = platform();
    if (!p.started) return "NOT_STARTED";
    if (!p.config) return "NO_CONFIG_DB";
    if (!p.work) return "NO_WORK_DB";
    return "OK";
}

MRDService* MeridianNew::getCurrService() {
    Platform& p = platform();
    return p.started ? &p.service : nullptr;
}

ResultMsg MeridianNew::noCurrentDatabase() {
    return ResultMsg(COM_ERR_NOT_STARTED, "没有可用的当前数据库，平台未启动或未连接。");
}

}  // namespace MeridianSpace
