#pragma once

// Looks at the values of a column before a change would lose or alter them.
// Internal to the library: the migration of instance databases uses it; it
// is not installed.
#include <string>
#include <utility>
#include <vector>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class InstanceDataManager;

/// What ValueScans::findValues looks for in a column.
enum class ValueCheck {
    /// Values that are not null (what dropping the column loses); the
    /// column "id" counts the rows.
    Present,
    /// Values that would not come back unchanged from a conversion to the
    /// storage type `argument`.
    NotConvertible,
    /// Values that more than one row holds.
    Duplicated,
    /// Values longer than `argument` bytes.
    LongerThan,
    /// Numbers outside 32 bits, or no number.
    Beyond32Bits,
};

/// The scans of the columns of one manager's database. Used by the thread
/// that uses the manager's session.
class ARX ValueScans {
public:
    explicit ValueScans(InstanceDataManager& manager) : manager_(manager) {}

    /// Counts the values of `column` in `table` that `check` finds and
    /// appends the first `limit` of them to `samples`: for Duplicated each
    /// repeated value once with the number of rows holding it, first
    /// repeated first; otherwise the row identifier and the value, in
    /// identifier order. Reads only.
    ResultMsg findValues(const std::string& table, const std::string& column, ValueCheck check,
                         int argument, int limit, long long& count,
                         std::vector<std::pair<long long, std::string>>& samples);

private:
    InstanceDataManager& manager_;
};

}  // namespace MeridianSpace
