#include "postgres/PgRunner.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "ServiceErrorCode.h"
#include "postgres/PgConnection.h"

namespace MeridianSpace::detail {

namespace {

// Server-side prepared statements kept per connection; beyond this all are dropped.
constexpr std::size_t kMaxPrepared = 1024;
// The savepoint each statement inside a transaction runs under.
const char* const kStatementSavepoint = "SAVEPOINT arx_stmt";
const char* const kStatementRelease = "RELEASE SAVEPOINT arx_stmt";
const char* const kStatementUndo = "ROLLBACK TO SAVEPOINT arx_stmt";
// Their names as prepared statements.
const char* const kSavepointName = "arx_stmt_savepoint";
const char* const kReleaseName = "arx_stmt_release";
const char* const kUndoName = "arx_stmt_undo";
// The savepoint a run of inserts shares, and how long a run may grow: on a
// failure the run's earlier inserts are sent again.
const char* const kBatchSavepoint = "SAVEPOINT arx_batch";
const char* const kBatchRelease = "RELEASE SAVEPOINT arx_batch";
const char* const kBatchUndo = "ROLLBACK TO SAVEPOINT arx_batch";
constexpr std::size_t kMaxBatch = 1000;
constexpr std::size_t kReplayPerTrip = 100;

// The same INSERT with "id" as one more column, its value the last parameter.
std::string withExplicitId(const std::string& sql) {
    std::string out = sql;
    const std::size_t close = out.rfind(") RETURNING");
    out.insert(close, ",?");
    out.insert(out.find(") VALUES ("), ",\"id\"");
    return out;
}

}  // namespace

ResultMsg PgRunner::run(const std::string& sql, const PgParams& params, bool prepare,
                        StatementKind kind, PGresult*& result) {
    ResultMsg rm = startRun(result);
    if (!rm.ok()) return rm;
    const bool inTransactionNow = conn_.inTransaction();
    if (!inTransactionNow) endBatch();
    const bool protect = inTransactionNow && kind != StatementKind::Control;
    const bool batched = protect && prepare && kind == StatementKind::PlainInsert;
    PgPipeline pipeline(conn_.conn_, prepared_);
    const bool opensBatch = queueRunPrefix(pipeline, prepare, protect, batched);
    pipeline.statement(sql, params, prepare, nullptr, PgPipeline::Answer::Main);
    if (protect && !batched) pipeline.preparedControl(kReleaseName);
    const bool queued = pipeline.sync();
    conn_.countStatement();
    if (!queued) return serverLost(trimmedMessage(PQerrorMessage(conn_.conn_)));

    rm = collect(pipeline, &result);
    if (batched) return keepBatchedInsert(rm, opensBatch, sql, params, result);
    if (rm.ok() || rm.rCode == SRV_ERR_SERVER || !protect) return rm;
    return undoFailedStatement(rm);
}

ResultMsg PgRunner::collect(PgPipeline& pipeline, PGresult** mainResult) {
    switch (pipeline.collect(mainResult, changes_, failure_)) {
        case PgPipeline::Outcome::Lost:
            return serverLost(trimmedMessage(PQerrorMessage(conn_.conn_)));
        case PgPipeline::Outcome::Failed:
            return ResultMsg(SRV_ERR_ENGINE, failure_.message);
        case PgPipeline::Outcome::Done:
            break;
    }
    return ResultMsg();
}

ResultMsg PgRunner::serverLost(const std::string& what) {
    const ResultMsg lost(SRV_ERR_SERVER, "数据库服务器连接中断，未提交的修改已回滚：" +
                                             conn_.displayName() + "：" + what);
    failure_.lost = true;
    failure_.state.clear();
    failure_.message = lost.rMsg;
    conn_.transactionLost(lost);
    prepared_.forget();
    endBatch();
    return lost;
}

void PgRunner::loseTransaction(const std::string& why) {
    conn_.abandonTransaction();
    conn_.transactionLost(
        ResultMsg(SRV_ERR_COMMIT, "回滚失败的语句时出错，会话中所有未提交的修改都已回滚：" + why));
}

ResultMsg PgRunner::startRun(PGresult*& result) {
    failure_ = PgFailure();
    result = nullptr;
    ResultMsg rm = conn_.checkOpen();
    if (rm.ok()) rm = conn_.ensureConnected();
    if (!rm.ok()) {
        failure_.lost = rm.rCode == SRV_ERR_SERVER;
        failure_.message = rm.rMsg;
    }
    return rm;
}

bool PgRunner::queueRunPrefix(PgPipeline& pipeline, bool prepare, bool protect, bool batched) {
    if (prepare && prepared_.names.size() >= kMaxPrepared) {
        pipeline.control("DEALLOCATE ALL");
        prepared_.forget();
    }
    // A run of inserts shares one savepoint; anything else ends the run.
    if (batchOpen_ && (!batched || batch_.size() >= kMaxBatch)) {
        pipeline.control(kBatchRelease);
        endBatch();
    }
    const bool opensBatch = batched && !batchOpen_;
    if (opensBatch) pipeline.control(kBatchSavepoint);
    if (!protect || batched) return opensBatch;
    // The statement savepoint's own commands are prepared once per
    // connection: the server then neither parses nor plans them per statement.
    if (!prepared_.controls) {
        pipeline.prepareControl(kSavepointName, kStatementSavepoint);
        pipeline.prepareControl(kReleaseName, kStatementRelease);
        pipeline.prepareControl(kUndoName, kStatementUndo);
    }
    pipeline.preparedControl(kSavepointName);
    return opensBatch;
}

ResultMsg PgRunner::keepBatchedInsert(const ResultMsg& rm, bool opensBatch, const std::string& sql,
                                      const PgParams& params, PGresult* result) {
    // The run's savepoint exists once the command that opens it was sent,
    // even when the insert after it failed.
    batchOpen_ = batchOpen_ || opensBatch;
    if (rm.ok()) {
        batch_.push_back(
            BatchedInsert{sql, params, std::strtoll(PQgetvalue(result, 0, 0), nullptr, 10)});
        return rm;
    }
    return rm.rCode == SRV_ERR_SERVER ? rm : undoBatchedInsert(rm);
}

ResultMsg PgRunner::undoFailedStatement(const ResultMsg& failure) {
    // Only the failed statement is undone; the transaction goes on.
    const PgFailure saved = failure_;
    PgPipeline undo(conn_.conn_, prepared_);
    if (prepared_.controls) {
        undo.preparedControl(kUndoName);
        undo.preparedControl(kReleaseName);
    } else {
        // The control statements' own preparation failed with the statement.
        undo.control(kStatementUndo);
        undo.control(kStatementRelease);
    }
    if (!undo.sync()) return serverLost(trimmedMessage(PQerrorMessage(conn_.conn_)));
    failure_.message.clear();
    ResultMsg undone = collect(undo, nullptr);
    if (undone.rCode == SRV_ERR_SERVER) return undone;
    failure_.message = saved.message;
    failure_.state = saved.state;
    if (!undone.ok()) {
        // The savepoint could not be undone: nothing uncommitted can be kept.
        loseTransaction(undone.rMsg);
    }
    return failure;
}

void PgRunner::endBatch() {
    batchOpen_ = false;
    batch_.clear();
}

ResultMsg PgRunner::undoBatchedInsert(const ResultMsg& failure) {
    // Back to the run's savepoint, then the run's earlier inserts once more,
    // each under the identifier it was given: the transaction is as it was
    // before the failed insert, as a savepoint of its own would leave it.
    const PgFailure saved = failure_;
    std::vector<std::string> replaySql;
    replaySql.reserve(batch_.size());
    for (const BatchedInsert& insert : batch_)
        replaySql.push_back(withExplicitId(insert.sql));
    std::vector<std::string> ids;
    ids.reserve(batch_.size());
    for (const BatchedInsert& insert : batch_)
        ids.push_back(std::to_string(insert.id));
    ResultMsg rm;
    for (std::size_t first = 0; rm.ok() && (first == 0 || first < batch_.size());
         first += kReplayPerTrip) {
        PgPipeline replay(conn_.conn_, prepared_);
        if (first == 0) replay.control(kBatchUndo);
        const std::size_t end = std::min(batch_.size(), first + kReplayPerTrip);
        for (std::size_t i = first; i < end; ++i) {
            replay.statement(replaySql[i], batch_[i].params, true, &ids[i],
                             PgPipeline::Answer::Control);
        }
        if (!replay.sync()) return serverLost(trimmedMessage(PQerrorMessage(conn_.conn_)));
        failure_.message.clear();
        rm = collect(replay, nullptr);
        if (batch_.empty()) break;
    }
    if (rm.rCode == SRV_ERR_SERVER) return rm;
    if (!rm.ok()) {
        // The run could not be restored: nothing uncommitted can be kept.
        loseTransaction(rm.rMsg);
        endBatch();
    }
    failure_.message = saved.message;
    failure_.state = saved.state;
    return failure;
}

}  // namespace MeridianSpace::detail
