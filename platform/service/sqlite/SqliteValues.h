#pragma once

// Moving values between the text form of rows and SQLite's typed values.
// Internal to the service.
#include <sqlite3.h>

#include "ResultReturnCode.h"

#include <functional>
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

/// Binds text (or raw bytes, as a blob) as it is.
void bindText(sqlite3_stmt* stmt, int index, const std::string& text);
void bindBytes(sqlite3_stmt* stmt, int index, const std::string& bytes);
/// The bytes of column `column` of the current result row, whatever its type.
std::string columnBytes(sqlite3_stmt* stmt, int column);

class SqliteConnection;
using StatementBinder = std::function<void(sqlite3_stmt*)>;
using RowReader = std::function<void(sqlite3_stmt*)>;
/// Prepares `sql` (from the connection's cache), lets `bind` bind its
/// values and hands each result row to `read`. A failure carries the
/// engine's message after `what`.
ResultMsg forEachResultRow(SqliteConnection& conn, const std::string& sql,
                           const StatementBinder& bind, const RowReader& read, const char* what);

}  // namespace MeridianSpace::detail
