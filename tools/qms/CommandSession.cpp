#include "CommandSession.h"

#include <string>
#include <vector>

#include "ConsoleSink.h"
#include "FileHelper.h"
#include "InstanceDataManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "ServiceErrorCode.h"

namespace qms {

std::string location(const std::string& path) {
    return MRDService::displayLocation(path);
}

namespace {

// A server database always counts as there: the server says whether it is.
bool locationExists(const std::string& location) {
    return !MRDService::isFileLocation(location) || FileHelper::isFileExists(location);
}

// A database another process keeps busy past the busy timeout is busy, not foreign.
void refuseBusy(const ResultMsg& rm) {
    if (rm.rCode == SRV_ERR_BUSY) throw Unavailable(utf8(rm.rMsg));
}

}  // namespace

void requireOurDatabase(const std::string& path) {
    std::vector<std::string> tables;
    ResultMsg rm = MRDService().readTableNames(path, tables);
    refuseBusy(rm);
    if (!rm.ok()) throw Failure(location(path) + " is not a database: " + utf8(rm.rMsg));
    bool project = false, model = false;
    for (const std::string& table : tables) {
        project = project || table == "T_M_Project";
        model = model || table == "T_M_EntityModel";
    }
    if (!project || !model)
        throw Failure(location(path) +
                      " is not a qms configuration database (run 'qms init' for a new one)");
}

CommandSession::CommandSession(const Options& options, bool create) {
    ConsoleSink::setTarget(options.verbose ? ConsoleSink::Stderr : ConsoleSink::Off);
    if (!create) {
        for (const std::string& path : {options.config, options.work}) {
            if (!locationExists(path))
                throw Failure(location(path) + " does not exist (run 'qms init' first)");
        }
        requireOurDatabase(options.config);
    } else if (locationExists(options.config)) {
        std::vector<std::string> tables;
        ResultMsg rm = MRDService().readTableNames(options.config, tables);
        // A server database that is not there yet is made by the start-up.
        refuseBusy(rm);
        const bool missingServerDatabase = !rm.ok() && MRDService::isServerLocation(options.config);
        if (!rm.ok() && !missingServerDatabase) {
            throw Failure(location(options.config) + " is not a database: " + utf8(rm.rMsg));
        }
        if (!tables.empty()) requireOurDatabase(options.config);
    }
    QmsRecordClasses::registerAll();
    check(MeridianNew::startup(options.config, options.work, 1), "cannot open the databases");
    open_ = true;
    M_ProjectDAO::setCurrProjectID(-1);
}

CommandSession::~CommandSession() {
    if (open_) (void)MeridianNew::shutdown();  // leaving on a failure; close() reports
}

namespace {

// The sessions of the current databases (the work database may be the
// configuration database itself).
std::vector<MRDSession*> currentSessions() {
    std::vector<MRDSession*> sessions;
    for (InstanceDataManager* manager :
         {MeridianNew::getCurrMRDConfigIDM(), MeridianNew::getCurrentWorkDBIDM()}) {
        MRDSession* session = manager != nullptr ? manager->getPSession() : nullptr;
        if (session != nullptr && (sessions.empty() || sessions.front() != session))
            sessions.push_back(session);
    }
    return sessions;
}

}  // namespace

void CommandSession::commit() {
    for (MRDSession* session : currentSessions())
        check(session->commit(), "cannot commit");
}

void CommandSession::rollback() {
    for (MRDSession* session : currentSessions())
        check(session->rollback(), "cannot roll back");
}

void CommandSession::close() {
    if (!open_) return;
    open_ = false;
    check(MeridianNew::shutdown(), "cannot commit");
}

}  // namespace qms
