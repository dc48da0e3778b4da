#pragma once

// A full disk on demand: a SQLite VFS that wraps the default one and, while
// a FullDisk object lives, fails every write (or every write to a file whose
// path holds `only`) with SQLITE_FULL. Installed as the process's default
// VFS on first use, so the library's own connections go through it; with no
// FullDisk alive it passes everything through.
#include <string>

namespace arxtest {

class FullDisk {
public:
    explicit FullDisk(const std::string& only = "");
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};

/// Installs the VFS (once); call before the connections to be failed open.
void installFaultyDisk();

}  // namespace arxtest
