#include "postgres/PgConnection.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

#include "ServiceErrorCode.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"
#include "postgres/PgBackend.h"
#include "postgres/PgDialect.h"

namespace MeridianSpace::detail {

PgConnection::PgConnection(const std::string& uri)
    : Connection(uri, withoutPassword(uri), kPgCapabilities, PgDialect::instance()) {}

PgConnection::~PgConnection() {
    ResultMsg rm = close();
    if (!rm.ok()) std::cerr << rm.rMsg << std::endl;
}

ResultMsg PgConnection::open(const std::string& uri, bool create,
                             std::shared_ptr<PgConnection>& out) {
    std::shared_ptr<PgConnection> conn(new PgConnection(uri));
    ResultMsg rm = conn->connect(create);
    if (rm.ok()) out = std::move(conn);
    return rm;
}

ResultMsg PgConnection::reopen(bool create) {
    if (isOpen()) return ResultMsg();
    return connect(create);
}

void PgConnection::applyBusyTimeout() {
    ResultMsg rm = execute("SET lock_timeout = " + std::to_string(busyTimeoutMs_));
    (void)rm;  // a lost server applies it again when it connects anew
}

void PgConnection::closeHandle() {
    PQfinish(conn_);
    conn_ = nullptr;
    prepared_.clear();
    controlsPrepared_ = false;
}

void PgConnection::abandonTransaction() {
    endBatch();
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) return;
    PgParams none;
    PGresult* result = nullptr;
    ResultMsg rm = run("ROLLBACK", none, false, StatementKind::Control, result);
    (void)rm;  // the last resort: a server that refuses even this has ended the session
    PQclear(result);
}

bool PgConnection::inTransaction() const {
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) return false;
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

ResultMsg PgConnection::ensureConnected() {
    if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) {
        // A server that shut down or restarted while the connection was idle
        // has said so already; reading it now avoids sending into a dead socket.
        if (PQtransactionStatus(conn_) != PQTRANS_IDLE || PQconsumeInput(conn_) == 1) {
            if (PQstatus(conn_) == CONNECTION_OK) return ResultMsg();
        }
    }
    // Outside a transaction nothing is lost by connecting anew.
    PQfinish(conn_);
    conn_ = nullptr;
    // When the server is still away the session stays open and the next
    // call tries again.
    return connect(false);
}

ResultMsg PgConnection::newStatement(const std::string& sql, StatementKind kind,
                                     std::unique_ptr<Statement>& out) {
    // The server parses it with its first run, in the same round trip.
    out = std::make_unique<PgStatement>(*this, sql, kind);
    return ResultMsg();
}

ResultMsg PgConnection::refreshSchema() {
    ResultMsg rm = checkOpen();
    // Another connection may have changed any table; layouts are read anew.
    if (rm.ok()) schemaChanged();
    return rm;
}

std::uint64_t PgConnection::changeCount(const std::string& table) {
    (void)table;
    // Other connections' commits cannot be seen without asking the server,
    // so every look counts as a change.
    return isOpen() ? nextChangeNumber() : 0;
}

ResultMsg PgConnection::readLayout(const std::string& table, std::vector<ColumnInfo>& out) {
    return forEachResultRow(
        *this,
        "SELECT a.attname, format_type(a.atttypid, a.atttypmod) FROM pg_attribute AS a "
        "WHERE a.attrelid = to_regclass(?) AND a.attnum > 0 AND NOT a.attisdropped "
        "ORDER BY a.attnum",
        [&](Statement& s) { s.bindText(1, quoteIdentifier(table)); },
        [&](const Statement& row) {
            out.push_back({row.columnBytes(0), row.columnBytes(1)});
        },
        "读取表结构失败：" + table);
}

ResultMsg PgConnection::backendError(int code, const std::string& what) const {
    if (!isOpen()) return checkOpen();
    if (lastLost_) return ResultMsg(SRV_ERR_SERVER, lastMessage_);
    // Lock timeouts, deadlocks and write conflicts with another transaction
    // leave nothing written: the caller may try again.
    if (lastState_ == "55P03" || lastState_ == "40001" || lastState_ == "40P01") {
        return ResultMsg(SRV_ERR_BUSY, "数据正被其他连接修改，操作未执行，请稍后重试：" +
                                           displayName() + "：" + what + "：" + lastMessage_);
    }
    // A value the column's type cannot take (text for a number column).
    if (lastState_ == "22P02" || lastState_ == "22003") {
        return ResultMsg(SRV_ERR_ARGUMENT, what + "：值与列的类型不符：" + lastMessage_);
    }
    return ResultMsg(code, what + "：" + lastMessage_);
}

