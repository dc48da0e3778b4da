#pragma once

// Creating the tables of registered classes in a database. Internal.
#include "ResultReturnCode.h"

namespace MeridianSpace {
class InstanceDataManager;
}

namespace MeridianSpace::detail {

/// For every registered class whose objects live in `idm`'s database: creates
/// its table when missing (key columns indexed) or adds the columns its
/// mapper writes that the table lacks.
ResultMsg ensureRegisteredTables(InstanceDataManager& idm);

}  // namespace MeridianSpace::detail
