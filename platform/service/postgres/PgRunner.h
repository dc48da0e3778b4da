#pragma once

// Running one statement on the server for a PostgreSQL connection: inside a
// transaction each runs under a savepoint of its own, so that a failure
// undoes only itself, as in SQLite; a run of plain inserts shares one
// savepoint instead and is sent again, up to the failed insert, should one
// of them fail. Each statement goes in one round trip (postgres/PgPipeline.h).
// Internal to the service. One thread at a time.
#include <libpq-fe.h>

#include <string>
#include <vector>

#include "ResultReturnCode.h"
#include "backend/Statement.h"
#include "postgres/PgPipeline.h"

namespace MeridianSpace::detail {

class PgConnection;

class PgRunner {
public:
    /// The runner of `connection`, which owns it.
    explicit PgRunner(PgConnection& connection) : conn_(connection) {}
    PgRunner(const PgRunner&) = delete;
    PgRunner& operator=(const PgRunner&) = delete;

    /// Runs `sql` with `params` (prepared once per text when `prepare`),
    /// inside a transaction under a statement savepoint unless `kind` says
    /// otherwise. The result of a query is handed over in `result` (the
    /// caller clears it).
    ResultMsg run(const std::string& sql, const PgParams& params, bool prepare, StatementKind kind,
                  PGresult*& result);
    /// The server went away: what was uncommitted is gone.
    ResultMsg serverLost(const std::string& what);
    /// A new session or none: nothing is prepared on the server.
    void forgetPrepared() { prepared_.forget(); }
    /// The run of inserts is over (its transaction ended).
    void endBatch();
    /// Rows changed by the last statement that succeeded.
    int changes() const { return changes_; }
    /// The last statement's failure; empty when it ran.
    const PgFailure& lastFailure() const { return failure_; }

private:
    /// Reads the trip's answers (see PgPipeline::collect) as a ResultMsg.
    ResultMsg collect(PgPipeline& pipeline, PGresult** mainResult);
    /// Clears the last failure and makes sure the server is there.
    ResultMsg startRun(PGresult*& result);
    /// Queues what goes before a statement: dropping the prepared statements
    /// when there are too many, ending or opening a run of inserts, the
    /// statement's savepoint. True when it opens a run.
    bool queueRunPrefix(PgPipeline& pipeline, bool prepare, bool protect, bool batched);
    /// After an insert of a run: keeps it for a replay, or undoes it.
    ResultMsg keepBatchedInsert(const ResultMsg& rm, bool opensBatch, const std::string& sql,
                                const PgParams& params, PGresult* result);
    /// After a statement under its own savepoint failed: undoes only it.
    ResultMsg undoFailedStatement(const ResultMsg& failure);
    /// After an insert of a run failed: the run as it was before it.
    ResultMsg undoBatchedInsert(const ResultMsg& failure);
    /// Nothing uncommitted can be kept: rolls back and reports `why` at the next commit.
    void loseTransaction(const std::string& why);

    PgConnection& conn_;
    PgPrepared prepared_;
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
    PgFailure failure_;
};

}  // namespace MeridianSpace::detail
