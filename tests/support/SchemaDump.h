#pragma once

// What two databases built alike share, for tests that build one by hand
// and compare it with one the library built.
#include <string>

#include "support/RawDb.h"

namespace arxtest {

/// The catalogue of the database at `location` (tables, their columns with
/// type, default and not-null, indexes) and every row: what two databases
/// built alike share.
inline std::string schemaDump(const std::string& location) {
    return backendAt(location).catalogue(location) + "\n" + allRows(location);
}

}  // namespace arxtest
