#pragma once

// The tables a database stores and the layout of each, as the database sees it.
#include <list>
#include <string>
#include <vector>

#include "MNormalColumn.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

class Connection;

/// The table listings InstanceDataManager forwards, on its connection. Used
/// by the thread that uses the session.
class StoredTables {
public:
    explicit StoredTables(Connection& conn) : conn_(conn) {}

    /// See InstanceDataManager::storageType.
    static int storageType(int dataType);
    ResultMsg getTableLayout(const std::string& table, std::list<MNormalColumn>& columns);
    ResultMsg getTableColumnNames(const std::string& table, std::vector<std::string>& names);
    ResultMsg getTableNames(std::vector<std::string>& names);

private:
    Connection& conn_;
};

}  // namespace detail
}  // namespace MeridianSpace
