#pragma once

// The SQL spellings that differ between the storage backends; everything
// above the connection writes one SQL text for all. Where a default is
// given it is the standard spelling, and a backend that spells it otherwise
// says so. Only texts: nothing here runs SQL, and a dialect keeps no state,
// so one object serves every connection and thread. Internal to the service.
#include <cstddef>
#include <string>

#include "SchemaObject.h"

namespace MeridianSpace::detail {

class Dialect {
public:
    virtual ~Dialect() = default;

    /// The statement that opens a write transaction: it takes the locks a
    /// writer needs at once, so that a conflict shows at the start, and
    /// what the transaction reads stays as it first read it.
    virtual const char* beginSql() const = 0;
    /// The column that orders rows as they were stored.
    virtual const char* storageOrder() const { return "\"id\""; }
    /// The definition of the row identifier column "id"; with `neverReused`
    /// a new row never gets the identifier of a deleted one.
    virtual const char* idColumnDefinition(bool neverReused) const = 0;
    /// The declared type of a column type code.
    virtual const char* declaredType(int dataType) const = 0;
    /// A join that the engine takes as the join order to use.
    virtual const char* orderedJoin() const { return "JOIN"; }
    /// A LIKE test of `column` against parameter `param`, ASCII case ignored
    /// and no escape character, on any column type.
    virtual std::string likeTest(const std::string& column, bool negated,
                                 const std::string& param) const = 0;
    /// An equality test that ignores ASCII case.
    virtual std::string equalsIgnoringCase(const std::string& column,
                                           const std::string& param) const = 0;
    /// An index expression for lookups that ignore ASCII case.
    virtual std::string caseFoldedIndex(const std::string& column) const = 0;
    /// The last `bytes` bytes of a text column (an indexable expression), and
    /// a text parameter as a value to compare with it.
    virtual std::string tailExpression(const std::string& column, int bytes) const = 0;
    virtual std::string tailValue(const std::string& param) const { return param; }
    /// Appended to an INSERT so that its one result row is the new "id";
    /// empty where the connection's lastInsertRowId() answers instead.
    virtual const char* insertReturning() const { return ""; }
    bool insertReturnsId() const { return insertReturning()[0] != '\0'; }
    /// Whether the rows of one INSERT with several rows, "id" left to the
    /// store, get consecutive identifiers in the order of its VALUES, the
    /// last one answered by the connection's lastInsertRowId().
    virtual bool insertIdsFollowRows() const { return false; }

    /// The names of the database's own tables (one column), in byte order.
    virtual const char* tableNamesQuery() const = 0;
    /// A row when an index named by parameter 1 exists.
    virtual const char* indexQuery() const = 0;
    /// The indexes of the table named by parameter 1 that cover one column
    /// each (the primary key left out), in name order: index name, 1 when
    /// unique (else 0), column name.
    virtual const char* columnIndexesQuery() const = 0;

    /// The statement that drops `object` (see SchemaObject); its name must
    /// have passed checkIdentifier.
    virtual std::string dropObject(const SchemaObject& object) const {
        const char* kind = object.kind == "index"     ? "INDEX"
                           : object.kind == "trigger" ? "TRIGGER"
                                                      : "VIEW";
        return std::string("DROP ") + kind + " \"" + object.name + "\"";
    }

    /// A blob value as a literal of SQL text, given as hexadecimal digits.
    virtual std::string blobLiteral(const std::string& hex) const { return "X'" + hex + "'"; }

    /// The length in bytes of the text of `column`.
    virtual std::string byteLength(const std::string& column) const = 0;
    /// A condition that holds when the value of `column` (not null, in a
    /// column of storage type `from`) converts to storage type `to` and back
    /// unchanged. It never fails, whatever the value.
    virtual std::string convertsUnchanged(const std::string& column, int from, int to) const {
        return std::string("CAST(CAST(") + column + " AS " + declaredType(to) + ") AS " +
               declaredType(from) + ") IS " + column;
    }
};

}  // namespace MeridianSpace::detail
