#pragma once

// One connection of a storage backend to one database: its transaction rules
// (backend/TransactionRules.h), its SQL spellings (backend/Dialect.h), its
// schema cache (backend/SchemaCache.h), its catalogue (backend/Catalogue.h)
// and the numbers that tell when rows may have changed. A backend derives
// from it and supplies the engine. Internal to the service. One thread at a
// time: nothing here is guarded.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ResultReturnCode.h"
#include "backend/Backend.h"
#include "backend/Catalogue.h"
#include "backend/Dialect.h"
#include "backend/SchemaCache.h"
#include "backend/Statement.h"
#include "backend/TransactionRules.h"

namespace MeridianSpace::detail {

/// An index over one column.
struct IndexInfo {
    std::string name;
    std::string column;
    bool unique = false;
};

class Connection : private TransactionEngine, public TransactionRules {
public:
    /// How long a statement waits for another connection's lock before it
    /// fails, unless setBusyTimeout() says otherwise.
    static constexpr int kDefaultBusyTimeoutMs = 5000;

    ~Connection() override;

    /// The file path or server URI the connection was opened with.
    const std::string& path() const { return path_; }
    /// The same for messages and logs: a URI without its password.
    const std::string& displayName() const final { return displayName_; }
    bool isOpen() const { return open_; }
    /// True while the engine holds an open transaction (pending writes).
    bool inTransaction() const override = 0;
    /// What the backend that made the connection says of its databases.
    const BackendCapabilities& capabilities() const { return capabilities_; }
    /// The SQL spellings of the connection's database.
    const Dialect& dialect() const { return dialect_; }
    ResultMsg checkOpen() const final;
    /// Rolls back open savepoints, commits what is pending and closes; when
    /// the commit fails the pending writes are rolled back and the failure is
    /// returned. Later calls answer SRV_ERR_CLOSED until reopen().
    ResultMsg close();
    /// Opens the same database again after close(); nothing when open.
    virtual ResultMsg reopen(bool create) = 0;
    void setBusyTimeout(int milliseconds);

    /// A statement of `sql` from the cache, or a new one of that kind (one
    /// text is always of one kind).
    ResultMsg prepare(const std::string& sql, StatementLease& out,
                      StatementKind kind = StatementKind::Other);
    /// Runs SQL that takes no parameters and returns no rows.
    ResultMsg execute(const std::string& sql);
    /// While `log` is set (not null), each statement the connection runs
    /// that changes the database is appended to it as it starts: schema
    /// changes, row writes, settings and sequence moves, not reads and not
    /// the statements that steer transactions; bound values written in as
    /// literals of this dialect, so that each text runs alone. The log
    /// belongs to the caller and must outlive its use.
    void setStatementLog(std::vector<std::string>* log) { statementLog_ = log; }
    /// Forgets cached statements and table layouts after a schema change.
    void schemaChanged();
    /// schemaChanged() when the schema may have changed since it was last
    /// seen (by this or another connection); otherwise keeps the caches.
    virtual ResultMsg refreshSchema() = 0;
    /// What the connection keeps of the schema; cleared as it changes.
    SchemaCache& cache() { return cache_; }

    /// A number that changes whenever rows of `table` may have changed (see
    /// InstanceDataManager::changeCount); 0 while closed.
    virtual std::uint64_t changeCount(const std::string& table) = 0;
    /// Notes a change of the rows of `table` that no hook reports.
    void tableRowsChanged(std::string_view table);

    /// Columns of a physical table, from the layout cache; SRV_ERR_NO_TABLE
    /// when the table does not exist.
    ResultMsg tableColumns(const std::string& table, const std::vector<ColumnInfo>*& out);
    /// Names of all tables of the database, in byte order.
    ResultMsg tableNames(std::vector<std::string>& out);
    /// Reads the layout of every table into the cache.
    ResultMsg loadAllLayouts();
    /// Whether an index of that name exists. Asked before making one: on a
    /// server even CREATE INDEX IF NOT EXISTS waits for every writer of the table.
    ResultMsg indexExists(const std::string& name, bool& exists);
    /// The indexes of `table` that cover one column each (the primary key
    /// left out), in name order.
    ResultMsg columnIndexes(const std::string& table, std::vector<IndexInfo>& out);

    /// Turns a failed statement on `table` into the clearest answer: the table
    /// or one of `columns` missing, else `failure` as it is.
    ResultMsg explainFailure(const std::string& table, const std::vector<std::string>& columns,
                             const ResultMsg& failure);

