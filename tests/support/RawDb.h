#pragma once

// Looks that tests take at a database behind the library's back, on
// whichever backend `location` belongs to (see BackendUnderTest.h). Raw SQL
// meant for every backend quotes its identifiers ("T_M_Project", "Name"):
// a server keeps their case.
#include <memory>
#include <string>

#include "support/BackendUnderTest.h"

namespace arxtest {

/// A connection of a test's own to the database at `location`, whatever
/// its backend (a lock held on it, or statements on one connection).
class RawConnection {
public:
    /// Makes a missing database file only when `create` says so.
    explicit RawConnection(const std::string& location, bool create = true)
        : session_(backendAt(location).connect(location, create)) {}

    /// Runs statements that return nothing; true on success.
    bool execute(const std::string& sql) { return session_->execute(sql).empty(); }
    /// As BackendUnderTest::scalar.
    std::string scalar(const std::string& sql) { return session_->scalar(sql); }

private:
    std::unique_ptr<BackendUnderTest::Session> session_;
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
