#include "sqlite/SqliteConnection.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>
#include <utility>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "sqlite/SqlText.h"

namespace MeridianSpace::detail {

struct PreparedStatement {
    explicit PreparedStatement(sqlite3_stmt* s) : stmt(s) {}
    ~PreparedStatement() { sqlite3_finalize(stmt); }
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    sqlite3_stmt* stmt;
    bool busy = false;
};

namespace {

// Statements kept prepared per connection; beyond this the idle ones are dropped.
constexpr std::size_t kMaxCachedStatements = 256;
// How long a write waits for another connection's lock before it fails.
constexpr int kBusyTimeoutMs = 5000;

// Change numbers come from one counter for the whole process, so that no
// number is ever handed out twice, whatever connection or reopen it is for.
std::atomic<std::uint64_t> lastChangeNumber{0};

std::uint64_t nextChangeNumber() {
    return lastChangeNumber.fetch_add(1, std::memory_order_relaxed) + 1;
}

unsigned char asciiLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

std::string savepointName(int id) {
    return "arx_sp_" + std::to_string(id);
}

// Empty paths and SQLite's special names would open a private temporary or
// in-memory database whose data vanishes with the connection.
ResultMsg checkDatabasePath(const std::string& path) {
    if (path.empty()) return ResultMsg(SRV_ERR_ARGUMENT, "数据库文件路径为空。");
    if (path[0] == ':' || StringHelper::equalsIgnoreCase(path.substr(0, 5), "file:")) {
        return ResultMsg(SRV_ERR_ARGUMENT, "数据库文件路径是SQLite的特殊名称，不是文件：" + path);
    }
    return ResultMsg();
}

bool isBusyCode(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

std::string quoted(const std::string& identifier) {
    std::string out = "\"";
    for (char c : identifier) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

}  // namespace

StatementLease::StatementLease(std::shared_ptr<PreparedStatement> statement)
    : statement_(std::move(statement)) {
    if (statement_) statement_->busy = true;
}

StatementLease::~StatementLease() {
    release();
}

StatementLease::StatementLease(StatementLease&& other) noexcept
    : statement_(std::move(other.statement_)) {}

StatementLease& StatementLease::operator=(StatementLease&& other) noexcept {
    if (this != &other) {
        release();
        statement_ = std::move(other.statement_);
    }
    return *this;
}

sqlite3_stmt* StatementLease::get() const {
    return statement_ ? statement_->stmt : nullptr;
}

void StatementLease::release() {
    if (!statement_) return;
    // Every user binds all of its statement's parameters, so the values of
    // the last use need not be cleared, only the run reset.
    sqlite3_reset(statement_->stmt);
    statement_->busy = false;
    statement_.reset();
}

SqliteConnection::SqliteConnection(std::string path)
    : path_(std::move(path)), busyTimeoutMs_(kBusyTimeoutMs) {}

SqliteConnection::~SqliteConnection() {
    // Sessions close their connection and report; this is the last resort
    // for a connection that nobody closed.
    ResultMsg rm = close();
    if (!rm.ok()) std::cerr << rm.rMsg << std::endl;
}

ResultMsg SqliteConnection::open(const std::string& path, bool create,
                                 std::shared_ptr<SqliteConnection>& out) {
    ResultMsg rm = checkDatabasePath(path);
    if (!rm.ok()) return rm;
    std::shared_ptr<SqliteConnection> conn(new SqliteConnection(path));
    rm = conn->reopen(create);
    if (rm.ok()) out = std::move(conn);
    return rm;
}

ResultMsg SqliteConnection::checkPath(const std::string& path) {
    return checkDatabasePath(path);
}

ResultMsg SqliteConnection::openMemory(std::shared_ptr<SqliteConnection>& out) {
    std::shared_ptr<SqliteConnection> conn(new SqliteConnection(":memory:"));
    ResultMsg rm = conn->openHandle(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (rm.ok()) out = std::move(conn);
    return rm;
}

ResultMsg SqliteConnection::reopen(bool create) {
    if (db_ != nullptr) return ResultMsg();
    struct stat st {};
    const bool exists = stat(path_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        return ResultMsg(SRV_ERR_NO_FILE, "数据库路径是一个目录：" + path_);
    }
    if (!exists && !create) {
        return ResultMsg(SRV_ERR_NO_FILE, "数据库文件不存在：" + path_);
    }
    return openHandle(SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0));
}

ResultMsg SqliteConnection::openHandle(int flags) {
    sqlite3* db = nullptr;
    // A session is used by one thread at a time, so the engine need not lock
    // the connection around every call.
    int rc = sqlite3_open_v2(path_.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        ResultMsg rm(SRV_ERR_NO_FILE, "无法打开数据库文件：" + path_ + "：" +
                                          (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        sqlite3_close_v2(db);
        return rm;
    }
    db_ = db;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_update_hook(db_, &SqliteConnection::onRowChanged, this);
    sqlite3_rollback_hook(db_, &SqliteConnection::onRolledBack, this);
    sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, &SqliteConnection::onTrace, this);
    // A reopened connection starts a new series of change numbers.
    allRowsMayHaveChanged();
    dataVersion_ = -1;
    seenSchema_ = -1;
    // A double-quoted name that is no column must be an error, never a
    // string literal (the engine's legacy behaviour).
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
    // WAL lets readers of other sessions go on while this one writes; the
    // pragma also reads the file header, so a file that is no database fails
    // here. Switching a new file to WAL needs a moment of exclusive access,
    // which another process creating the same file may hold: wait for it.
    ResultMsg rm = retryWhileBusy([&] { return execute("PRAGMA journal_mode=WAL"); });
    if (rm.ok()) rm = execute("PRAGMA synchronous=NORMAL");
    // 16 MiB of page cache keeps the key indexes of large tables in memory.
    if (rm.ok()) rm = execute("PRAGMA cache_size=-16384");
    if (!rm.ok()) {
        if (rm.rCode != SRV_ERR_BUSY) {
            rm.rCode = SRV_ERR_NO_FILE;
            rm.rMsg = "不是可用的数据库文件：" + path_ + "：" + rm.rMsg;
        }
        sqlite3_close_v2(db_);
        db_ = nullptr;
        allRowsChange_ = 0;
    }
    return rm;
}

void SqliteConnection::setBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds < 0 ? 0 : milliseconds;
    if (db_ != nullptr) sqlite3_busy_timeout(db_, busyTimeoutMs_);
}

ResultMsg SqliteConnection::checkOpen() const {
    if (db_ == nullptr) return ResultMsg(SRV_ERR_CLOSED, "数据库会话已关闭：" + path_);
    return ResultMsg();
}

ResultMsg SqliteConnection::close() {
    if (db_ == nullptr) return ResultMsg();
    // Work of a transaction that nobody committed is never made durable.
    if (!savepoints_.empty()) {
        ResultMsg undone = rollbackSavepoint(savepoints_.front());
        (void)undone;  // a failure there rolled back everything and is in lostWork_
    }
    ResultMsg rm = takeLostWork();
    ResultMsg committed = commitPending();
    if (!committed.ok()) {
        // The engine could not commit; leave nothing half-open behind.
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        committed =
            ResultMsg(committed.rCode == SRV_ERR_BUSY ? SRV_ERR_BUSY : SRV_ERR_COMMIT,
                      "关闭会话时提交失败，未提交的修改已回滚：" + path_ + "：" + committed.rMsg);
    }
    if (rm.ok()) rm = committed;
    statements_.clear();
    layouts_.clear();
    lastInsert = RowShape();
    finalizePragmas();
    sqlite3_close_v2(db_);
    db_ = nullptr;
    allRowsChange_ = 0;
    return rm;
}

bool SqliteConnection::inTransaction() const {
    return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

ResultMsg SqliteConnection::beginWrite(int commitType) {
    ResultMsg rm = checkOpen();
    if (rm.ok() && commitType != COMMIT_T_IMMEDIATELY && !inTransaction()) {
        rm = execute("BEGIN IMMEDIATE");
    }
    return rm;
}

ResultMsg SqliteConnection::endWrite(int commitType, ResultMsg result) {
    if (commitType == COMMIT_T_IMMEDIATELY && savepoints_.empty()) {
        // Commits the pending writes of earlier calls too, also when this one failed.
        ResultMsg committed = commit();
        if (result.ok()) result = committed;
    }
    return result;
}

ResultMsg SqliteConnection::atomic(const std::function<ResultMsg()>& work) {
    const bool ownTransaction = !inTransaction();
    int id = 0;
    ResultMsg rm = beginSavepoint(id);
    if (!rm.ok()) return rm;
    rm = work();
    if (!rm.ok()) {
        ResultMsg undone = rollbackSavepoint(id);
        (void)undone;  // the work's own failure is the answer; a failed roll-back is in lostWork_
        if (ownTransaction && savepoints_.empty() && inTransaction()) execute("ROLLBACK");
        return rm;
    }
    rm = releaseSavepoint(id);
    if (rm.ok() && ownTransaction && savepoints_.empty()) rm = commit();
    return rm;
}

ResultMsg SqliteConnection::commitFailure(const ResultMsg& failure) const {
    const int code = failure.rCode == SRV_ERR_BUSY ? SRV_ERR_BUSY : SRV_ERR_COMMIT;
    // The engine may have rolled the whole transaction back on its own.
    return ResultMsg(
        code, (inTransaction() ? "提交失败，修改仍未提交：" : "提交失败，未提交的修改已丢失：") +
                  path_ + "：" + failure.rMsg);
}

ResultMsg SqliteConnection::takeLostWork() {
    ResultMsg rm = lostWork_;
    lostWork_ = ResultMsg();
    return rm;
}

ResultMsg SqliteConnection::commitPending() {
    if (!savepoints_.empty() || !inTransaction()) return ResultMsg();
    return execute("COMMIT");
}

ResultMsg SqliteConnection::commit() {
    ResultMsg rm = checkOpen();
    if (rm.ok()) rm = takeLostWork();
    if (!rm.ok()) return rm;
    rm = commitPending();
    return rm.ok() ? rm : commitFailure(rm);
}

ResultMsg SqliteConnection::rollback() {
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    savepoints_.clear();
    lostWork_ = ResultMsg();
    if (inTransaction()) rm = execute("ROLLBACK");
    schemaChanged();
    return rm;
}

ResultMsg SqliteConnection::beginSavepoint(int& id) {
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    const bool opened = !inTransaction();
    if (opened) rm = execute("BEGIN IMMEDIATE");
    if (!rm.ok()) return rm;
    const int next = lastSavepoint_ + 1;
    rm = execute("SAVEPOINT " + savepointName(next));
    if (!rm.ok()) {
        if (opened) execute("ROLLBACK");
        return rm;
    }
    lastSavepoint_ = next;
    savepoints_.push_back(next);
    id = next;
    return rm;
}

bool SqliteConnection::isSavepointOpen(int id) const {
    for (int open : savepoints_) {
        if (open == id) return true;
    }
    return false;
}

ResultMsg SqliteConnection::checkSavepoint(int id) const {
    ResultMsg rm = checkOpen();
    if (rm.ok() && !isSavepointOpen(id)) {
        rm = ResultMsg(SRV_ERR_TRANSACTION, "事务已结束或已被回滚：" + path_);
    }
    return rm;
}

ResultMsg SqliteConnection::releaseSavepoint(int id) {
    ResultMsg rm = checkSavepoint(id);
    if (!rm.ok()) return rm;
    if (savepoints_.back() != id) {
        return ResultMsg(SRV_ERR_TRANSACTION, "内层事务尚未结束，外层事务不能提交：" + path_);
    }
    rm = execute("RELEASE " + savepointName(id));
    if (rm.ok()) savepoints_.pop_back();
    return rm;
}

ResultMsg SqliteConnection::rollbackSavepoint(int id) {
    ResultMsg rm = checkSavepoint(id);
    if (!rm.ok()) return rm;
    rm = execute("ROLLBACK TO " + savepointName(id));
    if (rm.ok()) rm = execute("RELEASE " + savepointName(id));
    while (savepoints_.back() != id)
        savepoints_.pop_back();
    savepoints_.pop_back();
    if (!rm.ok()) {
        // The savepoint could not be undone on its own: undo everything, so
        // that none of its work is committed later, and say so at the next commit.
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        savepoints_.clear();
        lostWork_ =
            ResultMsg(SRV_ERR_COMMIT, "回滚事务失败，会话中所有未提交的修改都已回滚：" + rm.rMsg);
    }
    // Rows and tables written inside the savepoint may be gone again; a
    // ROLLBACK TO reaches no rollback hook.
    allRowsMayHaveChanged();
    schemaChanged();
    return rm;
}

ResultMsg SqliteConnection::prepare(const std::string& sql, StatementLease& out) {
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    auto it = statements_.find(sql);
    if (it != statements_.end() && !it->second->busy) {
        out = StatementLease(it->second);
        return rm;
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()) + 1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return engineError(SRV_ERR_ENGINE, "数据库语句无法执行");
    }
    auto prepared = std::make_shared<PreparedStatement>(stmt);
    if (it == statements_.end()) {
        if (statements_.size() >= kMaxCachedStatements) {
            for (auto s = statements_.begin(); s != statements_.end();) {
                s = s->second->busy ? std::next(s) : statements_.erase(s);
            }
        }
        statements_.emplace(sql, prepared);
    }
    out = StatementLease(prepared);
    return rm;
}

ResultMsg SqliteConnection::execute(const std::string& sql) {
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        return engineError(SRV_ERR_ENGINE, "数据库语句执行失败");
    }
    return rm;
}

void SqliteConnection::schemaChanged() {
    for (auto s = statements_.begin(); s != statements_.end();) {
        s = s->second->busy ? std::next(s) : statements_.erase(s);
    }
    layouts_.clear();
    // A dropped table or a column added with a default changes rows that no
    // hook reports.
    allRowsMayHaveChanged();
    long long cookie = -1;
    if (db_ == nullptr || !readPragma(schemaVersionStmt_, "PRAGMA schema_version", cookie).ok()) {
        cookie = -1;
    }
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

void SqliteConnection::forgetTable(const std::string& table) {
    layouts_.erase(table);
    const std::string quotedName = "\"" + table + "\"";
    for (auto s = statements_.begin(); s != statements_.end();) {
        const bool names = s->first.find(quotedName) != std::string::npos;
        s = names && !s->second->busy ? statements_.erase(s) : std::next(s);
    }
    if (lastInsert.table == table) lastInsert = RowShape();
}

std::uint64_t SqliteConnection::changeCount(const std::string& table) {
    if (db_ == nullptr) return 0;
    // Another connection's commit changes the data version; this
    // connection's own writes reach the update hook instead.
    long long version = -1;
    if (!readPragma(dataVersionStmt_, "PRAGMA data_version", version).ok()) {
        allRowsMayHaveChanged();
    } else if (version != dataVersion_) {
        // The first reading only sets the base: no number was handed out before it.
        if (dataVersion_ >= 0) allRowsMayHaveChanged();
        dataVersion_ = version;
    }
    auto it = tableChanges_.find(std::string_view(table));
    if (it == tableChanges_.end()) it = tableChanges_.emplace(table, 0).first;
    // Both numbers only grow and are drawn from one counter, so the larger
    // one changes whenever either does.
    return std::max(allRowsChange_, it->second);
}

void SqliteConnection::tableRowsChanged(std::string_view table) {
    if (tableChanges_.empty()) return;
    auto it = tableChanges_.find(table);
    if (it != tableChanges_.end()) it->second = nextChangeNumber();
}

void SqliteConnection::allRowsMayHaveChanged() {
    allRowsChange_ = nextChangeNumber();
}

ResultMsg SqliteConnection::readPragma(sqlite3_stmt*& stmt, const char* sql, long long& out) {
    if (stmt == nullptr &&
        sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
        return engineError(SRV_ERR_ENGINE, sql);
    }
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) out = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
    return rc == SQLITE_ROW ? ResultMsg() : engineError(SRV_ERR_ENGINE, sql);
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
        ++static_cast<SqliteConnection*>(self)->statementsRun_;
    }
    return 0;
}

void SqliteConnection::onRolledBack(void* self) {
    static_cast<SqliteConnection*>(self)->allRowsMayHaveChanged();
}

bool SqliteConnection::NameLess::operator()(std::string_view a, std::string_view b) const {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = asciiLower(a[i]), y = asciiLower(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

ResultMsg SqliteConnection::tableColumns(const std::string& table,
                                         const std::vector<ColumnInfo>*& out) {
    auto it = layouts_.find(table);
    if (it != layouts_.end()) {
        out = &it->second;
        return ResultMsg();
    }
    StatementLease lease;
    ResultMsg rm = prepare("PRAGMA table_info(" + quoted(table) + ")", lease);
    if (!rm.ok()) return rm;
    std::vector<ColumnInfo> columns;
    int rc;
    while ((rc = sqlite3_step(lease.get())) == SQLITE_ROW) {
        auto text = [&](int i) {
            const unsigned char* t = sqlite3_column_text(lease.get(), i);
            return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
        };
        columns.push_back(ColumnInfo{text(1), text(2)});
    }
    if (rc != SQLITE_DONE) return engineError(SRV_ERR_ENGINE, "读取表结构失败：" + table);
    if (columns.empty()) return ResultMsg(SRV_ERR_NO_TABLE, "表不存在：" + table);
    out = &layouts_.emplace(table, std::move(columns)).first->second;
    return ResultMsg();
}

ResultMsg SqliteConnection::tableNames(std::vector<std::string>& out) {
    StatementLease lease;
    ResultMsg rm = prepare(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
        "ESCAPE '\\' ORDER BY name",
        lease);
    if (!rm.ok()) return rm;
    int rc;
    while ((rc = sqlite3_step(lease.get())) == SQLITE_ROW) {
        out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(lease.get(), 0)));
    }
    if (rc != SQLITE_DONE) return engineError(SRV_ERR_ENGINE, "读取表名失败");
    return rm;
}

ResultMsg SqliteConnection::loadAllLayouts() {
    std::vector<std::string> tables;
    ResultMsg rm = tableNames(tables);
    const std::vector<ColumnInfo>* layout = nullptr;
    for (auto it = tables.begin(); rm.ok() && it != tables.end(); ++it)
        rm = tableColumns(*it, layout);
    return rm;
}

ResultMsg SqliteConnection::explainFailure(const std::string& table,
                                           const std::vector<std::string>& columns,
                                           const ResultMsg& failure) {
    if (db_ == nullptr) return checkOpen();
    forgetLayout(table);
    const std::vector<ColumnInfo>* layout = nullptr;
    ResultMsg rm = tableColumns(table, layout);
    if (!rm.ok()) return rm;
    for (const std::string& column : columns) {
        bool found = false;
        for (const ColumnInfo& info : *layout) {
            found = found || StringHelper::equalsIgnoreCase(info.name, column);
        }
        if (!found) return ResultMsg(SRV_ERR_NO_COLUMN, "列不存在：" + table + "." + column);
    }
    return failure;
}

ResultMsg SqliteConnection::engineError(int code, const std::string& what) const {
    if (db_ == nullptr) return checkOpen();
    const std::string detail = sqlite3_errmsg(db_);
    if (isBusyCode(sqlite3_extended_errcode(db_))) {
        return ResultMsg(SRV_ERR_BUSY, "数据库正被其他连接锁定，等待超时，请稍后重试：" + path_ +
                                           "：" + what + "：" + detail);
    }
    return ResultMsg(code, what + "：" + detail);
}

ResultMsg SqliteConnection::retryWhileBusy(const std::function<ResultMsg()>& step) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(busyTimeoutMs_);
    ResultMsg rm = step();
    while (rm.rCode == SRV_ERR_BUSY && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        rm = step();
    }
    return rm;
}

int SqliteConnection::changes() const {
    return db_ ? sqlite3_changes(db_) : 0;
}

long long SqliteConnection::lastInsertRowId() const {
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

}  // namespace MeridianSpace::detail
