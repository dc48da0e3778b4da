#pragma once

// The SQL that defines a physical table's columns and their indexes, shared
// by the builders of new tables and the rebuild of existing ones. Internal
// to the service.
#include <cstddef>
#include <string>

#include "MNormalColumn.h"
#include "ResultReturnCode.h"

namespace MeridianSpace::detail {

class Connection;

/// The definition of a column (name, declared type, default) for CREATE
/// TABLE or ADD COLUMN; the name must have passed checkColumnName.
ResultMsg columnDefinition(const Connection& conn, const MNormalColumn& column, std::string& out);
/// The name of the index of `column` in `table`: kind ("ix" or "uq"), table
/// and column, or, where that would be longer than a name may be (or than
/// `limit` bytes, see BackendCapabilities::nameLimit), kind and a hash of both, so that
/// any two names that pass the rule can be indexed.
std::string indexName(const std::string& kind, const std::string& table, const std::string& column,
                      std::size_t limit);
/// Creates the index the column description asks for (unique for _isOnly,
/// plain for _isIndex), if any.
ResultMsg createColumnIndex(Connection& conn, const std::string& table,
                            const MNormalColumn& column);

}  // namespace MeridianSpace::detail
