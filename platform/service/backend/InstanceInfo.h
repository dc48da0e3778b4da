#pragma once

// How an instance file describes itself: the first row of one table names
// the model version the file was made for. Both the file's own sessions and
// the backends' read-only looks at a file read it. Internal to the service.
#include <string>
#include <vector>

#include "ResultReturnCode.h"

namespace MeridianSpace::detail {

/// The table. Model tables are named "<name>_<version>", so none of them can
/// take this name.
extern const char* const kInstanceInfoTable;
/// Its columns: Name, Version (an integer), Type, Description, ProjectUID, Kind.
extern const std::vector<std::string> kInstanceInfoColumns;

/// The SELECT of every column but Kind from the first row in `order` (the
/// column that orders rows as they were stored).
std::string instanceInfoQuery(const std::string& order);
/// SRV_ERR_NO_TABLE: the database at `location` is no instance file, as `why` says.
ResultMsg notInstanceFile(const std::string& location, const std::string& why);

}  // namespace MeridianSpace::detail
