#pragma once

// Moving values between the text form of rows and the typed values of a
// backend's statements. Internal to the service.
#include <functional>
#include <string>

#include "ResultReturnCode.h"
#include "backend/Statement.h"

namespace MeridianSpace::detail {

class Connection;

/// Binds a row value by its column type: numbers as numbers, an empty number
/// as NULL, blobs as their bytes, everything else as text, in place: `value`
/// must stay as it is until the statement has run.
void bindRowValue(Statement& stmt, int index, const std::string& value, int colType);
/// Binds a condition value: a value in single quotes is that text, a
/// canonical integer a number, anything else text. Never read as SQL.
void bindConditionValue(Statement& stmt, int index, const std::string& value);
/// Sets `out` to the text form of column `column` of the current result
/// row, reusing its storage.
void readColumnText(const Statement& stmt, int column, std::string& out);
/// The same text as a new string.
std::string columnText(const Statement& stmt, int column);

using StatementBinder = std::function<void(Statement&)>;
using RowReader = std::function<void(const Statement&)>;
/// Prepares `sql` (from the connection's cache), lets `bind` bind its
/// values and hands each result row to `read`. A failure carries the
/// engine's message after `what`.
ResultMsg forEachResultRow(Connection& conn, const std::string& sql, const StatementBinder& bind,
                           const RowReader& read, const std::string& what);

}  // namespace MeridianSpace::detail
