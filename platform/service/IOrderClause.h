#pragma once

// Ordering of a finder or row query.
#include <string>

namespace MeridianSpace {

/// A plain value record; one object is used by one thread at a time.
struct IOrderClause {
    /// " ASC " or " DESC " (blanks and case do not matter).
    std::string orderDirection = " ASC ";
    /// The column (row queries) or member (finders) to order by; empty for none.
    std::string orderAttribute;
};

}  // namespace MeridianSpace
