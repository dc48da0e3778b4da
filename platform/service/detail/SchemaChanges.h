#pragma once

// Tables, columns, indexes and user objects made and dropped, and tables
// rebuilt to a new layout.
#include <list>
#include <string>
#include <vector>

#include "MNormalColumn.h"
#include "MTable.h"
#include "ResultReturnCode.h"
#include "SchemaObject.h"

namespace MeridianSpace {
namespace detail {

class Connection;

/// The schema changes InstanceDataManager forwards, on its connection; a
/// table rebuilt is in TableRebuild.cpp. Used by the thread that uses the
/// session.
class SchemaChanges {
public:
    explicit SchemaChanges(Connection& conn) : conn_(conn) {}

    ResultMsg addMTableInstance(const MTable& table, const std::list<MNormalColumn>& columns);
    ResultMsg addNormalColumnInstance(const std::string& table, const MNormalColumn& column);
    ResultMsg delTableInstance(const std::string& table);
    ResultMsg rebuildTable(const MTable& table, const std::list<MNormalColumn>& columns);
    ResultMsg setColumnIndex(const std::string& table, const MNormalColumn& column);
    ResultMsg getSchemaObjects(std::vector<SchemaObject>& objects);
    ResultMsg dropSchemaObject(const SchemaObject& object);

private:
    Connection& conn_;
};

}  // namespace detail
}  // namespace MeridianSpace
