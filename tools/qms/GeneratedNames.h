#pragma once

// The names code generation derives by dropping a prefix: "T_" of a table
// (T_Order gives the class OrderDAO), the first letter of a column (the
// column MCustomerID gives the member _customerID). A name without its
// prefix loses its first characters all the same (Order gives DerDAO), so
// qms says so wherever such a name is made or generated.
#include <string>

namespace qms {

/// Empty when the table name (library text) begins with "T_" and more;
/// otherwise a sentence naming the class code generation would make of it.
std::string renamedTable(const std::string& table);
/// Empty when the column name (library text) begins with a letter and an
/// upper-case letter (MName, CName); otherwise a sentence naming the member
/// code generation would make of it.
std::string renamedColumn(const std::string& table, const std::string& column);

/// "qms: warning: <text>" on standard error, the text made printable.
void warn(const std::string& text);

}  // namespace qms
