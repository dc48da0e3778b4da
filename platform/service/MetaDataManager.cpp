#include "MetaDataManager.h"

#include <algorithm>
#include <functional>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::StatementLease;

namespace {

// How many bytes of a name's end the suffix index holds. Longer suffixes are
// found through it and then checked whole; shorter ones read the model's links.
constexpr int kNameTailBytes = 4;

struct TableUse {
    const char* table;
    std::vector<std::string> columns;
};

const TableUse kModels{"T_M_EntityModel", {"id"}};
const TableUse kTables{"T_M_EntityTable", {"id", "Name", "AddVersion", "DelVersion", "InnerName"}};
const TableUse kLinks{"T_M_R_ModelTable", {"id", "T_M_EntityModelID", "T_M_EntityTableID"}};
const TableUse kColumns{"T_M_NormalColumn",
                        {"id", "Name", "AddVersion", "DelVersion", "T_M_EntityTableID"}};

struct LookupIndex {
    const char* table;
    const char* name;
    std::string definition;
    const char* column;
};

std::vector<LookupIndex> lookupIndexes(const detail::Connection& conn) {
    return {
        {"T_M_Project", "ix_T_M_Project_Name_nocase", conn.dialect().caseFoldedIndex("\"Name\""),
         "Name"},
        {"T_M_Project", "ix_T_M_Project_UID_nocase", conn.dialect().caseFoldedIndex("\"UID\""),
         "UID"},
        {"T_M_EntityModel", "ix_T_M_EntityModel_Name_nocase",
         conn.dialect().caseFoldedIndex("\"Name\""), "Name"},
        {"T_M_EntityTable", "ix_T_M_EntityTable_Name", "\"Name\"", "Name"},
        {"T_M_EntityTable", "ix_T_M_EntityTable_NameTail",
         conn.dialect().tailExpression("\"Name\"", kNameTailBytes), "Name"},
        {"T_M_NormalColumn", "ix_T_M_NormalColumn_Name", "\"Name\"", "Name"},
        // The key indexes of registered tables carry these names too, so
        // they are never made twice.
        {"T_M_NormalColumn", "ix_T_M_NormalColumn_T_M_EntityTableID", "\"T_M_EntityTableID\"",
         "T_M_EntityTableID"},
        {"T_M_R_ModelTable", "ix_T_M_R_ModelTable_T_M_EntityModelID", "\"T_M_EntityModelID\"",
         "T_M_EntityModelID"},
        {"T_M_R_ModelTable", "ix_T_M_R_ModelTable_T_M_EntityTableID", "\"T_M_EntityTableID\"",
         "T_M_EntityTableID"},
    };
}

// The tables linked to a model (?1) that exist in a version (?2). An ordered
// join keeps the table as the outer loop, so that its name index drives the
// search.
std::string linkedTables(const detail::Connection& conn) {
    return std::string("SELECT l.\"id\", t.\"id\", t.\"Name\" FROM \"T_M_EntityTable\" AS t ") +
           conn.dialect().orderedJoin() +
           " \"T_M_R_ModelTable\" AS l ON l.\"T_M_EntityTableID\" = t.\"id\" "
           "WHERE l.\"T_M_EntityModelID\" = ?1 AND t.\"AddVersion\" <= ?2 AND t.\"DelVersion\" > "
           "?2";
}
// Names from ?3 up to ?4: every name that starts with a prefix; without ?4
// every name from ?3 on.
std::string byPrefix(const detail::Connection& conn, bool bounded) {
    return linkedTables(conn) + " AND t.\"Name\" >= ?3" + (bounded ? " AND t.\"Name\" < ?4" : "");
}
std::string byNameTail(const detail::Connection& conn) {
    return linkedTables(conn) + " AND " +
           conn.dialect().tailExpression("t.\"Name\"", kNameTailBytes) + " = " +
           conn.dialect().tailValue("?3");
}
// All the model's links, for what the indexes cannot narrow.
std::string allLinked(const detail::Connection& conn) {
    return std::string("SELECT l.\"id\", t.\"id\", t.\"Name\" FROM \"T_M_R_ModelTable\" AS l ") +
           conn.dialect().orderedJoin() +
           " \"T_M_EntityTable\" AS t ON t.\"id\" = l.\"T_M_EntityTableID\" "
           "WHERE l.\"T_M_EntityModelID\" = ?1 AND t.\"AddVersion\" <= ?2 AND t.\"DelVersion\" > "
           "?2";
}
std::string columnsByName(const detail::Connection& conn) {
    const std::string join = std::string(" ") + conn.dialect().orderedJoin() + " ";
    return "SELECT l.\"id\", c.\"id\" FROM \"T_M_NormalColumn\" AS c" + join +
           "\"T_M_EntityTable\" AS t ON t.\"id\" = c.\"T_M_EntityTableID\"" + join +
           "\"T_M_R_ModelTable\" AS l ON l.\"T_M_EntityTableID\" = t.\"id\" WHERE c.\"Name\" = ?1 "
           "AND c.\"AddVersion\" <= ?2 AND c.\"DelVersion\" > ?2 AND l.\"T_M_EntityModelID\" = ?3 "
           "ORDER BY l.\"id\", c.\"id\"";
}

using Binder = detail::StatementBinder;
using Reader = detail::RowReader;

// The clearest answer for a failed lookup: a metadata table or column that
// is missing, else the failure itself.
ResultMsg explainLookup(detail::Connection& conn, const std::vector<TableUse>& uses,
                        const ResultMsg& failure) {
    for (const TableUse& use : uses) {
        ResultMsg why = conn.explainFailure(use.table, use.columns, failure);
        if (why.rCode != failure.rCode || why.rMsg != failure.rMsg) return why;
    }
    return failure;
}

// Runs one lookup: binds its values, hands each row to `read`.
ResultMsg runLookup(detail::Connection& conn, const std::string& sql,
                    const std::vector<TableUse>& uses, const Binder& bind, const Reader& read) {
    ResultMsg rm = detail::forEachResultRow(conn, sql, bind, read, "读取元数据失败");
    return rm.ok() ? rm : explainLookup(conn, uses, rm);
}

ResultMsg checkID(int id, const char* what, const char* name) {
    if (id >= 1) return ResultMsg();
    return ResultMsg(SRV_ERR_ARGUMENT, std::string(what) + "的_ID必须大于0：" + name + " = " +
                                           StringHelper::int2String(id));
}

// Checks that row `id` of `table` exists; `read` sees it.
ResultMsg requireRow(detail::Connection& conn, const std::string& sql, const TableUse& use, int id,
                     const char* what, const Reader& read) {
    bool found = false;
    ResultMsg rm = runLookup(
        conn, sql, {use}, [id](detail::Statement& s) { s.bindInt64(1, id); },
        [&](const detail::Statement& s) {
            found = true;
            read(s);
        });
    if (rm.ok() && !found) {
        rm = ResultMsg(SRV_ERR_NO_ROW, std::string(what) + "不存在：" + use.table +
                                           " id = " + StringHelper::int2String(id));
    }
    return rm;
}

ResultMsg requireModel(detail::Connection& conn, int modelID) {
    return requireRow(conn, "SELECT \"id\" FROM \"T_M_EntityModel\" WHERE \"id\" = ?1", kModels,
                      modelID, "数据模型", [](const detail::Statement&) {});
}

// The smallest text above every text that starts with `prefix` (BINARY
// order): its last byte below 0xFF raised by one, the 0xFF bytes after it
// dropped. Empty when there is none (only 0xFF bytes).
std::string prefixUpperBound(std::string prefix) {
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF)
        prefix.pop_back();
    if (!prefix.empty()) prefix.back() = static_cast<char>(prefix.back() + 1);
    return prefix;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

ResultMsg MetaDataManager::initialMetaDataCache() {
    return connection_->refreshSchema();
}

ResultMsg MetaDataManager::lockEntityModelVersion(int modelID) {
    ResultMsg rm = checkID(modelID, "数据模型", "modelID");
    if (rm.ok()) rm = connection_->checkOpen();
    if (!rm.ok()) return rm;
    // Inside a transaction (an upgrade), other writers of the models wait
    // from here to its end, and what it reads next is their committed work:
    // of two upgrades of one version, the second finds it locked.
    if (connection_->inTransaction()) rm = connection_->holdOffWriters({"T_M_EntityModel"});
    if (!rm.ok()) return rm;
    int locked = 0;
    rm = requireRow(*connection_,
                    "SELECT \"IsVersionLocked\" FROM \"T_M_EntityModel\" WHERE \"id\" = ?1",
                    TableUse{"T_M_EntityModel", {"id", "IsVersionLocked"}}, modelID, "数据模型",
                    [&](const detail::Statement& s) { locked = s.columnInt(0); });
    if (!rm.ok()) return rm;
    if (locked == 1) {
        // A lock set by an earlier call that was kept (a finished upgrade)
        // is no longer this call's to undo.
        locksTaken_.erase(modelID);
        return ResultMsg(RUN_SUCCESS, "数据模型版本已是锁定状态");
    }
    rm = setVersionLock(modelID, 1);
    if (rm.ok()) locksTaken_.insert(modelID);
    return rm;
}

ResultMsg MetaDataManager::unlockEntityModelVersion(int modelID) {
    ResultMsg rm = checkID(modelID, "数据模型", "modelID");
    if (rm.ok()) rm = connection_->checkOpen();
    if (!rm.ok()) return rm;
    if (locksTaken_.count(modelID) == 0) {
        return ResultMsg(RUN_SUCCESS, "数据模型版本并非由本次锁定，保持锁定：id = " +
                                          StringHelper::int2String(modelID));
    }
    rm = setVersionLock(modelID, 0);
    // A row that is gone has no lock left to undo.
    if (rm.ok() || rm.rCode == SRV_ERR_NO_ROW) locksTaken_.erase(modelID);
    return rm;
}

ResultMsg MetaDataManager::setVersionLock(int modelID, int locked) {
    const TableUse use{"T_M_EntityModel", {"id", "IsVersionLocked"}};
    return connection_->write(COMMIT_T_IMMEDIATELY, [&]() {
        ResultMsg rm = detail::forEachResultRow(
            *connection_,
            "UPDATE \"T_M_EntityModel\" SET \"IsVersionLocked\" = ?1 WHERE \"id\" = ?2",
            [&](detail::Statement& s) {
                s.bindInt64(1, locked);
                s.bindInt64(2, modelID);
            },
            [](const detail::Statement&) {}, "修改数据模型版本锁定状态失败");
        if (!rm.ok()) return explainLookup(*connection_, {use}, rm);
        if (connection_->changes() == 0) {
            return ResultMsg(SRV_ERR_NO_ROW, "数据模型不存在：T_M_EntityModel id = " +
                                                 StringHelper::int2String(modelID));
        }
        return rm;
    });
}

ResultMsg MetaDataManager::delMTableByIdFromEntityModel(int tableID, int modelID) {
    ResultMsg rm = checkID(tableID, "数据类", "tableID");
    if (rm.ok()) rm = checkID(modelID, "数据模型", "modelID");
    if (rm.ok()) rm = requireModel(*connection_, modelID);
    if (!rm.ok()) return rm;
    std::string innerName;
    rm = requireRow(*connection_, "SELECT \"InnerName\" FROM \"T_M_EntityTable\" WHERE \"id\" = ?1",
                    kTables, tableID, "数据类",
                    [&](const detail::Statement& s) { innerName = s.columnBytes(0); });
    if (rm.ok() && !innerName.empty()) connection_->forgetTable(innerName);
    return rm;
}

ResultMsg MetaDataManager::delMNormalColumnById(int columnID, int modelID) {
    ResultMsg rm = checkID(columnID, "数据属性", "columnID");
    if (rm.ok()) rm = checkID(modelID, "数据模型", "modelID");
    if (rm.ok()) rm = requireModel(*connection_, modelID);
    if (!rm.ok()) return rm;
    std::string tableInnerName;
    rm = requireRow(*connection_,
                    "SELECT t.\"InnerName\" FROM \"T_M_NormalColumn\" AS c LEFT JOIN "
                    "\"T_M_EntityTable\" AS t ON t.\"id\" = c.\"T_M_EntityTableID\" "
                    "WHERE c.\"id\" = ?1",
                    kColumns, columnID, "数据属性",
                    [&](const detail::Statement& s) { tableInnerName = s.columnBytes(0); });
    if (rm.ok() && !tableInnerName.empty()) connection_->forgetTable(tableInnerName);
    return rm;
}

ResultMsg MetaDataManager::findRelatedTableIDs(int modelID, int version, const std::string& prefix,
                                               const std::string& suffix,
                                               std::vector<int>& tableIDs) {
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok() || modelID < 1) return rm;
    // (link id, table id) of every match; a table found by both its prefix
    // and its suffix comes back twice with the same link.
    std::vector<std::pair<long long, int>> found;
    const auto keep = [&](const detail::Statement& s) {
        if (s.columnType(2) == detail::ValueType::Null) return;
        const std::string name = s.columnBytes(2);
        if (startsWith(name, prefix) || endsWith(name, suffix)) {
            found.emplace_back(s.columnInt64(0), s.columnInt(1));
        }
    };
    const auto bindModel = [modelID, version](detail::Statement& s) {
        s.bindInt64(1, modelID);
        s.bindInt64(2, version);
    };
    const detail::Connection& conn = *connection_;
    const std::vector<TableUse> uses = {kTables, kLinks};
    if (prefix.empty() || suffix.size() < static_cast<std::size_t>(kNameTailBytes)) {
        rm = runLookup(*connection_, allLinked(conn), uses, bindModel, keep);
    } else {
        // Without an upper bound (a prefix of 0xFF bytes only) every name
        // from the prefix on is read.
        const std::string upper = prefixUpperBound(prefix);
        rm = runLookup(
            *connection_, byPrefix(conn, !upper.empty()), uses,
            [&](detail::Statement& s) {
                bindModel(s);
                s.bindText(3, prefix);
                if (!upper.empty()) s.bindText(4, upper);
            },
            keep);
        if (rm.ok()) {
            rm = runLookup(
                *connection_, byNameTail(conn), uses,
                [&](detail::Statement& s) {
                    bindModel(s);
                    s.bindText(3, suffix.substr(suffix.size() - kNameTailBytes));
                },
                keep);
        }
    }
    if (!rm.ok()) return rm;
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (const auto& [link, table] : found)
        tableIDs.push_back(table);
    return rm;
}

