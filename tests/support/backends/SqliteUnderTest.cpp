// The backend of database files: each database a SQLite file in the test's
// folder, looked at through a plain connection of its own.
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string>

#include "support/BackendUnderTest.h"

namespace arxtest {
namespace {

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

Db openFile(const std::string& path, bool create) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0),
                    nullptr);
    return Db(db, &sqlite3_close);
}

class SqliteUnderTest : public BackendUnderTest {
public:
    const char* name() const override { return "sqlite"; }
    std::string scheme() const override { return ""; }
    bool owns(const std::string& location) const override {
        return location.find("://") == std::string::npos;
    }
    std::string newDatabase(const std::string& folder, const std::string& name) const override {
        return folder + "/" + name;
    }

    std::string execute(const std::string& location, const std::string& sql) const override {
        Db db = openFile(location, true);
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return "";
        const std::string error = sqlite3_errmsg(db.get());
        return error.empty() ? "failed" : error;
    }
    std::string scalar(const std::string& location, const std::string& sql) const override {
        Db db = openFile(location, false);
        sqlite3_stmt* stmt = nullptr;
        std::string out = "<none>";
        if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            out = std::string("<error: ") + sqlite3_errmsg(db.get()) + ">";
        } else if (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            out = text ? reinterpret_cast<const char*>(text) : "";
        }
        sqlite3_finalize(stmt);
        return out;
    }
    std::string allRows(const std::string& location) const override {
        const std::string tables =
            scalar(location,
                   "SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_master WHERE type "
                   "= 'table' ORDER BY name)");
        std::string out;
        for (std::size_t start = 0; start < tables.size();) {
            const std::size_t comma = std::min(tables.find(',', start), tables.size());
            const std::string t = tables.substr(start, comma - start);
            start = comma + 1;
            const std::string values =
                scalar(location,
                       "SELECT group_concat('quote(\"' || name || '\")', '||''|''||') FROM "
                       "pragma_table_info('" +
                           t + "')");
            out += t + ": " +
                   scalar(location, "SELECT group_concat(r, ';') FROM (SELECT " + values +
                                        " AS r FROM \"" + t + "\" ORDER BY rowid)") +
                   "\n";
        }
        return out;
    }

    std::string tableRows(const std::string& location, const std::string& table) const override {
        const std::string fields =
            scalar(location,
                   "SELECT group_concat('quote(\"' || name || '\")', '||'',''||') FROM "
                   "pragma_table_info('" +
                       table + "')");
        return scalar(location, "SELECT group_concat(" + fields + ", '/') FROM " + table);
    }
    std::string joinedSql(const std::string& value, const std::string& from,
                          const std::string& orderBy, const std::string& separator) const override {
        return "SELECT group_concat(v, '" + separator + "') FROM (SELECT " + value + " AS v FROM " +
               from + " ORDER BY " + orderBy + ")";
    }
    std::string idColumn() const override { return "INTEGER PRIMARY KEY"; }
    std::string bytesLiteral(const std::string& hex) const override { return "x'" + hex + "'"; }
    std::string columns(const std::string& location, const std::string& table) const override {
        return scalar(location,
                      "SELECT group_concat(name) FROM pragma_table_info('" + table + "')");
    }
    std::string indexedColumns(const std::string& location,
                               const std::string& table) const override {
        return scalar(location,
                      "SELECT group_concat(c.name) FROM (SELECT name FROM pragma_index_list('" +
                          table + "') ORDER BY name) i, pragma_index_info(i.name) c");
    }
    std::string catalogue(const std::string& location) const override {
        return scalar(location,
                      "SELECT group_concat(type || ' ' || name || ': ' || ifnull(sql, '-'), "
                      "char(10)) FROM (SELECT * FROM sqlite_master ORDER BY type, name)");
    }
    std::string indexCount(const std::string& location) const override {
        return scalar(location, "SELECT count(*) FROM sqlite_master WHERE type = 'index'");
    }
    std::string tableCount(const std::string& location) const override {
        return scalar(location, "SELECT count(*) FROM sqlite_master WHERE type = 'table'");
    }
    bool injectFault(const std::string& location, const std::string& name, const std::string& when,
                     const std::string& table, const std::string& condition) const override {
        return execute(location, "CREATE TRIGGER \"" + name + "\" " + when + " ON \"" + table +
                                     "\" WHEN " + condition +
                                     " BEGIN SELECT RAISE(ABORT, 'injected'); END")
            .empty();
    }
    bool removeFault(const std::string& location, const std::string& name,
                     const std::string&) const override {
        return execute(location, "DROP TRIGGER IF EXISTS \"" + name + "\"").empty();
    }
};

}  // namespace

const BackendUnderTest& sqliteUnderTest() {
    static const SqliteUnderTest backend;
    return backend;
}

}  // namespace arxtest
