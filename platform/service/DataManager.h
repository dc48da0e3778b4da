#pragma once

// The data service's managers.
#include "DataManagerBase.h"
#include "InstanceDataManager.h"
#include "MetaDataManager.h"
