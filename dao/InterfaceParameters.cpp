#include "InterfaceParameters.h"

#include "StringHelper.h"

namespace MeridianSpace {

std::vector<int> parameterColumnIDs(const std::string& paraList, std::size_t* entries) {
    const std::vector<std::string> pieces = StringHelper::splitString(paraList, "#");
    if (entries != nullptr) *entries = pieces.size();
    std::vector<int> ids;
    for (const std::string& entry : pieces) {
        const std::vector<std::string> fields = StringHelper::splitString(entry, ",");
        if (!fields.empty()) ids.push_back(StringHelper::string2int(fields.front()));
    }
    return ids;
}

bool parametersAreColumns(const std::string& paraList, const std::set<int>& columnIDs) {
    std::size_t entries = 0;
    const std::vector<int> ids = parameterColumnIDs(paraList, &entries);
    if (entries == 0 || ids.size() != entries) return false;
    for (int id : ids) {
        if (columnIDs.count(id) == 0) return false;
    }
    return true;
}

}  // namespace MeridianSpace
