#pragma once

// The column a member of a record is stored in, read from the record's own
// mapper, so that the column declaration stays the one place that spells it.
#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>

#include "DAO.h"
#include "ITableData.h"
#include "Mapper.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

namespace detail {
inline void nudge(int& value) {
    ++value;
}
inline void nudge(double& value) {
    value += 1.0;
}
inline void nudge(std::string& value) {
    value += '.';
}
}  // namespace detail

/// The column that `member` of `Record` is written to: a fresh object is
/// mapped twice, that member changed in between, and the one slot whose
/// value moved names it. Empty when the mapper writes the member nowhere.
/// `Record` is named, as the member may be its base's. Any thread.
template <class Record, class Owner, class Value>
std::string columnOf(Value Owner::*member) {
    static_assert(std::is_base_of_v<Owner, Record>, "a member of the record");
    Record object;
    const std::unique_ptr<Mapper> mapper(object.createMapper());
    ITableData before, after;
    if (!mapper || mapper->doSave(before, &object) != RUN_SUCCESS) return std::string();
    detail::nudge(object.*member);
    if (mapper->doSave(after, &object) != RUN_SUCCESS) return std::string();
    const int count = std::min(after._colNum, ITABLEDATA_MAX_COLUMNS);
    for (int i = 0; i < count; ++i) {
        if (after._colValue[i] != before._colValue[i]) return after._cloInnerName[i];
    }
    return std::string();
}

}  // namespace MeridianSpace
