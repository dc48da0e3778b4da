#include "sqlite/SqliteConnection.h"

#include <sys/stat.h>

#include <iostream>
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
    sqlite3_reset(statement_->stmt);
    sqlite3_clear_bindings(statement_->stmt);
    statement_->busy = false;
    statement_.reset();
}

SqliteConnection::SqliteConnection(sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)) {}

SqliteConnection::~SqliteConnection() {
    ResultMsg rm = close();
    if (!rm.ok()) std::cerr << rm.rMsg << std::endl;
}

ResultMsg SqliteConnection::open(const std::string& path, bool create,
                                 std::shared_ptr<SqliteConnection>& out) {
    struct stat st {};
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        return ResultMsg(SRV_ERR_NO_FILE, "数据库路径是一个目录：" + path);
    }
    if (!exists && !create) {
        return ResultMsg(SRV_ERR_NO_FILE, "数据库文件不存在：" + path);
    }
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        ResultMsg rm(SRV_ERR_NO_FILE, "无法打开数据库文件：" + path + "：" +
                                          (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        sqlite3_close_v2(db);
        return rm;
    }
    sqlite3_extended_result_codes(db, 1);
    // A double-quoted name that is no column must be an error, never a
    // string literal (the engine's legacy behaviour).
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    std::shared_ptr<SqliteConnection> conn(new SqliteConnection(db, path));
    // WAL lets readers of other sessions go on while this one writes; the
    // pragma also reads the file header, so a file that is no database fails here.
    ResultMsg rm = conn->execute("PRAGMA journal_mode=WAL");
    if (rm.ok()) rm = conn->execute("PRAGMA synchronous=NORMAL");
    // 16 MiB of page cache keeps the key indexes of large tables in memory.
    if (rm.ok()) rm = conn->execute("PRAGMA cache_size=-16384");
    if (!rm.ok()) {
        rm.rCode = SRV_ERR_NO_FILE;
        rm.rMsg = "不是可用的数据库文件：" + path + "：" + rm.rMsg;
        return rm;
    }
    out = std::move(conn);
    return ResultMsg();
}

ResultMsg SqliteConnection::checkOpen() const {
    if (db_ == nullptr) return ResultMsg(SRV_ERR_CLOSED, "数据库会话已关闭：" + path_);
    return ResultMsg();
}

ResultMsg SqliteConnection::close() {
    if (db_ == nullptr) return ResultMsg();
    ResultMsg rm = commit();
    if (!rm.ok()) {
        // The engine could not commit; leave nothing half-open behind.
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        rm.rMsg = "关闭会话时提交失败，未提交的修改已回滚：" + rm.rMsg;
    }
    statements_.clear();
    layouts_.clear();
    sqlite3_close_v2(db_);
    db_ = nullptr;
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
    if (commitType == COMMIT_T_IMMEDIATELY && savepointDepth_ == 0) {
        // Commits the pending writes of earlier calls too, also when this one failed.
        ResultMsg committed = commit();
        if (result.ok()) result = committed;
    }
    return result;
}

ResultMsg SqliteConnection::atomic(const std::function<ResultMsg()>& work) {
    ResultMsg rm = execute("SAVEPOINT arx_atomic");
    if (!rm.ok()) return rm;
    ++savepointDepth_;
    rm = work();
    if (!rm.ok()) execute("ROLLBACK TO arx_atomic");
    ResultMsg released = execute("RELEASE arx_atomic");
    --savepointDepth_;
    if (rm.ok()) rm = released;
    return rm;
}

ResultMsg SqliteConnection::commit() {
    ResultMsg rm = checkOpen();
    if (!rm.ok() || !inTransaction()) return rm;
    return execute("COMMIT");
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
    std::string detail = db_ ? sqlite3_errmsg(db_) : "closed";
    return ResultMsg(code, what + "：" + detail);
}

int SqliteConnection::changes() const {
    return db_ ? sqlite3_changes(db_) : 0;
}

long long SqliteConnection::lastInsertRowId() const {
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

}  // namespace MeridianSpace::detail
