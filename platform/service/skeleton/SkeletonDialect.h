#pragma once

// The SQL spellings of the skeleton backend (see backend/Dialect.h): the
// functions without a standard spelling, each answering what its comment
// asks of a real backend. Stateless; one object for every connection.
// Internal to the service.
#include "backend/Dialect.h"

namespace MeridianSpace::detail {

class SkeletonDialect : public Dialect {
public:
    static const SkeletonDialect& instance();

    /// A write transaction that takes the writer's locks at once.
    const char* beginSql() const override;
    /// A row identifier column "id"; with `neverReused` a deleted row's
    /// identifier must never come back.
    const char* idColumnDefinition(bool neverReused) const override;
    /// The engine's type for each COL_TYPE_ code; blobs keep bytes exactly.
    const char* declaredType(int dataType) const override;
    /// LIKE ignoring ASCII case, no escape character, on any column type.
    std::string likeTest(const std::string& column, bool negated,
                         const std::string& param) const override;
    std::string equalsIgnoringCase(const std::string& column,
                                   const std::string& param) const override;
    /// The index expression equalsIgnoringCase can use.
    std::string caseFoldedIndex(const std::string& column) const override;
    /// The last bytes (never characters) of a text, as an indexable expression.
    std::string tailExpression(const std::string& column, int bytes) const override;
    /// The catalogue queries: their columns are described in backend/Dialect.h.
    const char* tableNamesQuery() const override;
    const char* indexQuery() const override;
    const char* columnIndexesQuery() const override;
    /// The length of a text in bytes.
    std::string byteLength(const std::string& column) const override;
};

}  // namespace MeridianSpace::detail
