#pragma once

// Row data and dictionary data read, write and check their lines (the row
// text form of RowText.h) only through here: the check of every line before
// anything is written, the one bulk write path, and the reader that turns
// rows into lines.
#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "IQueryCondition.h"
#include "MNormalColumn.h"
#include "ResultReturnCode.h"
#include "RowText.h"

namespace MeridianSpace {

class ITableData;
class InstanceDataManager;
class M_NormalColumnDAO;

namespace rowtext {

/// How the first value of a line is read.
enum class FirstValue {
    /// An ordinary value.
    Plain,
    /// The row identifier: the number of a row, or 0, -1, empty (or the
    /// marker) for a new row.
    RowID,
    /// The identifier a new row is stored under: a number above 0.
    KeptRowID,
};

/// Checks the column list and every line before anything is written: no
/// null column, at most 80 columns, the identifier column first unless
/// `first` is Plain, and each line with exactly one value per column, an
/// identifier as `first` asks, and every other value fit for its column's
/// type. An int column takes an integer as int2String writes it, of 32 bits
/// or, when the column asks for more than 10 digits (`_numLength`), of 64
/// bits; a real column a finite decimal number; every column the empty
/// value (or the marker). The failure names the first bad line (from 1) and,
/// for a value, its column (from 1).
ResultMsg check(const std::list<M_NormalColumnDAO*>& columns, const std::list<std::string>& lines,
                FirstValue first);

/// The column list's part of check().
ResultMsg checkColumns(const std::list<M_NormalColumnDAO*>& columns, FirstValue first);
/// The value part of check() for one value of line `lineNumber`, column
/// `index` (both from 1): its failure as check() words it.
ResultMsg checkValue(std::size_t lineNumber, std::size_t index, const M_NormalColumnDAO& column,
                     const std::string& value);
/// What writeLines answers when `failedLines` lines failed, the first of
/// them line `firstFailedLine` with `firstFailure`.
std::string writeFailures(std::size_t firstFailedLine, const ResultMsg& firstFailure,
                          std::size_t failedLines);

/// The one path that writes many lines into one physical table: every
/// write joins the open transaction of the manager's session (the caller
/// commits once at the end), and each statement is prepared once for the
/// table. Lines must have passed check().
class LineWriter {
public:
    /// With RowID, write() updates the row named by the identifier and
    /// inserts the line without it when the identifier is 0 or less or no
    /// such row exists; with KeptRowID it inserts the line under its
    /// identifier, refusing one that a row has; with Plain it inserts every
    /// line as it stands.
    LineWriter(InstanceDataManager& manager, const std::string& table,
               const std::list<M_NormalColumnDAO*>& columns, FirstValue first);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    /// Writes one line (a value standing as the marker is written empty,
    /// and logged); the service's answer for it.
    ResultMsg write(const std::string& line);

private:
    /// Whether a row has the identifier that byID_ asks for.
    ResultMsg findRow(bool& exists);

    InstanceDataManager& manager_;
    FirstValue first_;
    std::size_t columnCount_;
    /// The line's values without the identifier (with RowID), which both
    /// the update of an existing row and the insert of a new one write: an
    /// update that assigned the identifier column would make SQLite move
    /// the row (a delete and an insert) even when the value stays the same.
    std::unique_ptr<ITableData> row_;
    std::list<IQueryCondition> byID_;
    std::vector<std::string> values_;
};

/// A column description for a query or a physical table.
MNormalColumn describe(const std::string& name, const std::string& innerName, int dataType);
/// The description of a stored column: everything its physical column is
/// built from, and its record's identifier, display name, table and versions.
MNormalColumn describe(const M_NormalColumnDAO& column);
/// Appends a new copy of `column` (all members) to `columns`.
void appendCopy(std::list<M_NormalColumnDAO*>& columns, const M_NormalColumnDAO& column);

/// Reads the rows of `table` one at a time (a table may hold more rows than
/// fit in memory as row records) and turns them into lines on the way: the
/// first row's slots pick the copies of `tableColumns` appended to
/// `columns` (slots naming no table column add nothing), and every row adds
/// its first n slots as one line, n being the first row's slot count.
/// `found` tells whether any row came back.
ResultMsg readLines(InstanceDataManager& manager, const std::string& table,
                    const std::vector<MNormalColumn>& descriptions,
                    const std::list<M_NormalColumnDAO*>& tableColumns,
                    std::list<M_NormalColumnDAO*>& columns, std::list<std::string>& values,
                    bool& found);
/// Writes every checked line through one LineWriter (a failed line does not
/// stop the others), then commits the manager's session once. A failed
/// commit is the answer; otherwise a failed line fails the call, naming the
/// first such line and how many failed, so that no failure hides behind the
/// commit's success. With KeptRowID the lines are all or nothing: the first
/// failed line, named, is the answer and undoes the lines before it.
ResultMsg writeLines(InstanceDataManager& manager, const std::string& table,
                     const std::list<M_NormalColumnDAO*>& columns,
                     const std::list<std::string>& values, FirstValue first);

}  // namespace rowtext
}  // namespace MeridianSpace
