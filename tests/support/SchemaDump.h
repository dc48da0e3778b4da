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
    if (isServerLocation(location)) {
        return serverScalar(
                   location,
                   "SELECT string_agg(x, E'\\n' ORDER BY x) FROM (SELECT table_name || "
                   "'.' || column_name || ' ' || data_type || ' ' || coalesce("
                   "column_default, '-') || ' ' || is_nullable || ' ' || is_identity AS "
                   "x FROM information_schema.columns WHERE table_schema = "
                   "current_schema() UNION ALL SELECT replace(indexdef, current_schema() "
                   "|| '.', '') FROM pg_indexes WHERE schemaname = current_schema()) AS s") +
               "\n" + allRows(location);
    }
    return rawScalar(location,
                     "SELECT group_concat(type || ' ' || name || ': ' || ifnull(sql, '-'), "
                     "char(10)) FROM (SELECT * FROM sqlite_master ORDER BY type, name)") +
           "\n" + allRows(location);
}

}  // namespace arxtest
