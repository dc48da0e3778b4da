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

namespace MeridianSpace::detail {

namespace {

// Empty paths and SQLite's special names would open a private temporary or
// in-memory database whose data vanishes with the connection.
ResultMsg checkDatabasePath(const std::string& path) {
    if (path.empty()) return ResultMsg(SRV_ERR_ARGUMENT, "数据库文件路径为空。");
    if (path[0] == ':' || StringHelper::equalsIgnoreCase(path.substr(0, 5), "file:")) {
        return ResultMsg(SRV_ERR_ARGUMENT, "数据库文件路径是SQLite的特殊名称，不是文件：" + path);
    }
    return ResultMsg();
}

// The file header says write-ahead-log mode (format versions 2 at bytes 18 and 19).
bool inWalMode(const std::string& path) {
    unsigned char header[20] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool read =
        file != nullptr && std::fread(header, 1, sizeof(header), file) == sizeof(header);
    if (file != nullptr) std::fclose(file);
    return read && header[18] == 2 && header[19] == 2;
}

// A session writes: the file and its folder (journal, log) must be writable,
// or the engine would open the file read-only and fail late, leaving its
// log files beside it. A folder that is not there is the engine's to report.
ResultMsg checkWritable(const std::string& path, bool exists) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    if (exists && ::access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
        return ResultMsg(SRV_ERR_NO_FILE,
                         "数据库文件不能写入：" + path + "：" + std::strerror(errno));
    }
    if (::access(folder.c_str(), W_OK) != 0 && errno != ENOENT) {
        return ResultMsg(SRV_ERR_NO_FILE,
                         "数据库文件所在的目录不能写入：" + folder + "：" + std::strerror(errno));
    }
    return ResultMsg();
}

bool isBusyCode(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

ValueType typeOf(int sqliteType) {
    switch (sqliteType) {
        case SQLITE_INTEGER:
            return ValueType::Integer;
        case SQLITE_FLOAT:
            return ValueType::Real;
        case SQLITE_NULL:
            return ValueType::Null;
        case SQLITE_BLOB:
            return ValueType::Blob;
        default:
            return ValueType::Text;
    }
}

// The bytes of a value (a number as its text, NULL as "").
void assignBytes(sqlite3_value* cell, std::string& out) {
    const void* bytes = sqlite3_value_blob(cell);
    if (bytes == nullptr) {
        out.clear();
    } else {
        out.assign(static_cast<const char*>(bytes),
                   static_cast<std::size_t>(sqlite3_value_bytes(cell)));
    }
}

class SqliteStatement : public Statement {
public:
    SqliteStatement(Connection& connection, sqlite3_stmt* stmt)
        : Statement(connection), stmt_(stmt) {}
    ~SqliteStatement() override { sqlite3_finalize(stmt_); }

    void clearBindings() override { sqlite3_clear_bindings(stmt_); }
    ValueType columnType(int column) const override {
        return typeOf(sqlite3_column_type(stmt_, column));
    }
    long long columnInt64(int column) const override { return sqlite3_column_int64(stmt_, column); }
    // One look at the column's value for its type and content. The value is
    // unprotected, which costs nothing here: connections are opened without
    // a mutex and used by one thread at a time.
    bool readInteger(int column, long long& value) const override {
        sqlite3_value* cell = sqlite3_column_value(stmt_, column);
        if (sqlite3_value_type(cell) != SQLITE_INTEGER) return false;
        value = sqlite3_value_int64(cell);
        return true;
    }
    bool readReal(int column, double& value) const override {
        sqlite3_value* cell = sqlite3_column_value(stmt_, column);
        if (sqlite3_value_type(cell) != SQLITE_FLOAT) return false;
        value = sqlite3_value_double(cell);
        return true;
    }
    double columnDouble(int column) const override { return sqlite3_column_double(stmt_, column); }
    std::string columnBytes(int column) const override { return sqliteColumnBytes(stmt_, column); }
    void readBytes(int column, std::string& out) const override {
        assignBytes(sqlite3_column_value(stmt_, column), out);
    }
    ValueType readValue(int column, long long& integer, double& real,
                        std::string& bytes) const override {
        sqlite3_value* cell = sqlite3_column_value(stmt_, column);
        const ValueType type = typeOf(sqlite3_value_type(cell));
        if (type == ValueType::Integer) {
            integer = sqlite3_value_int64(cell);
        } else if (type == ValueType::Real) {
            real = sqlite3_value_double(cell);
        } else if (type != ValueType::Null) {
            assignBytes(cell, bytes);
        }
        return type;
    }

protected:
    StepResult runStep() override {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return StepResult::Row;
        return rc == SQLITE_DONE ? StepResult::Done : StepResult::Error;
    }
    void resetRun() override { sqlite3_reset(stmt_); }
    const char* refuseNull(int index) override { return refused(sqlite3_bind_null(stmt_, index)); }
    const char* refuseInt64(int index, long long value) override {
        return refused(sqlite3_bind_int64(stmt_, index, value));
    }
    const char* refuseDouble(int index, double value) override {
        return refused(sqlite3_bind_double(stmt_, index, value));
    }
    const char* refuseText(int index, const char* data, std::size_t size) override {
        return refused(
            sqlite3_bind_text64(stmt_, index, data, size, SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    const char* refuseBlob(int index, const void* data, std::size_t size) override {
        return refused(size == 0 ? sqlite3_bind_zeroblob(stmt_, index, 0)
                                 : sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_TRANSIENT));
    }

private:
    static const char* refused(int rc) { return rc == SQLITE_OK ? nullptr : sqlite3_errstr(rc); }

    sqlite3_stmt* stmt_;
};

}  // namespace

SqliteConnection::SqliteConnection(std::string path)
    : Connection(path, path, kSqliteCapabilities) {}

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

ResultMsg SqliteConnection::openReadOnly(const std::string& path,
                                         std::shared_ptr<SqliteConnection>& out) {
    ResultMsg rm = checkDatabasePath(path);
    if (!rm.ok()) return rm;
    std::shared_ptr<SqliteConnection> conn(new SqliteConnection(path));
    conn->readOnly_ = true;
    rm = conn->reopen(false);
    if (rm.ok()) out = std::move(conn);
    return rm;
}

int SqliteConnection::openForReading(const std::string& path, sqlite3*& db, int flags) {
    struct stat st {};
    const bool immutable = stat((path + "-wal").c_str(), &st) != 0 && inWalMode(path);
    // The path as a URI: an absolute one with an empty authority, every
    // byte but the plain ones escaped.
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = path.rfind('/', 0) == 0 ? "file://" : "file:";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::string_view("-._~/").find(c) != std::string_view::npos) {
            uri += c;
        } else {
            uri += {'%', hex[byte >> 4], hex[byte & 15]};
        }
    }
    uri += immutable ? "?immutable=1" : "?mode=ro";
    return sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | flags,
                           nullptr);
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
    const bool exists = stat(path().c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        return ResultMsg(SRV_ERR_NO_FILE, "数据库路径是一个目录：" + path());
    }
    if (!exists && (!create || readOnly_)) {
        return ResultMsg(SRV_ERR_NO_FILE, "数据库文件不存在：" + path());
    }
    if (!readOnly_) {
        ResultMsg rm = checkWritable(path(), exists);
        if (!rm.ok()) return rm;
    }
    return openHandle(SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0));
}

