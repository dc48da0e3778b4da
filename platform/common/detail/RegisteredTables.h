#pragma once

// Creating the tables of registered classes in a database. Internal.
#include "ResultReturnCode.h"

namespace MeridianSpace {
class InstanceDataManager;
class MetaDataManager;
}  // namespace MeridianSpace

namespace MeridianSpace::detail {

/// For every registered class whose objects live in `idm`'s database: creates
/// its table when missing (key columns indexed) or adds the columns its
/// mapper writes that the table lacks; then the lookup indexes of `mdm`
/// (a manager of the same session), in the same transaction.
ResultMsg ensureRegisteredTables(InstanceDataManager& idm, MetaDataManager& mdm);

}  // namespace MeridianSpace::detail
