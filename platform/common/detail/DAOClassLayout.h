#pragma once

// What the common library knows of a registered class, its plan: its table,
// the columns its mapper writes and the member names each column answers to,
// worked out once from a fresh object. Internal.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "DAOFactoryRegistry.h"
#include "ITableData.h"
#include "MNormalColumn.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
class DAO;
class Mapper;
}  // namespace MeridianSpace

namespace MeridianSpace::detail {

/// Layouts are shared, never changed once made: several threads may read one.
class DAOClassLayout {
public:
    DAOClassLayout() = default;
    // The name index views the column names in place.
    DAOClassLayout(const DAOClassLayout&) = delete;
    DAOClassLayout& operator=(const DAOClassLayout&) = delete;

    /// The layout of a registered class; COM_ERR_UNKNOWN_CLASS or
    /// COM_ERR_MAPPER when it cannot be worked out. The cache is guarded.
    static ResultMsg of(const std::string& className, std::shared_ptr<const DAOClassLayout>& out);

    /// The column a member name stands for: member _x matches, ignoring case,
    /// the column x, Mx, x_N or Mx_N (N a number), exact matches first, then
    /// the first column in order. `column` points into `columns`.
    ResultMsg resolve(const std::string& attribute, const std::string*& column) const;

    std::string className;
    DAOFactory factory = nullptr;
    std::string table;
    /// "id" first, then the mapper's columns in its order.
    std::vector<MNormalColumn> columns;
    /// Whether the class's mapper reads rows in place (Mapper::readsResultRows).
    bool readsResultRows = false;

private:
    // A column a name answers to: how well (0 best) and which.
    struct Answer {
        int rank;
        std::size_t column;
        bool operator<(const Answer& other) const {
            return rank != other.rank ? rank < other.rank : column < other.column;
        }
    };
    struct CaseBlindHash {
        std::size_t operator()(std::string_view text) const;
    };
    struct CaseBlindEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };
    void indexNames();
    void answer(std::string_view name, int rank, std::size_t column);

    // Every name some column answers to, with the best such column; the
    // names are views of the column names in `columns`.
    std::unordered_map<std::string_view, Answer, CaseBlindHash, CaseBlindEqual> names_;
    // Whether a column's name starts with "_", so that a member name could
    // match it as written.
    bool underscoreColumns_ = false;
};

/// The row a mapper makes of an object, with the table name filled in from
/// the mapper when the mapper leaves it empty. Every reading of a mapper's
/// answer goes through here: a column count outside 0..80 is refused before
/// anyone reads the slots.
ResultMsg mapObject(DAO& object, Mapper& mapper, ITableData& row);

/// True for the columns that lookups use as keys: identifier columns such as
/// "T_M_EntityTableID", "RProjectID" or "MRDictItemID_2".
bool isKeyColumn(const std::string& column);

}  // namespace MeridianSpace::detail
