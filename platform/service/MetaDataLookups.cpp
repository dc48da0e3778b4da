#include "MetaDataLookups.h"

#include "ServiceErrorCode.h"
#include "backend/SqlText.h"

namespace MeridianSpace::detail {

std::string MetaDataSql::q(const std::string& name) const {
    return quoteIdentifier(name);
}

// An ordered join keeps the table as the outer loop, so that its name index
// drives the search.
std::string MetaDataSql::linkedTables() const {
    const auto& t = n_.tables;
    const auto& l = n_.links;
    return "SELECT l.\"id\", t.\"id\", t." + q(t.name) + " FROM " + q(t.table) + " AS t " +
           conn_.dialect().orderedJoin() + " " + q(l.table) + " AS l ON l." + q(l.ofTable) +
           " = t.\"id\" WHERE l." + q(l.model) + " = ?1 AND t." + q(t.addVersion) +
           " <= ?2 AND t." + q(t.delVersion) + " > ?2";
}

std::string MetaDataSql::byPrefix(bool bounded) const {
    const std::string name = " AND t." + q(n_.tables.name);
    return linkedTables() + name + " >= ?3" + (bounded ? name + " < ?4" : "");
}

std::string MetaDataSql::byNameTail() const {
    return linkedTables() + " AND " +
           conn_.dialect().tailExpression("t." + q(n_.tables.name), kNameTailBytes) + " = " +
           conn_.dialect().tailValue("?3");
}

// The links of model ?1 to tables that exist in version ?2, link first.
std::string MetaDataSql::modelLinks(const std::string& read) const {
    const auto& t = n_.tables;
    const auto& l = n_.links;
    return "SELECT " + read + " FROM " + q(l.table) + " AS l " + conn_.dialect().orderedJoin() +
           " " + q(t.table) + " AS t ON t.\"id\" = l." + q(l.ofTable) + " WHERE l." + q(l.model) +
           " = ?1 AND t." + q(t.addVersion) + " <= ?2 AND t." + q(t.delVersion) + " > ?2";
}

// All the model's links, for what the indexes cannot narrow.
std::string MetaDataSql::allLinked() const {
    return modelLinks("l.\"id\", t.\"id\", t." + q(n_.tables.name));
}

std::string MetaDataSql::columnsByName() const {
    const auto& c = n_.columns;
    const auto& l = n_.links;
    const std::string join = std::string(" ") + conn_.dialect().orderedJoin() + " ";
    return "SELECT l.\"id\", c.\"id\" FROM " + q(c.table) + " AS c" + join + q(n_.tables.table) +
           " AS t ON t.\"id\" = c." + q(c.ofTable) + join + q(l.table) + " AS l ON l." +
           q(l.ofTable) + " = t.\"id\" WHERE c." + q(c.name) + " = ?1 AND c." + q(c.addVersion) +
           " <= ?2 AND c." + q(c.delVersion) + " > ?2 AND l." + q(l.model) +
           " = ?3 ORDER BY l.\"id\", c.\"id\"";
}

std::string MetaDataSql::tableOfColumn() const {
    const auto& t = n_.tables;
    const auto& c = n_.columns;
    return "SELECT t." + q(t.innerName) + " FROM " + q(c.table) + " AS c LEFT JOIN " + q(t.table) +
           " AS t ON t.\"id\" = c." + q(c.ofTable) + " WHERE c.\"id\" = ?1";
}

std::string MetaDataSql::ownerTypeOfTable() const {
    const auto& m = n_.models;
    const auto& l = n_.links;
    return "SELECT m." + q(m.type) + " FROM " + q(l.table) + " AS l " +
           conn_.dialect().orderedJoin() + " " + q(m.table) + " AS m ON m.\"id\" = l." +
           q(l.model) + " WHERE l." + q(l.ofTable) + " = ?1 AND m." + q(m.version) +
           " > 0 ORDER BY m." + q(m.version) + " DESC, l.\"id\" LIMIT 1";
}

std::string MetaDataSql::projectByUID() const {
    const auto& p = n_.projects;
    return "SELECT \"id\" FROM " + q(p.table) + " WHERE " +
           conn_.dialect().equalsIgnoringCase(q(p.uid), "?1") + " ORDER BY \"id\" LIMIT 1";
}

std::string MetaDataSql::modelOfProject() const {
    const auto& m = n_.models;
    return "SELECT \"id\" FROM " + q(m.table) + " WHERE " + q(m.project) + " = ?1 AND " +
           q(m.name) + " = ?2 AND " + q(m.version) + " = ?3 ORDER BY \"id\" LIMIT 1";
}

std::string MetaDataSql::versionTables() const {
    const auto& t = n_.tables;
    return modelLinks("t.\"id\", t." + q(t.name) + ", t." + q(t.innerName)) + " ORDER BY l.\"id\"";
}

// A column keeps the place of its first record: one changed in a later
// version (a record of the same inner name for the versions before) stays
// where it was in every version.
std::string MetaDataSql::versionColumns() const {
    const auto& c = n_.columns;
    std::string read = "c." + q(c.innerName) + ", c." + q(c.name);
    for (const std::string* attribute :
         {&c.dataType, &c.defaultValue, &c.isIndex, &c.isOnly, &c.isAutoIncrement, &c.maxLength,
          &c.minLength, &c.numLength, &c.numPrecision})
        read += ", c." + q(*attribute);
    return "SELECT " + read + " FROM " + q(c.table) + " AS c WHERE c." + q(c.ofTable) +
           " = ?1 AND c." + q(c.addVersion) + " <= ?2 AND c." + q(c.delVersion) +
           " > ?2 ORDER BY (SELECT min(o.\"id\") FROM " + q(c.table) + " AS o WHERE o." +
           q(c.ofTable) + " = ?1 AND o." + q(c.innerName) + " = c." + q(c.innerName) + ")";
}

TableUse MetaDataSql::modelUse(std::vector<std::string> columns) const {
    columns.insert(columns.begin(), "id");
    return {n_.models.table, std::move(columns)};
}

TableUse MetaDataSql::tableUse() const {
    const auto& t = n_.tables;
    return {t.table, {"id", t.name, t.addVersion, t.delVersion, t.innerName}};
}

TableUse MetaDataSql::linkUse() const {
    return {n_.links.table, {"id", n_.links.model, n_.links.ofTable}};
}

TableUse MetaDataSql::columnUse() const {
    const auto& c = n_.columns;
    return {c.table, {"id", c.name, c.addVersion, c.delVersion, c.ofTable}};
}

ResultMsg requireNames(const MetaDataNames& names) {
    if (names.complete()) return ResultMsg();
    return ResultMsg(SRV_ERR_NO_TABLE, "元数据表的名称没有登记（记录类尚未注册）");
}

ResultMsg explainLookup(Connection& conn, const std::vector<TableUse>& uses,
                        const ResultMsg& failure) {
    for (const TableUse& use : uses) {
        ResultMsg why = conn.explainFailure(use.table, use.columns, failure);
        if (why.rCode != failure.rCode || why.rMsg != failure.rMsg) return why;
    }
    return failure;
}

ResultMsg runLookup(Connection& conn, const std::string& sql, const std::vector<TableUse>& uses,
                    const StatementBinder& bind, const RowReader& read) {
    ResultMsg rm = forEachResultRow(conn, sql, bind, read, "读取元数据失败");
    return rm.ok() ? rm : explainLookup(conn, uses, rm);
}

}  // namespace MeridianSpace::detail
