#pragma once

// One folder's entries, read in one go and sorted by name, so that every
// listing, copy and delete sees the same order on every file system.
// Internal to arx_tools.
#include <cstdint>
#include <string>
#include <vector>

namespace MeridianSpace {
namespace detail {

struct DirEntry {
    std::string name;
    /// A real sub-folder; a symbolic link is never one (it is not followed).
    bool isDir = false;
    /// A regular file (not followed through links either).
    bool isRegular = false;
    /// Byte size of a regular file, 0 for anything else.
    std::int64_t size = 0;
};

/// Replaces `entries` with the entries of `folder` except "." and "..", sorted in byte order of
/// their names. False when the folder cannot be opened.
bool listFolder(const std::string& folder, std::vector<DirEntry>& entries);

/// folder + "/" + name, without a second "/" when the folder already ends with one.
std::string childPath(const std::string& folder, const std::string& name);

}  // namespace detail
}  // namespace MeridianSpace
