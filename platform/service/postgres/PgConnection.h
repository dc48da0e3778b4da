#pragma once

// The PostgreSQL backend: one connection to one server database, reached by
// a connection URI ("postgresql://user@host:port/db"). Internal to the
// service. One thread at a time.
//
// Text is stored byte for byte (the database's encoding must be SQL_ASCII),
// so GBK names and values round-trip as they do in a SQLite file. A failed
// statement inside a transaction undoes only itself, as in SQLite: each one
// runs under its own savepoint, sent with the statement in one round trip.
//
// PgConnect.cpp: the URI, connecting, the session; PgConnection.cpp: the
// connection's state; PgDialect.h: the SQL spellings; PgRunner.h: running a
// statement, savepoints and runs of inserts; PgPipeline.h: sending and
// collecting a round trip; PgCatalogue.h: sequences, locks, plans and the
// indexes, triggers and views a user made.
#include <libpq-fe.h>

#include <memory>
#include <string>

#include "backend/Connection.h"
#include "postgres/PgRunner.h"
#include "postgres/PgStatement.h"

namespace MeridianSpace::detail {

/// A new libpq connection made from the URI (with `database` in place of
/// the URI's database when given); the caller checks PQstatus and calls PQfinish.
PGconn* connectTo(const std::string& uri, const char* database);

class PgConnection : public Connection {
public:
    /// The URI without its password, for messages and logs.
    static std::string withoutPassword(const std::string& uri);
    /// Connects to the database the URI names. With `create` a database that
    /// does not exist is created first (through the server's "postgres"
    /// database, which needs the CREATEDB right).
    static ResultMsg open(const std::string& uri, bool create, std::shared_ptr<PgConnection>& out);
    ~PgConnection() override;

    ResultMsg reopen(bool create) override;
    bool inTransaction() const override;
    ResultMsg refreshSchema() override;
    std::uint64_t changeCount(const std::string& table) override;
    int changes() const override { return runner_.changes(); }
    long long lastInsertRowId() const override { return 0; }

    /// Runs a statement (see PgRunner::run).
    ResultMsg run(const std::string& sql, const PgParams& params, bool prepared, StatementKind kind,
                  PGresult*& result) {
        return runner_.run(sql, params, prepared, kind, result);
    }

protected:
    ResultMsg executeText(const std::string& sql) override {
        return runText(sql, StatementKind::Other);
    }
    ResultMsg newStatement(const std::string& sql, StatementKind kind,
                           std::unique_ptr<Statement>& out) override;
    ResultMsg backendError(int code, const std::string& what) const override;
    ResultMsg readLayout(const std::string& table, std::vector<ColumnInfo>& out) override;
    void closeHandle() override;
    ResultMsg control(const std::string& sql) override {
        return runText(sql, StatementKind::Control);
    }
    void abandonTransaction() override;
    void applyBusyTimeout() override;
    /// SET lock_timeout to the busy timeout; 0 ms still gives up (at the
    /// first millisecond): the server's own 0 waits for ever.
    std::string lockTimeoutStatement() const;

private:
    friend class PgRunner;
    explicit PgConnection(const std::string& uri);
    /// Runs SQL without parameters or rows.
    ResultMsg runText(const std::string& sql, StatementKind kind);
    ResultMsg connect(bool create);
    ResultMsg createDatabase();
    ResultMsg configureSession();
    /// Connects again when the server closed the connection while it was idle.
    ResultMsg ensureConnected();

    PGconn* conn_ = nullptr;
    PgRunner runner_{*this};
};

}  // namespace MeridianSpace::detail
