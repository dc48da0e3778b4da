#pragma once

// A second, plain SQLite connection that tests use to look at a database
// file behind the library's back.
#include <string>

namespace arxtest {

/// The first column of the first row of `sql` as text; "<none>" without a row,
/// "<error: ...>" when the statement fails.
std::string rawScalar(const std::string& dbPath, const std::string& sql);
/// Runs statements that return nothing; true on success.
bool rawExecute(const std::string& dbPath, const std::string& sql);

}  // namespace arxtest
