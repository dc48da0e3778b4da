#include "MetaDataManager.h"

#include <algorithm>

#include "MetaDataLookups.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::MetaDataSql;
using detail::runLookup;
using detail::TableUse;
using Reader = detail::RowReader;

namespace {

ResultMsg checkID(int id, const char* what, const char* name) {
    if (id >= 1) return ResultMsg();
    return ResultMsg(SRV_ERR_ARGUMENT, std::string(what) + "的_ID必须大于0：" + name + " = " +
                                           StringHelper::int2String(id));
}

// Checks that row `id` of the table of `use` exists; `read` sees it.
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

// The statement that reads `column` of row ?1 of `table`.
std::string selectByID(const std::string& column, const std::string& table) {
    return "SELECT " + detail::quoteIdentifier(column) + " FROM " + detail::quoteIdentifier(table) +
           " WHERE \"id\" = ?1";
}

ResultMsg requireModel(detail::Connection& conn, const MetaDataNames& names, int modelID) {
    return requireRow(conn, selectByID("id", names.models.table),
                      MetaDataSql(conn, names).modelUse({}), modelID, "数据模型",
                      [](const detail::Statement&) {});
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
    const auto names = MetaDataNames::current();
    ResultMsg rm = checkID(modelID, "数据模型", "modelID");
    if (rm.ok()) rm = detail::requireNames(*names);
    if (rm.ok()) rm = connection_->checkOpen();
    if (!rm.ok()) return rm;
    const auto& models = names->models;
    // Inside a transaction (an upgrade), other writers of the models wait
    // from here to its end, and what it reads next is their committed work:
    // of two upgrades of one version, the second finds it locked.
    if (connection_->inTransaction()) rm = connection_->catalogue().holdOffWriters({models.table});
    if (!rm.ok()) return rm;
    int locked = 0;
    rm = requireRow(*connection_, selectByID(models.versionLock, models.table),
                    MetaDataSql(*connection_, *names).modelUse({models.versionLock}), modelID,
                    "数据模型", [&](const detail::Statement& s) { locked = s.columnInt(0); });
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
    const auto names = MetaDataNames::current();
    ResultMsg named = detail::requireNames(*names);
    if (!named.ok()) return named;
    const auto& models = names->models;
    const TableUse use = MetaDataSql(*connection_, *names).modelUse({models.versionLock});
    return connection_->write(COMMIT_T_IMMEDIATELY, [&]() {
        ResultMsg rm = detail::forEachResultRow(
            *connection_,
            "UPDATE " + detail::quoteIdentifier(models.table) + " SET " +
                detail::quoteIdentifier(models.versionLock) + " = ?1 WHERE \"id\" = ?2",
            [&](detail::Statement& s) {
                s.bindInt64(1, locked);
                s.bindInt64(2, modelID);
            },
            [](const detail::Statement&) {}, "修改数据模型版本锁定状态失败");
        if (!rm.ok()) return detail::explainLookup(*connection_, {use}, rm);
        if (connection_->changes() == 0) {
            return ResultMsg(SRV_ERR_NO_ROW, "数据模型不存在：" + models.table +
                                                 " id = " + StringHelper::int2String(modelID));
        }
        return rm;
    });
}

ResultMsg MetaDataManager::delMTableByIdFromEntityModel(int tableID, int modelID) {
    const auto names = MetaDataNames::current();
    ResultMsg rm = checkID(tableID, "数据类", "tableID");
    if (rm.ok()) rm = checkID(modelID, "数据模型", "modelID");
    if (rm.ok()) rm = detail::requireNames(*names);
    if (rm.ok()) rm = requireModel(*connection_, *names, modelID);
    if (!rm.ok()) return rm;
    std::string innerName;
    rm = requireRow(*connection_, selectByID(names->tables.innerName, names->tables.table),
                    MetaDataSql(*connection_, *names).tableUse(), tableID, "数据类",
                    [&](const detail::Statement& s) { innerName = s.columnBytes(0); });
    if (rm.ok() && !innerName.empty()) connection_->cache().forgetTable(innerName);
    return rm;
}

ResultMsg MetaDataManager::delMNormalColumnById(int columnID, int modelID) {
    const auto names = MetaDataNames::current();
    ResultMsg rm = checkID(columnID, "数据属性", "columnID");
    if (rm.ok()) rm = checkID(modelID, "数据模型", "modelID");
    if (rm.ok()) rm = detail::requireNames(*names);
    if (rm.ok()) rm = requireModel(*connection_, *names, modelID);
    if (!rm.ok()) return rm;
    std::string tableInnerName;
    const MetaDataSql sql(*connection_, *names);
    rm = requireRow(*connection_, sql.tableOfColumn(), sql.columnUse(), columnID, "数据属性",
                    [&](const detail::Statement& s) { tableInnerName = s.columnBytes(0); });
    if (rm.ok() && !tableInnerName.empty()) connection_->cache().forgetTable(tableInnerName);
    return rm;
}

ResultMsg MetaDataManager::findRelatedTableIDs(int modelID, int version, const std::string& prefix,
                                               const std::string& suffix,
                                               std::vector<int>& tableIDs) {
    const auto names = MetaDataNames::current();
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok() || modelID < 1) return rm;
    rm = detail::requireNames(*names);
    if (!rm.ok()) return rm;
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
    const MetaDataSql sql(*connection_, *names);
    const std::vector<TableUse> uses = {sql.tableUse(), sql.linkUse()};
    if (prefix.empty() || suffix.size() < static_cast<std::size_t>(detail::kNameTailBytes)) {
        rm = runLookup(*connection_, sql.allLinked(), uses, bindModel, keep);
    } else {
        // Without an upper bound (a prefix of 0xFF bytes only) every name
        // from the prefix on is read.
        const std::string upper = prefixUpperBound(prefix);
        rm = runLookup(
            *connection_, sql.byPrefix(!upper.empty()), uses,
            [&](detail::Statement& s) {
                bindModel(s);
                s.bindText(3, prefix);
                if (!upper.empty()) s.bindText(4, upper);
            },
            keep);
        if (rm.ok()) {
            rm = runLookup(
                *connection_, sql.byNameTail(), uses,
                [&](detail::Statement& s) {
                    bindModel(s);
                    s.bindText(3, suffix.substr(suffix.size() - detail::kNameTailBytes));
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
    const auto names = MetaDataNames::current();
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok() || modelID < 1) return rm;
    rm = detail::requireNames(*names);
    if (!rm.ok()) return rm;
    const MetaDataSql sql(*connection_, *names);
    std::vector<int> found;
    rm = runLookup(
        *connection_, sql.columnsByName(), {sql.columnUse(), sql.tableUse(), sql.linkUse()},
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
    const auto known = MetaDataNames::current();
    ResultMsg rm = connection_->checkOpen();
    if (rm.ok()) rm = detail::requireNames(*known);
    if (!rm.ok()) return rm;
    const auto& c = known->columns;
    return runLookup(
        *connection_,
        "SELECT " + detail::quoteIdentifier(c.innerName) + " FROM " +
            detail::quoteIdentifier(c.table) + " WHERE " + detail::quoteIdentifier(c.ofTable) +
            " = ?1 ORDER BY \"id\"",
        {TableUse{c.table, {"id", c.innerName, c.ofTable}}},
        [tableID](detail::Statement& s) { s.bindInt64(1, tableID); },
        [&](const detail::Statement& s) { names.push_back(s.columnBytes(0)); });
}

ResultMsg MetaDataManager::findMaxVersionOwnerType(int tableID, int& modelType) {
    const auto names = MetaDataNames::current();
    ResultMsg rm = connection_->checkOpen();
    if (rm.ok()) rm = detail::requireNames(*names);
    if (!rm.ok()) return rm;
    const auto& m = names->models;
    const MetaDataSql sql(*connection_, *names);
    bool found = false;
    rm = runLookup(
        *connection_, sql.ownerTypeOfTable(), {sql.linkUse(), sql.modelUse({m.type, m.version})},
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

}  // namespace MeridianSpace
