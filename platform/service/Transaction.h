#pragma once

// All-or-nothing groups of writes on one session. Both roll back in their
// destructor unless they were ended; any early return undoes their work:
//
//     Transaction tx(session);
//     if (!tx.begun().ok()) return tx.begun();
//     ...                          // writes of any commit type
//     return tx.commit();
//
// Writes made before a Transaction (commit type 0, still pending) are not
// part of it: its roll-back keeps them pending, its commit makes them
// durable with its own work. Inside an open Transaction, immediate writes
// and MRDSession::commit() commit nothing; the outermost Transaction does.
// Objects of these classes are used by the thread that uses their session.
#include <memory>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class MRDSession;
class dataManager;
namespace detail {
class Connection;
}

/// A nested group of writes: releasing it keeps its work inside whatever is
/// around it (an enclosing Transaction, or the session's pending writes).
class ARX Savepoint {
public:
    explicit Savepoint(MRDSession& session);
    /// On the session the manager works in.
    explicit Savepoint(dataManager& manager);
    /// Rolls back unless released or committed.
    virtual ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

    /// The outcome of opening it (SRV_ERR_BUSY when another connection kept
    /// its lock too long); when it failed, nothing may be written under it.
    const ResultMsg& begun() const { return begun_; }
    /// Keeps the work; it must be the innermost open one.
    [[nodiscard]] ResultMsg release();
    /// Undoes the work now (the destructor does it otherwise).
    ResultMsg rollback();

protected:
    std::shared_ptr<detail::Connection> connection_;
    int id_ = 0;
    ResultMsg begun_;
};

/// A group of writes made durable by commit(). Nested in another open
/// Transaction or Savepoint of the session it behaves as a Savepoint, and
/// the outermost one commits.
class ARX Transaction : public Savepoint {
public:
    explicit Transaction(MRDSession& session);
    explicit Transaction(dataManager& manager);

    /// Keeps the work and, when no other transaction is open around it,
    /// commits everything pending in the session.
    [[nodiscard]] ResultMsg commit();
};

}  // namespace MeridianSpace
