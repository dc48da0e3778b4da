#pragma once

// A second, plain connection that tests use to look at a database behind
// the library's back: a SQLite file (or a lock held on it), or a schema of
// the PostgreSQL test server. Raw SQL meant for both quotes its identifiers
// ("T_M_Project", "Name"): the server keeps their case.
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>

#include "support/TestBackend.h"

namespace arxtest {

class RawConnection {
public:
    /// Makes a missing file only when `create` says so. A stub location
    /// (see TestBackend.h) is its file.
    explicit RawConnection(const std::string& dbPath, bool create = true) {
        const bool stub = dbPath.rfind(kStubPrefix, 0) == 0;
        sqlite3_open_v2(dbPath.substr(stub ? kStubPrefix.size() : 0).c_str(), &db_,
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

/// The first column of the first row of `sql` on a server database, as
/// RawConnection::scalar answers it.
inline std::string serverScalar(const std::string& uri, const std::string& sql) {
    PGconn* conn = PQconnectdb(uri.c_str());
    std::string out = "<none>";
    if (PQstatus(conn) != CONNECTION_OK) {
        out = std::string("<error: ") + PQerrorMessage(conn) + ">";
    } else {
        PGresult* result = PQexec(conn, sql.c_str());
        if (PQresultStatus(result) == PGRES_TUPLES_OK) {
            if (PQntuples(result) > 0) out = PQgetvalue(result, 0, 0);
        } else if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            out = std::string("<error: ") + PQresultErrorMessage(result) + ">";
        }
        PQclear(result);
    }
    PQfinish(conn);
    return out;
}

inline bool isServerLocation(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

/// `location` is a file path or a server URI.
inline std::string rawScalar(const std::string& location, const std::string& sql) {
    if (isServerLocation(location)) return serverScalar(location, sql);
    return RawConnection(location, false).scalar(sql);
}

inline bool rawExecute(const std::string& location, const std::string& sql) {
    if (isServerLocation(location)) return pgExecute(location, sql).empty();
    return RawConnection(location).execute(sql);
}

/// Every row of every table of the database at `location`, table by table
/// in name order, each row as the database prints it: what a test compares
/// to see that nothing was written.
inline std::string allRows(const std::string& location) {
    if (isServerLocation(location)) {
        // One round trip: each table's rows through query_to_xml.
        return serverScalar(
            location,
            "SELECT string_agg(table_name || ': ' || coalesce((xpath('/row/r/text()', "
            "query_to_xml(format('SELECT string_agg(CAST(t AS TEXT), '';'' ORDER BY CAST(t AS "
            "TEXT)) AS r FROM %I AS t', table_name), false, true, '')))[1]::text, ''), E'\\n' "
            "ORDER BY table_name) FROM information_schema.tables WHERE table_schema = "
            "current_schema()");
    }
    const std::string tables = rawScalar(location,
                                         "SELECT group_concat(name, ',') FROM (SELECT name FROM "
                                         "sqlite_master WHERE type = 'table' ORDER BY name)");
    std::string out;
    for (std::size_t start = 0; start < tables.size();) {
        const std::size_t comma = std::min(tables.find(',', start), tables.size());
        const std::string t = tables.substr(start, comma - start);
        start = comma + 1;
        const std::string values =
            rawScalar(location,
                      "SELECT group_concat('quote(\"' || name || '\")', '||''|''||') FROM "
                      "pragma_table_info('" +
                          t + "')");
        out += t + ": " +
               rawScalar(location, "SELECT group_concat(r, ';') FROM (SELECT " + values +
                                       " AS r FROM \"" + t + "\" ORDER BY rowid)") +
               "\n";
    }
    return out;
}

/// Makes every `when` (e.g. "BEFORE INSERT") write on `table` fail where
/// `condition` holds (NEW."Name" = 'Q', OLD."id" = 3; "1 = 1" for always),
/// on either backend, until removeFault.
inline bool injectFault(const std::string& location, const std::string& name,
                        const std::string& when, const std::string& table,
                        const std::string& condition) {
    if (isServerLocation(location)) {
        return rawExecute(location, "CREATE FUNCTION \"" + name +
                                        "_fn\"() RETURNS trigger LANGUAGE plpgsql AS "
                                        "$$ BEGIN RAISE EXCEPTION 'injected'; END $$") &&
               rawExecute(location, "CREATE TRIGGER \"" + name + "\" " + when + " ON \"" + table +
                                        "\" FOR EACH ROW WHEN (" + condition +
                                        ") EXECUTE FUNCTION \"" + name + "_fn\"()");
    }
    return rawExecute(location, "CREATE TRIGGER \"" + name + "\" " + when + " ON \"" + table +
                                    "\" WHEN " + condition +
                                    " BEGIN SELECT RAISE(ABORT, 'injected'); END");
}

inline bool removeFault(const std::string& location, const std::string& name,
                        const std::string& table) {
    if (isServerLocation(location)) {
        return rawExecute(location, "DROP TRIGGER IF EXISTS \"" + name + "\" ON \"" + table +
                                        "\"; DROP FUNCTION IF EXISTS \"" + name + "_fn\"()");
    }
    return rawExecute(location, "DROP TRIGGER IF EXISTS \"" + name + "\"");
}

}  // namespace arxtest
