#include "backend/Connection.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>
#include <utility>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"
#include "backend/StatementLog.h"

namespace MeridianSpace::detail {

namespace {

// Change numbers come from one counter for the whole process, so that no
// number is ever handed out twice, whatever connection or reopen it is for.
std::atomic<std::uint64_t> lastChangeNumber{0};

unsigned char asciiLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

}  // namespace

bool Statement::noteRefusal(int index, const char* refusal) {
    if (refusal_.empty()) refusal_ = "参数" + std::to_string(index) + "的值未被接受：" + refusal;
    return false;
}

StepResult Statement::step() {
    // Run with a refused value, the parameter would still hold the last
    // use's value and write that instead.
    if (refusal_.empty()) {
        connection_.refusedBind_.clear();
        if (!running_ && logging()) logStatement(**log_, text_, literals_);
        running_ = true;
        return runStep();
    }
    connection_.refusedBind_ = refusal_;
    return StepResult::Error;
}

ResultMsg Connection::engineError(int code, const std::string& what) const {
    if (refusedBind_.empty()) return backendError(code, what);
    std::string why;
    why.swap(refusedBind_);
    return ResultMsg(SRV_ERR_ARGUMENT, what + "：" + why);
}

Connection::Connection(std::string path, std::string displayName,
                       const BackendCapabilities& capabilities, const Dialect& dialect)
    : TransactionRules(static_cast<TransactionEngine&>(*this)),
      busyTimeoutMs_(kDefaultBusyTimeoutMs),
      path_(std::move(path)),
      displayName_(std::move(displayName)),
      capabilities_(capabilities),
      dialect_(dialect) {}

Connection::~Connection() = default;

ResultMsg Connection::beginTransaction() {
    return control(dialect_.beginSql());
}

ResultMsg Connection::commitTransaction() {
    return control("COMMIT");
}

ResultMsg Connection::rollbackTransaction() {
    return control("ROLLBACK");
}

ResultMsg Connection::savepoint(const std::string& name) {
    return control("SAVEPOINT " + name);
}

ResultMsg Connection::release(const std::string& name) {
    return control("RELEASE " + name);
}

ResultMsg Connection::rollbackTo(const std::string& name) {
    return control("ROLLBACK TO " + name);
}

std::uint64_t Connection::nextChangeNumber() {
    return lastChangeNumber.fetch_add(1, std::memory_order_relaxed) + 1;
}

void Connection::setOpen(bool open) {
    open_ = open;
    if (open) {
        // A reopened connection starts a new series of change numbers.
        allRowsMayHaveChanged();
    } else {
        allRowsChange_ = 0;
    }
}

void Connection::setBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds < 0 ? 0 : milliseconds;
    if (open_) applyBusyTimeout();
}

ResultMsg Connection::checkOpen() const {
    if (!open_) return ResultMsg(SRV_ERR_CLOSED, "数据库会话已关闭：" + displayName_);
    return ResultMsg();
}

ResultMsg Connection::close() {
    if (!open_) return ResultMsg();
    ResultMsg rm = endAll();
    cache_.clear();
    closeHandle();
    setOpen(false);
    return rm;
}

ResultMsg Connection::prepare(const std::string& sql, StatementLease& out, StatementKind kind) {
    ResultMsg rm = checkOpen();
    if (!rm.ok() || cache_.lend(sql, out)) return rm;
    std::unique_ptr<Statement> made;
    rm = newStatement(sql, kind, made);
    if (!rm.ok()) return rm;
    made->text_ = sql;
    made->log_ = &statementLog_;
    cache_.keep(sql, std::move(made), out);
    return rm;
}

void Connection::schemaChanged() {
    cache_.schemaChanged();
    // A dropped table or a column added with a default changes rows that no
    // hook reports.
    allRowsMayHaveChanged();
    if (open_) onSchemaChanged();
}

