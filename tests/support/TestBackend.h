#pragma once

// Which storage backend the shared test suites run on. The same test
// programs run twice: on SQLite files, and with ARX_TEST_BACKEND=postgresql
// on the server that ARX_TEST_PG_URI names, each database a schema of its own.
// The service's suite runs a third time with ARX_TEST_BACKEND=arxstub, on
// SQLite files reached through the tests' own backend (platform/service/stub).
// Without a reachable server the PostgreSQL runs skip every case with the
// reason, unless ARX_TEST_PG_REQUIRED=1 (CI), which makes that a failure.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <string>

namespace arxtest {

inline bool onPostgres() {
    const char* backend = std::getenv("ARX_TEST_BACKEND");
    return backend != nullptr && std::string(backend) == "postgresql";
}

inline bool onStub() {
    const char* backend = std::getenv("ARX_TEST_BACKEND");
    return backend != nullptr && std::string(backend) == "arxstub";
}
/// The tests' own backend's scheme; its locations are "arxstub://" and a file path.
const std::string kStubPrefix = "arxstub://";

inline std::string pgServerUri() {
    const char* uri = std::getenv("ARX_TEST_PG_URI");
    return uri ? uri : "";
}

/// Runs SQL on the test server's database; the error text, or "" on success.
inline std::string pgExecute(const std::string& uri, const std::string& sql) {
    PGconn* conn = PQconnectdb(uri.c_str());
    std::string error;
    if (PQstatus(conn) != CONNECTION_OK) {
        error = PQerrorMessage(conn);
    } else {
        PQclear(PQexec(conn, "SET client_min_messages = warning"));
        PGresult* result = PQexec(conn, sql.c_str());
        if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(result);
        PQclear(result);
    }
    PQfinish(conn);
    return error;
}

/// Why the PostgreSQL cases cannot run here; empty when they can.
inline const std::string& postgresUnavailable() {
    static const std::string why = [] {
        const std::string uri = pgServerUri();
        if (uri.empty()) return std::string("ARX_TEST_PG_URI is not set");
        const std::string error = pgExecute(uri, "SELECT 1");
        return error.empty() ? error : "the server does not answer: " + error;
    }();
    return why;
}

inline bool postgresRequired() {
    const char* required = std::getenv("ARX_TEST_PG_REQUIRED");
    return required != nullptr && std::string(required) == "1";
}

/// A new schema on the test server and the URI of a database that lives in it.
inline std::string newServerDatabase(const std::string& name, std::string& schema) {
    static std::atomic<unsigned> counter{0};
    schema = "t" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    for (char c : name)
        schema.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    const std::string error = pgExecute(pgServerUri(), "CREATE SCHEMA \"" + schema + "\"");
    if (!error.empty()) ADD_FAILURE() << "cannot make schema " << schema << ": " << error;
    const std::string uri = pgServerUri();
    return uri + (uri.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
           schema;
}

}  // namespace arxtest

/// In a fixture's SetUp or a test: skips (or, when required, fails) the
/// PostgreSQL run of a case when no server can be reached.
#define ARX_REQUIRE_BACKEND()                                                                 \
    do {                                                                                      \
        if (::arxtest::onPostgres() && !::arxtest::postgresUnavailable().empty()) {           \
            if (::arxtest::postgresRequired())                                                \
                FAIL() << "PostgreSQL run required: " << ::arxtest::postgresUnavailable();    \
            GTEST_SKIP() << "PostgreSQL cases skipped: " << ::arxtest::postgresUnavailable(); \
        }                                                                                     \
    } while (0)

/// A case about database files themselves: it runs on the SQLite backend only.
#define ARX_FILE_ONLY()                                                             \
    do {                                                                            \
        if (::arxtest::onPostgres()) GTEST_SKIP() << "a case about database files"; \
    } while (0)
