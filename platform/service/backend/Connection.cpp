#include "backend/Connection.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>
#include <utility>

#include "ServiceErrorCode.h"
#include "StringHelper.h"

namespace MeridianSpace::detail {

namespace {

// Change numbers come from one counter for the whole process, so that no
// number is ever handed out twice, whatever connection or reopen it is for.
std::atomic<std::uint64_t> lastChangeNumber{0};

unsigned char asciiLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

std::string savepointName(int id) {
    return "arx_sp_" + std::to_string(id);
}

}  // namespace

bool Statement::accepted(int index, const char* refusal) {
    if (refusal == nullptr) return true;
    if (refusal_.empty()) refusal_ = "参数" + std::to_string(index) + "的值未被接受：" + refusal;
    return false;
}

StepResult Statement::step() {
    // Run with a refused value, the parameter would still hold the last
    // use's value and write that instead.
    if (refusal_.empty()) {
        connection_.refusedBind_.clear();
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

Connection::Connection(std::string path, std::string displayName)
    : busyTimeoutMs_(kDefaultBusyTimeoutMs),
      path_(std::move(path)),
      displayName_(std::move(displayName)) {}

Connection::~Connection() = default;

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
    // Work of a transaction that nobody committed is never made durable.
    if (!savepoints_.empty()) {
        ResultMsg undone = rollbackSavepoint(savepoints_.front());
        (void)undone;  // a failure there rolled back everything and is in lostWork_
    }
    ResultMsg rm = takeLostWork();
    ResultMsg committed = commitPending();
    if (!committed.ok()) {
        // The engine could not commit; leave nothing half-open behind.
        abandonTransaction();
        committed = ResultMsg(
            committed.rCode == SRV_ERR_BUSY || committed.rCode == SRV_ERR_SERVER ? committed.rCode
                                                                                 : SRV_ERR_COMMIT,
            "关闭会话时提交失败，未提交的修改已回滚：" + displayName_ + "：" + committed.rMsg);
    }
    if (rm.ok()) rm = committed;
    cache_.clear();
    closeHandle();
    setOpen(false);
    return rm;
}

ResultMsg Connection::beginWrite(int commitType) {
    ResultMsg rm = checkOpen();
    if (rm.ok() && commitType != COMMIT_T_IMMEDIATELY && !inTransaction()) {
        rm = execute(beginSql());
    }
    return rm;
}

ResultMsg Connection::endWrite(int commitType, ResultMsg result) {
    if (commitType == COMMIT_T_IMMEDIATELY && savepoints_.empty()) {
        // Commits the pending writes of earlier calls too, also when this one failed.
        ResultMsg committed = commit();
        if (result.ok()) result = committed;
    }
    return result;
}

ResultMsg Connection::atomic(const std::function<ResultMsg()>& work) {
    const bool ownTransaction = !inTransaction();
    int id = 0;
    ResultMsg rm = beginSavepoint(id);
    if (!rm.ok()) return rm;
    rm = work();
    if (!rm.ok()) {
        // Ends the transaction too when the savepoint began it.
        ResultMsg undone = rollbackSavepoint(id);
        (void)undone;  // the work's own failure is the answer; a failed roll-back is in lostWork_
        return rm;
    }
    rm = releaseSavepoint(id);
    if (rm.ok() && ownTransaction && savepoints_.empty()) rm = commit();
    return rm;
}

ResultMsg Connection::commitFailure(const ResultMsg& failure) const {
    const int code = failure.rCode == SRV_ERR_BUSY || failure.rCode == SRV_ERR_SERVER
                         ? failure.rCode
                         : SRV_ERR_COMMIT;
    // The engine may have rolled the whole transaction back on its own.
    return ResultMsg(
        code, (inTransaction() ? "提交失败，修改仍未提交：" : "提交失败，未提交的修改已丢失：") +
                  displayName_ + "：" + failure.rMsg);
}

ResultMsg Connection::takeLostWork() {
    ResultMsg rm = lostWork_;
    lostWork_ = ResultMsg();
    return rm;
}

void Connection::transactionLost(const ResultMsg& why) {
    savepoints_.clear();
    if (lostWork_.ok()) lostWork_ = why;
    allRowsMayHaveChanged();
}

ResultMsg Connection::commitPending() {
    if (!savepoints_.empty() || !inTransaction()) return ResultMsg();
    return execute("COMMIT");
}

ResultMsg Connection::commit() {
    ResultMsg rm = checkOpen();
    if (rm.ok()) rm = takeLostWork();
    if (!rm.ok()) return rm;
    rm = commitPending();
    return rm.ok() ? rm : commitFailure(rm);
}

ResultMsg Connection::rollback() {
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    savepoints_.clear();
    lostWork_ = ResultMsg();
    if (inTransaction()) rm = execute("ROLLBACK");
    schemaChanged();
    return rm;
}

ResultMsg Connection::beginSavepoint(int& id) {
    ResultMsg rm = checkOpen();
    if (!rm.ok()) return rm;
    const bool opened = !inTransaction();
    if (opened) rm = execute(beginSql());
    if (!rm.ok()) return rm;
    const int next = lastSavepoint_ + 1;
    rm = execute("SAVEPOINT " + savepointName(next));
    if (!rm.ok()) {
        // The transaction just begun holds nothing: ending it loses no work,
        // and the savepoint's failure is the answer whatever this one says.
        if (opened) (void)execute("ROLLBACK");
        return rm;
    }
    if (opened) transactionOpener_ = next;
    lastSavepoint_ = next;
    savepoints_.push_back(next);
    id = next;
    return rm;
}

bool Connection::isSavepointOpen(int id) const {
    return std::find(savepoints_.begin(), savepoints_.end(), id) != savepoints_.end();
}

ResultMsg Connection::checkSavepoint(int id) const {
    ResultMsg rm = checkOpen();
    if (rm.ok() && !isSavepointOpen(id)) {
        rm = ResultMsg(SRV_ERR_TRANSACTION, "事务已结束或已被回滚：" + displayName_);
    }
    return rm;
}

ResultMsg Connection::releaseSavepoint(int id) {
    ResultMsg rm = checkSavepoint(id);
    if (!rm.ok()) return rm;
    if (savepoints_.back() != id) {
        return ResultMsg(SRV_ERR_TRANSACTION,
                         "内层事务尚未结束，外层事务不能提交：" + displayName_);
    }
    rm = execute("RELEASE " + savepointName(id));
    if (rm.ok()) savepoints_.pop_back();
    return rm;
}

ResultMsg Connection::rollbackSavepoint(int id) {
    ResultMsg rm = checkSavepoint(id);
    if (!rm.ok()) return rm;
    if (id == transactionOpener_) {
        // The savepoint holds the whole transaction: ending it undoes the
        // same work and gives up the write lock other connections wait for.
        rm = execute("ROLLBACK");
    } else {
        rm = execute("ROLLBACK TO " + savepointName(id));
        if (rm.ok()) rm = execute("RELEASE " + savepointName(id));
    }
    while (!savepoints_.empty() && savepoints_.back() != id)
        savepoints_.pop_back();
    if (!savepoints_.empty()) savepoints_.pop_back();
    if (!rm.ok()) {
        // The savepoint could not be undone on its own: undo everything, so
        // that none of its work is committed later, and say so at the next commit.
        abandonTransaction();
        transactionLost(
            ResultMsg(SRV_ERR_COMMIT, "回滚事务失败，会话中所有未提交的修改都已回滚：" + rm.rMsg));
    }
    // Rows and tables written inside the savepoint may be gone again; a
    // ROLLBACK TO reaches no rollback hook.
    allRowsMayHaveChanged();
    schemaChanged();
    return rm;
}

ResultMsg Connection::prepare(const std::string& sql, StatementLease& out) {
    ResultMsg rm = checkOpen();
    if (!rm.ok() || cache_.lend(sql, out)) return rm;
    std::unique_ptr<Statement> made;
    rm = newStatement(sql, made);
    if (rm.ok()) cache_.keep(sql, std::move(made), out);
    return rm;
}

void Connection::schemaChanged() {
    cache_.schemaChanged();
    // A dropped table or a column added with a default changes rows that no
    // hook reports.
    allRowsMayHaveChanged();
    if (open_) onSchemaChanged();
}

void Connection::forgetTable(const std::string& table) {
    cache_.forgetTable(table);
}

std::uint64_t Connection::tableChangeNumber(const std::string& table) {
    auto it = tableChanges_.find(std::string_view(table));
    if (it == tableChanges_.end()) it = tableChanges_.emplace(table, 0).first;
    // Both numbers only grow and are drawn from one counter, so the larger
    // one changes whenever either does.
    return std::max(allRowsChange_, it->second);
}

void Connection::tableRowsChanged(std::string_view table) {
    if (tableChanges_.empty()) return;
    auto it = tableChanges_.find(table);
    if (it != tableChanges_.end()) it->second = nextChangeNumber();
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
    forgetLayout(table);
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
