#include "backend/TransactionRules.h"

#include <algorithm>

#include "ServiceErrorCode.h"

namespace MeridianSpace::detail {

namespace {

std::string savepointName(int id) {
    return "arx_sp_" + std::to_string(id);
}

// A commit that failed for a lock or a lost server keeps that answer, so
// that the caller knows to try again or to reconnect.
int commitCode(const ResultMsg& failure) {
    return failure.rCode == SRV_ERR_BUSY || failure.rCode == SRV_ERR_SERVER ? failure.rCode
                                                                            : SRV_ERR_COMMIT;
}

}  // namespace

TransactionRules::~TransactionRules() = default;

ResultMsg TransactionRules::endAll() {
    // Work of a transaction that nobody committed is never made durable.
    if (!savepoints_.empty()) {
        ResultMsg undone = rollbackSavepoint(savepoints_.front());
        (void)undone;  // a failure there rolled back everything and is in lostWork_
    }
    ResultMsg rm = takeLostWork();
    ResultMsg committed = commitPending();
    if (!committed.ok()) {
        // The engine could not commit; leave nothing half-open behind.
        engine_.abandonTransaction();
        committed =
            ResultMsg(commitCode(committed), "关闭会话时提交失败，未提交的修改已回滚：" +
                                                 engine_.displayName() + "：" + committed.rMsg);
    }
    if (rm.ok()) rm = committed;
    return rm;
}

ResultMsg TransactionRules::beginWrite(int commitType) {
    ResultMsg rm = engine_.checkOpen();
    if (rm.ok() && commitType != COMMIT_T_IMMEDIATELY && !engine_.inTransaction()) {
        rm = engine_.beginTransaction();
    }
    return rm;
}

ResultMsg TransactionRules::endWrite(int commitType, ResultMsg result) {
    if (commitType == COMMIT_T_IMMEDIATELY && savepoints_.empty()) {
        // Commits the pending writes of earlier calls too, also when this one failed.
        ResultMsg committed = commit();
        if (result.ok()) result = committed;
    }
    return result;
}

ResultMsg TransactionRules::atomic(const std::function<ResultMsg()>& work) {
    const bool ownTransaction = !engine_.inTransaction();
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

ResultMsg TransactionRules::commitFailure(const ResultMsg& failure) const {
    // The engine may have rolled the whole transaction back on its own.
    return ResultMsg(
        commitCode(failure),
        (engine_.inTransaction() ? "提交失败，修改仍未提交：" : "提交失败，未提交的修改已丢失：") +
            engine_.displayName() + "：" + failure.rMsg);
}

ResultMsg TransactionRules::takeLostWork() {
    ResultMsg rm = lostWork_;
    lostWork_ = ResultMsg();
    return rm;
}

void TransactionRules::transactionLost(const ResultMsg& why) {
    const bool first = lostWork_.ok();
    // A savepoint that opened the transaction held all of it: its owner,
    // told of the failure, undoes just what was lost.
    lostOpener_ = first && isSavepointOpen(transactionOpener_) ? transactionOpener_ : 0;
    savepoints_.clear();
    if (first) lostWork_ = why;
    engine_.workUndone();
}

ResultMsg TransactionRules::commitPending() {
    if (!savepoints_.empty() || !engine_.inTransaction()) return ResultMsg();
    return engine_.commitTransaction();
}

ResultMsg TransactionRules::commit() {
    ResultMsg rm = engine_.checkOpen();
    if (rm.ok()) rm = takeLostWork();
    if (!rm.ok()) return rm;
    rm = commitPending();
    if (rm.ok()) return rm;
    // This failure tells the work it lost; the next commit is a new start.
    lostWork_ = ResultMsg();
    return commitFailure(rm);
}

ResultMsg TransactionRules::rollback() {
    ResultMsg rm = engine_.checkOpen();
    if (!rm.ok()) return rm;
    savepoints_.clear();
    lostWork_ = ResultMsg();
    if (engine_.inTransaction()) rm = engine_.rollbackTransaction();
    engine_.workUndone();
    return rm;
}

ResultMsg TransactionRules::beginSavepoint(int& id) {
    ResultMsg rm = engine_.checkOpen();
    if (!rm.ok()) return rm;
    const bool opened = !engine_.inTransaction();
    if (opened) rm = engine_.beginTransaction();
    if (!rm.ok()) return rm;
    const int next = lastSavepoint_ + 1;
    rm = engine_.savepoint(savepointName(next));
    if (!rm.ok()) {
        // The transaction just begun holds nothing: ending it loses no work,
        // and the savepoint's failure is the answer whatever this one says.
        if (opened) (void)engine_.rollbackTransaction();
        return rm;
    }
    if (opened) transactionOpener_ = next;
    lastSavepoint_ = next;
    savepoints_.push_back(next);
    id = next;
    return rm;
}

bool TransactionRules::isSavepointOpen(int id) const {
    return std::find(savepoints_.begin(), savepoints_.end(), id) != savepoints_.end();
}

ResultMsg TransactionRules::checkSavepoint(int id) const {
    ResultMsg rm = engine_.checkOpen();
    if (rm.ok() && !isSavepointOpen(id)) {
        rm = ResultMsg(SRV_ERR_TRANSACTION, "事务已结束或已被回滚：" + engine_.displayName());
    }
    return rm;
}

ResultMsg TransactionRules::releaseSavepoint(int id) {
    ResultMsg rm = checkSavepoint(id);
    if (!rm.ok()) return rm;
    if (savepoints_.back() != id) {
        return ResultMsg(SRV_ERR_TRANSACTION,
                         "内层事务尚未结束，外层事务不能提交：" + engine_.displayName());
    }
    rm = engine_.release(savepointName(id));
    if (rm.ok()) savepoints_.pop_back();
    return rm;
}

ResultMsg TransactionRules::rollbackSavepoint(int id) {
    if (id != 0 && id == lostOpener_) {
        // Nothing outside the lost transaction was pending: nothing to report.
        lostOpener_ = 0;
        lostWork_ = ResultMsg();
        return ResultMsg();
    }
    ResultMsg rm = checkSavepoint(id);
    if (!rm.ok()) return rm;
    if (!engine_.inTransaction()) {
        // The engine ended the whole transaction on its own (a full disk, an
        // I/O error): no savepoint is left to roll back to.
        transactionLost(ResultMsg(
            SRV_ERR_COMMIT,
            "数据库已回滚整个事务，会话中所有未提交的修改都已回滚：" + engine_.displayName()));
        return rollbackSavepoint(id);
    }
    if (id == transactionOpener_) {
        // The savepoint holds the whole transaction: ending it undoes the
        // same work and gives up the write lock other connections wait for.
        rm = engine_.rollbackTransaction();
    } else {
        rm = engine_.rollbackTo(savepointName(id));
        if (rm.ok()) rm = engine_.release(savepointName(id));
    }
    while (!savepoints_.empty() && savepoints_.back() != id)
        savepoints_.pop_back();
    if (!savepoints_.empty()) savepoints_.pop_back();
    if (!rm.ok()) {
        // The savepoint could not be undone on its own: undo everything, so
        // that none of its work is committed later, and say so at the next commit.
        engine_.abandonTransaction();
        transactionLost(
            ResultMsg(SRV_ERR_COMMIT, "回滚事务失败，会话中所有未提交的修改都已回滚：" + rm.rMsg));
    }
    // Rows and tables written inside the savepoint may be gone again; a
    // ROLLBACK TO reaches no rollback hook.
    engine_.workUndone();
    return rm;
}

}  // namespace MeridianSpace::detail