    /// A failure with `code` and the engine's last message after `what`; a
    /// lock held by another connection (or a conflicting writer) always gets
    /// SRV_ERR_BUSY, a lost server SRV_ERR_SERVER. After a statement that did
    /// not run because a bind was refused: SRV_ERR_ARGUMENT naming the refusal.
    ResultMsg engineError(int code, const std::string& what) const;
    /// Rows changed by the last write.
    virtual int changes() const = 0;
    /// Statements run on this connection since it was made (each execution
    /// of a prepared statement counts once), for measuring.
    std::uint64_t statementsRun() const { return statementsRun_; }
    /// The row identifier the last INSERT gave (see Dialect::insertReturnsId()).
    virtual long long lastInsertRowId() const = 0;

    /// The catalogue's reads and changes beyond table layouts and rows.
    Catalogue& catalogue() { return *catalogue_; }

protected:
    friend class Statement;
    /// `capabilities` and `dialect` are the backend's, which outlive the
    /// connection. The backend's constructor hands it its catalogue.
    Connection(std::string path, std::string displayName, const BackendCapabilities& capabilities,
               const Dialect& dialect);
    void setCatalogue(std::unique_ptr<Catalogue> catalogue) { catalogue_ = std::move(catalogue); }

    /// Runs a statement that steers transactions (StatementKind::Control);
    /// the default runs it as any other.
    virtual ResultMsg control(const std::string& sql) { return execute(sql); }
    /// execute() of the backend.
    virtual ResultMsg executeText(const std::string& sql) = 0;
    /// engineError() of the backend: its own last failure.
    virtual ResultMsg backendError(int code, const std::string& what) const = 0;
    /// Prepares a new statement of `sql`.
    virtual ResultMsg newStatement(const std::string& sql, StatementKind kind,
                                   std::unique_ptr<Statement>& out) = 0;
    /// Reads the columns of `table` (none when it does not exist).
    virtual ResultMsg readLayout(const std::string& table, std::vector<ColumnInfo>& out) = 0;
    /// Closes the backend's handle; the base has ended every transaction.
    virtual void closeHandle() = 0;
    virtual void applyBusyTimeout() = 0;
    /// Called after schemaChanged() dropped the caches.
    virtual void onSchemaChanged() {}
    void workUndone() final { schemaChanged(); }

    /// Marks the connection open or closed (closed ends the change numbers).
    void setOpen(bool open);
    /// Every row of every table may have changed (roll-back, schema change,
    /// another connection's commit, reopen).
    void allRowsMayHaveChanged();
    /// The larger of the table's own change number and allRowsChange_.
    std::uint64_t tableChangeNumber(const std::string& table);
    static std::uint64_t nextChangeNumber();
    /// Repeats `step` while it answers SRV_ERR_BUSY, up to the busy timeout.
    ResultMsg retryWhileBusy(const std::function<ResultMsg()>& step);
    void countStatement() { ++statementsRun_; }

    int busyTimeoutMs_;

private:
    // The steps the transaction rules take, as statements of the dialect.
    ResultMsg beginTransaction() final;
    ResultMsg commitTransaction() final;
    ResultMsg rollbackTransaction() final;
    ResultMsg savepoint(const std::string& name) final;
    ResultMsg release(const std::string& name) final;
    ResultMsg rollbackTo(const std::string& name) final;

    /// ASCII case-insensitive order (SQL names ignore case) that compares
    /// string_views, so that change notes look names up without allocating.
    struct NameLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };

    std::string path_;
    std::string displayName_;
    const BackendCapabilities& capabilities_;
    const Dialect& dialect_;
    bool open_ = false;
    SchemaCache cache_;
    /// Last change number of each table someone asked about.
    std::map<std::string, std::uint64_t, NameLess> tableChanges_;
    /// The name tableRowsChanged() was last given and what it found there
    /// (end() when none): a run of inserts names one table row after row.
    /// Forgotten when a table is added.
    std::string lastChangedName_;
    std::map<std::string, std::uint64_t, NameLess>::iterator lastChanged_;
    bool lastChangedKnown_ = false;
    /// Change number of the last event that may have changed any row; 0 while closed.
    std::uint64_t allRowsChange_ = 0;
    std::uint64_t statementsRun_ = 0;
    /// Why the last statement stepped did not run (a refused bind); empty
    /// when it ran. Taken by the next engineError().
    mutable std::string refusedBind_;
    std::vector<std::string>* statementLog_ = nullptr;
    std::unique_ptr<Catalogue> catalogue_;
};

}  // namespace MeridianSpace::detail
