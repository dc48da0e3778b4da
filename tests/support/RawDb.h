#pragma once

// Looks that tests take at a database behind the library's back, on
// whichever backend `location` belongs to (see BackendUnderTest.h). Raw SQL
// meant for every backend quotes its identifiers ("T_M_Project", "Name"):
// a server keeps their case.
#include <sqlite3.h>

#include <string>

#include "support/BackendUnderTest.h"

namespace arxtest {

/// A plain connection of its own to the SQLite file behind a location of
/// files (for a lock held on it, or statements on one connection).
class RawConnection {
public:
    /// Makes a missing file only when `create` says so.
    explicit RawConnection(const std::string& location, bool create = true) {
        const std::string path = location.substr(backendAt(location).scheme().size());
        sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr);
    }
    ~RawConnection() { sqlite3_close(db_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    /// Runs statements that return nothing; true on success.
    bool execute(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    /// As BackendUnderTest::scalar.
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

/// Whether `location` is a database file on the local disk.
inline bool isFile(const std::string& location) {
    return backendAt(location).isFile(location);
}

/// The error text of running `sql`, "" on success.
inline std::string rawRun(const std::string& location, const std::string& sql) {
    return backendAt(location).execute(location, sql);
}
inline bool rawExecute(const std::string& location, const std::string& sql) {
    return rawRun(location, sql).empty();
}
inline std::string rawScalar(const std::string& location, const std::string& sql) {
    return backendAt(location).scalar(location, sql);
}
inline std::string allRows(const std::string& location) {
    return backendAt(location).allRows(location);
}
/// See BackendUnderTest::joinedSql.
inline std::string joinedSql(const std::string& location, const std::string& value,
                             const std::string& from, const std::string& orderBy = "\"id\"",
                             const std::string& separator = ",") {
    return backendAt(location).joinedSql(value, from, orderBy, separator);
}
inline bool injectFault(const std::string& location, const std::string& name,
                        const std::string& when, const std::string& table,
                        const std::string& condition) {
    return backendAt(location).injectFault(location, name, when, table, condition);
}
inline bool removeFault(const std::string& location, const std::string& name,
                        const std::string& table) {
    return backendAt(location).removeFault(location, name, table);
}

}  // namespace arxtest
