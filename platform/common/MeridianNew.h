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

/// Everything is static and works on process-wide state: one thread at a
/// time (callers on several threads serialise their calls; a caller that
/// needs a database on another thread opens its own session through
/// MRDService). When both current databases are the same file they share
/// one session.
///
/// Managers and sessions handed out stay valid for the life of the process:
/// each database file the platform opens keeps its objects, and while the
/// file is not current (after a switch or shut-down) its session is closed
/// and its managers answer SRV_ERR_CLOSED; they work again once the file is
/// current again. Switching away from a database commits what is pending
/// there first; when that commit fails the switch is refused.
class ARX MeridianNew {
public:
    /// Starts the platform on a configuration and a work database (files are
    /// created when missing), makes sure the configuration database has the
    /// tables of every registered class, and makes the process's log manager
    /// with `logMode` (1 day file in ./DB_Log, 2 rolling log, 0 nothing).
    /// Restarts a started platform; when stopping it fails, that failure is
    /// returned and the platform stays stopped. Empty paths and SQLite's
    /// special names are refused.
    [[nodiscard]] static ResultMsg startup(const std::string& configDBPath,
                                           const std::string& workDBPath, int logMode = 1);
    /// Commits and closes both databases. A failed commit is returned (the
    /// writes it held are lost) and written to the log. The log manager
    /// stays, so that later lines still reach the log.
    [[nodiscard]] static ResultMsg shutdown();

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
    /// missing file is refused; with 0 it is created. The database left
    /// behind is committed and closed first; it is refused while a
    /// Transaction is open on it. On failure the current work database stays
    /// as it was. With `readOnly` the existing file is only read
    /// (MRDService::openReadOnlySession): nothing is written to it or made
    /// beside it, and every write there fails.
    [[nodiscard]] static ResultMsg setCurrentWorkDB(const std::string& path, int mustExist = 1,
                                                    bool readOnly = false);
    /// Makes another (existing) file the current configuration database, as
    /// setCurrentWorkDB does, and adds the tables of registered classes that
    /// it lacks; with `readOnly` it is only read and nothing is added.
    [[nodiscard]] static ResultMsg setCurrMRDConfigDB(const std::string& path,
                                                      bool readOnly = false);
    /// Creates, in the current configuration database, the tables (and their
    /// missing columns) of the registered classes that live there, in one
    /// immediate transaction.
    [[nodiscard]] static ResultMsg ensureRegisteredTables();

    /// "OK" when both databases are current; otherwise "NOT_STARTED",
    /// "NO_CONFIG_DB" or "NO_WORK_DB".
    static std::string getCurrPlatformStatus();
    /// The data service; null before start-up.
    static MRDService* getCurrService();
    /// The answer of an operation that needs a current database when there
    /// is none (COM_ERR_NOT_STARTED).
    static ResultMsg noCurrentDatabase();
};

}  // namespace MeridianSpace
