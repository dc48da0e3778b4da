#pragma once

// The row text form of table data: one line per row, its values joined by
// "@#@"; the marker "!#@$!^%&^@%$" may stand for an empty value. Row data
// (M_EntityTableDAO::getData, saveData, insertData) and dictionary data
// (exportData, importData) take and give rows in this form, and every line
// is cut and joined here, inside the library and by its users alike. The
// functions keep no state: any thread may call them.
#include <cstddef>
#include <string>
#include <vector>

#include "ArxExport.h"

namespace MeridianSpace::rowtext {

/// "@#@", between the values of a line.
extern ARX const char kSeparator[];
/// "!#@$!^%&^@%$", a value that stands for the empty value.
extern ARX const char kEmptyMarker[];

/// Cuts a line at every separator, keeping empty values, and answers how
/// many values it holds; they stand in values[0..n-1]. A line that starts
/// (ends) with the separator gets the marker in front (at its end) first,
/// so that its edge values survive as markers. `values` only grows, so its
/// strings keep their buffers from line to line.
ARX std::size_t split(const std::string& line, std::vector<std::string>& values);
/// Appends the first `count` of `values` to `line`, joined by the separator.
ARX void join(const std::string* values, std::size_t count, std::string& line);

}  // namespace MeridianSpace::rowtext
