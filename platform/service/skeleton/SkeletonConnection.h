#pragma once

// One connection of the skeleton backend and its catalogue: the functions
// every backend's connection (backend/Connection.h) and catalogue
// (backend/Catalogue.h) must supply, each answering "not implemented". Its
// statements (a class derived from backend/Statement.h: binds, steps,
// columns) come with newStatement. The catalogue's other functions have
// defaults; a server database usually needs them (see postgres/PgCatalogue.h).
// Internal to the service. One thread at a time.
#include <memory>
#include <string>

#include "backend/Connection.h"

namespace MeridianSpace::detail {

/// The answer of every skeleton function: SRV_ERR_ENGINE naming `what`.
ResultMsg skeletonNotImplemented(const std::string& what);

class SkeletonConnection : public Connection {
public:
    /// Must connect (with `create`: make the database first), set the busy
    /// timeout and mark the connection open (setOpen(true)).
    static ResultMsg open(const std::string& location, bool create,
                          std::shared_ptr<SkeletonConnection>& out);

    /// Connects again after close(), as open() does.
    ResultMsg reopen(bool create) override;
    /// Whether the engine holds an open transaction; false when closed.
    bool inTransaction() const override;
    /// schemaChanged() when another connection may have changed the schema.
    ResultMsg refreshSchema() override;
    /// A number that grows whenever rows of `table` may have changed, this
    /// connection's writes and other connections' commits alike
    /// (tableChangeNumber, tableRowsChanged and allRowsMayHaveChanged help).
    std::uint64_t changeCount(const std::string& table) override;
    /// Rows changed by the last write.
    int changes() const override;
    /// The last INSERT's "id", unless the dialect's insertReturning() gives it.
    long long lastInsertRowId() const override;

protected:
    /// Runs SQL without parameters or rows; counts it (countStatement()).
    ResultMsg executeText(const std::string& sql) override;
    /// The engine's last failure as `code` and `what`; SRV_ERR_BUSY for a
    /// lock, SRV_ERR_SERVER for a lost server.
    ResultMsg backendError(int code, const std::string& what) const override;
    ResultMsg newStatement(const std::string& sql, StatementKind kind,
                           std::unique_ptr<Statement>& out) override;
    /// The columns of `table` (name and declared type), none when it does not exist.
    ResultMsg readLayout(const std::string& table, std::vector<ColumnInfo>& out) override;
    /// Releases the engine's handle; transactions are ended already.
    void closeHandle() override;
    /// Gives busyTimeoutMs_ to the engine's lock waits.
    void applyBusyTimeout() override;
    /// Runs BEGIN, COMMIT, ROLLBACK and savepoint statements (the default
    /// runs them as any other); a transaction the engine ended on its own
    /// is reported with transactionLost().
    ResultMsg control(const std::string& sql) override;
    /// Rolls back whatever is open, ignoring the outcome.
    void abandonTransaction() override;

private:
    /// Hands the connection its catalogue (setCatalogue).
    explicit SkeletonConnection(const std::string& location);
};

/// What the connection reads of its database's catalogue; in the
/// connection's files until it grows (as sqlite/SqliteCatalogue.h did).
class SkeletonCatalogue : public Catalogue {
public:
    using Catalogue::Catalogue;

    /// The indexes of several columns, triggers and views, in the order made.
    ResultMsg userObjects(std::vector<SchemaObject>& out) override;
    /// Those of userObjects() the database drops with `table`.
    ResultMsg objectsDroppedWith(const std::string& table, std::vector<SchemaObject>& out) override;
    /// The engine's plan of `sql`, one text per step.
    ResultMsg queryPlan(const std::string& sql, const std::function<void(Statement&)>& bind,
                        std::string& plan) override;
};

}  // namespace MeridianSpace::detail