std::uint64_t Connection::tableChangeNumber(const std::string& table) {
    auto it = tableChanges_.find(std::string_view(table));
    if (it == tableChanges_.end()) {
        it = tableChanges_.emplace(table, 0).first;
        lastChangedKnown_ = false;
    }
    // Both numbers only grow and are drawn from one counter, so the larger
    // one changes whenever either does.
    return std::max(allRowsChange_, it->second);
}

void Connection::tableRowsChanged(std::string_view table) {
    if (tableChanges_.empty()) return;
    if (!lastChangedKnown_ || table != lastChangedName_) {
        lastChanged_ = tableChanges_.find(table);
        lastChangedName_.assign(table.data(), table.size());
        lastChangedKnown_ = true;
    }
    if (lastChanged_ != tableChanges_.end()) lastChanged_->second = nextChangeNumber();
}

void Connection::allRowsMayHaveChanged() {
    allRowsChange_ = nextChangeNumber();
}

bool Connection::NameLess::operator()(std::string_view a, std::string_view b) const {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = asciiLower(a[i]), y = asciiLower(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

ResultMsg Connection::tableColumns(const std::string& table, const std::vector<ColumnInfo>*& out) {
    out = cache_.layout(table);
    if (out != nullptr) return ResultMsg();
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    std::vector<ColumnInfo> columns;
    rm = readLayout(table, columns);
    if (!rm.ok()) return rm;
    if (columns.empty()) return ResultMsg(SRV_ERR_NO_TABLE, "表不存在：" + table);
    out = &cache_.keepLayout(table, std::move(columns));
    return ResultMsg();
}

ResultMsg Connection::tableNames(std::vector<std::string>& out) {
    return forEachResultRow(
        *this, dialect_.tableNamesQuery(), [](Statement&) {},
        [&](const Statement& row) { out.push_back(row.columnBytes(0)); }, "读取表名失败");
}

ResultMsg Connection::indexExists(const std::string& name, bool& exists) {
    exists = false;
    return forEachResultRow(
        *this, dialect_.indexQuery(), [&](Statement& s) { s.bindText(1, name); },
        [&](const Statement&) { exists = true; }, "读取索引失败：" + name);
}

ResultMsg Connection::columnIndexes(const std::string& table, std::vector<IndexInfo>& out) {
    return forEachResultRow(
        *this, dialect_.columnIndexesQuery(), [&](Statement& s) { s.bindText(1, table); },
        [&](const Statement& row) {
            out.push_back({row.columnBytes(0), row.columnBytes(2), row.columnInt(1) != 0});
        },
        "读取索引失败：" + table);
}

ResultMsg Connection::loadAllLayouts() {
    std::vector<std::string> tables;
    ResultMsg rm = tableNames(tables);
    const std::vector<ColumnInfo>* layout = nullptr;
    for (auto it = tables.begin(); rm.ok() && it != tables.end(); ++it)
        rm = tableColumns(*it, layout);
    return rm;
}

ResultMsg Connection::explainFailure(const std::string& table,
                                     const std::vector<std::string>& columns,
                                     const ResultMsg& failure) {
    if (!open_) return checkOpen();
    // A lost server or a conflicting writer says more than any layout could.
    if (failure.rCode == SRV_ERR_SERVER || failure.rCode == SRV_ERR_BUSY) return failure;
    cache_.forgetLayout(table);
    const std::vector<ColumnInfo>* layout = nullptr;
    ResultMsg rm = tableColumns(table, layout);
    if (!rm.ok()) return rm;
    for (const std::string& column : columns) {
        bool found = false;
        for (const ColumnInfo& info : *layout) {
            found = found || StringHelper::equalsIgnoreCase(info.name, column);
        }
        if (!found) return ResultMsg(SRV_ERR_NO_COLUMN, "列不存在：" + table + "." + column);
    }
    return failure;
}

ResultMsg Connection::retryWhileBusy(const std::function<ResultMsg()>& step) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(busyTimeoutMs_);
    ResultMsg rm = step();
    while (rm.rCode == SRV_ERR_BUSY && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        rm = step();
    }
    return rm;
}

}  // namespace MeridianSpace::detail
