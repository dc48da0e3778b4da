#pragma once

// "Did you mean": the known name nearest to one that was typed wrongly.
#include <string>
#include <vector>

namespace qms {

/// The name of `known` nearest to `typed` (the same but for letter case, a
/// few letters typed wrongly, left out, added or swapped, or the start of
/// only one name), or empty when none is near enough to suggest.
std::string nearestName(const std::string& typed, const std::vector<std::string>& known);

/// " (did you mean 'NAME'?)" for the nearest name, or empty.
std::string didYouMean(const std::string& typed, const std::vector<std::string>& known);

}  // namespace qms
