#include "sqlite/SqliteCatalogue.h"

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"
#include "sqlite/SqliteConnection.h"

namespace MeridianSpace::detail {

SqliteCatalogue::SqliteCatalogue(SqliteConnection& connection)
    : Catalogue(connection), sqlite_(connection) {}

ResultMsg SqliteCatalogue::queryPlan(const std::string& sql,
                                     const std::function<void(Statement&)>& bind,
                                     std::string& plan) {
    return forEachResultRow(
        sqlite_, "EXPLAIN QUERY PLAN " + sql, bind,
        [&](const Statement& row) { plan += (plan.empty() ? "" : "; ") + row.columnBytes(3); },
        "读取查询计划失败");
}

ResultMsg SqliteCatalogue::userObjects(std::vector<SchemaObject>& out) {
    // Indexes of one named column are the columns' own (columnIndexesQuery).
    ResultMsg rm = readUserObjects(
        "SELECT m.type, m.name, CASE m.type WHEN 'view' THEN '' ELSE m.tbl_name END, m.sql, '' "
        "FROM sqlite_master AS m WHERE m.sql IS NOT NULL AND (m.type IN ('trigger', 'view') OR "
        "(m.type = 'index' AND NOT ((SELECT count(*) FROM pragma_index_info(m.name)) = 1 AND "
        "(SELECT cid FROM pragma_index_info(m.name)) >= 0))) ORDER BY m.rowid",
        out);
    // A view is checked when it is used: preparing a read of it tells.
    for (auto it = out.begin(); rm.ok() && it != out.end(); ++it) {
        if (it->kind != "view" || !checkIdentifier(it->name, "视图").ok()) continue;
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = "SELECT * FROM " + quoteIdentifier(it->name);
        if (sqlite3_prepare_v2(sqlite_.handle(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            it->problem = sqlite3_errmsg(sqlite_.handle());
        sqlite3_finalize(stmt);
    }
    return rm;
}

ResultMsg SqliteCatalogue::objectsDroppedWith(const std::string& table,
                                              std::vector<SchemaObject>& out) {
    std::vector<SchemaObject> all;
    ResultMsg rm = userObjects(all);
    for (SchemaObject& object : all) {
        if (object.kind != "view" && StringHelper::equalsIgnoreCase(object.table, table))
            out.push_back(std::move(object));
    }
    return rm;
}

ResultMsg SqliteCatalogue::renameTable(const std::string& from, const std::string& to) {
    // The engine's own rule would rewrite views and triggers naming `from`,
    // and refuse while any view names a table that is not there.
    ResultMsg rm = sqlite_.execute("PRAGMA legacy_alter_table = ON");
    if (rm.ok()) rm = Catalogue::renameTable(from, to);
    ResultMsg restored = sqlite_.execute("PRAGMA legacy_alter_table = OFF");
    return rm.ok() ? restored : rm;
}

}  // namespace MeridianSpace::detail
