#include "DirListing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "PosixHandles.h"

namespace MeridianSpace {
namespace detail {

bool listFolder(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    UniqueDir dir(::opendir(folder.c_str()));
    if (!dir.valid()) return false;

    while (const struct dirent* raw = ::readdir(dir.get())) {
        std::string name = raw->d_name;
        if (name == "." || name == "..") continue;
        DirEntry entry;
        entry.name = std::move(name);
        struct stat st {};
        if (::lstat(childPath(folder, entry.name).c_str(), &st) == 0) {
            entry.isDir = S_ISDIR(st.st_mode);
            entry.isRegular = S_ISREG(st.st_mode);
            if (entry.isRegular) entry.size = static_cast<std::int64_t>(st.st_size);
        }
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return true;
}

std::string childPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace detail
}  // namespace MeridianSpace
