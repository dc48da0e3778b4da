#pragma once

// The generic finder: makes objects of a registered class from the rows of
// its table that match conditions on its members.
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "IOrderClause.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class DAO;
class InstanceDataManager;

/// Attributes are member names ("_rProjectID", " updateTime "): a member _x
/// matches, ignoring case, the column x, Mx, x_N or Mx_N (N a number) that the
/// class's mapper writes, exact matches first. Operations are = == != <> < <=
/// > >= like "not like" with any blanks around them. A value in single quotes
/// is that text; values are always bound as data. Objects are new, made by
/// the registered factory and filled by the mapper; the caller owns them.
/// Lists are appended to, never cleared. The ordering clause stays the
/// caller's. A finder is used by the thread that uses its database.
class ARX DAOFinder {
public:
    /// Finds in the database each class names through getIDM().
    DAOFinder() = default;
    /// Finds in the database `idm` works on, whatever the class names; the
    /// manager must outlive the finder.
    explicit DAOFinder(InstanceDataManager& idm) : idm_(&idm) {}

    /// The object with row identifier `id`; `pdao` is left untouched when
    /// there is none (code 0 and a message saying so).
    ResultMsg findByID(const std::string& className, int id, DAO*& pdao);
    ResultMsg findAll(const std::string& className, std::list<DAO*>& daoList,
                      IOrderClause* order = nullptr);
    ResultMsg findByOneAttr(const std::string& className, const std::string& attrName,
                            const std::string& operation, const std::string& value,
                            std::list<DAO*>& daoList, IOrderClause* order = nullptr);
    /// Objects matching every condition (parallel vectors, one entry each).
    /// With `members` (member names, as the attributes), only those and the
    /// identifier are read; the others keep what the mapper gives a missing
    /// column (0, empty): such objects are for reading, never for saving.
    ResultMsg findByManyAndAttr(const std::string& className,
                                const std::vector<std::string>& attrNames,
                                const std::vector<std::string>& operations,
                                const std::vector<std::string>& values, std::list<DAO*>& daoList,
                                IOrderClause* order = nullptr,
                                const std::vector<std::string>& members = {});
    /// The lowest and highest row identifier of the class's table, both 0
    /// when it has none: one row read at each end of the identifiers.
    ResultMsg idSpan(const std::string& className, int& lowest, int& highest);
    /// Objects matching at least one condition.
    ResultMsg findByManyOrAttr(const std::string& className,
                               const std::vector<std::string>& attrNames,
                               const std::vector<std::string>& operations,
                               const std::vector<std::string>& values, std::list<DAO*>& daoList,
                               IOrderClause* order = nullptr);

private:
    InstanceDataManager* idm_ = nullptr;
};

}  // namespace MeridianSpace
