#pragma once

// What qms writes: text made safe for the terminal, JSON, progress lines,
// output written whole or not at all. The files it reads: InputFile.h.
#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "Cli.h"

namespace qms {

/// Text for the terminal: control characters and the backslash escaped
/// (\n, \t, \x1b, \\), so that no name moves the cursor, colours the
/// terminal or breaks a line of a list.
std::string printable(const std::string& utf8);
/// Library text (GBK) for the terminal.
std::string shown(const std::string& gbk);

/// JSON output: objects keep their keys in the order they are set; text
/// is UTF-8.
using Json = nlohmann::ordered_json;
/// `json` as one line with a final line end; a byte that is no UTF-8 (a
/// file name's) is written as U+FFFD, so the output stays JSON.
std::string jsonText(const Json& json);

/// A progress line "[i/n] text" on standard error, only on a terminal and
/// only for more than a few items (`always`: for any number, each item
/// taking long); the last one ends the line.
void progress(std::size_t index, std::size_t count, const std::string& text, bool always = false);

/// Writes `text` to the file `path`, or to standard output for "" or "-";
/// throws Failure when it cannot all be written. A file is written under a
/// temporary name beside it and renamed into place: nothing is left of a
/// failed write, and a symbolic link at `path` is replaced, not followed.
void writeOutput(const std::string& path, const std::string& text);
/// Flushes standard output; throws Failure when anything written to it
/// was lost (a full disk, a file size limit).
void flushOutput();
}  // namespace qms
