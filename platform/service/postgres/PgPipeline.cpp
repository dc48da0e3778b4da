// Sending statements to the server in pipeline mode and reading the answers:
// one round trip carries a statement with everything around it.
#include <cstdlib>
#include <utility>

#include "ServiceErrorCode.h"
#include "backend/SqlText.h"
#include "postgres/PgConnection.h"
#include "postgres/PgDialect.h"

namespace MeridianSpace::detail {

namespace {

// Parameters up to this many are passed to libpq from the stack.
constexpr int kInlineParams = 16;

}  // namespace

std::string trimmedMessage(const char* text) {
    std::string message = text ? text : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

PgConnection::Pipeline::Pipeline(PGconn* connection) : conn(connection) {
    // A statement with all that goes around it (see PgConnection::run).
    sent.reserve(10);
}

void PgConnection::Pipeline::control(const char* text) {
    queued = queued && PQsendQueryParams(conn, text, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
    sent.emplace_back();
}

void PgConnection::Pipeline::preparedControl(const char* name) {
    queued = queued && PQsendQueryPrepared(conn, name, 0, nullptr, nullptr, nullptr, 0) == 1;
    sent.emplace_back();
}

void PgConnection::Pipeline::prepareControl(const char* name, const char* text) {
    queued = queued && PQsendPrepare(conn, name, text, 0, nullptr) == 1;
    sent.emplace_back().kind = Sent::ControlPrepare;
}

bool PgConnection::Pipeline::sync() {
    queued = queued && PQpipelineSync(conn) == 1;
    return queued;
}

ResultMsg PgConnection::serverLost(const std::string& what) {
    const ResultMsg lost(
        SRV_ERR_SERVER, "数据库服务器连接中断，未提交的修改已回滚：" + displayName() + "：" + what);
    lastLost_ = true;
    lastState_.clear();
    lastMessage_ = lost.rMsg;
    transactionLost(lost);
    prepared_.clear();
    controlsPrepared_ = false;
    endBatch();
    return lost;
}

void PgConnection::noteFailure(const PGresult* failed) {
    if (!lastMessage_.empty()) return;
    const char* state = PQresultErrorField(failed, PG_DIAG_SQLSTATE);
    lastState_ = state ? state : "";
    lastMessage_ = trimmedMessage(PQresultErrorMessage(failed));
    if (lastMessage_.empty()) lastMessage_ = trimmedMessage(PQerrorMessage(conn_));
}

ResultMsg PgConnection::collect(const Pipeline& pipeline, PGresult** mainResult) {
    bool failed = false;
    bool controlsPrepared = true;
    for (const Sent& s : pipeline.sent) {
        PGresult* result = PQgetResult(conn_);
        if (result == nullptr) return serverLost(trimmedMessage(PQerrorMessage(conn_)));
        const ExecStatusType status = PQresultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (status == PGRES_FATAL_ERROR) {
            noteFailure(result);
            failed = true;
        } else if (!ok) {
            failed = true;  // skipped after an earlier failure
        }
        if (ok && s.kind == Sent::Prepare) prepared_[*s.sql] = s.name;
        if (s.kind == Sent::ControlPrepare) controlsPrepared = controlsPrepared && ok;
        if (ok && s.kind == Sent::Main && mainResult != nullptr) {
            changes_ = std::atoi(PQcmdTuples(result));
            *mainResult = result;
        } else {
            PQclear(result);
        }
        // Each statement's answers end with a null result.
        while ((result = PQgetResult(conn_)) != nullptr)
            PQclear(result);
        if (PQstatus(conn_) != CONNECTION_OK) {
            if (mainResult != nullptr && *mainResult != nullptr) {
                PQclear(*mainResult);
                *mainResult = nullptr;
            }
            return serverLost(trimmedMessage(PQerrorMessage(conn_)));
        }
    }
    PGresult* sync = PQgetResult(conn_);
    const bool synced = sync != nullptr && PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
    PQclear(sync);
    if (!synced || PQstatus(conn_) != CONNECTION_OK) {
        if (mainResult != nullptr && *mainResult != nullptr) {
            PQclear(*mainResult);
            *mainResult = nullptr;
        }
        return serverLost(trimmedMessage(PQerrorMessage(conn_)));
    }
    if (failed && mainResult != nullptr && *mainResult != nullptr) {
        PQclear(*mainResult);
        *mainResult = nullptr;
    }
    for (const Sent& s : pipeline.sent) {
        if (s.kind == Sent::ControlPrepare) controlsPrepared_ = controlsPrepared;
    }
    return failed ? ResultMsg(SRV_ERR_ENGINE, lastMessage_) : ResultMsg();
}

void PgConnection::sendStatement(const std::string& sql, const PgParams& params, bool prepare,
                                 const std::string* extra, Sent::Kind kind, Pipeline& pipeline) {
    if (!pipeline.queued) return;
    const int given = static_cast<int>(params.values.size());
    const int n = given + (extra != nullptr ? 1 : 0);
    const char* valueArray[kInlineParams];
    int lengthArray[kInlineParams];
    int formatArray[kInlineParams];
    std::vector<const char*> valueVector;
    std::vector<int> lengthVector, formatVector;
    const char** values = valueArray;
    int* lengths = lengthArray;
    int* formats = formatArray;
    if (n > kInlineParams) {
        valueVector.resize(n);
        lengthVector.resize(n);
        formatVector.resize(n);
        values = valueVector.data();
        lengths = lengthVector.data();
        formats = formatVector.data();
    }
    for (int i = 0; i < given; ++i) {
        values[i] = params.isNull[i] ? nullptr : params.values[i].c_str();
        lengths[i] = static_cast<int>(params.values[i].size());
        formats[i] = params.binary[i];
    }
    if (extra != nullptr) {
        values[given] = extra->c_str();
        lengths[given] = static_cast<int>(extra->size());
        formats[given] = 0;
    }
    if (!prepare) {
        pipeline.sent.emplace_back().kind = kind;
        pipeline.queued = PQsendQueryParams(conn_, PgDialect::numberedParameters(sql).c_str(), n,
                                            nullptr, values, lengths, formats, 0) == 1;
        return;
    }
    auto known = prepared_.find(sql);
    bool queued = true;
    if (known == prepared_.end()) {
        Sent& made = pipeline.sent.emplace_back();
        made.kind = Sent::Prepare;
        made.sql = &sql;
        made.name = "arx_" + std::to_string(++lastPrepared_);
        queued = PQsendPrepare(conn_, made.name.c_str(), PgDialect::numberedParameters(sql).c_str(),
                               0, nullptr) == 1;
    }
    // Sent before the next entry is added, which may move the name's entry.
    const char* name =
        known != prepared_.end() ? known->second.c_str() : pipeline.sent.back().name.c_str();
    pipeline.queued =
        queued && PQsendQueryPrepared(conn_, name, n, values, lengths, formats, 0) == 1;
    pipeline.sent.emplace_back().kind = kind;
}

}  // namespace MeridianSpace::detail
