#pragma once

// The catalogue of a SQLite file read into a DatabaseSchema. Internal to
// the service.
#include "DatabaseSchema.h"
#include "ResultReturnCode.h"

namespace MeridianSpace::detail {

class SqliteReadOnlyFile;

/// Reads the tables, views and triggers of the open file.
ResultMsg readSqliteSchema(SqliteReadOnlyFile& file, DatabaseSchema& out);

}  // namespace MeridianSpace::detail
