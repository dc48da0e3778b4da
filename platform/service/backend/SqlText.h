#pragma once

// Building blocks of the SQL text the service runs. Every identifier is
// checked and quoted, every operation checked against a fixed set, and every
// value travels as a bound parameter. Internal to the service (exported
// for its tests).
#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "IOrderClause.h"
#include "IQueryCondition.h"
#include "ResultReturnCode.h"

namespace MeridianSpace::detail {

class Connection;

/// Accepts a table, column or index name: 1 to 255 bytes, no double quote,
/// no control byte. `what` names the kind in the refusal.
ARX ResultMsg checkIdentifier(const std::string& name, const char* what);
/// Refuses a name longer than `limit` bytes (BackendCapabilities::nameLimit; 0: no
/// limit), which the database would cut short. `what` names the kind.
ARX ResultMsg checkNameFits(const std::string& name, const char* what, std::size_t limit);
/// The name in double quotes; only for names that passed checkIdentifier.
ARX std::string quoteIdentifier(const std::string& name);

/// The SQL operator for an operation text such as " = " or "  like  "
/// (LIKE and NOT LIKE are spelled by the backend, see Connection::likeTest).
ARX ResultMsg sqlOperator(const std::string& operation, std::string& out);

/// Appends " WHERE ..." for the conditions (nothing when there are none),
/// combining them left to right, and the value of each to `values`.
ResultMsg appendWhere(const Connection& conn, const std::list<IQueryCondition>& conditions,
                      std::string& sql, std::vector<std::string>& values);
/// Appends " ORDER BY ..." for a clause with an attribute (`column`, already
/// resolved by the caller), ties in storage order; without one, storage order.
ResultMsg appendOrderBy(const Connection& conn, const IOrderClause* order,
                        const std::string& column, std::string& sql);

/// A literal for a DEFAULT clause: a number as written, other text quoted.
ARX ResultMsg defaultLiteral(const std::string& value, int dataType, std::string& out);
/// Column type code of a declared SQL type.
ARX int typeFromDeclared(const std::string& declared);
/// The names a statement's text uses, in order, as written: bare words
/// (keywords too) and quoted names ("x", `x`, [x]) without their quotes;
/// string literals and comments left out.
ARX std::vector<std::string> identifiersIn(const std::string& sql);
/// `sql` with each parameter replaced by `replacement(N)`: "?N" is number
/// N, a bare "?" one more than the highest number so far (SQLite's rule);
/// quoted texts and names stay as they are.
ARX std::string replaceParameters(const std::string& sql,
                                  const std::function<std::string(std::size_t)>& replacement);

}  // namespace MeridianSpace::detail
