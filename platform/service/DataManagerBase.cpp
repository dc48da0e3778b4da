#include "DataManagerBase.h"

#include <utility>

#include "backend/Connection.h"

namespace MeridianSpace {

dataManager::dataManager(std::shared_ptr<detail::Connection> connection,
                         std::weak_ptr<MRDSession> session)
    : connection_(std::move(connection)), session_(std::move(session)) {}

dataManager::~dataManager() = default;

MRDSession* dataManager::getPSession() const {
    return session_.lock().get();
}

std::string dataManager::getFilePath() const {
    return connection_->path();
}

}  // namespace MeridianSpace
