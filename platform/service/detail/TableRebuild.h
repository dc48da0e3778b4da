#pragma once

// A table brought to a new layout by building it anew beside the old one:
// the changes SQLite cannot make in place.
#include <list>

#include "MNormalColumn.h"
#include "MTable.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

class Connection;

/// InstanceDataManager::rebuildTable, on its connection. Used by the thread
/// that uses the session.
class TableRebuild {
public:
    explicit TableRebuild(Connection& conn) : conn_(conn) {}

    ResultMsg rebuildTable(const MTable& table, const std::list<MNormalColumn>& columns);

private:
    Connection& conn_;
};

}  // namespace detail
}  // namespace MeridianSpace
