#include "support/FaultyDisk.h"

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace arxtest {

namespace {

std::atomic<bool> diskFull{false};
std::atomic<int> lockSleeps{0};
std::string fullOnly;  // set while diskFull is false
std::atomic<int> stallFd{-1};
std::string stallOnly;  // set while stallFd is -1
sqlite3_vfs* realVfs = nullptr;

// A file of the wrapping VFS: SQLite's part first, then the real file and
// its path (SQLite keeps the text until the file is closed).
struct WrappedFile {
    sqlite3_file base;
    sqlite3_file* real;
    const char* name;
};

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<WrappedFile*>(f)->real;
}

// Every method but xWrite and xClose passes straight through.
#define ARX_FORWARD(method, ...) real(f)->pMethods->method(real(f), ##__VA_ARGS__)
// clang-format off
int wRead(sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return ARX_FORWARD(xRead, b, n, o); }
int wTruncate(sqlite3_file* f, sqlite3_int64 s) { return ARX_FORWARD(xTruncate, s); }
int wSync(sqlite3_file* f, int flags) { return ARX_FORWARD(xSync, flags); }
int wFileSize(sqlite3_file* f, sqlite3_int64* s) { return ARX_FORWARD(xFileSize, s); }
int wLock(sqlite3_file* f, int l) { return ARX_FORWARD(xLock, l); }
int wUnlock(sqlite3_file* f, int l) { return ARX_FORWARD(xUnlock, l); }
int wCheckReservedLock(sqlite3_file* f, int* o) { return ARX_FORWARD(xCheckReservedLock, o); }
int wFileControl(sqlite3_file* f, int op, void* a) { return ARX_FORWARD(xFileControl, op, a); }
int wSectorSize(sqlite3_file* f) { return ARX_FORWARD(xSectorSize); }
int wDeviceCharacteristics(sqlite3_file* f) { return ARX_FORWARD(xDeviceCharacteristics); }
int wShmMap(sqlite3_file* f, int p, int s, int e, void volatile** o) { return ARX_FORWARD(xShmMap, p, s, e, o); }
int wShmLock(sqlite3_file* f, int o, int n, int flags) { return ARX_FORWARD(xShmLock, o, n, flags); }
void wShmBarrier(sqlite3_file* f) { ARX_FORWARD(xShmBarrier); }
int wShmUnmap(sqlite3_file* f, int d) { return ARX_FORWARD(xShmUnmap, d); }
// clang-format on
#undef ARX_FORWARD

int wWrite(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
    const char* name = reinterpret_cast<WrappedFile*>(f)->name;
    if (diskFull && std::strstr(name ? name : "", fullOnly.c_str()) != nullptr) return SQLITE_FULL;
    const int fd = stallFd;
    if (fd >= 0 && std::strstr(name ? name : "", stallOnly.c_str()) != nullptr) {
        (void)!::write(fd, "s", 1);
        for (;;)
            ::pause();
    }
    return real(f)->pMethods->xWrite(real(f), b, n, o);
}

int wClose(sqlite3_file* f) {
    sqlite3_file* r = real(f);
    int rc = r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
    sqlite3_free(r);
    return rc;
}

// Version 2: shared memory for WAL, no memory-mapped reads.
const sqlite3_io_methods kMethods = {2,
                                     wClose,
                                     wRead,
                                     wWrite,
                                     wTruncate,
                                     wSync,
                                     wFileSize,
                                     wLock,
                                     wUnlock,
                                     wCheckReservedLock,
                                     wFileControl,
                                     wSectorSize,
                                     wDeviceCharacteristics,
                                     wShmMap,
                                     wShmLock,
                                     wShmBarrier,
                                     wShmUnmap,
                                     nullptr,
                                     nullptr};

int wOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    auto* wrapped = reinterpret_cast<WrappedFile*>(f);
    wrapped->base.pMethods = nullptr;
    wrapped->name = name;
    wrapped->real = static_cast<sqlite3_file*>(sqlite3_malloc(realVfs->szOsFile));
    if (wrapped->real == nullptr) return SQLITE_NOMEM;
    std::memset(wrapped->real, 0, realVfs->szOsFile);
    int rc = realVfs->xOpen(realVfs, name, wrapped->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (wrapped->real->pMethods) wrapped->real->pMethods->xClose(wrapped->real);
        sqlite3_free(wrapped->real);
        return rc;
    }
    wrapped->base.pMethods = &kMethods;
    return rc;
}

// The busy handler's pause between two tries for a lock.
int wSleep(sqlite3_vfs* vfs, int microseconds) {
    ++lockSleeps;
    return realVfs->xSleep(vfs, microseconds);
}

}  // namespace

void installFaultyDisk() {
    static sqlite3_vfs vfs{};
    if (realVfs != nullptr) return;
    realVfs = sqlite3_vfs_find(nullptr);
    vfs = *realVfs;  // the real VFS's own functions for everything but files
    vfs.iVersion = 2;
    vfs.szOsFile = sizeof(WrappedFile);
    vfs.zName = "arx-faulty-disk";
    vfs.pNext = nullptr;
    vfs.xOpen = wOpen;
    vfs.xSleep = wSleep;
    sqlite3_vfs_register(&vfs, 1);
}

FullDisk::FullDisk(const std::string& only) {
    installFaultyDisk();
    fullOnly = only;
    diskFull = true;
}

FullDisk::~FullDisk() {
    diskFull = false;
}

StalledWrite::StalledWrite(const std::string& only, int signalFd) {
    installFaultyDisk();
    stallOnly = only;
    stallFd = signalFd;
}

StalledWrite::~StalledWrite() {
    stallFd = -1;
}

LockWaits::LockWaits() {
    installFaultyDisk();
    before_ = lockSleeps;
}

bool LockWaits::seen(std::chrono::milliseconds deadline) const {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (lockSleeps == before_) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace arxtest
