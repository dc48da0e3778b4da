#pragma once

// What the transaction rules (backend/TransactionRules.h) need of a
// database: the steps of a transaction, each one statement of the engine,
// and a few facts about the connection. The rules decide when; the engine
// only does. Internal to the service; one thread at a time.
#include <string>

#include "ResultReturnCode.h"

namespace MeridianSpace::detail {

class TransactionEngine {
public:
    virtual ~TransactionEngine() = default;

    /// SRV_ERR_CLOSED once the connection is closed; nothing while it is open.
    virtual ResultMsg checkOpen() const = 0;
    /// True while the engine holds an open transaction (pending writes). It
    /// may turn false on its own: a full disk or a lost server ends it.
    virtual bool inTransaction() const = 0;
    /// Opens a write transaction.
    virtual ResultMsg beginTransaction() = 0;
    /// Makes everything pending durable and ends the transaction; on
    /// failure the transaction may still be open or gone (inTransaction tells).
    virtual ResultMsg commitTransaction() = 0;
    /// Undoes everything pending and ends the transaction.
    virtual ResultMsg rollbackTransaction() = 0;
    /// Opens a savepoint named `name` inside the open transaction.
    virtual ResultMsg savepoint(const std::string& name) = 0;
    /// Ends the savepoint `name` and the ones inside it, keeping their work.
    virtual ResultMsg release(const std::string& name) = 0;
    /// Undoes the work since savepoint `name` opened; the savepoint stays open.
    virtual ResultMsg rollbackTo(const std::string& name) = 0;
    /// Rolls back whatever is open, ignoring the outcome (last resort).
    virtual void abandonTransaction() = 0;
    /// The database as messages name it.
    virtual const std::string& displayName() const = 0;
    /// Undone work may have taken rows and tables with it: forget what was
    /// read of them.
    virtual void workUndone() = 0;
};

}  // namespace MeridianSpace::detail
