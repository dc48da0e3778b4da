#include "postgres/PgChangeWatch.h"

#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "ServiceErrorCode.h"
#include "backend/SqlText.h"
#include "postgres/PgConnection.h"

namespace MeridianSpace::detail {

namespace {

void ignoreNotice(void*, const char*) {}

// Table names ignore ASCII case, as everywhere in the service.
bool sameName(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

PgChangeWatch::PgChangeWatch(std::string uri, std::vector<std::string> tables)
    : uri_(std::move(uri)), tables_(std::move(tables)), wake_(eventfd(0, EFD_CLOEXEC)) {}

PgChangeWatch::~PgChangeWatch() {
    PQfinish(conn_);
    if (wake_ >= 0) close(wake_);
}

ResultMsg PgChangeWatch::open(const std::string& uri, const std::vector<std::string>& tables,
                              std::unique_ptr<ChangeWatch>& out) {
    for (const std::string& table : tables) {
        ResultMsg rm = checkIdentifier(table, "表");
        if (!rm.ok()) return rm;
    }
    std::unique_ptr<PgChangeWatch> watch(new PgChangeWatch(uri, tables));
    if (watch->wake_ < 0) return ResultMsg(SRV_ERR_ENGINE, "无法建立监视修改的事件");
    ResultMsg rm = watch->connect();
    if (rm.ok()) out = std::move(watch);
    return rm;
}

ResultMsg PgChangeWatch::lost(const std::string& message) {
    PQfinish(conn_);
    conn_ = nullptr;
    return ResultMsg(SRV_ERR_SERVER,
                     "监视修改的连接中断：" + PgConnection::withoutPassword(uri_) + "：" + message);
}

ResultMsg PgChangeWatch::run(const std::string& sql, const std::vector<std::string>& params,
                             std::vector<std::vector<std::string>>* rows) {
    std::vector<const char*> values;
    for (const std::string& p : params)
        values.push_back(p.c_str());
    PGresult* result = PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                    values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    ResultMsg rm;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        rm = PQstatus(conn_) != CONNECTION_OK
                 ? lost(trimmedMessage(PQerrorMessage(conn_)))
                 : ResultMsg(SRV_ERR_ENGINE, "设置修改监视失败：" +
                                                 PgConnection::withoutPassword(uri_) + "：" +
                                                 trimmedMessage(PQresultErrorMessage(result)));
    } else if (rows != nullptr) {
        for (int r = 0; r < PQntuples(result); ++r) {
            std::vector<std::string>& row = rows->emplace_back();
            for (int c = 0; c < PQnfields(result); ++c)
                row.emplace_back(PQgetvalue(result, r, c));
        }
    }
    PQclear(result);
    return rm;
}

ResultMsg PgChangeWatch::addTriggers() {
    const std::string name = kChannel;
    ResultMsg rm = run("BEGIN", {});
    // Two watches starting at once would both make what is missing.
    if (rm.ok()) rm = run("SELECT pg_advisory_xact_lock(hashtext($1))", {name});
    std::vector<std::vector<std::string>> rows;
    if (rm.ok())
        rm =
            run("SELECT 1 FROM pg_proc AS p JOIN pg_namespace AS n ON n.oid = p.pronamespace "
                "WHERE p.proname = $1 AND n.nspname = current_schema()",
                {name}, &rows);
    if (rm.ok() && rows.empty())
        rm = run("CREATE FUNCTION " + name +
                     "() RETURNS trigger LANGUAGE plpgsql AS "
                     "'BEGIN PERFORM pg_notify(''" +
                     name + "'', TG_TABLE_SCHEMA || ''.'' || TG_TABLE_NAME); RETURN NULL; END'",
                 {});
    // Each table of the schema whose name is a watched one, ASCII case
    // ignored, as notifications are matched; whether it has the trigger.
    for (const std::string& table : tables_) {
        if (!rm.ok()) break;
        rows.clear();
        rm =
            run("SELECT c.relname, EXISTS (SELECT 1 FROM pg_trigger AS g WHERE g.tgrelid = c.oid "
                "AND g.tgname = $2) FROM pg_class AS c JOIN pg_namespace AS n ON n.oid = "
                "c.relnamespace WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') "
                "AND lower(c.relname) = lower($1)",
                {table, name}, &rows);
        for (std::size_t i = 0; rm.ok() && i < rows.size(); ++i) {
            if (rows[i][1] == "f")
                rm = run("CREATE TRIGGER " + name +
                             " AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON " +
                             quoteIdentifier(rows[i][0]) + " FOR EACH STATEMENT EXECUTE FUNCTION " +
                             name + "()",
                         {});
        }
    }
    if (rm.ok()) return run("COMMIT", {});
    if (conn_ != nullptr) PQclear(PQexec(conn_, "ROLLBACK"));
    return rm;
}

ResultMsg PgChangeWatch::connect() {
    PQfinish(conn_);
    conn_ = connectTo(uri_, nullptr);
    if (PQstatus(conn_) != CONNECTION_OK) {
        const std::string message = trimmedMessage(PQerrorMessage(conn_));
        PQfinish(conn_);
        conn_ = nullptr;
        return ResultMsg(SRV_ERR_SERVER, "无法连接数据库服务器：" +
                                             PgConnection::withoutPassword(uri_) + "：" + message);
    }
    PQsetNoticeProcessor(conn_, &ignoreNotice, nullptr);
    std::vector<std::vector<std::string>> schema;
    ResultMsg rm = run("SELECT current_schema()", {}, &schema);
    if (rm.ok()) rm = addTriggers();
    if (rm.ok()) rm = run(std::string("LISTEN ") + kChannel, {});
    if (rm.ok()) schema_ = schema.empty() ? "" : schema[0][0];
    if (!rm.ok() && conn_ != nullptr) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
    return rm;
}

bool PgChangeWatch::takeNotifications(std::vector<std::string>& changed, const std::string& fence) {
    bool fenced = false;
    while (PGnotify* note = PQnotifies(conn_)) {
        const std::string payload = note->extra != nullptr ? note->extra : "";
        PQfreemem(note);
        fenced = fenced || (!fence.empty() && payload == fence);
        const std::size_t dot = payload.find('.');
        if (dot == std::string::npos || payload.compare(0, dot, schema_) != 0) continue;
        const std::string table = payload.substr(dot + 1);
        for (const std::string& watched : tables_) {
            if (sameName(watched, table) &&
                std::find(changed.begin(), changed.end(), watched) == changed.end())
                changed.push_back(watched);
        }
    }
    return fenced;
}

void PgChangeWatch::pause(int timeoutMs) {
    pollfd wake{wake_, POLLIN, 0};
    if (poll(&wake, 1, timeoutMs) > 0) {
        std::uint64_t count = 0;
        (void)!read(wake_, &count, sizeof count);
    }
}

ResultMsg PgChangeWatch::wait(int timeoutMs, std::vector<std::string>& changed) {
    changed.clear();
    if (conn_ == nullptr) {
        ResultMsg rm = connect();
        if (!rm.ok()) {
            pause(timeoutMs);  // the caller tries again later, not at once
            return rm;
        }
        // What changed while the connection was away was not heard.
        changed = tables_;
        return rm;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        takeNotifications(changed);
        if (!changed.empty()) return ResultMsg();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return ResultMsg();
        pollfd fds[] = {{PQsocket(conn_), POLLIN, 0}, {wake_, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left)) < 0) continue;  // a signal
        if (fds[1].revents != 0) {
            std::uint64_t count = 0;
            (void)!read(wake_, &count, sizeof count);
            return ResultMsg();
        }
        if (fds[0].revents != 0 && PQconsumeInput(conn_) != 1)
            return lost(trimmedMessage(PQerrorMessage(conn_)));
    }
}

ResultMsg PgChangeWatch::sync(std::vector<std::string>& changed) {
    // Enough for a round trip to a server under load.
    constexpr auto kFenceWait = std::chrono::seconds(10);
    changed.clear();
    if (conn_ == nullptr) return wait(0, changed);
    // Notifications arrive in the order their transactions committed: once
    // this one comes back, every one committed before the call is here. Its
    // payload has no "schema.table" form, so no other watch takes it for a
    // change, and names this connection, so no other's sync ends this one.
    const std::string fence =
        "sync " + std::to_string(PQbackendPID(conn_)) + " " + std::to_string(++fences_);
    ResultMsg rm = run("SELECT pg_notify($1, $2)", {kChannel, fence});
    if (!rm.ok()) return rm;
    const auto deadline = std::chrono::steady_clock::now() + kFenceWait;
    for (;;) {
        if (takeNotifications(changed, fence)) return ResultMsg();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return lost("没有收到自己的通知");
        pollfd readable{PQsocket(conn_), POLLIN, 0};
        if (poll(&readable, 1, static_cast<int>(left)) < 0) continue;  // a signal
        if (readable.revents != 0 && PQconsumeInput(conn_) != 1)
            return lost(trimmedMessage(PQerrorMessage(conn_)));
    }
}

void PgChangeWatch::interrupt() {
    const std::uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
}

}  // namespace MeridianSpace::detail
