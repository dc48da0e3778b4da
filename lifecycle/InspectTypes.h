#pragma once

// How a column type and a default of an existing database become what a
// model holds: the nearest data type, lengths and digits, a default as
// text. Internal to arx_qms.
#include <string>

namespace MeridianSpace {

/// A column type as the model holds it.
struct HeldType {
    /// 1 int, 2 text, 3 real, 4 bytes.
    int dataType = 2;
    /// -1 where the model's default stays.
    int maxLength = -1;
    int digits = -1;
    int decimals = -1;
    /// Empty when the model holds the type as it is; else what it becomes
    /// (GBK), for the list of what is held otherwise.
    std::string note;
};

/// The type a declared type (SQLite's or PostgreSQL's spelling) is held as.
HeldType heldType(const std::string& declared);

/// The default that the SQL text `sql` gives, as text: true with `value`
/// for a literal (a quoted text, a number, TRUE or FALSE as 1 or 0, NULL
/// as none), false for an expression the model cannot hold.
bool heldDefault(const std::string& sql, std::string& value);

}  // namespace MeridianSpace
