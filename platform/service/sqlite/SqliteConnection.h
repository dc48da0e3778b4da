#pragma once

// One SQLite connection with the session's transaction rules, a cache of
// prepared statements and a cache of table layouts. Internal to the service.
#include <sqlite3.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ResultReturnCode.h"

namespace MeridianSpace {
class MRDSession;
}

namespace MeridianSpace::detail {

struct PreparedStatement;

/// A prepared statement lent out of the connection's cache for one use; it is
/// reset and its bindings cleared when the lease ends.
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
    /// Opens the database file at `path`; with `create` a missing file is made.
    static ResultMsg open(const std::string& path, bool create,
                          std::shared_ptr<SqliteConnection>& out);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    const std::string& path() const { return path_; }
    bool isOpen() const { return db_ != nullptr; }
    /// SRV_ERR_CLOSED once the connection is closed.
    ResultMsg checkOpen() const;
    /// Commits what is pending and closes. Later calls answer SRV_ERR_CLOSED.
    ResultMsg close();

    /// Runs `work` (returning ResultMsg) as a write with the given commit
    /// type: 0 joins (or opens) the open transaction; COMMIT_T_IMMEDIATELY
    /// commits it, with everything pending, once the work is done.
    template <class Work>
    ResultMsg write(int commitType, Work&& work) {
        ResultMsg rm = beginWrite(commitType);
        if (!rm.ok()) return rm;
        return endWrite(commitType, work());
    }
    /// Runs `work` all or nothing inside a savepoint (nested in any open
    /// transaction; committed at once when none is open).
    ResultMsg atomic(const std::function<ResultMsg()>& work);
    ResultMsg commit();
    bool inTransaction() const;

    ResultMsg prepare(const std::string& sql, StatementLease& out);
    /// Runs SQL that takes no parameters and returns no rows.
    ResultMsg execute(const std::string& sql);
    /// Forgets cached statements and table layouts after a schema change.
    void schemaChanged();
    /// Forgets the cached layout of one table, so that the next look reads it anew.
    void forgetLayout(const std::string& table) { layouts_.erase(table); }

    /// Columns of a physical table, from the layout cache; SRV_ERR_NO_TABLE
    /// when the table does not exist.
    ResultMsg tableColumns(const std::string& table, const std::vector<ColumnInfo>*& out);
    /// Names of all tables of the database, in byte order.
    ResultMsg tableNames(std::vector<std::string>& out);

    /// Turns a failed statement on `table` into the clearest answer: the table
    /// or one of `columns` missing, else `failure` as it is.
    ResultMsg explainFailure(const std::string& table, const std::vector<std::string>& columns,
                             const ResultMsg& failure);

    /// A failure with `code` and the engine's last message after `what`.
    ResultMsg engineError(int code, const std::string& what) const;
    int changes() const;
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

private:
    SqliteConnection(sqlite3* db, std::string path);
    ResultMsg beginWrite(int commitType);
    ResultMsg endWrite(int commitType, ResultMsg result);

    sqlite3* db_;
    std::string path_;
    std::unordered_map<std::string, std::shared_ptr<PreparedStatement>> statements_;
    std::map<std::string, std::vector<ColumnInfo>> layouts_;
    int savepointDepth_ = 0;
};

}  // namespace MeridianSpace::detail
