#include "VersionColumns.h"

#include <algorithm>
#include <map>
#include <string>

#include "M_NormalColumnDAO.h"

namespace MeridianSpace {

void takeVersionColumns(std::list<M_NormalColumnDAO*>& found, int version,
                        std::list<M_NormalColumnDAO*>& out) {
    // A column keeps the place it took when it entered the table, in every
    // version: a change in a later version stores the earlier versions'
    // state as a newer record of the same inner name (reviseInModel), which
    // the place of the column's first record outranks.
    std::map<std::string, int> entered;
    for (const M_NormalColumnDAO* column : found) {
        const auto [place, added] = entered.emplace(column->_innerName, column->_ID);
        if (!added) place->second = std::min(place->second, column->_ID);
    }
    found.sort([&entered](const M_NormalColumnDAO* a, const M_NormalColumnDAO* b) {
        return entered[a->_innerName] < entered[b->_innerName];
    });
    for (auto it = found.begin(); it != found.end();) {
        if (existsInVersion((*it)->_addVersion, (*it)->_delVersion, version)) {
            out.push_back(*it);
            it = found.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace MeridianSpace
