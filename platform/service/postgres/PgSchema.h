#pragma once

// The catalogue of a PostgreSQL database (its current schema) read into a
// DatabaseSchema, through a connection of its own that reads only and takes
// a database of any encoding. Internal to the service.
#include <string>

#include "DatabaseSchema.h"
#include "ResultReturnCode.h"

namespace MeridianSpace::detail {

/// Reads the tables, views and triggers of the schema the URI's database
/// works in (its search_path). Names come as UTF-8, or as the bytes a
/// SQL_ASCII database holds.
ResultMsg readPgSchema(const std::string& uri, DatabaseSchema& out);

}  // namespace MeridianSpace::detail
