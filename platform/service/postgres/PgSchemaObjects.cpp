// The indexes, triggers and views a user made in a server database, which a
// table's rebuild sets aside and makes again.
#include <set>

#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"
#include "postgres/PgCatalogue.h"

namespace MeridianSpace::detail {

namespace {

const char* const kInSchema =
    "relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = current_schema())";

}  // namespace

ResultMsg PgCatalogue::userObjects(std::vector<SchemaObject>& out) {
    // Object identifiers come from one counter: their order is the order
    // things were made, so a view comes after what it uses. Indexes of one
    // column are the columns' own (columnIndexesQuery).
    const std::string sql =
        std::string("SELECT kind, name, tab, def, extra FROM (") +
        "SELECT x.indexrelid AS o, 'index' AS kind, ci.relname AS name, ct.relname AS tab, "
        "pg_get_indexdef(x.indexrelid) AS def, '' AS extra FROM pg_index AS x "
        "JOIN pg_class AS ci ON ci.oid = x.indexrelid JOIN pg_class AS ct ON ct.oid = x.indrelid "
        "WHERE ct." +
        kInSchema +
        " AND NOT x.indisprimary AND NOT (x.indnatts = 1 AND "
        "x.indkey[0] <> 0) UNION ALL "
        "SELECT t.oid, 'trigger', t.tgname, c.relname, pg_get_triggerdef(t.oid), p.prosrc "
        "FROM pg_trigger AS t JOIN pg_class AS c ON c.oid = t.tgrelid "
        "JOIN pg_proc AS p ON p.oid = t.tgfoid WHERE NOT t.tgisinternal AND c." +
        kInSchema +
        " UNION ALL "
        "SELECT c.oid, 'view', c.relname, '', 'CREATE VIEW ' || quote_ident(c.relname) || "
        "' AS ' || pg_get_viewdef(c.oid), '' FROM pg_class AS c WHERE c.relkind = 'v' AND c." +
        kInSchema + ") AS found ORDER BY o";
    // A trigger's function (the last column) says what the trigger uses.
    return readUserObjects(sql, out);
}

ResultMsg PgCatalogue::objectsDroppedWith(const std::string& table,
                                          std::vector<SchemaObject>& out) {
    // The server refuses to drop a table that views use: those views, and
    // the views that use them in turn, must go first and come back after.
    std::set<std::string> views;
    ResultMsg rm = forEachResultRow(
        connection(),
        "WITH RECURSIVE used(o) AS (SELECT CAST(to_regclass(quote_ident(CAST(?1 AS TEXT))) AS "
        "oid) UNION SELECT r.ev_class FROM used JOIN pg_depend AS d ON d.refobjid = used.o AND "
        "d.classid = CAST('pg_rewrite' AS regclass) JOIN pg_rewrite AS r ON r.oid = d.objid "
        "WHERE r.ev_class <> used.o) "
        "SELECT c.relname FROM used JOIN pg_class AS c ON c.oid = used.o WHERE c.relkind = 'v'",
        [&](Statement& s) { s.bindText(1, table); },
        [&](const Statement& row) { views.insert(row.columnBytes(0)); },
        "读取使用表的视图失败：" + table);
    std::vector<SchemaObject> all;
    if (rm.ok()) rm = userObjects(all);
    for (SchemaObject& object : all) {
        const bool goes = object.kind == "view"
                              ? views.count(object.name) > 0
                              : StringHelper::equalsIgnoreCase(object.table, table);
        if (goes) out.push_back(std::move(object));
    }
    return rm;
}

}  // namespace MeridianSpace::detail
