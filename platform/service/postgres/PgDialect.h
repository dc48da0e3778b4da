#pragma once

// The SQL spellings of PostgreSQL server databases (see backend/Dialect.h).
// Text is stored in a SQL_ASCII database with C ordering, so a character is
// a byte and names compare byte by byte. Stateless: one object serves every
// connection and thread. Internal to the service.
#include "ArxExport.h"
#include "backend/Dialect.h"

namespace MeridianSpace::detail {

class ARX PgDialect : public Dialect {
public:
    /// The one object every PostgreSQL connection uses.
    static const PgDialect& instance();
    /// `sql` as the server takes it: "?N" and "?" parameters (see
    /// replaceParameters) as "$N"; quoted texts and names stay as they are.
    static std::string numberedParameters(const std::string& sql);

    const char* beginSql() const override { return "BEGIN ISOLATION LEVEL REPEATABLE READ"; }
    const char* idColumnDefinition(bool neverReused) const override;
    const char* declaredType(int dataType) const override;
    std::string likeTest(const std::string& column, bool negated,
                         const std::string& param) const override;
    std::string equalsIgnoringCase(const std::string& column,
                                   const std::string& param) const override;
    std::string caseFoldedIndex(const std::string& column) const override;
    std::string tailExpression(const std::string& column, int bytes) const override;
    const char* insertReturning() const override { return " RETURNING \"id\""; }
    const char* tableNamesQuery() const override;
    const char* indexQuery() const override;
    const char* columnIndexesQuery() const override;
    std::string dropObject(const SchemaObject& object) const override;
    std::string blobLiteral(const std::string& hex) const override;
    std::string byteLength(const std::string& column) const override;
    std::string convertsUnchanged(const std::string& column, int from, int to) const override;
};

}  // namespace MeridianSpace::detail
