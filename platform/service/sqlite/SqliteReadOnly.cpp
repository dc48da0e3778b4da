#include "sqlite/SqliteReadOnly.h"

#include <sys/stat.h>

#include <functional>

#include "ServiceErrorCode.h"
#include "sqlite/SqliteConnection.h"

namespace MeridianSpace::detail {

namespace {

// Hands every row of `sql` (with `parameter` as ?1 when given) to `read`;
// the engine's result code.
int stepRows(sqlite3* db, const char* sql, const std::function<void(sqlite3_stmt*)>& read,
             const std::string* parameter = nullptr) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK && parameter != nullptr)
        rc = sqlite3_bind_text(stmt, 1, parameter->data(), static_cast<int>(parameter->size()),
                               SQLITE_TRANSIENT);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        read(stmt);
        rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

SqliteReadOnlyFile::~SqliteReadOnlyFile() {
    sqlite3_close_v2(db_);
}

ResultMsg SqliteReadOnlyFile::open(const std::string& path) {
    ResultMsg rm = SqliteConnection::checkPath(path);
    if (!rm.ok()) return rm;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return ResultMsg(SRV_ERR_NO_FILE, "数据库文件不存在：" + path);
    }
    path_ = path;
    int rc = SqliteConnection::openForReading(path, db_);
    // The check's answer is one row "ok", or one row per problem found.
    std::string check;
    if (rc == SQLITE_OK) {
        // A file another connection is writing is busy, not foreign: wait
        // for it as long as a session would, then say so.
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, Connection::kDefaultBusyTimeoutMs);
        rc = stepRows(db_, "PRAGMA quick_check", [&](sqlite3_stmt* stmt) {
            check += (check.empty() ? "" : "; ") + sqliteColumnBytes(stmt, 0);
        });
    }
    if (rc != SQLITE_OK && db_ != nullptr) {
        ResultMsg busy = sqliteError(db_, SRV_ERR_NO_FILE, path, "检查数据库文件失败");
        if (busy.rCode == SRV_ERR_BUSY) return busy;
    }
    if (rc != SQLITE_OK || check != "ok") {
        const std::string why =
            rc != SQLITE_OK ? std::string(db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)) : check;
        return ResultMsg(SRV_ERR_NO_FILE, "不是可用的数据库文件：" + path + "：" + why);
    }
    return rm;
}

ResultMsg SqliteReadOnlyFile::tableNames(std::vector<std::string>& out) {
    const int rc =
        stepRows(db_, "SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name",
                 [&](sqlite3_stmt* stmt) { out.push_back(sqliteColumnBytes(stmt, 0)); });
    if (rc == SQLITE_OK) return ResultMsg();
    return sqliteError(db_, SRV_ERR_NO_FILE, path_, "不是可用的数据库文件：" + path_);
}

ResultMsg SqliteReadOnlyFile::forEachRow(const char* sql, const std::string* parameter,
                                         const std::function<void(sqlite3_stmt*)>& read) {
    if (stepRows(db_, sql, read, parameter) == SQLITE_OK) return ResultMsg();
    return sqliteError(db_, SRV_ERR_NO_FILE, path_, "读取数据库结构失败：" + path_);
}

StepResult SqliteReadOnlyFile::firstRow(const std::string& sql, std::vector<Value>& row,
                                        std::string& why) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        row.resize(sqlite3_column_count(stmt));
        for (int i = 0; i < static_cast<int>(row.size()); ++i) {
            // The type first: reading the bytes turns a number into text.
            row[i].isInteger = sqlite3_column_type(stmt, i) == SQLITE_INTEGER;
            row[i].integer = row[i].isInteger ? sqlite3_column_int64(stmt, i) : 0;
            row[i].bytes = sqliteColumnBytes(stmt, i);
        }
    } else if (rc != SQLITE_DONE) {
        why = sqlite3_errmsg(db_);
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_ROW    ? StepResult::Row
           : rc == SQLITE_DONE ? StepResult::Done
                               : StepResult::Error;
}

}  // namespace MeridianSpace::detail
