#pragma once

// The text of a file of rows (qms data and dict): CSV with RFC 4180
// quoting, or the row text form (values joined by "@#@", one line per row),
// read into rows of UTF-8 values and turned into the library's lines. The
// functions keep no state: any thread may call them.
#include <cstddef>
#include <string>
#include <vector>

namespace qms {

/// A row read from a file: its values (UTF-8) and the line it starts on.
struct FileRow {
    std::size_t line;
    std::vector<std::string> values;
};

/// The values of a row text line; the marker that stands for an empty
/// value is the empty value.
std::vector<std::string> rowValues(const std::string& line);
/// One CSV line with its line end: a value holding a comma, a quote or a
/// line break is quoted.
std::string csvLine(const std::vector<std::string>& values);
/// The rows of CSV text: a value in quotes may hold commas, line breaks
/// and doubled quotes; rows end with CRLF or LF; a UTF-8 byte order mark
/// is skipped. Throws Failure naming `path` and the line of a fault.
std::vector<FileRow> parseCsv(const std::string& text, const std::string& path);
/// The values of a file's row as one library line (GBK, joined by the
/// separator). Throws Failure, beginning with `where`, for a value that no
/// line can carry (one holding the separator in GBK, one ending in its
/// first two characters before another value, or the empty value's
/// marker) or that GBK cannot store.
std::string libraryLine(const std::vector<std::string>& values, const std::string& where);

}  // namespace qms
