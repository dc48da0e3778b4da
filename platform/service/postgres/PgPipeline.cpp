#include "postgres/PgPipeline.h"

#include <cstdlib>

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

PgPipeline::PgPipeline(PGconn* conn, PgPrepared& prepared) : conn_(conn), prepared_(prepared) {
    // A statement with all that goes around it (see PgRunner::run).
    sent_.reserve(10);
}

void PgPipeline::control(const char* text) {
    queued_ =
        queued_ && PQsendQueryParams(conn_, text, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
    sent_.emplace_back();
}

void PgPipeline::preparedControl(const char* name) {
    queued_ = queued_ && PQsendQueryPrepared(conn_, name, 0, nullptr, nullptr, nullptr, 0) == 1;
    sent_.emplace_back();
}

void PgPipeline::prepareControl(const char* name, const char* text) {
    queued_ = queued_ && PQsendPrepare(conn_, name, text, 0, nullptr) == 1;
    sent_.emplace_back().answer = Answer::ControlPrepare;
}

bool PgPipeline::sync() {
    queued_ = queued_ && PQpipelineSync(conn_) == 1;
    return queued_;
}

void PgPipeline::noteFailure(const PGresult* failed, PgFailure& failure) const {
    if (!failure.message.empty()) return;
    const char* state = PQresultErrorField(failed, PG_DIAG_SQLSTATE);
    failure.state = state ? state : "";
    failure.message = trimmedMessage(PQresultErrorMessage(failed));
    if (failure.message.empty()) failure.message = trimmedMessage(PQerrorMessage(conn_));
}

PgPipeline::Outcome PgPipeline::collect(PGresult** mainResult, int& changes, PgFailure& failure) {
    const auto lost = [&]() {
        if (mainResult != nullptr && *mainResult != nullptr) {
            PQclear(*mainResult);
            *mainResult = nullptr;
        }
        return Outcome::Lost;
    };
    bool failed = false;
    bool controlsPrepared = true;
    for (const Sent& s : sent_) {
        PGresult* result = PQgetResult(conn_);
        if (result == nullptr) return Outcome::Lost;
        const ExecStatusType status = PQresultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (status == PGRES_FATAL_ERROR) {
            noteFailure(result, failure);
            failed = true;
        } else if (!ok) {
            failed = true;  // skipped after an earlier failure
        }
        if (ok && s.answer == Answer::Prepare) prepared_.names[*s.sql] = s.name;
        if (s.answer == Answer::ControlPrepare) controlsPrepared = controlsPrepared && ok;
        if (ok && s.answer == Answer::Main && mainResult != nullptr) {
            changes = std::atoi(PQcmdTuples(result));
            *mainResult = result;
        } else {
            PQclear(result);
        }
        // Each statement's answers end with a null result.
        while ((result = PQgetResult(conn_)) != nullptr)
            PQclear(result);
        if (PQstatus(conn_) != CONNECTION_OK) return lost();
    }
    PGresult* sync = PQgetResult(conn_);
    const bool synced = sync != nullptr && PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
    PQclear(sync);
    if (!synced || PQstatus(conn_) != CONNECTION_OK) return lost();
    if (failed && mainResult != nullptr && *mainResult != nullptr) {
        PQclear(*mainResult);
        *mainResult = nullptr;
    }
    for (const Sent& s : sent_) {
        if (s.answer == Answer::ControlPrepare) prepared_.controls = controlsPrepared;
    }
    return failed ? Outcome::Failed : Outcome::Done;
}

void PgPipeline::statement(const std::string& sql, const PgParams& params, bool prepare,
                           const std::string* extra, Answer answer) {
    if (!queued_) return;
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
        sent_.emplace_back().answer = answer;
        queued_ = PQsendQueryParams(conn_, PgDialect::numberedParameters(sql).c_str(), n, nullptr,
                                    values, lengths, formats, 0) == 1;
        return;
    }
    auto known = prepared_.names.find(sql);
    bool queued = true;
    if (known == prepared_.names.end()) {
        Sent& made = sent_.emplace_back();
        made.answer = Answer::Prepare;
        made.sql = &sql;
        made.name = "arx_" + std::to_string(++prepared_.last);
        queued = PQsendPrepare(conn_, made.name.c_str(), PgDialect::numberedParameters(sql).c_str(),
                               0, nullptr) == 1;
    }
    // Sent before the next entry is added, which may move the name's entry.
    const char* name =
        known != prepared_.names.end() ? known->second.c_str() : sent_.back().name.c_str();
    queued_ = queued && PQsendQueryPrepared(conn_, name, n, values, lengths, formats, 0) == 1;
    sent_.emplace_back().answer = answer;
}

}  // namespace MeridianSpace::detail
