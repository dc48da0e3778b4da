#pragma once

// Reading the parameter list of a query or delete interface definition:
// entries separated by "#", fields of an entry by ",", the first field the
// _ID of a column. Internal to the records.
#include <cstddef>
#include <string>
#include <vector>

namespace MeridianSpace {

/// The column identifiers the entries name, in order. `entries`, when given,
/// receives the number of entries, those without any field included.
std::vector<int> parameterColumnIDs(const std::string& paraList, std::size_t* entries = nullptr);

}  // namespace MeridianSpace
