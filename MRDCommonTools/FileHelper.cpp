#include "FileHelper.h"
#include "ConsoleSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <iostream>
#include <vector>

#include "DosDateTime.h"
#include "PosixHandles.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

using detail::UniqueFd;
using detail::UniqueFile;

// Opens a file for reading; a folder does not count as a file.
UniqueFd openFileForReading(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.valid() && (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))) fd.reset();
    return fd;
}

// Whether `path` names the file open as `fd`, under whatever spelling or link.
bool isSameFile(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

UniqueFd createFileForWriting(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

// read()/write() until done, retrying interrupted calls. Returns the number of
// bytes moved, which is short only on end of file or error.
std::size_t readFully(int fd, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool writeFully(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int FileHelper::readFile(const std::string& fileName, char*& buffer, int& length) {
    buffer = nullptr;
    length = 0;
    UniqueFd fd = openFileForReading(fileName);
    if (!fd.valid()) return 0;
    const off_t end = ::lseek(fd.get(), 0, SEEK_END);
    if (end <= 0 || end > INT_MAX || ::lseek(fd.get(), 0, SEEK_SET) != 0) return 0;

    const auto size = static_cast<std::size_t>(end);
    buffer = new char[size];
    length = static_cast<int>(readFully(fd.get(), buffer, size));
    return 0;
}

int FileHelper::writeFile(const std::string& fileName, const char* buffer, int length) {
    UniqueFd fd = createFileForWriting(fileName);
    if (fd.valid() && buffer != nullptr && length > 0) {
        writeFully(fd.get(), buffer, static_cast<std::size_t>(length));
    }
    return 0;
}

bool FileHelper::isFileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string FileHelper::fileNameFromFullPath(std::string path) {
    StringHelper::string_replace(path, "\\", "/");
    const std::vector<std::string> pieces = StringHelper::splitString(path, "/");
    return pieces.empty() ? std::string() : pieces.back();
}

int FileHelper::delFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : -1;
}

int FileHelper::fileSizeByte(const std::string& path) {
    UniqueFile file(std::fopen(path.c_str(), "rb"));
    struct stat st {};
    if (!file.valid() || ::fstat(::fileno(file.get()), &st) != 0 || S_ISDIR(st.st_mode)) {
        return 0;
    }
    const int size = st.st_size > INT_MAX ? INT_MAX : static_cast<int>(st.st_size);
    ConsoleSink::stream() << size << std::endl;
    return size;
}

int FileHelper::copyFile(const std::string& source, const std::string& target) {
    {
        UniqueFd in = openFileForReading(source);
        if (!in.valid()) {
            ConsoleSink::stream() << "Error 1: Fail to open the source file." << std::endl;
            return 1;
        }
        // Creating a target that is the source itself would empty it.
        UniqueFd out = isSameFile(in.get(), target) ? UniqueFd() : createFileForWriting(target);
        if (!out.valid()) {
            ConsoleSink::stream() << "Error 2: Fail to create the new file." << std::endl;
            return 2;
        }
        std::vector<char> chunk(64 * 1024);
        for (;;) {
            const std::size_t n = readFully(in.get(), chunk.data(), chunk.size());
            if (n == 0) break;
            if (!writeFully(out.get(), chunk.data(), n)) {
                // A target that cannot take the data (disk full) is no copy.
                ConsoleSink::stream() << "Error 2: Fail to create the new file." << std::endl;
                return 2;
            }
        }
    }  // both closed before the time is set, so no later write moves it
    copyFileDate(source, target);
    return 0;
}

int FileHelper::copyFileDate(const std::string& source, const std::string& target) {
    std::uint32_t dosTime = 0;
    if (getFileDosTime(source, dosTime) == 0) return 1;
    return Directory_SetDosTime(target, dosTime) == 1 ? 0 : 1;
}

int FileHelper::getFileDosTime(const std::string& path, std::uint32_t& dosTime) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    dosTime = detail::toDosDateTime(st.st_mtime);
    return 1;
}

int FileHelper::Directory_SetDosTime(const std::string& path, std::uint32_t dosTime) {
    time_t moment = 0;
    if (!detail::fromDosDateTime(dosTime, moment)) return 0;
    struct timespec times[2]{};
    times[0].tv_sec = moment;
    times[1].tv_sec = moment;
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? 1 : 0;
}

}  // namespace MeridianSpace
