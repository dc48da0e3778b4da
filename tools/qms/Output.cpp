#include "Output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace qms {

std::string printable(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    char escape[8];
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
        if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // C1 controls, U+0080 to U+009F
            std::snprintf(escape, sizeof(escape), "\\u%04x", next);
            out += escape;
            ++i;
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof(escape), "\\x%02x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string shown(const std::string& gbk) {
    return printable(utf8(gbk));
}

std::string jsonText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

void progress(std::size_t index, std::size_t count, const std::string& text, bool always) {
    if ((count <= 5 && !always) || !isatty(STDERR_FILENO)) return;
    std::cerr << "\r[" << index << "/" << count << "] " << printable(text) << "\033[K";
    if (index == count) std::cerr << "\n";
    std::cerr.flush();
}

namespace {

std::string systemError() {
    return std::strerror(errno);
}

// Writes all of `text` to `fd`; false (with errno) when it cannot.
bool writeAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

void flushOutput() {
    if (std::cout.flush() && std::fflush(stdout) == 0 && !std::ferror(stdout)) return;
    const std::string why = systemError();
    std::cout.clear();
    std::clearerr(stdout);
    throw Failure("cannot write to standard output: " + why);
}

void writeOutput(const std::string& path, const std::string& text) {
    if (path.empty() || path == "-") {
        std::cout << text;
        flushOutput();
        return;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (base.empty() || base == "." || base == "..") throw UsageError(path + " names no file");
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folder + "." + base + "." + std::to_string(getpid()) + "." +
                    std::to_string(attempt) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw Failure("cannot write " + path + ": " + systemError());
    bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    std::string why = written ? "" : systemError();
    if (::close(fd) != 0 && written) {
        written = false;
        why = systemError();
    }
    if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
        written = false;
        why = systemError();
    }
    if (!written) {
        std::remove(temporary.c_str());
        throw Failure("cannot write " + path + ": " + why);
    }
}

}  // namespace qms
