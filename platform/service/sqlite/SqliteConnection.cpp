#include "sqlite/SqliteConnection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string_view>
#include <utility>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"
#include "sqlite/SqliteBackend.h"
#include "sqlite/SqliteCatalogue.h"
#include "sqlite/SqliteDialect.h"

namespace MeridianSpace::detail {

namespace {

bool isBusyCode(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

}  // namespace

SqliteConnection::SqliteConnection(std::string path)
    : Connection(path, path, kSqliteCapabilities, SqliteDialect::instance()) {
    setCatalogue(std::make_unique<SqliteCatalogue>(*this));
}

SqliteConnection::~SqliteConnection() {
    // Sessions close their connection and report; this is the last resort
    // for a connection that nobody closed.
    ResultMsg rm = close();
    if (!rm.ok()) std::cerr << rm.rMsg << std::endl;
}

void SqliteConnection::applyBusyTimeout() {
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
}

void SqliteConnection::closeHandle() {
    finalizePragmas();
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

void SqliteConnection::abandonTransaction() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteConnection::inTransaction() const {
    return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

ResultMsg SqliteConnection::newStatement(const std::string& sql, StatementKind /*kind*/,
                                         std::unique_ptr<Statement>& out) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()) + 1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return backendError(SRV_ERR_ENGINE, "数据库语句无法执行");
    }
    out = newSqliteStatement(*this, stmt);
    return ResultMsg();
}

ResultMsg SqliteConnection::executeText(const std::string& sql) {
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        return backendError(SRV_ERR_ENGINE, "数据库语句执行失败");
    }
    return rm;
}

ResultMsg SqliteConnection::readLayout(const std::string& table, std::vector<ColumnInfo>& out) {
    return forEachResultRow(
        *this, "PRAGMA table_info(" + quoteIdentifier(table) + ")", [](Statement&) {},
        [&](const Statement& row) {
            out.push_back({row.columnBytes(1), row.columnBytes(2)});
        },
        "读取表结构失败：" + table);
}

void SqliteConnection::onSchemaChanged() {
    long long cookie = -1;
    if (!readPragma(schemaVersionStmt_, "PRAGMA schema_version", cookie).ok()) cookie = -1;
    seenSchema_ = cookie;
}

ResultMsg SqliteConnection::refreshSchema() {
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    long long cookie = -1;
    // When the cookie cannot be read, dropping the caches is the safe answer.
    if (!readPragma(schemaVersionStmt_, "PRAGMA schema_version", cookie).ok() ||
        cookie != seenSchema_) {
        schemaChanged();
    }
    return rm;
}

std::uint64_t SqliteConnection::changeCount(const std::string& table) {
    if (db_ == nullptr) return 0;
    // Another connection's commit changes the data version; this
    // connection's own writes reach the update hook instead. While this
    // connection holds the write transaction in which it read the version,
    // no other one can commit: the version stands.
    const bool writing = sqlite3_txn_state(db_, "main") == SQLITE_TXN_WRITE;
    if (writing && versionReadInWrite_) return tableChangeNumber(table);
    long long version = -1;
    if (!readPragma(dataVersionStmt_, "PRAGMA data_version", version).ok()) {
        allRowsMayHaveChanged();
        versionReadInWrite_ = false;
        return tableChangeNumber(table);
    }
    if (version != dataVersion_) {
        // The first reading only sets the base: no number was handed out before it.
        if (dataVersion_ >= 0) allRowsMayHaveChanged();
        dataVersion_ = version;
    }
    versionReadInWrite_ = writing;
    return tableChangeNumber(table);
}

ResultMsg SqliteConnection::readPragma(sqlite3_stmt*& stmt, const char* sql, long long& out) {
    if (stmt == nullptr &&
        sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
        return backendError(SRV_ERR_ENGINE, sql);
    }
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) out = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
    return rc == SQLITE_ROW ? ResultMsg() : backendError(SRV_ERR_ENGINE, sql);
}

void SqliteConnection::finalizePragmas() {
    sqlite3_finalize(dataVersionStmt_);
    sqlite3_finalize(schemaVersionStmt_);
    dataVersionStmt_ = schemaVersionStmt_ = nullptr;
}

void SqliteConnection::onRowChanged(void* self, int /*op*/, const char* /*database*/,
                                    const char* table, sqlite3_int64 /*rowid*/) {
    static_cast<SqliteConnection*>(self)->tableRowsChanged(table);
}

int SqliteConnection::onTrace(unsigned type, void* self, void*, void* sql) {
    // Trigger programs report themselves as comments ("-- ..."); they are
    // part of the statement that fired them.
    const char* text = static_cast<const char*>(sql);
    if (type == SQLITE_TRACE_STMT && !(text != nullptr && text[0] == '-' && text[1] == '-')) {
        static_cast<SqliteConnection*>(self)->countStatement();
    }
    return 0;
}

void SqliteConnection::onRolledBack(void* self) {
    auto* conn = static_cast<SqliteConnection*>(self);
    conn->versionReadInWrite_ = false;
    conn->allRowsMayHaveChanged();
}

int SqliteConnection::onCommit(void* self) {
    // The write transaction ends; the next one must read the version anew.
    static_cast<SqliteConnection*>(self)->versionReadInWrite_ = false;
    return 0;
}

ResultMsg sqliteError(sqlite3* db, int code, const std::string& path, const std::string& what) {
    const std::string detail = sqlite3_errmsg(db);
    if (isBusyCode(sqlite3_extended_errcode(db))) {
        return ResultMsg(SRV_ERR_BUSY, "数据库正被其他连接锁定，等待超时，请稍后重试：" + path +
                                           "：" + what + "：" + detail);
    }
    return ResultMsg(code, what + "：" + detail);
}

std::string sqliteColumnBytes(sqlite3_stmt* stmt, int column) {
    const void* bytes = sqlite3_column_blob(stmt, column);
    return bytes ? std::string(static_cast<const char*>(bytes), sqlite3_column_bytes(stmt, column))
                 : std::string();
}

ResultMsg SqliteConnection::backendError(int code, const std::string& what) const {
    if (db_ == nullptr) return checkOpen();
    return sqliteError(db_, code, path(), what);
}

int SqliteConnection::changes() const {
    return db_ ? sqlite3_changes(db_) : 0;
}

long long SqliteConnection::lastInsertRowId() const {
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

}  // namespace MeridianSpace::detail
