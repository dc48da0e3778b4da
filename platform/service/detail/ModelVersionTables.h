#pragma once

// The tables and columns of one version of a model, read from the
// configuration database: what an instance of that version holds.
#include <list>
#include <vector>

#include "IEntityModel.h"
#include "MNormalColumn.h"
#include "MTable.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

class Connection;

/// One table of the model's version with the columns of that version.
struct TableLayout {
    MTable table;
    std::list<MNormalColumn> columns;
};

/// The tables of the model's version, each once, in link order, with the
/// columns of that version; SRV_ERR_NO_ROW when the project or the model
/// `model` names is not stored.
ResultMsg readModelLayout(Connection& conn, const IEntityModel& model,
                          std::vector<TableLayout>& layouts);

}  // namespace detail
}  // namespace MeridianSpace
