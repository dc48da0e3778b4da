#pragma once

// What costs most to read about a model version (its tables with all their
// columns, its folders) and the answer built from it, kept per model
// version while the metadata tables it comes from are unchanged
// (InstanceDataManager::changeCount: on a SQLite file a commit of another
// process counts as a change of every table; on a server every look does,
// so nothing is kept there). Moving boxes changes none of these tables.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "M_EntityModelDAO.h"
#include "diagram/Diagram.h"

namespace qms::serve {

class ModelCache {
public:
    struct Entry {
        std::shared_ptr<const diagram::Diagram> diagram;
        std::string answer;
    };
    using Answer = std::function<std::string(M_EntityModelDAO&, const diagram::Diagram&)>;

    explicit ModelCache(Answer answer) : answer_(std::move(answer)) {}
    /// The entry of `model`, read anew unless a current one is kept; throws
    /// Failure when a read fails.
    Entry get(M_EntityModelDAO& model);

private:
    struct Kept {
        std::vector<std::uint64_t> signature;
        Entry entry;
    };
    Answer answer_;
    std::map<int, Kept> kept_;  // by model _ID
    std::vector<int> order_;    // the oldest first
};

}  // namespace qms::serve
