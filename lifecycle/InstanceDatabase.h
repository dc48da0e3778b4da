#pragma once

// A session on an instance database for its drift check and migration:
// opened to read (nothing in a file changes, nothing appears beside it) or
// to write under a lock taken before anything is read. Internal to arx_qms;
// one thread at a time.
#include <memory>
#include <string>
#include <vector>

#include "IEntityModel.h"
#include "ModelDiff.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class InstanceDataManager;
class MRDService;
class MRDSession;
class Transaction;

class InstanceDatabase {
public:
    enum class Access { Read, Write };

    InstanceDatabase();
    /// Rolls back what was not committed and closes (see close()).
    ~InstanceDatabase();
    InstanceDatabase(const InstanceDatabase&) = delete;
    InstanceDatabase& operator=(const InstanceDatabase&) = delete;

    /// Opens the database at `location` (a file path or a server URI). To
    /// read, a file is opened through a read-only session: its journal mode
    /// stays, and it may lie in a folder nobody may write. To write, the
    /// file and its folder must be writable.
    ResultMsg open(const std::string& location, Access access);
    /// The same through `service`, without the current databases: a thread
    /// other than the platform's may open one this way.
    ResultMsg open(MRDService& service, const std::string& location, Access access);
    /// Opens the transaction in which a migration reads, checks and writes,
    /// with every writer of the database held off from before its first
    /// read: on a SQLite file the write transaction itself, on a server a
    /// lock on every table (taken by name before anything is read, so that
    /// the transaction's reads see everything committed before).
    ResultMsg lock();
    /// Commits the transaction lock() opened.
    ResultMsg commit();
    /// Rolls back what was not committed and closes the session; a failure
    /// to close is the answer.
    ResultMsg close();

    /// What the database's description (ARX_InstanceInfo) says: model name,
    /// version, project UID.
    ResultMsg describedAs(IEntityModel& record);
    /// The database's tables as it holds them, the description table left
    /// out; names and defaults taken from `claimed` where it knows a table
    /// or column (a database keeps no defaults worth comparing).
    ResultMsg read(const ModelLayout& claimed, ModelLayout& out);
    InstanceDataManager& manager() { return *manager_; }
    /// See MRDSession::recordStatements; the database must be open.
    void recordStatements(std::vector<std::string>* log);

private:
    std::string location_;
    std::unique_ptr<MRDSession> session_;
    std::unique_ptr<InstanceDataManager> manager_;
    std::unique_ptr<Transaction> transaction_;
};

}  // namespace MeridianSpace
