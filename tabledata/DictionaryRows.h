#pragma once

// Rows of a dictionary model's table copied as values, as a project
// transfer copies them: what exportData and importData do with lines,
// without the text form. Internal to arx_qms.
#include <cstddef>
#include <deque>
#include <list>
#include <string>

#include "ResultReturnCode.h"

namespace MeridianSpace {

class M_EntityTableDAO;
class M_NormalColumnDAO;

/// The rows of one dictionary table: its columns and each row's values.
struct DictionaryRows {
    /// A value as it was read: a number, or the text of anything else
    /// (empty for none).
    struct Value {
        enum class Kind { Integer, Real, Text } kind = Kind::Text;
        long long integer = 0;
        double real = 0.0;
        std::string text;
    };

    DictionaryRows() = default;
    ~DictionaryRows();
    DictionaryRows(const DictionaryRows&) = delete;
    DictionaryRows& operator=(const DictionaryRows&) = delete;

    /// Owned, as exportData hands them out.
    std::list<M_NormalColumnDAO*> columns;
    /// Row by row, one value per column (a deque: the values read are
    /// never moved as it grows).
    std::deque<Value> values;
};

/// Reads the rows of `table` from the current configuration database as
/// exportData reads them (the columns of its highest-version owner; the
/// columns stay empty when there is no row).
ResultMsg readDictionaryRows(M_EntityTableDAO& table, DictionaryRows& rows);
/// Rebuilds `table` in the current configuration database and fills it
/// with the rows as importData does with their lines: the values are
/// checked first, each is stored as its line's text would be, numbers
/// bound as numbers.
ResultMsg writeDictionaryRows(M_EntityTableDAO& table, const DictionaryRows& rows);

}  // namespace MeridianSpace
