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

}  // namespace MeridianSpace
