#pragma once

// Ordering of a finder or row query.
#include <string>

namespace MeridianSpace {

struct IOrderClause {
    /// " ASC " or " DESC " (blanks and case do not matter).
    std::string orderDirection = " ASC ";
    /// The column (row queries) or member (finders) to order by; empty for none.
    std::string orderAttribute;
};

}  // namespace MeridianSpace
