#pragma once

// The files qms reads (rows, lists of names, model files), each checked
// before it is read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Cli.h"

namespace qms {

/// The bytes of a file; anything but a readable regular file is refused,
/// and so is a file of more than `limit` bytes, before it is read.
std::string readFile(const std::string& path, std::size_t limit = SIZE_MAX);
/// The lines of a file (without line ends), read as by readFile.
std::vector<std::string> readLines(const std::string& path);

}  // namespace qms
