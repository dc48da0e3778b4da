#pragma once

// Helpers of the tool tests: a small matcher for lines that carry time stamps
// and counters. Temporary folders, the scoped working directory and whole-file
// reading come from the shared test support.
#include <string>

#include "support/FileText.h"
#include "support/TempDir.h"

namespace arxtest {

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

}  // namespace arxtest
