#pragma once

// A full disk on demand: a SQLite VFS that wraps the default one and, while
// a FullDisk object lives, fails every write (or every write to a file whose
// path holds `only`) with SQLITE_FULL, or stalls a write (StalledWrite). Installed as the process's
// default VFS on first use, so the library's own connections go through it; with no FullDisk alive
// it passes everything through. It also counts the sleeps of connections waiting for a lock
// (LockWaits).
#include <chrono>
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

/// While one lives, the first write to a file whose path holds `only` sends
/// one byte to `signalFd` and never returns: the process stands still in
/// the middle of that write, to be killed (a child process's fault).
class StalledWrite {
public:
    StalledWrite(const std::string& only, int signalFd);
    ~StalledWrite();
    StalledWrite(const StalledWrite&) = delete;
    StalledWrite& operator=(const StalledWrite&) = delete;
};

/// The waits of connections for another connection's lock: SQLite's busy
/// handler sleeps through the VFS between tries. Installs the VFS; counts
/// from its making on.
class LockWaits {
public:
    LockWaits();
    /// Waits (up to `deadline`) until a connection has waited for a lock;
    /// false when none did in time.
    bool seen(std::chrono::milliseconds deadline) const;

private:
    int before_;
};

}  // namespace arxtest
