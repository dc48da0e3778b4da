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
// connection's state and the catalogue; PgDialect.h:
// the SQL spellings; PgRun.cpp: running a statement, savepoints and runs of
// inserts; PgPipeline.cpp: sending and collecting a round trip;
// PgSchemaObjects.cpp: the indexes, triggers and views a user made.
#include <libpq-fe.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "backend/Connection.h"
#include "postgres/PgStatement.h"

namespace MeridianSpace::detail {

/// A message of libpq without its trailing line breaks and blanks.
std::string trimmedMessage(const char* text);
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
    int changes() const override { return changes_; }
    long long lastInsertRowId() const override { return 0; }

    ResultMsg queryPlan(const std::string& sql, const std::function<void(Statement&)>& bind,
                        std::string& plan) override;
    ResultMsg explicitIdStored(const std::string& table, long long id) override;
    ResultMsg carryIdentity(const std::string& from, const std::string& to) override;
    ResultMsg releaseDerivedNames(const std::string& table) override;
    ResultMsg lockSchemaChanges() override;
    ResultMsg holdOffWriters(const std::vector<std::string>& tables) override;
    ResultMsg userObjects(std::vector<SchemaObject>& out) override;
    ResultMsg objectsDroppedWith(const std::string& table, std::vector<SchemaObject>& out) override;

    /// Runs `sql` with `params` (prepared once per text when `prepared`),
    /// inside a transaction under a statement savepoint unless `kind` says
    /// otherwise. The result of a query is handed over in `result` (the
    /// caller clears it).
    ResultMsg run(const std::string& sql, const PgParams& params, bool prepared, StatementKind kind,
                  PGresult*& result);

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

private:
    explicit PgConnection(const std::string& uri);
    /// What one round trip carries: each statement sent and what its answer
    /// is for.
    struct Sent {
        enum Kind { Control, Prepare, ControlPrepare, Main } kind = Control;
        /// For Prepare: the statement's text and server-side name.
        const std::string* sql = nullptr;
        std::string name;
    };
    /// Statements queued in pipeline mode for one round trip. `queued` turns
    /// false at the first one the connection refused; nothing is sent after it.
    struct Pipeline {
        explicit Pipeline(PGconn* connection);
        void control(const char* text);
        void preparedControl(const char* name);
        void prepareControl(const char* name, const char* text);
        /// Ends the round trip; false when anything could not be sent.
        bool sync();
        PGconn* conn;
        std::vector<Sent> sent;
        bool queued = true;
    };

    /// Runs SQL without parameters or rows.
    ResultMsg runText(const std::string& sql, StatementKind kind);
    ResultMsg connect(bool create);
    ResultMsg createDatabase();
    ResultMsg configureSession();
    /// Connects again when the server closed the connection while it was idle.
    ResultMsg ensureConnected();
    /// The server went away: what was uncommitted is gone.
    ResultMsg serverLost(const std::string& what);
    /// Reads every answer of the round trip; the first failure is kept in
    /// lastState_ and lastMessage_. The answer of the Main statement goes to
    /// `mainResult` when it succeeded.
    ResultMsg collect(const Pipeline& pipeline, PGresult** mainResult);
    /// Queues one run of `sql` (prepared once when `prepare`), with `extra`
    /// as one more parameter when given; its answer is of `kind`.
    void sendStatement(const std::string& sql, const PgParams& params, bool prepare,
                       const std::string* extra, Sent::Kind kind, Pipeline& pipeline);
    /// Clears the last failure and makes sure the server is there.
    ResultMsg startRun(PGresult*& result);
    /// Queues what goes before a statement: dropping the prepared statements
    /// when there are too many, ending or opening a run of inserts, the
    /// statement's savepoint. True when it opens a run.
    bool queueRunPrefix(Pipeline& pipeline, bool prepare, bool protect, bool batched);
    /// After an insert of a run: keeps it for a replay, or undoes it.
    ResultMsg keepBatchedInsert(const ResultMsg& rm, bool opensBatch, const std::string& sql,
                                const PgParams& params, PGresult* result);
    /// After a statement under its own savepoint failed: undoes only it.
    ResultMsg undoFailedStatement(const ResultMsg& failure);
    /// After an insert of a run failed: the run as it was before it.
    ResultMsg undoBatchedInsert(const ResultMsg& failure);
    void endBatch();
    void noteFailure(const PGresult* failed);

    PGconn* conn_ = nullptr;
    /// Prepared statement names by SQL text.
    std::unordered_map<std::string, std::string> prepared_;
    int lastPrepared_ = 0;
    /// Whether the statement savepoint's commands are prepared on the server.
    bool controlsPrepared_ = false;
    /// A run of inserts inside a transaction shares one savepoint instead of
    /// one each; what they wrote is kept to be sent again should one fail.
    struct BatchedInsert {
        std::string sql;
        PgParams params;
        long long id;
    };
    bool batchOpen_ = false;
    std::vector<BatchedInsert> batch_;
    int changes_ = 0;
    /// The last failure: SQLSTATE, message, and whether the server was lost.
    std::string lastState_;
    std::string lastMessage_;
    bool lastLost_ = false;
};

}  // namespace MeridianSpace::detail
