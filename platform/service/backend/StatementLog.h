#pragma once

// The statement log of a connection (Connection::setStatementLog): which
// statements change the database, and their texts with the bound values
// written in. Internal to the service.
#include <string>
#include <vector>

namespace MeridianSpace::detail {

/// True for a statement that changes the database: a schema change
/// (CREATE, DROP, ALTER), a row write (INSERT, UPDATE, DELETE), a setting
/// (PRAGMA name = value) or a query that moves a sequence (setval).
bool changesDatabase(const std::string& sql);
/// `sql` with each parameter ("?N", or "?" counting on from the last)
/// replaced by its literal, literals[N - 1]; quoted texts and names stay.
std::string withLiterals(const std::string& sql, const std::vector<std::string>& literals);
/// Appends `sql`, its literals written in, to `log` when it changes the database.
void logStatement(std::vector<std::string>& log, const std::string& sql,
                  const std::vector<std::string>& literals);

}  // namespace MeridianSpace::detail