ResultMsg SqliteConnection::openHandle(int flags) {
    sqlite3* db = nullptr;
    // A session is used by one thread at a time, so the engine need not lock
    // the connection around every call.
    int rc = readOnly_ ? openForReading(path(), db, SQLITE_OPEN_NOMUTEX)
                       : sqlite3_open_v2(path().c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        ResultMsg rm(SRV_ERR_NO_FILE, "无法打开数据库文件：" + path() + "：" +
                                          (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        sqlite3_close_v2(db);
        return rm;
    }
    db_ = db;
    setOpen(true);
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_update_hook(db_, &SqliteConnection::onRowChanged, this);
    sqlite3_rollback_hook(db_, &SqliteConnection::onRolledBack, this);
    sqlite3_commit_hook(db_, &SqliteConnection::onCommit, this);
    sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, &SqliteConnection::onTrace, this);
    dataVersion_ = -1;
    versionReadInWrite_ = false;
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
    // A file opened to be read keeps its journal mode; reading its schema
    // cookie tells whether it is a database.
    ResultMsg rm = readOnly_ ? execute("PRAGMA schema_version")
                             : retryWhileBusy([&] { return execute("PRAGMA journal_mode=WAL"); });
    if (rm.ok()) rm = execute("PRAGMA synchronous=NORMAL");
    // 16 MiB of page cache keeps the key indexes of large tables in memory.
    if (rm.ok()) rm = execute("PRAGMA cache_size=-16384");
    if (!rm.ok()) {
        if (rm.rCode != SRV_ERR_BUSY) {
            rm.rCode = SRV_ERR_NO_FILE;
            rm.rMsg = "不是可用的数据库文件：" + path() + "：" + rm.rMsg;
        }
        sqlite3_close_v2(db_);
        db_ = nullptr;
        setOpen(false);
    }
    return rm;
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
    out = std::make_unique<SqliteStatement>(*this, stmt);
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

ResultMsg SqliteConnection::readLayout(const std::string& table, std::vector<ColumnInfo>& out) {
    return forEachResultRow(
        *this, "PRAGMA table_info(" + quoteIdentifier(table) + ")", [](Statement&) {},
        [&](const Statement& row) {
            out.push_back({row.columnBytes(1), row.columnBytes(2)});
        },
        "读取表结构失败：" + table);
}

const char* SqliteConnection::tableNamesQuery() const {
    // The engine's own tables ("sqlite_sequence") are no tables of the database.
    return "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
           "ESCAPE '\\' ORDER BY name";
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

const char* SqliteConnection::declaredType(int dataType) const {
    switch (dataType) {
        case COL_TYPE_INT:
            return "INTEGER";
        case COL_TYPE_DOUBLE:
            return "REAL";
        case COL_TYPE_BLOB_CHAR:
        case COL_TYPE_BLOB_DOUBLE:
        case COL_TYPE_BLOB:
            return "BLOB";
        default:
            return "TEXT";
    }
}

std::string SqliteConnection::likeTest(const std::string& column, bool negated,
                                       const std::string& param) const {
    // SQLite's LIKE ignores ASCII case and has no escape character.
    return column + (negated ? " NOT LIKE " : " LIKE ") + param;
}

std::string SqliteConnection::equalsIgnoringCase(const std::string& column,
                                                 const std::string& param) const {
    return column + " = " + param + " COLLATE NOCASE";
}

std::string SqliteConnection::caseFoldedIndex(const std::string& column) const {
    return column + " COLLATE NOCASE";
}

std::string SqliteConnection::tailExpression(const std::string& column, int bytes) const {
    // As a blob the tail is bytes, never characters.
    return "substr(CAST(" + column + " AS BLOB), -" + std::to_string(bytes) + ")";
}

std::string SqliteConnection::tailValue(const std::string& param) const {
    return "CAST(" + param + " AS BLOB)";
}

ResultMsg SqliteConnection::queryPlan(const std::string& sql,
                                      const std::function<void(Statement&)>& bind,
                                      std::string& plan) {
    return forEachResultRow(
        *this, "EXPLAIN QUERY PLAN " + sql, bind,
        [&](const Statement& row) { plan += (plan.empty() ? "" : "; ") + row.columnBytes(3); },
        "读取查询计划失败");
}

ResultMsg SqliteConnection::userObjects(std::vector<SchemaObject>& out) {
    // Indexes of one named column are the columns' own (columnIndexesQuery).
    ResultMsg rm = readUserObjects(
        "SELECT m.type, m.name, CASE m.type WHEN 'view' THEN '' ELSE m.tbl_name END, m.sql, '' "
        "FROM sqlite_master AS m WHERE m.sql IS NOT NULL AND (m.type IN ('trigger', 'view') OR "
        "(m.type = 'index' AND NOT ((SELECT count(*) FROM pragma_index_info(m.name)) = 1 AND "
        "(SELECT cid FROM pragma_index_info(m.name)) >= 0))) ORDER BY m.rowid",
        out);
    // A view is checked when it is used: preparing a read of it tells.
    for (auto it = out.begin(); rm.ok() && it != out.end(); ++it) {
        if (it->kind != "view" || !checkIdentifier(it->name, "视图").ok()) continue;
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = "SELECT * FROM " + quoteIdentifier(it->name);
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            it->problem = sqlite3_errmsg(db_);
        sqlite3_finalize(stmt);
    }
    return rm;
}

ResultMsg SqliteConnection::objectsDroppedWith(const std::string& table,
                                               std::vector<SchemaObject>& out) {
    std::vector<SchemaObject> all;
    ResultMsg rm = userObjects(all);
    for (SchemaObject& object : all) {
        if (object.kind != "view" && StringHelper::equalsIgnoreCase(object.table, table))
            out.push_back(std::move(object));
    }
    return rm;
}

ResultMsg SqliteConnection::renameTable(const std::string& from, const std::string& to) {
    // The engine's own rule would rewrite views and triggers naming `from`,
    // and refuse while any view names a table that is not there.
    ResultMsg rm = execute("PRAGMA legacy_alter_table = ON");
    if (rm.ok()) rm = Connection::renameTable(from, to);
    ResultMsg restored = execute("PRAGMA legacy_alter_table = OFF");
    return rm.ok() ? restored : rm;
}

const char* SqliteConnection::indexQuery() const {
    return "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?";
}

const char* SqliteConnection::columnIndexesQuery() const {
    return "SELECT l.name, l.\"unique\", i.name FROM pragma_index_list(?1) AS l, "
           "pragma_index_info(l.name) AS i WHERE l.origin = 'c' AND "
           "(SELECT count(*) FROM pragma_index_info(l.name)) = 1 ORDER BY l.name";
}

}  // namespace MeridianSpace::detail
