#pragma once

// Helpers of the tool tests: whole-file read/write and a small matcher for
// lines that carry time stamps and counters. Temporary folders and the scoped
// working directory come from the shared test support.
#include <fstream>
#include <iterator>
#include <string>

#include "support/TempDir.h"

namespace arx_test {

inline void writeText(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Whether `text` from `pos` on starts with `shape`, where '#' stands for one
/// digit, '+' for one or more digits and every other character for itself.
/// On success `pos` moves past the matched part.
inline bool consumeShape(const std::string& text, std::size_t& pos, const std::string& shape) {
    auto isDigit = [&](std::size_t i) {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    };
    std::size_t i = pos;
    for (char c : shape) {
        if (c == '#' || c == '+') {
            if (!isDigit(i)) return false;
            ++i;
            while (c == '+' && isDigit(i))
                ++i;
        } else if (i < text.size() && text[i] == c) {
            ++i;
        } else {
            return false;
        }
    }
    pos = i;
    return true;
}

/// Whether the whole `text` has the `shape` of consumeShape.
inline bool hasShape(const std::string& text, const std::string& shape) {
    std::size_t pos = 0;
    return consumeShape(text, pos, shape) && pos == text.size();
}

}  // namespace arx_test
