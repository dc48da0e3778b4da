#pragma once

// Description of one physical column, passed by value to the instance data
// manager when tables are created, columns added or rows queried.
#include <string>

namespace MeridianSpace {

/// A plain value record; one object is used by one thread at a time.
struct MNormalColumn {
    int _ID = 0;
    std::string _name;
    int _DAOType = 0;
    std::string _displayName;
    std::string _description;
    int _isPk = 0;
    int _isDeleted = 0;
    int _isFindKey = 0;
    /// Physical column name.
    std::string _innerName;
    int _fkTableID = -1;
    /// Default value of the physical column, empty for none.
    std::string _defaultValue;
    /// Column type: 1 integer, 2 text, 3 real, 4/5/6 blob; -1 (unset) is text.
    int _dataType = -1;
    /// Non-zero: the column gets an index.
    int _isIndex = 0;
    /// Non-zero: the column gets a unique index.
    int _isOnly = 0;
    int _isAutoIncrement = 0;
    int _maxLength = 256;
    int _minLength = 0;
    int _numLength = 10;
    int _numPresision = 3;
    int _addVersion = -1;
    int _delVersion = -1;
    int _fkType = 0;
    int _interfaceAttrType = 0;
    int _version = 0;
    int _t_M_EntityTableID = -1;
};

}  // namespace MeridianSpace
