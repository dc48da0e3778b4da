// The backend of database files: each database a SQLite file in the test's
// folder, looked at through a plain connection of its own.
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "support/BackendUnderTest.h"

namespace arxtest {
namespace {

class FileSession : public BackendUnderTest::Session {
public:
    FileSession(const std::string& path, bool create) {
        sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr);
    }
    ~FileSession() override { sqlite3_close(db_); }
    FileSession(const FileSession&) = delete;
    FileSession& operator=(const FileSession&) = delete;

    std::string execute(const std::string& sql) override {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return "";
        const std::string error = sqlite3_errmsg(db_);
        return error.empty() ? "failed" : error;
    }
    std::string scalar(const std::string& sql) override {
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

// Calls `each` with every name of a comma-separated list.
template <typename Each>
void forEachName(const std::string& names, Each each) {
    for (std::size_t start = 0; start < names.size();) {
        const std::size_t comma = std::min(names.find(',', start), names.size());
        each(names.substr(start, comma - start));
        start = comma + 1;
    }
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

    std::unique_ptr<Session> connect(const std::string& location, bool create) const override {
        return std::make_unique<FileSession>(location, create);
    }
    std::string allRows(const std::string& location) const override {
        std::string out;
        forEachName(tableNames(location), [&](const std::string& t) {
            const std::string values =
                scalar(location,
                       "SELECT group_concat('quote(\"' || name || '\")', '||''|''||') FROM "
                       "pragma_table_info('" +
                           t + "')");
            out += t + ": " +
                   scalar(location, "SELECT group_concat(r, ';') FROM (SELECT " + values +
                                        " AS r FROM \"" + t + "\" ORDER BY rowid)") +
                   "\n";
        });
        return out;
    }
    std::string tableNames(const std::string& location) const override {
        return scalar(location,
                      "SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_master WHERE "
                      "type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name)");
    }
    std::string tablesDump(const std::string& location) const override {
        const std::unique_ptr<Session> db = connect(location, false);
        std::string out;
        forEachName(tableNames(location), [&](const std::string& t) {
            const std::string q = "'" + t + "'";
            const std::string values = db->scalar(
                "SELECT group_concat('quote(\"' || name || '\")', '||''|''||') FROM "
                "pragma_table_info(" +
                q + ")");
            out += t + "(" +
                   db->scalar(
                       "SELECT group_concat(name || ' ' || type || ' ' || "
                       "ifnull(dflt_value, '-'), ', ') FROM pragma_table_info(" +
                       q + ")") +
                   ") [" +
                   db->scalar(
                       "SELECT group_concat(name || ':' || \"unique\", ',') FROM (SELECT "
                       "* FROM pragma_index_list(" +
                       q + ") ORDER BY name)") +
                   "] " +
                   db->scalar("SELECT group_concat(r, ' ; ') FROM (SELECT " + values +
                              " AS r FROM \"" + t + "\" ORDER BY rowid)") +
                   "\n";
        });
        return out;
    }
    std::string state(const std::string& location) const override {
        const std::string folded = execute(location, "PRAGMA wal_checkpoint(TRUNCATE)");
        if (!folded.empty()) return "<error: " + folded + ">";
        std::ifstream in(location, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string damage(const std::string& location) const override {
        const std::string found = scalar(location, "PRAGMA integrity_check");
        return found == "ok" ? "" : found;
    }
    std::string triggerSql(const std::string& name, const std::string& when,
                           const std::string& table, const std::string& statements) const override {
        return "CREATE TRIGGER \"" + name + "\" " + when + " ON \"" + table + "\" BEGIN " +
               statements + " END";
    }
    std::string databasesStartingWith(const std::string& location,
                                      const std::string& prefix) const override {
        std::size_t count = 0;
        std::error_code none;
        const std::filesystem::path self(location);
        for (const auto& entry : std::filesystem::directory_iterator(self.parent_path(), none))
            count += entry.path() != self && entry.path().filename().string().rfind(prefix, 0) == 0;
        return std::to_string(count);
    }
    std::string sampleForm() const override { return "Sqlite"; }
    std::string dialect() const override { return "sqlite"; }

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
