#pragma once

// The SQLite backend: one connection to one database file. Internal to the
// service. One thread at a time.
//
// SqliteConnection.cpp: running SQL, layouts, transactions, change numbers;
// SqliteOpen.cpp: opening files; SqliteStatement.cpp: statements;
// SqliteCatalogue.h: user objects, plans, renames; sqlite/SqliteDialect.h:
// the SQL spellings.
#include <sqlite3.h>

#include <memory>
#include <string>

#include "backend/Connection.h"

namespace MeridianSpace::detail {

/// The engine's last failure on `db`, a connection to the file at `path`:
/// SRV_ERR_BUSY, asking to try again, when another connection's lock
/// outlasted the busy timeout; else `code` with `what` and the engine's message.
ResultMsg sqliteError(sqlite3* db, int code, const std::string& path, const std::string& what);
/// The bytes of a column of the statement's current row ("" for NULL).
std::string sqliteColumnBytes(sqlite3_stmt* stmt, int column);
/// A statement of `connection` over the prepared `stmt`, which it finalizes
/// (sqlite/SqliteStatement.cpp).
std::unique_ptr<Statement> newSqliteStatement(Connection& connection, sqlite3_stmt* stmt);

class SqliteConnection : public Connection {
public:
    /// Opens the database file at `path`; with `create` a missing file is
    /// made. Empty paths and SQLite's special names (":memory:", "file:..."
    /// URIs) are refused: they would put the data where nobody finds it.
    static ResultMsg open(const std::string& path, bool create,
                          std::shared_ptr<SqliteConnection>& out);
    /// Opens the existing database file at `path` only to read it, as
    /// openForReading does; every write through the connection fails.
    static ResultMsg openReadOnly(const std::string& path, std::shared_ptr<SqliteConnection>& out);
    /// Opens `path` read-only into `db`, which the caller closes with
    /// sqlite3_close_v2 whatever the answer (the engine's result code).
    /// Nothing appears beside the file: one in write-ahead-log mode without
    /// a log beside it is read as immutable (the engine would make its
    /// shared-memory file); otherwise the engine reads under its usual locks,
    /// the log too, so that a writer's commit is never read half done.
    static int openForReading(const std::string& path, sqlite3*& db, int flags = 0);
    /// A private in-memory database, for callers that ask for one on purpose.
    static ResultMsg openMemory(std::shared_ptr<SqliteConnection>& out);
    /// What open() refuses before it touches the disk: an empty path or one
    /// of SQLite's special names (SRV_ERR_ARGUMENT).
    static ResultMsg checkPath(const std::string& path);
    ~SqliteConnection() override;

    ResultMsg reopen(bool create) override;
    bool inTransaction() const override;
    ResultMsg refreshSchema() override;
    std::uint64_t changeCount(const std::string& table) override;
    int changes() const override;
    long long lastInsertRowId() const override;

    sqlite3* handle() const { return db_; }

protected:
    ResultMsg executeText(const std::string& sql) override;
    ResultMsg newStatement(const std::string& sql, StatementKind kind,
                           std::unique_ptr<Statement>& out) override;
    ResultMsg backendError(int code, const std::string& what) const override;
    ResultMsg readLayout(const std::string& table, std::vector<ColumnInfo>& out) override;
    void closeHandle() override;
    void abandonTransaction() override;
    void applyBusyTimeout() override;
    void onSchemaChanged() override;

private:
    explicit SqliteConnection(std::string path);
    ResultMsg openHandle(int flags);
    /// Runs a one-value pragma through its own statement, kept prepared
    /// outside the cache so that clearing the cache does not drop it.
    ResultMsg readPragma(sqlite3_stmt*& stmt, const char* sql, long long& out);
    void finalizePragmas();
    static void onRowChanged(void* self, int op, const char* database, const char* table,
                             sqlite3_int64 rowid);
    static void onRolledBack(void* self);
    static int onCommit(void* self);
    static int onTrace(unsigned type, void* self, void* statement, void* sql);

    sqlite3* db_ = nullptr;
    bool readOnly_ = false;
    long long dataVersion_ = -1;
    /// dataVersion_ was read inside the write transaction still open: no
    /// other connection can have committed since.
    bool versionReadInWrite_ = false;
    long long seenSchema_ = -1;
    sqlite3_stmt* dataVersionStmt_ = nullptr;
    sqlite3_stmt* schemaVersionStmt_ = nullptr;
};

}  // namespace MeridianSpace::detail
