#pragma once

// One round trip to the server in pipeline mode: statements queued, one
// sync, then every answer read in order. A statement is sent with what goes
// around it (its savepoint, preparing it) in the same trip. Internal to the
// service. One thread at a time.
#include <libpq-fe.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "postgres/PgStatement.h"

namespace MeridianSpace::detail {

/// A message of libpq without its trailing line breaks and blanks.
std::string trimmedMessage(const char* text);

/// What a connection has prepared on the server; forgotten with the session.
struct PgPrepared {
    /// Statement names by SQL text.
    std::unordered_map<std::string, std::string> names;
    int last = 0;
    /// Whether the statement savepoint's commands are prepared.
    bool controls = false;
    void forget() {
        names.clear();
        controls = false;
    }
};

/// The first failure of a run: SQLSTATE, message, and whether the server was lost.
struct PgFailure {
    std::string state;
    std::string message;
    bool lost = false;
};

class PgPipeline {
public:
    /// What a statement's answer is for.
    enum class Answer { Control, Prepare, ControlPrepare, Main };
    enum class Outcome { Done, Failed, Lost };

    /// A trip on `conn`; statements it prepares are entered in `prepared`
    /// once the server accepted them.
    PgPipeline(PGconn* conn, PgPrepared& prepared);

    /// Queues a statement without parameters whose answer is only checked.
    void control(const char* text);
    /// Queues a run of the prepared statement `name` without parameters.
    void preparedControl(const char* name);
    /// Queues preparing `text` as `name` (the savepoint's own commands).
    void prepareControl(const char* name, const char* text);
    /// Queues one run of `sql` (prepared once when `prepare`), with `extra`
    /// as one more parameter when given.
    void statement(const std::string& sql, const PgParams& params, bool prepare,
                   const std::string* extra, Answer answer);
    /// Ends the trip; false when anything could not be sent (nothing is
    /// sent after the first statement the connection refused).
    bool sync();
    /// Reads every answer of the trip; the first failure goes to `failure`
    /// unless it holds one already. The Main statement's answer goes to
    /// `mainResult` (when given) when everything succeeded, its count of
    /// rows to `changes` when it succeeded. Lost: the server went away.
    Outcome collect(PGresult** mainResult, int& changes, PgFailure& failure);

private:
    struct Sent {
        Answer answer = Answer::Control;
        /// For Prepare: the statement's text and server-side name.
        const std::string* sql = nullptr;
        std::string name;
    };
    void noteFailure(const PGresult* failed, PgFailure& failure) const;

    PGconn* conn_;
    PgPrepared& prepared_;
    std::vector<Sent> sent_;
    bool queued_ = true;
};

}  // namespace MeridianSpace::detail
