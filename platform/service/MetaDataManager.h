#pragma once

// The metadata side of the configuration database.
#include "ArxExport.h"
#include "DataManagerBase.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// Used by the thread that uses its session (see MRDSession).
class ARX MetaDataManager : public dataManager {
public:
    /// Reloads what the manager knows of the tables after they changed.
    ResultMsg initialMetaDataCache();

private:
    friend class MRDSession;
    using dataManager::dataManager;
};

}  // namespace MeridianSpace
