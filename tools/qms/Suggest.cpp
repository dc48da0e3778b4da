#include "Suggest.h"

#include <algorithm>
#include <cctype>

namespace qms {

namespace {

// The characters of UTF-8 text (a byte that starts no character counts as
// one), ASCII letters in lower case: a wrong letter of a Chinese name is one
// edit, not three.
std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        length = std::min(length, text.size() - i);
        std::string c = text.substr(i, length);
        if (length == 1) c[0] = static_cast<char>(std::tolower(lead));
        out.push_back(std::move(c));
        i += length;
    }
    return out;
}

// Edits (a character replaced, left out, added, or two neighbours swapped)
// that turn `a` into `b`.
std::size_t editDistance(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t replace = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, replace});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::string nearestName(const std::string& typed, const std::vector<std::string>& known) {
    const std::vector<std::string> wanted = characters(typed);
    if (wanted.empty()) return "";
    // About one edit in three characters, at least one.
    std::size_t best = std::max<std::size_t>(1, wanted.size() / 3) + 1;
    std::string nearest;
    std::vector<std::string> startingSo;
    for (const std::string& name : known) {
        if (name == typed) continue;
        const std::vector<std::string> candidate = characters(name);
        const std::size_t distance = editDistance(wanted, candidate);
        if (distance < best) {
            best = distance;
            nearest = name;
        }
        if (wanted.size() >= 2 && candidate.size() > wanted.size() &&
            std::equal(wanted.begin(), wanted.end(), candidate.begin()) &&
            std::find(startingSo.begin(), startingSo.end(), name) == startingSo.end())
            startingSo.push_back(name);
    }
    if (nearest.empty() && startingSo.size() == 1) nearest = startingSo.front();
    return nearest;
}

std::string didYouMean(const std::string& typed, const std::vector<std::string>& known) {
    const std::string nearest = nearestName(typed, known);
    return nearest.empty() ? "" : " (did you mean '" + nearest + "'?)";
}

}  // namespace qms
