#pragma once

// One column of a record's declaration (see RecordColumns.h): its inner name
// and the member that holds its value, written to and read from a row.
// Immutable once made; several threads may use it.
#include <climits>
#include <cmath>
#include <string>

#include "ITableData.h"
#include "ResultReturnCode.h"
#include "ResultRow.h"
#include "RowInserter.h"
#include "StringHelper.h"

namespace MeridianSpace {

/// One column: its inner name and the member of `T` that holds its value.
template <class T>
class RecordColumn {
public:
    RecordColumn(const char* column, std::string T::*member)
        : name_(column), type_(COL_TYPE_STRING) {
        member_.text = member;
    }
    RecordColumn(const char* column, int T::*member) : name_(column), type_(COL_TYPE_INT) {
        member_.integer = member;
    }
    RecordColumn(const char* column, double T::*member) : name_(column), type_(COL_TYPE_DOUBLE) {
        member_.real = member;
    }

    const std::string& name() const { return name_; }
    int type() const { return type_; }

    /// The member's value as the text of a row slot.
    void write(const T& object, std::string& value) const {
        switch (type_) {
            case COL_TYPE_INT:
                value = StringHelper::int2String(object.*member_.integer);
                break;
            case COL_TYPE_DOUBLE:
                value = StringHelper::doubleTostring(object.*member_.real);
                break;
            default:
                value = object.*member_.text;
        }
    }
    /// Binds the member's value as column `column` of `row`: the number or
    /// text that write()'s text gives back when stored. False, with nothing
    /// bound, for a number that text does not give back (not finite).
    bool bind(const T& object, int column, RowInserter& row) const {
        switch (type_) {
            case COL_TYPE_INT:
                row.bindInteger(column, object.*member_.integer);
                return true;
            case COL_TYPE_DOUBLE: {
                const double value = object.*member_.real;
                if (!std::isfinite(value)) return false;
                row.bindReal(column, StringHelper::readBackDouble(value));
                return true;
            }
            default:
                row.bindText(column, object.*member_.text);
                return true;
        }
    }
    /// Sets the member from the column's text in `row`.
    void read(const ITableData& row, T& object) const {
        static const std::string missing;
        const std::string* found = row.findColValue(name_);
        const std::string& value = found != nullptr ? *found : missing;
        switch (type_) {
            case COL_TYPE_INT:
                object.*member_.integer = StringHelper::string2int(value);
                break;
            case COL_TYPE_DOUBLE:
                object.*member_.real = StringHelper::stringTodouble(value);
                break;
            default:
                object.*member_.text = value;
        }
    }
    /// The same from column `column` of a row read in place (-1: missing),
    /// giving what read() gives for that column's text without making it.
    void read(const ResultRow& row, int column, T& object) const {
        switch (type_) {
            case COL_TYPE_INT:
                object.*member_.integer = readInt(row, column);
                break;
            case COL_TYPE_DOUBLE: {
                long long integer = 0;
                double real = 0.0;
                if (column < 0) {
                    real = 0.0;
                } else if (row.integer(column, integer)) {
                    real = static_cast<double>(integer);
                } else if (row.real(column, real)) {
                    real = StringHelper::readBackDouble(real);
                } else {
                    real = StringHelper::stringTodouble(textOf(row, column));
                }
                object.*member_.real = real;
                break;
            }
            default:
                if (column < 0) {
                    (object.*member_.text).clear();
                } else {
                    row.text(column, object.*member_.text);
                }
        }
    }
    /// What string2int gives for the text of column `column` (-1: missing).
    static int readInt(const ResultRow& row, int column) {
        long long integer = 0;
        if (column < 0) return 0;
        if (row.integer(column, integer)) {
            return integer > INT_MAX   ? INT_MAX
                   : integer < INT_MIN ? INT_MIN
                                       : static_cast<int>(integer);
        }
        return StringHelper::string2int(textOf(row, column));
    }

private:
    // Numbers as text are short: the string stays in its own storage.
    static std::string textOf(const ResultRow& row, int column) {
        std::string text;
        row.text(column, text);
        return text;
    }

    std::string name_;
    int type_;
    union {
        std::string T::*text;
        int T::*integer;
        double T::*real;
    } member_;
};

}  // namespace MeridianSpace
