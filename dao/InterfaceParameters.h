#pragma once

// Reading the parameter list of a query or delete interface definition:
// entries separated by "#", fields of an entry by ",", the first field the
// _ID of a column. Internal to the records.
#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace MeridianSpace {

/// The column identifiers the entries name, in order. `entries`, when given,
/// receives the number of entries, those without any field included.
std::vector<int> parameterColumnIDs(const std::string& paraList, std::size_t* entries = nullptr);

/// True when the list names at least one parameter and every parameter is
/// one of `columnIDs`: the definitions a model version shows.
bool parametersAreColumns(const std::string& paraList, const std::set<int>& columnIDs);

}  // namespace MeridianSpace
