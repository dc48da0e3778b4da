#pragma once

// Reads the rows of one database's tables, by the query InstanceDataManager's
// forEach operations describe.
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "IOrderClause.h"
#include "IQueryCondition.h"
#include "InstanceDataManager.h"
#include "MNormalColumn.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

class Connection;
struct SelectShape;

/// The row reads InstanceDataManager forwards, on its connection. Used by
/// the thread that uses the session.
class RowReads {
public:
    explicit RowReads(Connection& conn) : conn_(conn) {}

    ResultMsg forEachITableData(const std::string& table, const std::vector<MNormalColumn>& columns,
                                const std::list<IQueryCondition>& conditions,
                                const IOrderClause* order,
                                const InstanceDataManager::RowVisitor& visit);
    ResultMsg forEachResultRow(const std::string& table, const std::vector<MNormalColumn>& columns,
                               const std::list<IQueryCondition>& conditions,
                               const IOrderClause* order,
                               const InstanceDataManager::ResultRowVisitor& visit);

private:
    /// The query of forEachITableData; `shape` is the one it ran.
    ResultMsg readRows(const std::string& table, const std::vector<MNormalColumn>& columns,
                       const std::list<IQueryCondition>& conditions, const IOrderClause* order,
                       std::shared_ptr<SelectShape>& shape,
                       const InstanceDataManager::ResultRowVisitor& visit);

    Connection& conn_;
};

}  // namespace detail
}  // namespace MeridianSpace
