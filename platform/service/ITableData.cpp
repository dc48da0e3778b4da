#include "ITableData.h"

namespace MeridianSpace {

ITableData::ITableData() : _colType{}, _colNum(0) {}

std::string ITableData::getColValue(const std::string& name) const {
    const std::string* value = findColValue(name);
    return value != nullptr ? *value : std::string();
}

const std::string* ITableData::findColValue(const std::string& name) const {
    for (int i = 0; i < ITABLEDATA_MAX_COLUMNS; ++i) {
        if (_cloInnerName[i] == name) return &_colValue[i];
    }
    return nullptr;
}

void ITableData::clear() {
    _tableInnerName.clear();
    for (int i = 0; i < ITABLEDATA_MAX_COLUMNS; ++i) {
        _cloInnerName[i].clear();
        _colType[i] = 0;
        _colValue[i].clear();
    }
    _colNum = 0;
}

}  // namespace MeridianSpace
