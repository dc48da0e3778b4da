#include "ModelCache.h"

#include <algorithm>

#include "InstanceDataManager.h"
#include "MeridianNew.h"

namespace qms::serve {

namespace {

// Enough for the models a team has open at once; the memory stays bounded.
constexpr std::size_t kModelsKept = 8;

// The change numbers of the tables a model's structure is read from.
std::vector<std::uint64_t> signature() {
    InstanceDataManager* config = MeridianNew::getCurrMRDConfigIDM();
    std::vector<std::uint64_t> numbers;
    for (const char* table :
         {"T_M_Project", "T_M_EntityModel", "T_M_EntityTable", "T_M_NormalColumn", "T_M_Folder",
          "T_M_R_FolderTable", "T_M_R_ModelTable"})
        numbers.push_back(config != nullptr ? config->changeCount(table) : 0);
    return numbers;
}

}  // namespace

ModelCache::Entry ModelCache::get(M_EntityModelDAO& model) {
    // Taken before reading: a read that tidies links changes the numbers,
    // and the next request then reads once more.
    const std::vector<std::uint64_t> now = signature();
    const auto found = kept_.find(model._ID);
    const bool current = std::find(now.begin(), now.end(), 0u) == now.end();
    if (found != kept_.end() && found->second.signature == now && current)
        return found->second.entry;
    auto diagram = std::make_shared<const diagram::Diagram>(diagram::readDiagram(model));
    Entry entry{diagram, answer_(model, *diagram)};
    if (found == kept_.end()) {
        order_.push_back(model._ID);
        if (order_.size() > kModelsKept) {
            kept_.erase(order_.front());
            order_.erase(order_.begin());
        }
    }
    kept_[model._ID] = {now, entry};
    return entry;
}

}  // namespace qms::serve
