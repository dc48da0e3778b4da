#pragma once

// The session's transaction rules over one connection: writes that join or
// commit the open transaction, all-or-nothing work, nested savepoints, and
// work the engine lost being reported at the next commit. They drive a
// TransactionEngine (backend/TransactionEngine.h), which does each step.
// Internal to the service; one thread at a time: the savepoint stack is not
// guarded.
#include <functional>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ResultReturnCode.h"
#include "backend/TransactionEngine.h"

namespace MeridianSpace::detail {

class ARX TransactionRules {
public:
    /// The rules over `engine`, which outlives them.
    explicit TransactionRules(TransactionEngine& engine) : engine_(engine) {}
    TransactionRules(const TransactionRules&) = delete;
    TransactionRules& operator=(const TransactionRules&) = delete;
    ~TransactionRules();

    /// Runs `work` (returning ResultMsg) as a write with the given commit
    /// type: 0 joins (or opens) the open transaction; COMMIT_T_IMMEDIATELY
    /// commits it, with everything pending, once the work is done, unless a
    /// savepoint is open (then the savepoint's owner decides).
    template <class Work>
    ResultMsg write(int commitType, Work&& work) {
        ResultMsg rm = beginWrite(commitType);
        if (!rm.ok()) return rm;
        return endWrite(commitType, work());
    }
    /// Runs `work` all or nothing: inside the open transaction when there is
    /// one, else in a transaction of its own that is committed at once.
    ResultMsg atomic(const std::function<ResultMsg()>& work);
    /// Commits the open transaction. While a savepoint is open this does
    /// nothing: the outermost Transaction commits.
    ResultMsg commit();
    /// Rolls back everything not committed, savepoints included.
    ResultMsg rollback();

    /// Opens a savepoint (and, when none is open, a write transaction around
    /// it); `id` names it for release and roll-back.
    ResultMsg beginSavepoint(int& id);
    /// Keeps the savepoint's work; it must be the innermost open one.
    ResultMsg releaseSavepoint(int id);
    /// Undoes the savepoint's work and every inner savepoint's, and ends it;
    /// the transaction too when this savepoint began it.
    ResultMsg rollbackSavepoint(int id);
    bool isSavepointOpen(int id) const;
    /// SRV_ERR_CLOSED, or SRV_ERR_TRANSACTION when `id` is no open savepoint.
    ResultMsg checkSavepoint(int id) const;
    bool hasOpenSavepoints() const { return !savepoints_.empty(); }

protected:
    /// Before the connection closes: rolls back open savepoints and commits
    /// what is pending, or rolls it back when the commit fails. Answers the
    /// work lost before, else the commit's failure.
    ResultMsg endAll();
    /// Everything uncommitted is gone (the engine or the server ended the
    /// transaction): forget the savepoints, report `why` at the next commit
    /// (unless the savepoint that opened the transaction is rolled back
    /// first: its owner knows), and count the work as undone.
    void transactionLost(const ResultMsg& why);

private:
    ResultMsg beginWrite(int commitType);
    ResultMsg endWrite(int commitType, ResultMsg result);
    ResultMsg commitFailure(const ResultMsg& failure) const;
    /// COMMIT when a transaction is open and no savepoint; the engine's answer.
    ResultMsg commitPending();
    ResultMsg takeLostWork();

    TransactionEngine& engine_;
    /// Open savepoints, innermost last.
    std::vector<int> savepoints_;
    int lastSavepoint_ = 0;
    /// The savepoint whose opening began the open transaction (identifiers
    /// are never reused, so an ended one matches nothing).
    int transactionOpener_ = 0;
    /// A roll-back that could not be done where it was asked for (in a
    /// destructor) or work the engine discarded on its own; the next commit
    /// reports it.
    ResultMsg lostWork_;
    /// The savepoint that opened the transaction lostWork_ tells of, while
    /// its owner has not rolled it back (0: none).
    int lostOpener_ = 0;
};

}  // namespace MeridianSpace::detail
