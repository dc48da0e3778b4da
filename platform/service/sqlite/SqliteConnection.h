#pragma once

// One SQLite connection with the session's transaction rules, a cache of
// prepared statements and a cache of table layouts. Internal to the service.
// One thread at a time: the caches and the savepoint stack are not guarded.
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ResultReturnCode.h"

namespace MeridianSpace {
class MRDSession;
}

namespace MeridianSpace::detail {

struct PreparedStatement;

/// A prepared statement lent out of the connection's cache for one use; it is
/// reset when the lease ends. Its users bind every parameter on each use, so
/// the last values are left bound (a large blob's user clears them).
class StatementLease {
public:
    StatementLease() = default;
    StatementLease(std::shared_ptr<PreparedStatement> statement);
    ~StatementLease();
    StatementLease(StatementLease&& other) noexcept;
    StatementLease& operator=(StatementLease&& other) noexcept;
    StatementLease(const StatementLease&) = delete;
    StatementLease& operator=(const StatementLease&) = delete;

    sqlite3_stmt* get() const;

private:
    void release();
    std::shared_ptr<PreparedStatement> statement_;
};

/// Name and declared type of one physical column.
struct ColumnInfo {
    std::string name;
    std::string declaredType;
};

class SqliteConnection {
public:
    /// Opens the database file at `path`; with `create` a missing file is
    /// made. Empty paths and SQLite's special names (":memory:", "file:..."
    /// URIs) are refused: they would put the data where nobody finds it.
    static ResultMsg open(const std::string& path, bool create,
                          std::shared_ptr<SqliteConnection>& out);
    /// A private in-memory database, for callers that ask for one on purpose.
    static ResultMsg openMemory(std::shared_ptr<SqliteConnection>& out);
    /// What open() refuses before it touches the disk: an empty path or one
    /// of SQLite's special names (SRV_ERR_ARGUMENT).
    static ResultMsg checkPath(const std::string& path);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    const std::string& path() const { return path_; }
    bool isOpen() const { return db_ != nullptr; }
    /// SRV_ERR_CLOSED once the connection is closed.
    ResultMsg checkOpen() const;
    /// Rolls back open savepoints, commits what is pending and closes; when
    /// the commit fails the pending writes are rolled back and the failure is
    /// returned. Later calls answer SRV_ERR_CLOSED until reopen().
    ResultMsg close();
    /// Opens the same file again after close(); nothing when open.
    ResultMsg reopen(bool create);
    void setBusyTimeout(int milliseconds);

    /// Runs `work` (returning ResultMsg) as a write with the given commit
    /// type: 0 joins (or opens) the open transaction; COMMIT_T_IMMEDIATELY
    /// commits it, with everything pending, once the work is done, unless a
    /// savepoint is open (then the savepoint's owner decides).
    template <class Work>
    ResultMsg write(int commitType, Work&& work) {
        ResultMsg rm = beginWrite(commitType);
        if (!rm.ok()) return rm;
        return endWrite(commitType, work());
    }
    /// Runs `work` all or nothing: inside the open transaction when there is
    /// one, else in a transaction of its own that is committed at once.
    ResultMsg atomic(const std::function<ResultMsg()>& work);
    /// Commits the open transaction. While a savepoint is open this does
    /// nothing: the outermost Transaction commits.
    ResultMsg commit();
    /// Rolls back everything not committed, savepoints included.
    ResultMsg rollback();
    /// True while SQLite holds an open transaction (pending writes).
    bool inTransaction() const;

    /// Opens a savepoint (and, when none is open, an immediate transaction
    /// around it); `id` names it for release and roll-back.
    ResultMsg beginSavepoint(int& id);
    /// Keeps the savepoint's work; it must be the innermost open one.
    ResultMsg releaseSavepoint(int id);
    /// Undoes the savepoint's work and every inner savepoint's, and ends it.
    ResultMsg rollbackSavepoint(int id);
    bool isSavepointOpen(int id) const;
    /// SRV_ERR_CLOSED, or SRV_ERR_TRANSACTION when `id` is no open savepoint.
    ResultMsg checkSavepoint(int id) const;
    bool hasOpenSavepoints() const { return !savepoints_.empty(); }

    ResultMsg prepare(const std::string& sql, StatementLease& out);
    /// Runs SQL that takes no parameters and returns no rows.
    ResultMsg execute(const std::string& sql);
    /// Forgets cached statements and table layouts after a schema change.
    void schemaChanged();
    /// schemaChanged() when the schema cookie differs from the one last seen
    /// (a change by this or another connection); otherwise keeps the caches.
    ResultMsg refreshSchema();
    /// Forgets the cached layout of one table, so that the next look reads it anew.
    void forgetLayout(const std::string& table) { layouts_.erase(table); }
    /// Forgets the layout of one table and the idle statements naming it.
    void forgetTable(const std::string& table);

