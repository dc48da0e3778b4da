#pragma once

// A second, plain SQLite connection that tests use to look at a database
// file (or hold a lock on it) behind the library's back.
#include <sqlite3.h>

#include <string>

namespace arxtest {

class RawConnection {
public:
    /// Makes a missing file only when `create` says so.
    explicit RawConnection(const std::string& dbPath, bool create = true) {
        sqlite3_open_v2(dbPath.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr);
    }
    ~RawConnection() { sqlite3_close(db_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    /// Runs statements that return nothing; true on success.
    bool execute(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    /// The first column of the first row as text; "<none>" without a row,
    /// "<error: ...>" when the statement fails.
    std::string scalar(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        std::string out = "<none>";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            out = std::string("<error: ") + sqlite3_errmsg(db_) + ">";
        } else if (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            out = text ? reinterpret_cast<const char*>(text) : "";
        }
        sqlite3_finalize(stmt);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

inline std::string rawScalar(const std::string& dbPath, const std::string& sql) {
    return RawConnection(dbPath, false).scalar(sql);
}

inline bool rawExecute(const std::string& dbPath, const std::string& sql) {
    return RawConnection(dbPath).execute(sql);
}

}  // namespace arxtest
