#include "TokenFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "Cli.h"
#include "MRDService.h"

namespace qms::serve {

namespace {

constexpr std::size_t kTokenSize = 32;

bool isToken(const std::string& text) {
    return text.size() == kTokenSize &&
           text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Closes the descriptor when it goes.
struct Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

std::string systemError() {
    return std::strerror(errno);
}

// Refuses a token file that others could read or replace.
void checkFile(const std::string& path, const struct stat& status) {
    if (!S_ISREG(status.st_mode))
        throw Failure("the token file " + path +
                      " is no regular file (a symbolic link?); remove it or give --token-file");
    if (status.st_uid != ::geteuid())
        throw Failure("the token file " + path +
                      " belongs to another user; remove it or give --token-file");
    if ((status.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        throw Failure("the token file " + path + " may be read by others (mode " + mode +
                      "); run 'chmod 600 " + path + "' or give --new-token");
    }
}

std::string readToken(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0)
        throw Failure("cannot read the token file " + path + ": " + systemError());
    checkFile(path, status);  // what was opened, not what the name points to now
    char text[kTokenSize + 2] = {};
    const ssize_t size = ::read(file.fd, text, sizeof text);
    std::string token(text, size > 0 ? static_cast<std::size_t>(size) : 0);
    if (!token.empty() && token.back() == '\n') token.pop_back();
    if (!isToken(token))
        throw Failure("the token file " + path +
                      " holds no token; remove it or run with --new-token");
    return token;
}

// Writes a new token beside `path` and puts it in place: over the kept one
// (`replace`), else only where none is (false when another server was first).
bool writeToken(const std::string& path, const std::string& token, bool replace) {
    const std::string temporary = path + ".new." + std::to_string(::getpid());
    {
        const Descriptor file(
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.fd < 0)
            throw Failure("cannot write the token file " + path + ": " + systemError());
        const std::string text = token + "\n";
        if (::write(file.fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
            ::fsync(file.fd) != 0) {
            const std::string error = systemError();
            ::unlink(temporary.c_str());
            throw Failure("cannot write the token file " + path + ": " + error);
        }
    }
    const int placed = replace ? ::rename(temporary.c_str(), path.c_str())
                               : ::link(temporary.c_str(), path.c_str());
    const int error = errno;
    if (!replace || placed != 0) ::unlink(temporary.c_str());
    if (placed == 0) return true;
    if (!replace && error == EEXIST) return false;
    errno = error;
    throw Failure("cannot write the token file " + path + ": " + systemError());
}

}  // namespace

std::string newToken() {
    std::random_device random;
    std::string token;
    for (int word = 0; word < 4; ++word) {
        const unsigned bits = random();
        for (int digit = 0; digit < 8; ++digit)
            token += "0123456789abcdef"[(bits >> (4 * digit)) & 0xF];
    }
    return token;
}

std::string tokenFileFor(const std::string& config) {
    return MRDService::isFileLocation(config) ? config + ".token" : "qms-serve.token";
}

std::string keptToken(const std::string& path, bool renew) {
    struct stat status {};
    const bool there = ::lstat(path.c_str(), &status) == 0;
    if (there) checkFile(path, status);
    if (there && !renew) return readToken(path);
    const std::string token = newToken();
    if (writeToken(path, token, there)) return token;
    return readToken(path);  // another server wrote one first
}

}  // namespace qms::serve
