#pragma once

// The rules a name of a physical table or column follows, checked before any
// SQL is built from it (see InstanceDataManager::checkTableName).
#include <string>
#include <vector>

#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

/// 1 to 255 bytes, no double quote, no control byte.
ResultMsg checkTableName(const std::string& innerName);
/// As for a table, not "id", and none of `others` equal to it when letter
/// case is ignored.
ResultMsg checkColumnName(const std::string& innerName, const std::vector<std::string>& others);

}  // namespace detail
}  // namespace MeridianSpace
