// Running one statement on the server: inside a transaction each runs under
// a savepoint of its own, so that a failure undoes only itself, as in
// SQLite; a run of plain inserts shares one savepoint instead and is sent
// again, up to the failed insert, should one of them fail.
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

ResultMsg PgConnection::run(const std::string& sql, const PgParams& params, bool prepare,
                            StatementKind kind, PGresult*& result) {
    ResultMsg rm = startRun(result);
    if (!rm.ok()) return rm;
    const bool inTransactionNow = inTransaction();
    if (!inTransactionNow) endBatch();
    const bool protect = inTransactionNow && kind != StatementKind::Control;
    const bool batched = protect && prepare && kind == StatementKind::PlainInsert;
    Pipeline pipeline(conn_);
    const bool opensBatch = queueRunPrefix(pipeline, prepare, protect, batched);
    sendStatement(sql, params, prepare, nullptr, Sent::Main, pipeline);
    if (protect && !batched) pipeline.preparedControl(kReleaseName);
    const bool queued = pipeline.sync();
    countStatement();
    if (!queued) return serverLost(trimmedMessage(PQerrorMessage(conn_)));

    rm = collect(pipeline, &result);
    if (batched) return keepBatchedInsert(rm, opensBatch, sql, params, result);
    if (rm.ok() || rm.rCode == SRV_ERR_SERVER || !protect) return rm;
    return undoFailedStatement(rm);
}

ResultMsg PgConnection::startRun(PGresult*& result) {
    lastMessage_.clear();
    lastState_.clear();
    lastLost_ = false;
    result = nullptr;
    ResultMsg rm = checkOpen();
    if (rm.ok()) rm = ensureConnected();
    if (!rm.ok()) {
        lastLost_ = rm.rCode == SRV_ERR_SERVER;
        lastMessage_ = rm.rMsg;
    }
    return rm;
}

bool PgConnection::queueRunPrefix(Pipeline& pipeline, bool prepare, bool protect, bool batched) {
    if (prepare && prepared_.size() >= kMaxPrepared) {
        pipeline.control("DEALLOCATE ALL");
        prepared_.clear();
        controlsPrepared_ = false;
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
    if (!controlsPrepared_) {
        pipeline.prepareControl(kSavepointName, kStatementSavepoint);
        pipeline.prepareControl(kReleaseName, kStatementRelease);
        pipeline.prepareControl(kUndoName, kStatementUndo);
    }
    pipeline.preparedControl(kSavepointName);
    return opensBatch;
}

ResultMsg PgConnection::keepBatchedInsert(const ResultMsg& rm, bool opensBatch,
                                          const std::string& sql, const PgParams& params,
                                          PGresult* result) {
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

ResultMsg PgConnection::undoFailedStatement(const ResultMsg& failure) {
    // Only the failed statement is undone; the transaction goes on.
    const std::string message = lastMessage_, state = lastState_;
    Pipeline undo(conn_);
    if (controlsPrepared_) {
        undo.preparedControl(kUndoName);
        undo.preparedControl(kReleaseName);
    } else {
        // The control statements' own preparation failed with the statement.
        undo.control(kStatementUndo);
        undo.control(kStatementRelease);
    }
    if (!undo.sync()) return serverLost(trimmedMessage(PQerrorMessage(conn_)));
    lastMessage_.clear();
    ResultMsg undone = collect(undo, nullptr);
    if (undone.rCode == SRV_ERR_SERVER) return undone;
    lastMessage_ = message;
    lastState_ = state;
    if (!undone.ok()) {
        // The savepoint could not be undone: nothing uncommitted can be kept.
        abandonTransaction();
        transactionLost(
            ResultMsg(SRV_ERR_COMMIT,
                      "回滚失败的语句时出错，会话中所有未提交的修改都已回滚：" + undone.rMsg));
    }
    return failure;
}

void PgConnection::endBatch() {
    batchOpen_ = false;
    batch_.clear();
}

ResultMsg PgConnection::undoBatchedInsert(const ResultMsg& failure) {
    // Back to the run's savepoint, then the run's earlier inserts once more,
    // each under the identifier it was given: the transaction is as it was
    // before the failed insert, as a savepoint of its own would leave it.
    const std::string message = lastMessage_, state = lastState_;
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
        Pipeline replay(conn_);
        if (first == 0) replay.control(kBatchUndo);
        const std::size_t end = std::min(batch_.size(), first + kReplayPerTrip);
        for (std::size_t i = first; i < end; ++i) {
            sendStatement(replaySql[i], batch_[i].params, true, &ids[i], Sent::Control, replay);
        }
        if (!replay.sync()) return serverLost(trimmedMessage(PQerrorMessage(conn_)));
        lastMessage_.clear();
        rm = collect(replay, nullptr);
        if (batch_.empty()) break;
    }
    if (rm.rCode == SRV_ERR_SERVER) return rm;
    if (!rm.ok()) {
        // The run could not be restored: nothing uncommitted can be kept.
        abandonTransaction();
        transactionLost(ResultMsg(
            SRV_ERR_COMMIT, "回滚失败的语句时出错，会话中所有未提交的修改都已回滚：" + rm.rMsg));
        endBatch();
    }
    lastMessage_ = message;
    lastState_ = state;
    return failure;
}

ResultMsg PgConnection::runText(const std::string& sql, StatementKind kind) {
    PgParams none;
    PGresult* result = nullptr;
    ResultMsg rm = run(sql, none, false, kind, result);
    PQclear(result);
    return rm.ok() ? rm : backendError(SRV_ERR_ENGINE, "数据库语句执行失败");
}

}  // namespace MeridianSpace::detail
