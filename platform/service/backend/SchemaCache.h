#pragma once

// What one connection keeps of the schema between calls: prepared
// statements by SQL text, the column layouts of tables, and the checked SQL
// text of the last insert and update layouts. A schema change makes all of
// it stale; the connection says when (see Connection::schemaChanged and
// forgetTable). Internal to the service; one thread at a time.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ITableData.h"
#include "backend/Statement.h"

namespace MeridianSpace::detail {

struct CachedStatement;

/// A prepared statement lent out of the cache for one use; it is reset when
/// the lease ends. Its users bind every parameter on each use, so the last
/// values are left bound (a large blob's user clears them).
class StatementLease {
public:
    StatementLease() = default;
    explicit StatementLease(std::shared_ptr<CachedStatement> statement);
    ~StatementLease();
    StatementLease(StatementLease&& other) noexcept;
    StatementLease& operator=(StatementLease&& other) noexcept;
    StatementLease(const StatementLease&) = delete;
    StatementLease& operator=(const StatementLease&) = delete;

    Statement& operator*() const;
    Statement* operator->() const { return &**this; }

    /// The statement lent, for a user that keeps it to lend it again.
    const std::shared_ptr<CachedStatement>& held() const { return statement_; }
    /// Lends `statement` again unless it is in use (then false).
    static bool lendIdle(const std::shared_ptr<CachedStatement>& statement, StatementLease& out);

private:
    void release();
    std::shared_ptr<CachedStatement> statement_;
};

/// Name and declared type of one physical column.
struct ColumnInfo {
    std::string name;
    std::string declaredType;
};

/// The layout of the last row inserted and its checked INSERT text and
/// kind, so that a run of inserts of one layout checks and builds it once.
struct RowShape {
    std::string table;
    std::vector<std::string> columns;
    std::string sql;
    StatementKind kind = StatementKind::Other;
};
/// The same for the last update: its row layout, the column, operation and
/// relation of each condition, and its checked UPDATE text.
struct UpdateShape {
    RowShape row;
    std::vector<std::string> conditionParts;
};

/// The last SELECT of named columns: what it was built from (table, columns
/// and their types, each condition's column, operation and relation, the
/// order clause as given), its checked text, the columns a failure is
/// explained with, and a row with the names and types filled in that its
/// reads reuse unless a nested read of the same shape holds it.
struct SelectShape {
    std::string table;
    std::vector<std::string> names;
    std::vector<int> types;
    std::vector<std::string> conditionParts;
    bool ordered = false;
    std::string orderAttribute, orderDirection;
    std::string sql;
    std::vector<std::string> referenced;
    /// No column name is asked for twice.
    bool uniqueNames = false;
    /// See ResultRow::layoutKey.
    std::uint64_t layoutKey = 0;
    /// The prepared statement of `sql`, lent again without a lookup by
    /// text; the shape goes whenever the cache drops its statements.
    std::shared_ptr<CachedStatement> statement;
    ITableData row;
    bool rowBusy = false;
};

class SchemaCache {
public:
    /// Lends the idle cached statement of `sql`; false when there is none.
    bool lend(const std::string& sql, StatementLease& out);
    /// Lends `made`, a new statement of `sql`, and keeps it when no statement
    /// of that text is kept yet (past the cache's limit the idle ones go).
    void keep(const std::string& sql, std::unique_ptr<Statement> made, StatementLease& out);

    /// The cached columns of `table`; null when they were not read yet.
    const std::vector<ColumnInfo>* layout(const std::string& table) const;
    const std::vector<ColumnInfo>& keepLayout(const std::string& table,
                                              std::vector<ColumnInfo> columns);

    RowShape& lastInsert() { return lastInsert_; }
    UpdateShape& lastUpdate() { return lastUpdate_; }
    /// Shared: a read keeps its shape while a nested read replaces the cached one.
    std::shared_ptr<SelectShape>& lastSelect() { return lastSelect_; }

    /// After a schema change: the idle statements and every layout go.
    void schemaChanged();
    /// The layout of `table` goes.
    void forgetLayout(const std::string& table) { layouts_.erase(table); }
    /// The layout of `table`, the idle statements naming it and the shapes of it go.
    void forgetTable(const std::string& table);
    /// Everything goes (the connection closes).
    void clear();

private:
    void dropIdleStatements();

    std::unordered_map<std::string, std::shared_ptr<CachedStatement>> statements_;
    std::map<std::string, std::vector<ColumnInfo>> layouts_;
    RowShape lastInsert_;
    UpdateShape lastUpdate_;
    std::shared_ptr<SelectShape> lastSelect_;
};

}  // namespace MeridianSpace::detail
