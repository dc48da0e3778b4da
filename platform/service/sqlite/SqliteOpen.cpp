// Opening SQLite database files: the paths refused, the checks before the
// engine touches the disk, and the settings of a new connection.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "sqlite/SqliteConnection.h"

namespace MeridianSpace::detail {

namespace {

// A file that is built under a name or in a folder beginning with ".arx-"
// (an instance file or an export being made) is nobody else's until
// MRDService::publishFile syncs it once and names it; a failed build
// throws it away. Its writes need no syncs of their own.
bool isPrivateBuild(const std::string& path) {
    for (std::size_t start = 0; start < path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (path.compare(start, 5, ".arx-") == 0 && end - start > 5) return true;
        start = end + 1;
    }
    return false;
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

}  // namespace

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
    // A private build syncs nothing, the switch to WAL included.
    const bool privateBuild = isPrivateBuild(path());
    ResultMsg rm = privateBuild ? execute("PRAGMA synchronous=OFF") : ResultMsg();
    if (rm.ok())
        rm = readOnly_ ? execute("PRAGMA schema_version")
                       : retryWhileBusy([&] { return execute("PRAGMA journal_mode=WAL"); });
    if (rm.ok() && !privateBuild) rm = execute("PRAGMA synchronous=NORMAL");
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

}  // namespace MeridianSpace::detail
