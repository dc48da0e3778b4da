#include "backend/SchemaCache.h"

#include <iterator>
#include <utility>

namespace MeridianSpace::detail {

struct CachedStatement {
    explicit CachedStatement(std::unique_ptr<Statement> s) : statement(std::move(s)) {}
    std::unique_ptr<Statement> statement;
    bool busy = false;
};

namespace {

// Statements kept prepared per connection; beyond this the idle ones are dropped.
constexpr std::size_t kMaxCachedStatements = 256;

}  // namespace

StatementLease::StatementLease(std::shared_ptr<CachedStatement> statement)
    : statement_(std::move(statement)) {
    if (statement_) statement_->busy = true;
}

StatementLease::~StatementLease() {
    release();
}

StatementLease::StatementLease(StatementLease&& other) noexcept
    : statement_(std::move(other.statement_)) {}

StatementLease& StatementLease::operator=(StatementLease&& other) noexcept {
    if (this != &other) {
        release();
        statement_ = std::move(other.statement_);
    }
    return *this;
}

Statement& StatementLease::operator*() const {
    return *statement_->statement;
}

void StatementLease::release() {
    if (!statement_) return;
    // Every user binds all of its statement's parameters, so the values of
    // the last use need not be cleared, only the run reset.
    statement_->statement->reset();
    statement_->busy = false;
    statement_.reset();
}

bool StatementLease::lendIdle(const std::shared_ptr<CachedStatement>& statement,
                              StatementLease& out) {
    if (!statement || statement->busy) return false;
    out = StatementLease(statement);
    return true;
}

bool SchemaCache::lend(const std::string& sql, StatementLease& out) {
    const auto it = statements_.find(sql);
    return it != statements_.end() && StatementLease::lendIdle(it->second, out);
}

void SchemaCache::keep(const std::string& sql, std::unique_ptr<Statement> made,
                       StatementLease& out) {
    auto cached = std::make_shared<CachedStatement>(std::move(made));
    // A statement of the same text in use stays the kept one; this one
    // serves its user alone.
    if (statements_.find(sql) == statements_.end()) {
        if (statements_.size() >= kMaxCachedStatements) dropIdleStatements();
        statements_.emplace(sql, cached);
    }
    out = StatementLease(cached);
}

const std::vector<ColumnInfo>* SchemaCache::layout(const std::string& table) const {
    const auto it = layouts_.find(table);
    return it == layouts_.end() ? nullptr : &it->second;
}

const std::vector<ColumnInfo>& SchemaCache::keepLayout(const std::string& table,
                                                       std::vector<ColumnInfo> columns) {
    return layouts_.emplace(table, std::move(columns)).first->second;
}

void SchemaCache::schemaChanged() {
    dropIdleStatements();
    layouts_.clear();
    lastSelect_.reset();
}

void SchemaCache::forgetTable(const std::string& table) {
    layouts_.erase(table);
    const std::string quotedName = "\"" + table + "\"";
    for (auto s = statements_.begin(); s != statements_.end();) {
        const bool names = s->first.find(quotedName) != std::string::npos;
        s = names && !s->second->busy ? statements_.erase(s) : std::next(s);
    }
    if (lastInsert_.table == table) lastInsert_ = RowShape();
    if (lastUpdate_.row.table == table) lastUpdate_ = UpdateShape();
    if (lastSelect_ && lastSelect_->table == table) lastSelect_.reset();
}

void SchemaCache::clear() {
    statements_.clear();
    layouts_.clear();
    lastInsert_ = RowShape();
    lastUpdate_ = UpdateShape();
    lastSelect_.reset();
}

void SchemaCache::dropIdleStatements() {
    for (auto s = statements_.begin(); s != statements_.end();) {
        s = s->second->busy ? std::next(s) : statements_.erase(s);
    }
}

}  // namespace MeridianSpace::detail