ResultMsg PgConnection::queryPlan(const std::string& sql,
                                  const std::function<void(Statement&)>& bind, std::string& plan) {
    return forEachResultRow(
        *this, "EXPLAIN " + sql, bind,
        [&](const Statement& row) { plan += (plan.empty() ? "" : "; ") + row.columnBytes(0); },
        "读取查询计划失败");
}

ResultMsg PgConnection::explicitIdStored(const std::string& table, long long id) {
    return forEachResultRow(
        *this,
        "SELECT setval(s::regclass, GREATEST(?2::bigint, "
        "COALESCE(pg_sequence_last_value(s::regclass), 0))) "
        "FROM pg_get_serial_sequence(?1, 'id') AS s WHERE s IS NOT NULL",
        [&](Statement& s) {
            s.bindText(1, quoteIdentifier(table));
            s.bindInt64(2, id);
        },
        [](const Statement&) {}, "调整表的行标识序列失败：" + table);
}

ResultMsg PgConnection::carryIdentity(const std::string& from, const std::string& to) {
    return forEachResultRow(
        *this,
        "SELECT setval(pg_get_serial_sequence(?2, 'id'), v) FROM (SELECT "
        "pg_sequence_last_value(CAST(pg_get_serial_sequence(?1, 'id') AS regclass)) AS v) AS s "
        "WHERE v IS NOT NULL",
        [&](Statement& s) {
            s.bindText(1, quoteIdentifier(from));
            s.bindText(2, quoteIdentifier(to));
        },
        [](const Statement&) {}, "调整表的行标识序列失败：" + to);
}

ResultMsg PgConnection::releaseDerivedNames(const std::string& table) {
    std::string key, sequence;
    ResultMsg rm = forEachResultRow(
        *this,
        "SELECT (SELECT conname FROM pg_constraint WHERE conrelid = to_regclass(?1) AND contype "
        "= 'p'), pg_get_serial_sequence(?1, 'id')",
        [&](Statement& s) { s.bindText(1, quoteIdentifier(table)); },
        [&](const Statement& row) {
            key = row.columnBytes(0);
            sequence = row.columnBytes(1);
        },
        "读取表的主键失败：" + table);
    if (rm.ok() && !key.empty()) {
        rm = execute("ALTER TABLE " + quoteIdentifier(table) + " RENAME CONSTRAINT " +
                     quoteIdentifier(key) + " TO " + quoteIdentifier(table + "_pkey"));
    }
    // The server's own text of the sequence's name, quoted as it needs.
    if (rm.ok() && !sequence.empty())
        rm = execute("ALTER SEQUENCE " + sequence + " RENAME TO " +
                     quoteIdentifier(table + "_id_seq"));
    return rm;
}

ResultMsg PgConnection::lockSchemaChanges() {
    // One lock per schema: databases in other schemas go on undisturbed.
    return forEachResultRow(
        *this, "SELECT pg_advisory_xact_lock(hashtext('arx_qms:' || current_schema()))",
        [](Statement&) {}, [](const Statement&) {}, "锁定数据库的表结构失败");
}

ResultMsg PgConnection::holdOffWriters(const std::vector<std::string>& tables) {
    // LOCK takes no snapshot: a REPEATABLE READ transaction whose first
    // statement it is reads what the writers it waited for committed. The
    // mode conflicts with itself and with row writes, not with reads.
    std::string names;
    for (const std::string& table : tables) {
        ResultMsg rm = checkIdentifier(table, "表");
        if (!rm.ok()) return rm;
        names += (names.empty() ? "" : ", ") + quoteIdentifier(table);
    }
    if (names.empty()) return ResultMsg();
    ResultMsg rm = execute("LOCK TABLE " + names + " IN SHARE ROW EXCLUSIVE MODE");
    return rm.ok() ? rm : ResultMsg(rm.rCode, "锁定表失败：" + names + "：" + rm.rMsg);
}

}  // namespace MeridianSpace::detail
