#pragma once

// Moving values between the text form of rows and SQLite's typed values.
// Internal to the service.
#include <sqlite3.h>

#include <string>

namespace MeridianSpace::detail {

/// True for an integer written the way int2String writes it ("-12", "0",
/// no '+', no leading zeros) that fits 64 bits.
bool parseCanonicalInteger(const std::string& text, long long& value);
/// True when the whole text is one finite decimal number.
bool parseWholeDouble(const std::string& text, double& value);

/// Binds a row value by its column type: numbers as numbers, an empty number
/// as NULL, blobs as their bytes, everything else as text.
void bindRowValue(sqlite3_stmt* stmt, int index, const std::string& value, int colType);
/// Binds a condition value: a value in single quotes is that text, a
/// canonical integer a number, anything else text. Never read as SQL.
void bindConditionValue(sqlite3_stmt* stmt, int index, const std::string& value);
/// The text form of column `column` of the current result row.
std::string columnText(sqlite3_stmt* stmt, int column);

}  // namespace MeridianSpace::detail
