#pragma once

// One session: one connection to one database file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class InstanceDataManager;
class MetaDataManager;
class MRDService;
class Savepoint;
namespace detail {
class Connection;
}

/// A session and the managers made from it are used by one thread at a time;
/// different sessions may be used on different threads at once.
class ARX MRDSession {
public:
    /// Closes as close() does. Call close() first to learn whether the last
    /// commit succeeded: a destructor cannot report it.
    ~MRDSession();
    MRDSession(const MRDSession&) = delete;
    MRDSession& operator=(const MRDSession&) = delete;

    /// Makes the session's pending writes durable. Inside an open Transaction
    /// this does nothing: the outermost Transaction commits.
    [[nodiscard]] ResultMsg commit();
    /// Discards every write not yet committed, open transactions included.
    [[nodiscard]] ResultMsg rollback();
    /// Rolls back open transactions, commits what is pending and closes;
    /// every later call of the session or of its managers answers
    /// SRV_ERR_CLOSED. When the commit fails, the pending writes are rolled
    /// back and the failure is returned.
    [[nodiscard]] ResultMsg close();
    /// Opens the session's file again after close(); managers made before
    /// work again. With `createIfMissing` 1 a file that has gone is made anew.
    [[nodiscard]] ResultMsg reopen(int createIfMissing = 0);
    bool isOpen() const;
    /// True while a Transaction or Savepoint is open on the session.
    bool hasOpenTransaction() const;
    /// True while writes of the session are not yet committed (a Transaction
    /// open, or writes made with commit type 0): other sessions do not see
    /// them yet.
    bool hasPendingWrites() const;
    std::string getFilePath() const;
    /// SQL statements the session has run since it was made, its own
    /// transaction statements included; for measuring what an operation
    /// costs.
    std::uint64_t statementCount() const;
    /// While `log` is set (not null), each statement the session runs that
    /// changes the database (schema, rows, settings; not reads, not the
    /// statements that steer transactions) is appended to it as it starts,
    /// its values written in as literals of the database's SQL, so that
    /// the list runs alone; null stops. The log stays the caller's.
    void recordStatements(std::vector<std::string>* log);
    /// How long a write waits for another connection's lock before it gives
    /// up with SRV_ERR_BUSY (5000 ms unless set).
    void setBusyTimeout(int milliseconds);

    /// A new manager of the rows and tables of this session's database; the
    /// caller deletes it. `flag` 1 reads the table layouts at once, 0 when
    /// first needed. A manager outliving its session answers SRV_ERR_CLOSED.
    ResultMsg createInstanceDataManager(InstanceDataManager*& manager, int flag);
    /// A new manager of the metadata side; the caller deletes it.
    ResultMsg createMetaDataManager(MetaDataManager*& manager);

private:
    friend class InstanceDataManager;
    friend class MRDService;
    friend class Savepoint;
    explicit MRDSession(std::shared_ptr<detail::Connection> connection);

    std::shared_ptr<detail::Connection> connection_;
    /// Tells the managers made here whether the session still exists (see
    /// dataManager::getPSession); it never deletes the session.
    std::shared_ptr<MRDSession> self_;
};

}  // namespace MeridianSpace