ResultMsg MetaDataManager::findModelColumnIDsByName(int modelID, int version,
                                                    const std::string& name,
                                                    std::vector<int>& columnIDs) {
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok() || modelID < 1) return rm;
    std::vector<int> found;
    rm = runLookup(
        *connection_, columnsByName(*connection_), {kColumns, kTables, kLinks},
        [&](detail::Statement& s) {
            s.bindText(1, name);
            s.bindInt64(2, version);
            s.bindInt64(3, modelID);
        },
        [&](const detail::Statement& s) { found.push_back(s.columnInt(1)); });
    if (rm.ok()) columnIDs.insert(columnIDs.end(), found.begin(), found.end());
    return rm;
}

ResultMsg MetaDataManager::findColumnInnerNames(int tableID, std::vector<std::string>& names) {
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok()) return rm;
    return runLookup(
        *connection_,
        "SELECT \"InnerName\" FROM \"T_M_NormalColumn\" WHERE \"T_M_EntityTableID\" = ?1 ORDER BY "
        "\"id\"",
        {TableUse{"T_M_NormalColumn", {"id", "InnerName", "T_M_EntityTableID"}}},
        [tableID](detail::Statement& s) { s.bindInt64(1, tableID); },
        [&](const detail::Statement& s) { names.push_back(s.columnBytes(0)); });
}

