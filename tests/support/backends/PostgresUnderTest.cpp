// The server backend: each database a schema of its own on the PostgreSQL
// server that ARX_TEST_PG_URI names, dropped with the test's folder.
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/BackendUnderTest.h"

namespace arxtest {
namespace {

using Conn = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

const std::string kSearchPath = "options=-csearch_path%3D";

std::string serverUri() {
    const char* uri = std::getenv("ARX_TEST_PG_URI");
    return uri ? uri : "";
}

class ServerSession : public BackendUnderTest::Session {
public:
    explicit ServerSession(const std::string& uri) : conn_(PQconnectdb(uri.c_str()), &PQfinish) {
        if (PQstatus(conn_.get()) == CONNECTION_OK)
            PQclear(PQexec(conn_.get(), "SET client_min_messages = warning"));
    }
    std::string execute(const std::string& sql) override { return run(sql, nullptr); }
    std::string scalar(const std::string& sql) override {
        std::string value = "<none>";
        const std::string error = run(sql, &value);
        return error.empty() ? value : "<error: " + error + ">";
    }

private:
    /// Runs `sql`; the error text or "" and, for a query, its first value.
    std::string run(const std::string& sql, std::string* value) {
        if (PQstatus(conn_.get()) != CONNECTION_OK) return PQerrorMessage(conn_.get());
        Result result(PQexec(conn_.get(), sql.c_str()), &PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            return PQresultErrorMessage(result.get());
        if (value && status == PGRES_TUPLES_OK && PQntuples(result.get()) > 0)
            *value = PQgetvalue(result.get(), 0, 0);
        return "";
    }
    Conn conn_;
};

std::string run(const std::string& uri, const std::string& sql) {
    return ServerSession(uri).execute(sql);
}

// The names of the sample schemas' PostgreSQL form: lower case words joined
// by underscores.
std::string snakeCase(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool inWord = i > 0 && std::isalpha(static_cast<unsigned char>(text[i - 1]));
        if (std::isupper(c)) {
            if (inWord) out += '_';
            out += static_cast<char>(std::tolower(c));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The tables of the database in name order.
const char* const kTablesSql =
    "SELECT string_agg(tablename, ',' ORDER BY tablename) FROM pg_tables WHERE schemaname = "
    "current_schema()";

class PostgresUnderTest : public BackendUnderTest {
public:
    const char* name() const override { return "postgresql"; }
    std::string scheme() const override { return "postgresql://"; }
    bool owns(const std::string& location) const override {
        return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
    }
    std::string unavailable() const override {
        static const std::string why = [] {
            const std::string uri = serverUri();
            if (uri.empty()) return std::string("ARX_TEST_PG_URI is not set");
            const std::string error = run(uri, "SELECT 1");
            return error.empty() ? error : "the server does not answer: " + error;
        }();
        return why;
    }
    std::string serverLocation() const override { return serverUri(); }
    std::string newDatabase(const std::string&, const std::string& name) const override {
        static std::atomic<unsigned> counter{0};
        std::string schema = "t" + std::to_string(getpid()) + "_" + std::to_string(++counter);
        for (char c : name)
            schema.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
        const std::string uri = serverUri();
        const std::string error = run(uri, "CREATE SCHEMA \"" + schema + "\"");
        if (!error.empty()) ADD_FAILURE() << "cannot make schema " << schema << ": " << error;
        return uri + (uri.find('?') == std::string::npos ? "?" : "&") + kSearchPath + schema;
    }
    void dropDatabase(const std::string& location) const override {
        const std::size_t at = location.rfind(kSearchPath);
        if (at == std::string::npos) return;
        run(serverUri(),
            "DROP SCHEMA IF EXISTS \"" + location.substr(at + kSearchPath.size()) + "\" CASCADE");
    }

    std::unique_ptr<Session> connect(const std::string& location, bool) const override {
        return std::make_unique<ServerSession>(location);
    }
    std::string allRows(const std::string& location) const override {
        // One round trip: each table's rows through query_to_xml.
        return scalar(
            location,
            "SELECT string_agg(table_name || ': ' || coalesce((xpath('/row/r/text()', "
            "query_to_xml(format('SELECT string_agg(CAST(t AS TEXT), '';'' ORDER BY CAST(t AS "
            "TEXT)) AS r FROM %I AS t', table_name), false, true, '')))[1]::text, ''), E'\\n' "
            "ORDER BY table_name) FROM information_schema.tables WHERE table_schema = "
            "current_schema()");
    }

    std::string tableRows(const std::string& location, const std::string& table) const override {
        return scalar(location, joinedSql("r", "\"" + table + "\" AS r", "r.\"id\"", "/"));
    }
    std::string joinedSql(const std::string& value, const std::string& from,
                          const std::string& orderBy, const std::string& separator) const override {
        return "SELECT string_agg(CAST(" + value + " AS TEXT), '" + separator + "' ORDER BY " +
               orderBy + ") FROM " + from;
    }
    std::string idColumn() const override {
        return "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
    }
    std::string bytesLiteral(const std::string& hex) const override { return "'\\x" + hex + "'"; }
    std::string columns(const std::string& location, const std::string& table) const override {
        return scalar(location,
                      "SELECT string_agg(CAST(column_name AS TEXT), ',' ORDER BY ordinal_position) "
                      "FROM information_schema.columns WHERE table_schema = current_schema() AND "
                      "table_name = '" +
                          table + "'");
    }
    std::string indexedColumns(const std::string& location,
                               const std::string& table) const override {
        return scalar(location,
                      "SELECT string_agg(a.attname, ',' ORDER BY x.relname) FROM pg_index i JOIN "
                      "pg_class x ON x.oid = i.indexrelid JOIN pg_attribute a ON a.attrelid = "
                      "i.indrelid AND a.attnum = ANY(i.indkey) WHERE i.indrelid = to_regclass('\"" +
                          table + "\"') AND NOT i.indisprimary");
    }
    std::string catalogue(const std::string& location) const override {
        return scalar(location,
                      "SELECT string_agg(x, E'\\n' ORDER BY x) FROM (SELECT table_name || '.' || "
                      "column_name || ' ' || data_type || ' ' || coalesce(column_default, '-') || "
                      "' ' || is_nullable || ' ' || is_identity AS x FROM "
                      "information_schema.columns WHERE table_schema = current_schema() UNION ALL "
                      "SELECT replace(indexdef, current_schema() || '.', '') FROM pg_indexes "
                      "WHERE schemaname = current_schema()) AS s");
    }
    std::string indexCount(const std::string& location) const override {
        return scalar(location,
                      "SELECT count(*) FROM pg_index AS i JOIN pg_class AS c ON c.oid = "
                      "i.indexrelid WHERE c.relnamespace = to_regnamespace(current_schema()) AND "
                      "NOT i.indisprimary");
    }
    bool strictTypes() const override { return true; }
    // A superuser login whose sessions default to the escape form of bytea.
    std::string otherBytesReader(const std::string& location) const override {
        const std::string role = "arx_escape_" + std::to_string(getpid());
        const std::string error =
            run(serverUri(), "CREATE ROLE " + role + " LOGIN SUPERUSER PASSWORD 'pw'; ALTER ROLE " +
                                 role + " SET bytea_output = 'escape'");
        if (!error.empty()) ADD_FAILURE() << "cannot make role " << role << ": " << error;
        return "postgresql://" + role + ":pw@" + location.substr(location.find('@') + 1);
    }
    void dropReader(const std::string& reader) const override {
        const std::size_t start = std::string("postgresql://").size();
        const std::string role = reader.substr(start, reader.find(':', start) - start);
        const std::string error = run(serverUri(), "DROP ROLE " + role);
        if (!error.empty()) ADD_FAILURE() << "cannot drop role " << role << ": " << error;
    }
    std::string tableCount(const std::string& location) const override {
        return scalar(location,
                      "SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()");
    }
    std::string tableNames(const std::string& location) const override {
        return scalar(location, kTablesSql);
    }
    std::string tablesDump(const std::string& location) const override {
        const std::unique_ptr<Session> db = connect(location, false);
        const std::string tables = db->scalar(kTablesSql);
        std::string out;
        for (std::size_t start = 0; start < tables.size();) {
            const std::size_t comma = std::min(tables.find(',', start), tables.size());
            const std::string t = tables.substr(start, comma - start);
            start = comma + 1;
            out += t + "(" +
                   db->scalar(
                       "SELECT string_agg(column_name || ' ' || data_type || ' ' || "
                       "coalesce(column_default, '-'), ', ' ORDER BY ordinal_position) "
                       "FROM information_schema.columns WHERE table_schema = "
                       "current_schema() AND table_name = '" +
                       t + "'") +
                   ") [" +
                   db->scalar(
                       "SELECT coalesce(string_agg(indexname, ',' ORDER BY indexname), "
                       "'') FROM pg_indexes WHERE schemaname = current_schema() AND "
                       "tablename = '" +
                       t + "'") +
                   "] " +
                   db->scalar(
                       "SELECT string_agg(CAST(t AS TEXT), ' ; ' ORDER BY CAST(t AS TEXT)) "
                       "FROM \"" +
                       t + "\" AS t") +
                   "\n";
        }
        return out;
    }
    std::string triggerSql(const std::string& name, const std::string& when,
                           const std::string& table, const std::string& statements) const override {
        return "CREATE FUNCTION \"" + name +
               "_fn\"() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN " + statements +
               " RETURN NULL; END $$; CREATE TRIGGER \"" + name + "\" " + when + " ON \"" + table +
               "\" FOR EACH ROW EXECUTE FUNCTION \"" + name + "_fn\"()";
    }
    bool waitsForLock(const std::string& location) const override {
        return scalar(location,
                      "SELECT count(*) FROM pg_locks AS l JOIN pg_class AS c ON c.oid = "
                      "l.relation WHERE NOT l.granted AND c.relnamespace = "
                      "to_regnamespace(current_schema())") != "0";
    }
    std::string databasesStartingWith(const std::string& location,
                                      const std::string& prefix) const override {
        return scalar(location,
                      "SELECT count(*) FROM pg_namespace WHERE nspname <> current_schema() AND "
                      "starts_with(nspname, '" +
                          prefix + "')");
    }
    std::string sampleForm() const override { return "PostgreSql"; }
    std::string sampleName(const std::string& name) const override { return snakeCase(name); }
    std::string dialect() const override { return "postgresql"; }
    bool injectFault(const std::string& location, const std::string& name, const std::string& when,
                     const std::string& table, const std::string& condition) const override {
        return execute(location, "CREATE FUNCTION \"" + name +
                                     "_fn\"() RETURNS trigger LANGUAGE plpgsql AS "
                                     "$$ BEGIN RAISE EXCEPTION 'injected'; END $$")
                   .empty() &&
               execute(location, "CREATE TRIGGER \"" + name + "\" " + when + " ON \"" + table +
                                     "\" FOR EACH ROW WHEN (" + condition +
                                     ") EXECUTE FUNCTION \"" + name + "_fn\"()")
                   .empty();
    }
    bool removeFault(const std::string& location, const std::string& name,
                     const std::string& table) const override {
        return execute(location, "DROP TRIGGER IF EXISTS \"" + name + "\" ON \"" + table +
                                     "\"; DROP FUNCTION IF EXISTS \"" + name + "_fn\"()")
            .empty();
    }
};

}  // namespace

const BackendUnderTest& postgresqlUnderTest() {
    static const PostgresUnderTest backend;
    return backend;
}

}  // namespace arxtest
