// The metadata manager's indexes: those its lookups and the name finders
// need, and the plans that show them in use.
#include <algorithm>

#include "MetaDataLookups.h"
#include "MetaDataManager.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::MetaDataSql;
using Binder = detail::StatementBinder;

namespace {

struct LookupIndex {
    std::string table;
    std::string name;
    std::string definition;
    std::string column;
};

// "ix_<table>_<column><suffix>" on the column, or on `definition` when given.
LookupIndex indexOn(const std::string& table, const std::string& column, const char* suffix = "",
                    std::string definition = {}) {
    if (definition.empty()) definition = detail::quoteIdentifier(column);
    return {table, "ix_" + table + "_" + column + suffix, std::move(definition), column};
}

std::vector<LookupIndex> lookupIndexes(const detail::Connection& conn, const MetaDataNames& names) {
    if (!names.complete()) return {};
    const auto folded = [&](const std::string& column) {
        return conn.dialect().caseFoldedIndex(detail::quoteIdentifier(column));
    };
    const auto& p = names.projects;
    const auto& m = names.models;
    const auto& t = names.tables;
    const auto& c = names.columns;
    const auto& l = names.links;
    return {
        indexOn(p.table, p.name, "_nocase", folded(p.name)),
        indexOn(p.table, p.uid, "_nocase", folded(p.uid)),
        indexOn(m.table, m.name, "_nocase", folded(m.name)),
        indexOn(t.table, t.name),
        indexOn(
            t.table, t.name, "Tail",
            conn.dialect().tailExpression(detail::quoteIdentifier(t.name), detail::kNameTailBytes)),
        indexOn(c.table, c.name),
        // The key indexes of registered tables carry these names too, so
        // they are never made twice.
        indexOn(c.table, c.ofTable),
        indexOn(l.table, l.model),
        indexOn(l.table, l.ofTable),
    };
}

// The lookup indexes that are missing although their table and column exist.
ResultMsg missingLookupIndexes(detail::Connection& conn, std::vector<LookupIndex>& missing) {
    for (const LookupIndex& index : lookupIndexes(conn, *MetaDataNames::current())) {
        const std::vector<detail::ColumnInfo>* layout = nullptr;
        conn.cache().forgetLayout(index.table);
        ResultMsg r = conn.tableColumns(index.table, layout);
        if (r.rCode == SRV_ERR_NO_TABLE) continue;
        if (!r.ok()) return r;
        const bool hasColumn =
            std::any_of(layout->begin(), layout->end(), [&](const detail::ColumnInfo& c) {
                return StringHelper::equalsIgnoreCase(c.name, index.column);
            });
        bool exists = false;
        if (hasColumn) r = conn.indexExists(index.name, exists);
        if (!r.ok()) return r;
        if (hasColumn && !exists) missing.push_back(index);
    }
    return ResultMsg();
}

}  // namespace

ResultMsg MetaDataManager::hasLookupIndexes(bool& complete) {
    detail::Connection& conn = *connection_;
    std::vector<LookupIndex> missing;
    ResultMsg rm = conn.checkOpen();
    if (rm.ok()) rm = missingLookupIndexes(conn, missing);
    complete = rm.ok() && missing.empty();
    return rm;
}

ResultMsg MetaDataManager::ensureLookupIndexes() {
    detail::Connection& conn = *connection_;
    ResultMsg rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    rm = conn.atomic([&]() {
        std::vector<LookupIndex> missing;
        ResultMsg r = missingLookupIndexes(conn, missing);
        for (auto index = missing.begin(); r.ok() && index != missing.end(); ++index) {
            r = conn.execute(
                std::string("CREATE INDEX IF NOT EXISTS ") + detail::quoteIdentifier(index->name) +
                " ON " + detail::quoteIdentifier(index->table) + " (" + index->definition + ")");
        }
        return r;
    });
    // Statements prepared before pick the new indexes up on their own; the
    // caches are only dropped when an index was made.
    ResultMsg refreshed = conn.refreshSchema();
    return rm.ok() ? refreshed : rm;
}

ResultMsg MetaDataManager::lookupPlans(std::vector<std::string>& plans) {
    const auto names = MetaDataNames::current();
    ResultMsg rm = connection_->checkOpen();
    if (rm.ok()) rm = detail::requireNames(*names);
    if (!rm.ok()) return rm;
    detail::Connection& conn = *connection_;
    const MetaDataSql sql(conn, *names);
    // Each lookup with typical values (model 1, version 1)...
    const auto bindModel = [](detail::Statement& s, int modelIndex) {
        s.bindInt64(modelIndex, 1);
        s.bindInt64(2, 1);
    };
    std::vector<std::pair<std::string, Binder>> samples = {
        {sql.byPrefix(true),
         [&](detail::Statement& s) {
             bindModel(s, 1);
             s.bindText(3, "TR_A");
             s.bindText(4, "TR_B");
         }},
        {sql.byNameTail(),
         [&](detail::Statement& s) {
             bindModel(s, 1);
             s.bindText(3, "_ABC");
         }},
        {sql.allLinked(), [&](detail::Statement& s) { bindModel(s, 1); }},
        {sql.columnsByName(),
         [&](detail::Statement& s) {
             bindModel(s, 3);
             s.bindText(1, "CRAID");
         }},
    };
    // ...and the name finders' LIKE, built and bound as row queries build and
    // bind their conditions.
    const auto& p = names->projects;
    const auto& m = names->models;
    for (const auto& [table, column] : {std::pair<std::string, std::string>{p.table, p.name},
                                        {p.table, p.uid},
                                        {m.table, m.name}}) {
        std::string text = "SELECT \"id\" FROM " + detail::quoteIdentifier(table);
        std::vector<std::string> values;
        rm = detail::appendWhere(conn, {IQueryCondition{column, "  like  ", "'ab%'", ""}}, text,
                                 values);
        if (!rm.ok()) return rm;
        samples.emplace_back(text, [values](detail::Statement& s) {
            detail::bindConditionValue(s, 1, values.front());
        });
    }
    for (const auto& [text, bind] : samples) {
        std::string plan;
        rm = conn.catalogue().queryPlan(text, bind, plan);
        if (!rm.ok()) return rm;
        plans.push_back(plan);
    }
    return ResultMsg();
}

}  // namespace MeridianSpace
