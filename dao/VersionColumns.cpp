#include "VersionColumns.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

#include "M_NormalColumnDAO.h"

namespace MeridianSpace {

void versionColumnPlaces(const M_NormalColumnDAO* const* found, std::size_t count, int version,
                         std::vector<std::size_t>& places) {
    // A column keeps the place it took when it entered the table, in every
    // version: a change in a later version stores the earlier versions'
    // state as a newer record of the same inner name (reviseInModel), which
    // the place of the column's first record outranks. The records of one
    // inner name are found side by side, by the name's hash, name, place.
    std::vector<std::pair<std::size_t, std::size_t>> byName(count);
    for (std::size_t i = 0; i < count; ++i)
        byName[i] = {std::hash<std::string>()(found[i]->_innerName), i};
    std::sort(byName.begin(), byName.end(), [found](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        const int order = found[a.second]->_innerName.compare(found[b.second]->_innerName);
        return order != 0 ? order < 0 : a.second < b.second;
    });
    std::vector<int> entered(count);
    for (std::size_t first = 0; first < count;) {
        const std::string& name = found[byName[first].second]->_innerName;
        std::size_t last = first;
        int place = found[byName[first].second]->_ID;
        while (last + 1 < count && byName[last + 1].first == byName[first].first &&
               found[byName[last + 1].second]->_innerName == name)
            place = std::min(place, found[byName[++last].second]->_ID);
        for (; first <= last; ++first)
            entered[byName[first].second] = place;
    }
    // Shown ones by the place their column entered, ties in stored order.
    std::vector<std::pair<int, std::size_t>> shown;
    shown.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (existsInVersion(found[i]->_addVersion, found[i]->_delVersion, version))
            shown.emplace_back(entered[i], i);
    }
    if (!std::is_sorted(shown.begin(), shown.end())) std::sort(shown.begin(), shown.end());
    places.clear();
    for (const auto& entry : shown)
        places.push_back(entry.second);
}

void takeVersionColumns(std::list<M_NormalColumnDAO*>& found, int version,
                        std::list<M_NormalColumnDAO*>& out) {
    std::vector<M_NormalColumnDAO*> stored(found.begin(), found.end());
    std::vector<std::size_t> places;
    versionColumnPlaces(stored.data(), stored.size(), version, places);
    for (const std::size_t place : places) {
        out.push_back(stored[place]);
        stored[place] = nullptr;
    }
    found.clear();
    for (M_NormalColumnDAO* column : stored) {
        if (column != nullptr) found.push_back(column);
    }
}

}  // namespace MeridianSpace
