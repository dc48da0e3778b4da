#pragma once

// One condition of a row query, update or delete: column, operation, value.
#include <string>

namespace MeridianSpace {

/// A plain value record; one object is used by one thread at a time.
struct IQueryCondition {
    /// Inner name of the column the condition tests.
    std::string columnInnerName;
    /// One of = == != <> < <= > >= like "not like", blanks around it allowed.
    std::string operation;
    /// The value as text. A value in single quotes is the quoted text; it is
    /// always bound as data, never read as SQL.
    std::string columValue;
    /// How the condition joins the ones before it: empty or "and", or "or".
    /// Conditions combine left to right.
    std::string logicRelation;
};

}  // namespace MeridianSpace
