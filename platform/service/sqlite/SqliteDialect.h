#pragma once

// The SQL spellings of SQLite database files (see backend/Dialect.h).
// Stateless: one object serves every connection and thread. Internal to the
// service.
#include "ArxExport.h"
#include "backend/Dialect.h"

namespace MeridianSpace::detail {

class ARX SqliteDialect : public Dialect {
public:
    /// The one object every SQLite connection uses.
    static const SqliteDialect& instance();

    const char* beginSql() const override { return "BEGIN IMMEDIATE"; }
    const char* storageOrder() const override { return "rowid"; }
    const char* idColumnDefinition(bool neverReused) const override;
    const char* declaredType(int dataType) const override;
    const char* orderedJoin() const override { return "CROSS JOIN"; }
    // Each new row of a table without an "id" of its own gets the highest
    // identifier plus one (AUTOINCREMENT: above the highest ever given
    // too), the rows of one statement in their order; the write
    // transaction keeps other writers out in between.
    bool insertIdsFollowRows() const override { return true; }
    std::string likeTest(const std::string& column, bool negated,
                         const std::string& param) const override;
    std::string equalsIgnoringCase(const std::string& column,
                                   const std::string& param) const override;
    std::string caseFoldedIndex(const std::string& column) const override;
    std::string tailExpression(const std::string& column, int bytes) const override;
    std::string tailValue(const std::string& param) const override;
    const char* tableNamesQuery() const override;
    const char* indexQuery() const override;
    const char* columnIndexesQuery() const override;
    std::string byteLength(const std::string& column) const override;
};

}  // namespace MeridianSpace::detail
