#pragma once

// One row exchanged with an InstanceDataManager: up to 80 columns, each with
// its inner name, type and value as text.
#include <string>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// Most columns one row can carry.
constexpr int ITABLEDATA_MAX_COLUMNS = 80;

/// A plain value record: copies are independent; one object is used by one
/// thread at a time.
class ARX ITableData {
public:
    ITableData();

    std::string _tableInnerName;
    std::string _cloInnerName[ITABLEDATA_MAX_COLUMNS];
    int _colType[ITABLEDATA_MAX_COLUMNS];
    std::string _colValue[ITABLEDATA_MAX_COLUMNS];
    int _colNum;

    /// Value of the first of all 80 slots whose column name equals `name`
    /// byte for byte, whatever _colNum says; empty text when none does.
    std::string getColValue(const std::string& name) const;
    /// The same slot's value in place; null when no slot has that name.
    const std::string* findColValue(const std::string& name) const;

    /// Empties every slot and the table name, keeping the object for reuse.
    void clear();
};

}  // namespace MeridianSpace
