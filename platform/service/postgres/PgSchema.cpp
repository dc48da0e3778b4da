#include "postgres/PgSchema.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ServiceErrorCode.h"
#include "postgres/PgConnection.h"

namespace MeridianSpace::detail {

namespace {

// Lists come as names each after the unit separator, which no name holds
// (an expression is an empty name); no names at all are the empty text.
const char kSeparator = '\x1f';

// Tables and partitioned tables of the current schema.
const char* const kTablesOfSchema =
    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') ";

const char* const kColumnsQuery =
    "SELECT c.relname, a.attname, format_type(a.atttypid, a.atttypmod), "
    "CASE WHEN a.attnotnull THEN 1 ELSE 0 END, coalesce(pg_get_expr(d.adbin, d.adrelid), ''), "
    "CASE WHEN a.attidentity <> '' THEN 1 ELSE 0 END, "
    "CASE WHEN a.attgenerated <> '' THEN 1 ELSE 0 END "
    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
    "LEFT JOIN pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum "
    "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') "
    "ORDER BY c.relname COLLATE \"C\", a.attnum";

// The names of the columns `keys` (an array of attribute numbers) of `rel`.
std::string columnList(const char* keys, const char* rel, const char* limit = "") {
    return std::string("(SELECT E'\\x1f' || string_agg(coalesce(a.attname, ''), E'\\x1f' ") +
           "ORDER BY k.ord) " + "FROM unnest(" + keys + ") WITH ORDINALITY AS k(attnum, ord) " +
           "LEFT JOIN pg_attribute a ON a.attrelid = " + rel + " AND a.attnum = k.attnum" + limit +
           ")";
}

std::string constraintsQuery() {
    return "SELECT c.relname, con.contype, " + columnList("con.conkey", "con.conrelid") +
           ", coalesce(f.relname, ''), " + columnList("con.confkey", "con.confrelid") +
           ", pg_get_constraintdef(con.oid) FROM pg_constraint con "
           "JOIN pg_class c ON c.oid = con.conrelid "
           "JOIN pg_namespace n ON n.oid = c.relnamespace "
           "LEFT JOIN pg_class f ON f.oid = con.confrelid "
           "WHERE n.nspname = current_schema() AND con.contype IN ('p', 'f', 'c') "
           "ORDER BY c.relname COLLATE \"C\", con.conname COLLATE \"C\"";
}

std::string indexesQuery() {
    return "SELECT c.relname, i.relname, CASE WHEN x.indisunique THEN 1 ELSE 0 END, "
           "CASE WHEN x.indisprimary THEN 1 ELSE 0 END, " +
           columnList("x.indkey::int2[]", "x.indrelid", " WHERE k.ord <= x.indnkeyatts") +
           ", CASE WHEN x.indexprs IS NOT NULL OR x.indpred IS NOT NULL THEN 1 ELSE 0 END "
           "FROM pg_index x JOIN pg_class c ON c.oid = x.indrelid "
           "JOIN pg_class i ON i.oid = x.indexrelid "
           "JOIN pg_namespace n ON n.oid = c.relnamespace "
           "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') "
           "ORDER BY c.relname COLLATE \"C\", i.relname COLLATE \"C\"";
}

const char* const kViewsQuery =
    "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = current_schema() AND c.relkind IN ('v', 'm') "
    "ORDER BY c.relname COLLATE \"C\"";

const char* const kTriggersQuery =
    "SELECT t.tgname, c.relname FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
    "JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = current_schema() AND NOT t.tgisinternal "
    "ORDER BY t.tgname COLLATE \"C\"";

std::vector<std::string> split(const std::string& joined) {
    std::vector<std::string> parts;
    if (joined.empty()) return parts;
    std::size_t start = 1;
    while (true) {
        const std::size_t end = joined.find(kSeparator, start);
        parts.push_back(joined.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

class Reader {
public:
    explicit Reader(const std::string& uri) : uri_(uri) {
        const char* keywords[] = {"connect_timeout", "fallback_application_name", "dbname",
                                  nullptr};
        const char* values[] = {"10", "arx_qms", uri.c_str(), nullptr};
        conn_.reset(PQconnectdbParams(keywords, values, 1));
    }

    ResultMsg connect() {
        if (PQstatus(conn_.get()) != CONNECTION_OK) return failure("无法连接数据库服务器：");
        // Names as UTF-8, unless the database keeps bytes without an encoding.
        const char* encoding = PQparameterStatus(conn_.get(), "server_encoding");
        const bool raw = encoding != nullptr && std::string(encoding) == "SQL_ASCII";
        if (PQsetClientEncoding(conn_.get(), raw ? "SQL_ASCII" : "UTF8") != 0)
            return failure("无法设置数据库连接：");
        return ResultMsg();
    }

    /// Hands each row of `sql` (its values as text) to `read`.
    ResultMsg rows(const std::string& sql,
                   const std::function<void(const std::vector<std::string>&)>& read) {
        std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(conn_.get(), sql.c_str()),
                                                              &PQclear);
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) return failure("读取数据库结构失败：");
        std::vector<std::string> row(static_cast<std::size_t>(PQnfields(result.get())));
        for (int r = 0; r < PQntuples(result.get()); ++r) {
            for (int c = 0; c < PQnfields(result.get()); ++c)
                row[c].assign(PQgetvalue(result.get(), r, c), PQgetlength(result.get(), r, c));
            read(row);
        }
        return ResultMsg();
    }

private:
    ResultMsg failure(const char* what) const {
        return ResultMsg(SRV_ERR_SERVER, what + PgConnection::withoutPassword(uri_) + "：" +
                                             trimmedMessage(PQerrorMessage(conn_.get())));
    }

    std::string uri_;
    std::unique_ptr<PGconn, void (*)(PGconn*)> conn_{nullptr, &PQfinish};
};

}  // namespace

ResultMsg readPgSchema(const std::string& uri, DatabaseSchema& out) {
    Reader reader(uri);
    ResultMsg rm = reader.connect();
    std::map<std::string, SchemaTable*> tables;
    // The tables first, so that one without columns is there too.
    if (rm.ok())
        rm = reader.rows(
            std::string("SELECT c.relname ") + kTablesOfSchema + "ORDER BY c.relname COLLATE \"C\"",
            [&](const std::vector<std::string>& row) {
                out.tables.emplace_back();
                out.tables.back().name = row[0];
            });
    for (SchemaTable& table : out.tables)
        tables[table.name] = &table;
    const auto tableOf = [&](const std::string& name) {
        const auto found = tables.find(name);
        return found == tables.end() ? nullptr : found->second;
    };
    if (rm.ok()) {
        rm = reader.rows(kColumnsQuery, [&](const std::vector<std::string>& row) {
            SchemaTable* table = tableOf(row[0]);
            if (table == nullptr) return;
            SchemaColumn column;
            column.name = row[1];
            column.declaredType = row[2];
            column.notNull = row[3] == "1";
            column.defaultSql = row[4];
            column.autoIncrement = row[5] == "1" || column.defaultSql.rfind("nextval(", 0) == 0;
            column.generated = row[6] == "1";
            table->columns.push_back(std::move(column));
        });
    }
    if (rm.ok()) {
        rm = reader.rows(constraintsQuery(), [&](const std::vector<std::string>& row) {
            SchemaTable* table = tableOf(row[0]);
            if (table == nullptr) return;
            const std::vector<std::string> columns = split(row[2]);
            if (row[1] == "p") {
                for (std::size_t i = 0; i < columns.size(); ++i) {
                    for (SchemaColumn& c : table->columns) {
                        if (c.name == columns[i]) c.primaryKeyPosition = static_cast<int>(i) + 1;
                    }
                }
            } else if (row[1] == "f") {
                table->foreignKeys.push_back({columns, row[3], split(row[4])});
            } else {
                table->checks.push_back(row[5]);
            }
        });
    }
    if (rm.ok()) {
        rm = reader.rows(indexesQuery(), [&](const std::vector<std::string>& row) {
            SchemaTable* table = tableOf(row[0]);
            if (table == nullptr) return;
            SchemaIndex index;
            index.name = row[1];
            index.unique = row[2] == "1";
            index.primaryKey = row[3] == "1";
            index.columns = split(row[4]);
            index.partial = row[5] == "1";
            table->indexes.push_back(std::move(index));
        });
    }
    if (rm.ok())
        rm = reader.rows(kViewsQuery,
                         [&](const std::vector<std::string>& row) { out.views.push_back(row[0]); });
    if (rm.ok())
        rm = reader.rows(kTriggersQuery, [&](const std::vector<std::string>& row) {
            out.triggers.push_back({row[0], row[1]});
        });
    return rm;
}

}  // namespace MeridianSpace::detail
