#include "MetaDataManager.h"

#include "sqlite/SqliteConnection.h"

namespace MeridianSpace {

ResultMsg MetaDataManager::initialMetaDataCache() {
    ResultMsg rm = connection_->checkOpen();
    if (rm.ok()) connection_->schemaChanged();
    return rm;
}

}  // namespace MeridianSpace
