#include "sqlite/SqliteSchema.h"

#include <cctype>

#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteReadOnly.h"

namespace MeridianSpace::detail {

namespace {

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The end of the quoted name or string that starts at `at` (past its
// closing quote), or of the comment there.
std::size_t skipQuoted(const std::string& sql, std::size_t at) {
    const char open = sql[at];
    if (open == '-' || open == '/') {
        const std::size_t end = sql.find(open == '-' ? "\n" : "*/", at + 2);
        return end == std::string::npos ? sql.size() : end + (open == '-' ? 1 : 2);
    }
    const char close = open == '[' ? ']' : open;
    for (std::size_t i = at + 1; i < sql.size(); ++i) {
        if (sql[i] != close) continue;
        if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
            ++i;  // a doubled quote stands for itself
            continue;
        }
        return i + 1;
    }
    return sql.size();
}

bool startsQuoted(const std::string& sql, std::size_t i) {
    const char c = sql[i];
    return c == '\'' || c == '"' || c == '`' || c == '[' ||
           (c == '-' && sql.compare(i, 2, "--") == 0) || (c == '/' && sql.compare(i, 2, "/*") == 0);
}

// The text of each CHECK (...) of a CREATE TABLE statement; SQLite keeps
// checks only in the statement's text.
std::vector<std::string> checksOf(const std::string& sql) {
    std::vector<std::string> checks;
    for (std::size_t i = 0; i < sql.size();) {
        if (startsQuoted(sql, i)) {
            i = skipQuoted(sql, i);
            continue;
        }
        const bool word = std::isalpha(static_cast<unsigned char>(sql[i])) != 0;
        const bool wordStart =
            word && (i == 0 ||
                     !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_'));
        if (!wordStart || upper(sql.substr(i, 5)) != "CHECK" ||
            (i + 5 < sql.size() &&
             (std::isalnum(static_cast<unsigned char>(sql[i + 5])) || sql[i + 5] == '_'))) {
            ++i;
            continue;
        }
        std::size_t open = i + 5;
        while (open < sql.size() && std::isspace(static_cast<unsigned char>(sql[open])))
            ++open;
        if (open >= sql.size() || sql[open] != '(') {
            i = open;
            continue;
        }
        int depth = 0;
        std::size_t end = open;
        while (end < sql.size()) {
            if (startsQuoted(sql, end)) {
                end = skipQuoted(sql, end);
                continue;
            }
            if (sql[end] == '(') ++depth;
            if (sql[end] == ')' && --depth == 0) break;
            ++end;
        }
        checks.push_back(sql.substr(i, std::min(end + 1, sql.size()) - i));
        i = end + 1;
    }
    return checks;
}

// Whether the statement asks for AUTOINCREMENT (allowed only on the one
// INTEGER PRIMARY KEY column).
bool asksAutoIncrement(const std::string& sql) {
    for (std::size_t i = 0; i < sql.size();) {
        if (startsQuoted(sql, i)) {
            i = skipQuoted(sql, i);
            continue;
        }
        if (upper(sql.substr(i, 13)) == "AUTOINCREMENT") return true;
        ++i;
    }
    return false;
}

ResultMsg readTable(SqliteReadOnlyFile& file, const std::string& sql, SchemaTable& table) {
    ResultMsg rm = file.forEachRow(
        "SELECT name, type, \"notnull\", dflt_value, pk, hidden FROM pragma_table_xinfo(?1) "
        "ORDER BY cid",
        &table.name, [&](sqlite3_stmt* row) {
            SchemaColumn column;
            column.name = sqliteColumnBytes(row, 0);
            column.declaredType = sqliteColumnBytes(row, 1);
            column.notNull = sqlite3_column_int(row, 2) != 0;
            column.defaultSql = sqliteColumnBytes(row, 3);
            column.primaryKeyPosition = sqlite3_column_int(row, 4);
            column.generated = sqlite3_column_int(row, 5) >= 2;
            table.columns.push_back(std::move(column));
        });
    if (!rm.ok()) return rm;
    if (asksAutoIncrement(sql)) {
        for (SchemaColumn& column : table.columns)
            column.autoIncrement = column.primaryKeyPosition == 1;
    }
    table.checks = checksOf(sql);
    rm = file.forEachRow(
        "SELECT name, \"unique\", origin, partial FROM pragma_index_list(?1) ORDER BY name",
        &table.name, [&](sqlite3_stmt* row) {
            SchemaIndex index;
            index.name = sqliteColumnBytes(row, 0);
            index.unique = sqlite3_column_int(row, 1) != 0;
            index.primaryKey = sqliteColumnBytes(row, 2) == "pk";
            index.partial = sqlite3_column_int(row, 3) != 0;
            table.indexes.push_back(std::move(index));
        });
    for (auto index = table.indexes.begin(); rm.ok() && index != table.indexes.end(); ++index) {
        rm = file.forEachRow(
            "SELECT name, cid FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno",
            &index->name, [&](sqlite3_stmt* row) {
                index->columns.push_back(sqliteColumnBytes(row, 0));
                index->partial = index->partial || sqlite3_column_int(row, 1) < 0;
            });
    }
    if (!rm.ok()) return rm;
    int last = -1;
    return file.forEachRow(
        "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1) ORDER BY id, seq",
        &table.name, [&](sqlite3_stmt* row) {
            if (sqlite3_column_int(row, 0) != last || table.foreignKeys.empty()) {
                last = sqlite3_column_int(row, 0);
                table.foreignKeys.emplace_back();
                table.foreignKeys.back().table = sqliteColumnBytes(row, 1);
            }
            table.foreignKeys.back().columns.push_back(sqliteColumnBytes(row, 2));
            table.foreignKeys.back().referencedColumns.push_back(sqliteColumnBytes(row, 3));
        });
}

}  // namespace

ResultMsg readSqliteSchema(SqliteReadOnlyFile& file, DatabaseSchema& out) {
    std::vector<std::string> sqls;
    ResultMsg rm = file.forEachRow(
        "SELECT type, name, tbl_name, sql FROM sqlite_schema WHERE type IN ('table', 'view', "
        "'trigger') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name",
        nullptr, [&](sqlite3_stmt* row) {
            const std::string type = sqliteColumnBytes(row, 0);
            if (type == "view") {
                out.views.push_back(sqliteColumnBytes(row, 1));
            } else if (type == "trigger") {
                out.triggers.push_back({sqliteColumnBytes(row, 1), sqliteColumnBytes(row, 2)});
            } else {
                SchemaTable table;
                table.name = sqliteColumnBytes(row, 1);
                out.tables.push_back(std::move(table));
                sqls.push_back(sqliteColumnBytes(row, 3));
            }
        });
    for (std::size_t i = 0; rm.ok() && i < out.tables.size(); ++i)
        rm = readTable(file, sqls[i], out.tables[i]);
    return rm;
}

}  // namespace MeridianSpace::detail
