#pragma once

// The process-wide platform state: the current configuration and work
// databases, the data service, and their start-up and shut-down.
#include <string>

#include "ArxExport.h"
#include "LogManager.h"
#include "MeridianStd.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class InstanceDataManager;
class MetaDataManager;
class MRDService;

/// Everything is static; no locks: callers on several threads serialise
/// their calls. Switching the current databases commits what is pending in
/// the session being left. When both current databases are the same file
/// they share one session.
class ARX MeridianNew {
public:
    /// Starts the platform on a configuration and a work database (files are
    /// created when missing), makes sure the configuration database has the
    /// tables of every registered class, and makes the process's log manager
    /// with `logMode` (1 day file in ./DB_Log, 2 rolling log, 0 nothing).
    /// Restarts a started platform.
    static ResultMsg startup(const std::string& configDBPath, const std::string& workDBPath,
                             int logMode = 1);
    /// Commits and closes both databases and the service. The log manager
    /// stays, so that later lines still reach the log.
    static void shutdown();

    /// The process's one log manager; never null. Before the first start-up
    /// it is a silent one (mode 0).
    static LogManager* LOGGER();

    /// Manager of the current configuration database (all metadata tables);
    /// null before start-up.
    static InstanceDataManager* getCurrMRDConfigIDM();
    static MetaDataManager* getCurrMRDConfigMDM();
    /// Manager of the current work database (rows of described tables).
    static InstanceDataManager* getCurrentWorkDBIDM();
    static std::string getCurrentWorkDB();
    static std::string getCurrentMRDConfigDB();

    /// Makes another file the current work database. With `mustExist` 1 a
    /// missing file is refused; with 0 it is created. On failure the current
    /// work database stays as it was.
    static ResultMsg setCurrentWorkDB(const std::string& path, int mustExist = 1);
    /// Makes another (existing) file the current configuration database and
    /// adds the tables of registered classes that it lacks.
    static ResultMsg setCurrMRDConfigDB(const std::string& path);
    /// Creates, in the current configuration database, the tables (and their
    /// missing columns) of the registered classes that live there.
    static ResultMsg ensureRegisteredTables();

    /// "OK" when both databases are current; otherwise "NOT_STARTED",
    /// "NO_CONFIG_DB" or "NO_WORK_DB".
    static std::string getCurrPlatformStatus();
    static MRDService* getCurrService();
};

}  // namespace MeridianSpace
