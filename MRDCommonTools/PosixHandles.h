#pragma once

// Owners of the POSIX handles that the folder and file helpers open, so that
// every early return closes what was opened. Each owner is used by one thread
// at a time. Internal to arx_tools.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

namespace MeridianSpace {
namespace detail {

/// An open file descriptor, closed on destruction.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    bool valid() const noexcept { return fd_ >= 0; }
    int get() const noexcept { return fd_; }
    void reset() noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

/// An open directory stream, closed on destruction.
class UniqueDir {
public:
    explicit UniqueDir(DIR* dir = nullptr) noexcept : dir_(dir) {}
    ~UniqueDir() {
        if (dir_ != nullptr) ::closedir(dir_);
    }
    UniqueDir(const UniqueDir&) = delete;
    UniqueDir& operator=(const UniqueDir&) = delete;

    bool valid() const noexcept { return dir_ != nullptr; }
    DIR* get() const noexcept { return dir_; }

private:
    DIR* dir_;
};

/// An open C stream, closed on destruction.
class UniqueFile {
public:
    explicit UniqueFile(std::FILE* file = nullptr) noexcept : file_(file) {}
    ~UniqueFile() {
        if (file_ != nullptr) std::fclose(file_);
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;

    bool valid() const noexcept { return file_ != nullptr; }
    std::FILE* get() const noexcept { return file_; }

private:
    std::FILE* file_;
};

}  // namespace detail
}  // namespace MeridianSpace