ResultMsg MetaDataManager::findMaxVersionOwnerType(int tableID, int& modelType) {
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok()) return rm;
    bool found = false;
    rm = runLookup(
        *connection_,
        std::string("SELECT m.\"Type\" FROM \"T_M_R_ModelTable\" AS l ") +
            connection_->dialect().orderedJoin() +
            " \"T_M_EntityModel\" AS m ON m.\"id\" = l.\"T_M_EntityModelID\" "
            "WHERE l.\"T_M_EntityTableID\" = ?1 AND m.\"Version\" > 0 "
            "ORDER BY m.\"Version\" DESC, l.\"id\" LIMIT 1",
        {kLinks, TableUse{"T_M_EntityModel", {"id", "Type", "Version"}}},
        [tableID](detail::Statement& s) { s.bindInt64(1, tableID); },
        [&](const detail::Statement& s) {
            found = true;
            modelType = s.columnInt(0);
        });
    if (rm.ok() && !found) {
        rm = ResultMsg(SRV_ERR_NO_ROW,
                       "数据类没有所属数据模型：id = " + StringHelper::int2String(tableID));
    }
    return rm;
}

namespace {

// The lookup indexes that are missing although their table and column exist.
ResultMsg missingLookupIndexes(detail::Connection& conn, std::vector<LookupIndex>& missing) {
    for (const LookupIndex& index : lookupIndexes(conn)) {
        const std::vector<detail::ColumnInfo>* layout = nullptr;
        conn.forgetLayout(index.table);
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
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok()) return rm;
    detail::Connection& conn = *connection_;
    // Each lookup with typical values (model 1, version 1)...
    const auto bindModel = [](detail::Statement& s, int modelIndex) {
        s.bindInt64(modelIndex, 1);
        s.bindInt64(2, 1);
    };
    std::vector<std::pair<std::string, Binder>> samples = {
        {byPrefix(conn, true),
         [&](detail::Statement& s) {
             bindModel(s, 1);
             s.bindText(3, "TR_A");
             s.bindText(4, "TR_B");
         }},
        {byNameTail(conn),
         [&](detail::Statement& s) {
             bindModel(s, 1);
             s.bindText(3, "_ABC");
         }},
        {allLinked(conn), [&](detail::Statement& s) { bindModel(s, 1); }},
        {columnsByName(conn),
         [&](detail::Statement& s) {
             bindModel(s, 3);
             s.bindText(1, "CRAID");
         }},
    };
    // ...and the name finders' LIKE, built and bound as row queries build and
    // bind their conditions.
    for (const auto& [table, column] : {std::pair<const char*, const char*>{"T_M_Project", "Name"},
                                        {"T_M_Project", "UID"},
                                        {"T_M_EntityModel", "Name"}}) {
        std::string sql = "SELECT \"id\" FROM " + detail::quoteIdentifier(table);
        std::vector<std::string> values;
        rm = detail::appendWhere(conn, {IQueryCondition{column, "  like  ", "'ab%'", ""}}, sql,
                                 values);
        if (!rm.ok()) return rm;
        samples.emplace_back(sql, [values](detail::Statement& s) {
            detail::bindConditionValue(s, 1, values.front());
        });
    }
    for (const auto& [sql, bind] : samples) {
        std::string plan;
        rm = conn.queryPlan(sql, bind, plan);
        if (!rm.ok()) return rm;
        plans.push_back(plan);
    }
    return ResultMsg();
}

}  // namespace MeridianSpace
