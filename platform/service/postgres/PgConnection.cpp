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
#include "postgres/PgCatalogue.h"
#include "postgres/PgDialect.h"

namespace MeridianSpace::detail {

PgConnection::PgConnection(const std::string& uri)
    : Connection(uri, withoutPassword(uri), kPgCapabilities, PgDialect::instance()) {
    setCatalogue(std::make_unique<PgCatalogue>(*this));
}

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

std::string PgConnection::lockTimeoutStatement() const {
    return "SET lock_timeout = " + std::to_string(std::max(1, busyTimeoutMs_));
}

void PgConnection::applyBusyTimeout() {
    ResultMsg rm = execute(lockTimeoutStatement());
    (void)rm;  // a lost server applies it again when it connects anew
}

void PgConnection::closeHandle() {
    PQfinish(conn_);
    conn_ = nullptr;
    runner_.forgetPrepared();
}

void PgConnection::abandonTransaction() {
    runner_.endBatch();
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
    const PgFailure& last = runner_.lastFailure();
    if (last.lost) return ResultMsg(SRV_ERR_SERVER, last.message);
    // Lock timeouts, deadlocks and write conflicts with another transaction
    // leave nothing written: the caller may try again.
    if (last.state == "55P03" || last.state == "40001" || last.state == "40P01") {
        return ResultMsg(SRV_ERR_BUSY, "数据正被其他连接修改，操作未执行，请稍后重试：" +
                                           displayName() + "：" + what + "：" + last.message);
    }
    // A value the column's type cannot take (text for a number column).
    if (last.state == "22P02" || last.state == "22003") {
        return ResultMsg(SRV_ERR_ARGUMENT, what + "：值与列的类型不符：" + last.message);
    }
    return ResultMsg(code, what + "：" + last.message);
}

ResultMsg PgConnection::runText(const std::string& sql, StatementKind kind) {
    PgParams none;
    PGresult* result = nullptr;
    ResultMsg rm = run(sql, none, false, kind, result);
    PQclear(result);
    return rm.ok() ? rm : backendError(SRV_ERR_ENGINE, "数据库语句执行失败");
}

}  // namespace MeridianSpace::detail