    /// A number that changes whenever rows of `table` may have changed (see
    /// InstanceDataManager::changeCount); 0 while closed.
    std::uint64_t changeCount(const std::string& table);
    /// Notes a change of the rows of `table` that SQLite reports to no hook
    /// (a table emptied by DELETE without WHERE).
    void tableRowsChanged(std::string_view table);

    /// Columns of a physical table, from the layout cache; SRV_ERR_NO_TABLE
    /// when the table does not exist.
    ResultMsg tableColumns(const std::string& table, const std::vector<ColumnInfo>*& out);
    /// Names of all tables of the database, in byte order.
    ResultMsg tableNames(std::vector<std::string>& out);
    /// Reads the layout of every table into the cache.
    ResultMsg loadAllLayouts();

    /// Turns a failed statement on `table` into the clearest answer: the table
    /// or one of `columns` missing, else `failure` as it is.
    ResultMsg explainFailure(const std::string& table, const std::vector<std::string>& columns,
                             const ResultMsg& failure);

    /// A failure with `code` and the engine's last message after `what`; a
    /// lock held by another connection always gets SRV_ERR_BUSY.
    ResultMsg engineError(int code, const std::string& what) const;
    int changes() const;
    /// Statements run on this connection since it was made (each execution
    /// of a prepared statement counts once), for measuring.
    std::uint64_t statementsRun() const { return statementsRun_; }
    long long lastInsertRowId() const;

    /// The session that owns this connection; cleared when it goes away.
    MRDSession* owner = nullptr;

    /// The layout of the last row inserted and its checked INSERT text, so
    /// that a run of inserts of one layout checks and builds it once.
    struct RowShape {
        std::string table;
        std::vector<std::string> columns;
        std::string sql;
    };
    RowShape lastInsert;
    /// The same for the last update: its row layout, the column, operation
    /// and relation of each condition, and its checked UPDATE text.
    struct UpdateShape {
        RowShape row;
        std::vector<std::string> conditionParts;
    };
    UpdateShape lastUpdate;

private:
    SqliteConnection(std::string path);
    ResultMsg openHandle(int flags);
    ResultMsg beginWrite(int commitType);
    ResultMsg endWrite(int commitType, ResultMsg result);
    ResultMsg commitFailure(const ResultMsg& failure) const;
    /// COMMIT when a transaction is open and no savepoint; the engine's answer.
    ResultMsg commitPending();
    ResultMsg takeLostWork();
    /// Repeats `step` while it answers SRV_ERR_BUSY, up to the busy timeout.
    ResultMsg retryWhileBusy(const std::function<ResultMsg()>& step);
    /// Every row of every table may have changed (roll-back, schema change,
    /// another connection's commit, reopen).
    void allRowsMayHaveChanged();
    /// Runs a one-value pragma through its own statement, kept prepared
    /// outside the cache so that clearing the cache does not drop it.
    ResultMsg readPragma(sqlite3_stmt*& stmt, const char* sql, long long& out);
    void finalizePragmas();
    static void onRowChanged(void* self, int op, const char* database, const char* table,
                             sqlite3_int64 rowid);
    static void onRolledBack(void* self);
    static int onTrace(unsigned type, void* self, void* statement, void* sql);

    /// ASCII case-insensitive order (SQL names ignore case) that compares
    /// string_views, so the update hook looks names up without allocating.
    struct NameLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };

    sqlite3* db_ = nullptr;
    std::string path_;
    int busyTimeoutMs_;
    std::unordered_map<std::string, std::shared_ptr<PreparedStatement>> statements_;
    std::map<std::string, std::vector<ColumnInfo>> layouts_;
    /// Open savepoints, innermost last.
    std::vector<int> savepoints_;
    int lastSavepoint_ = 0;
    /// A roll-back that could not be done where it was asked for (in a
    /// destructor) and discarded more than asked; the next commit reports it.
    ResultMsg lostWork_;

    /// Last change number of each table someone asked about.
    std::map<std::string, std::uint64_t, NameLess> tableChanges_;
    /// Change number of the last event that may have changed any row; 0 while closed.
    std::uint64_t allRowsChange_ = 0;
    std::uint64_t statementsRun_ = 0;
    long long dataVersion_ = -1;
    long long seenSchema_ = -1;
    sqlite3_stmt* dataVersionStmt_ = nullptr;
    sqlite3_stmt* schemaVersionStmt_ = nullptr;
};

}  // namespace MeridianSpace::detail
