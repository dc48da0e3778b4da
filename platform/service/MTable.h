#pragma once

// Description of one physical table, passed by value to addMTableInstance.
#include <string>

namespace MeridianSpace {

/// A plain value record; one object is used by one thread at a time.
struct MTable {
    int _ID = 0;
    std::string _name;
    int _DAOType = 0;
    std::string _displayName;
    std::string _description;
    int _parentID = -1;
    int _countType = 0;
    int _isDeleted = 0;
    int _version = 0;
    /// Physical table name.
    std::string _innerName;
    int _tableType = 0;
    /// A new row never gets the identifier of a deleted row (the metadata
    /// tables, whose identifiers other records keep).
    bool _neverReuseIDs = false;
};

}  // namespace MeridianSpace
