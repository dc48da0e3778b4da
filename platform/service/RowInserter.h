#pragma once

// Inserts many rows of one table layout through one prepared statement.
#include <memory>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class InstanceDataManager;
namespace detail {
class Connection;
struct RowShape;
}  // namespace detail

/// Rows of one table and column list, inserted one after the other through
/// one prepared statement: the caller binds each value as the number or
/// text it is (no text form made and parsed back), then insert(). What
/// InstanceDataManager::addITableData does for a row of the same values.
/// Used by the thread that uses the manager's session.
class ARX RowInserter {
public:
    RowInserter();
    ~RowInserter();
    RowInserter(const RowInserter&) = delete;
    RowInserter& operator=(const RowInserter&) = delete;

    /// Checks the names and prepares the insert of `columns` (inner names,
    /// "id" left to the store) into `table` of the database `idm` works on.
    /// With `rows` above 1 each insert() stores that many rows in one
    /// statement (all or none of them), row r's values at the positions
    /// r * columns.size() + column (or selectRow(r), then by column).
    ResultMsg prepare(InstanceDataManager& idm, const std::string& table,
                      const std::vector<std::string>& columns, int rows = 1);
    /// How many rows of `columns` values one insert should hold at most:
    /// 64, and within the 999 parameters every SQLite build takes (at
    /// least 1).
    static int rowsPerInsert(std::size_t columns);
    bool isPrepared() const { return shape_ != nullptr; }
    /// Whether the rows of one insert() get consecutive identifiers in
    /// their order, so that insert()'s `newID` is the first row's and row
    /// r's is newID + r; false where the store does not promise it (then
    /// `newID` is one of theirs). Known once prepared.
    bool idsFollowRows() const { return idsFollowRows_; }
    /// The binds that follow go to row `row` of the insert (positions by
    /// column, 0-based); insert() goes back to row 0.
    void selectRow(int row) { base_ = row * width_; }
    /// Whether the last prepare() was for the database `idm` works on now,
    /// whatever it answered. The inserter does not keep that database open.
    bool isFor(const InstanceDataManager& idm) const;

    // Values of the next row by column position (0-based, in the order
    // given to prepare()); a column not bound is NULL. A text is kept by
    // reference: it must stay as it is until insert() returns.
    // (Inline: a transfer binds some millions of values.)
    void bindInteger(int column, long long value) {
        if (Value* v = slot(column)) *v = Value{Value::Kind::Integer, value, 0.0, nullptr};
    }
    void bindReal(int column, double value) {
        if (Value* v = slot(column)) *v = Value{Value::Kind::Real, 0, value, nullptr};
    }
    void bindText(int column, const std::string& value) {
        if (Value* v = slot(column)) *v = Value{Value::Kind::Text, 0, 0.0, &value};
    }
    void bindNull(int column) {
        if (Value* v = slot(column)) *v = Value();
    }
    /// The value as a row's text carries it for a column of `dataType`,
    /// bound as addITableData binds that text.
    void bindRowText(int column, const std::string& value, int dataType) {
        if (Value* v = slot(column)) *v = Value{Value::Kind::RowText, dataType, 0.0, &value};
    }

    /// Inserts the row (rows) bound as a write of `commitType` (see
    /// InstanceDataManager); `newID` is the identifier the store gave it
    /// (see idsFollowRows()). The values are then cleared.
    [[nodiscard]] ResultMsg insert(int commitType, int& newID);

private:
    struct Value {
        enum class Kind { Null, Integer, Real, Text, RowText } kind = Kind::Null;
        long long integer = 0;  // the data type of a RowText
        double real = 0.0;
        const std::string* text = nullptr;
    };
    // The value of `column` in the selected row; null outside the insert.
    Value* slot(int column) {
        const long long at = static_cast<long long>(base_) + column;
        if (column < 0 || static_cast<std::size_t>(at) >= values_.size()) return nullptr;
        return &values_[static_cast<std::size_t>(at)];
    }

    std::weak_ptr<detail::Connection> connection_;
    std::unique_ptr<detail::RowShape> shape_;
    std::vector<Value> values_;
    int rows_ = 1;
    int width_ = 0;  // values a row
    int base_ = 0;   // the position of the selected row's first value
    bool idsFollowRows_ = false;
};

}  // namespace MeridianSpace
