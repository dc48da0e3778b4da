#include "MetaDataNames.h"

#include <mutex>

namespace MeridianSpace {

namespace {

std::mutex& guard() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const MetaDataNames>& inUse() {
    static std::shared_ptr<const MetaDataNames> names = std::make_shared<MetaDataNames>();
    return names;
}

}  // namespace

void MetaDataNames::use(const MetaDataNames& names) {
    auto copy = std::make_shared<const MetaDataNames>(names);
    const std::lock_guard<std::mutex> lock(guard());
    inUse() = std::move(copy);
}

std::shared_ptr<const MetaDataNames> MetaDataNames::current() {
    const std::lock_guard<std::mutex> lock(guard());
    return inUse();
}

bool MetaDataNames::complete() const {
    return !projects.table.empty() && !models.table.empty() && !tables.table.empty() &&
           !columns.table.empty() && !links.table.empty();
}

}  // namespace MeridianSpace
