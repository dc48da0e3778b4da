#pragma once

// One row of a query, read in place (InstanceDataManager::forEachResultRow).
#include <cstdint>
#include <string>
#include <vector>

#include "ArxExport.h"

namespace MeridianSpace {

namespace detail {
class RowReads;
class Statement;
}  // namespace detail

/// One result row of forEachResultRow, read in place: valid only while the
/// visitor runs. Column i is the i-th asked column. Used by the thread that
/// runs the query.
class ARX ResultRow {
public:
    int count() const { return static_cast<int>(names_->size()); }
    /// The column of that inner name: the first one when names repeat
    /// (-1 when none); `hint` is where to look first.
    int indexOf(const std::string& name, int hint) const;
    /// A number of the query's columns, the same for every row of reads of
    /// the same columns and never given to other columns (0 for none), so
    /// that a reader may keep the columns it looked up.
    std::uint64_t layoutKey() const { return layoutKey_; }
    /// The text forEachITableData's row carries for the column.
    void text(int column, std::string& out) const;
    /// True, with the value, when the column holds an integer.
    bool integer(int column, long long& value) const;
    /// True, with the value, when the column holds a real number.
    bool real(int column, double& value) const;
    /// What a column holds, as value() tells it.
    enum class Kind { Integer, Real, Text };
    /// The column's value in one look: an integer in `integer`, a real
    /// number in `real`, anything else as text() gives it in `text`.
    Kind value(int column, long long& integer, double& real, std::string& text) const;

private:
    friend class detail::RowReads;
    ResultRow(const detail::Statement& statement, const std::vector<std::string>& names,
              bool uniqueNames, std::uint64_t layoutKey)
        : statement_(statement), names_(&names), uniqueNames_(uniqueNames), layoutKey_(layoutKey) {}

    const detail::Statement& statement_;
    const std::vector<std::string>* names_;
    bool uniqueNames_;
    std::uint64_t layoutKey_;
};

}  // namespace MeridianSpace
