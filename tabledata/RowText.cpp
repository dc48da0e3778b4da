#include "RowText.h"

namespace MeridianSpace::rowtext {

const char kSeparator[] = "@#@";
const char kEmptyMarker[] = "!#@$!^%&^@%$";

namespace {

constexpr std::size_t kSeparatorSize = sizeof(kSeparator) - 1;

bool startsWithSeparator(const std::string& line) {
    return line.compare(0, kSeparatorSize, kSeparator) == 0;
}

bool endsWithSeparator(const std::string& line) {
    return line.size() >= kSeparatorSize &&
           line.compare(line.size() - kSeparatorSize, kSeparatorSize, kSeparator) == 0;
}

std::size_t cut(const std::string& line, std::vector<std::string>& values) {
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(kSeparator, start);
        const std::size_t stop = end == std::string::npos ? line.size() : end;
        if (count == values.size()) values.emplace_back();
        values[count++].assign(line, start, stop - start);
        if (end == std::string::npos) return count;
        start = end + kSeparatorSize;
    }
}

}  // namespace

std::size_t split(const std::string& line, std::vector<std::string>& values) {
    const bool leading = startsWithSeparator(line);
    const bool trailing = endsWithSeparator(line);
    if (!leading && !trailing) return cut(line, values);
    std::string marked = line;
    if (trailing) marked += kEmptyMarker;
    if (leading) marked.insert(0, kEmptyMarker);
    return cut(marked, values);
}

void join(const std::string* values, std::size_t count, std::string& line) {
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) line.append(kSeparator, kSeparatorSize);
        line += values[i];
    }
}

}  // namespace MeridianSpace::rowtext
