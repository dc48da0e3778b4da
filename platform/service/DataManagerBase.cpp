#include "DataManagerBase.h"

#include <utility>

#include "backend/Connection.h"

namespace MeridianSpace {

dataManager::dataManager(std::shared_ptr<detail::Connection> connection)
    : connection_(std::move(connection)) {}

dataManager::~dataManager() = default;

MRDSession* dataManager::getPSession() const {
    return connection_->owner;
}

std::string dataManager::getFilePath() const {
    return connection_->path();
}

}  // namespace MeridianSpace
