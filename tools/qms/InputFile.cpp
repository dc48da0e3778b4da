#include "InputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

namespace qms {

std::string readFile(const std::string& path, std::size_t limit) {
    // A directory opens and reads as no text at all, which an import would
    // take for an empty file and replace the rows with nothing.
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::not_found) throw Failure("no such file: " + path);
    if (type != std::filesystem::file_type::regular)
        throw Failure("cannot read " + path + ": not a regular file");
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) throw Failure("cannot read " + path + ": " + std::strerror(errno));
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > limit) {
        throw Failure("cannot read " + path + ": it has " + std::to_string(size) +
                      " bytes, more than the " + std::to_string(limit) + " it may have");
    }
    std::string text;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
        // A file that grows while it is read is cut off past the limit.
        if (text.size() + n > limit)
            throw Failure("cannot read " + path + ": it has more than " + std::to_string(limit) +
                          " bytes");
        text.append(buffer, n);
    }
    if (std::ferror(file.get())) throw Failure("cannot read " + path + ": " + std::strerror(errno));
    return text;
}

std::vector<std::string> readLines(const std::string& path) {
    std::istringstream in(readFile(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace qms
