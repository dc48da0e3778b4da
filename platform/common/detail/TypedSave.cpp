#include "detail/TypedSave.h"

#include <string>
#include <vector>

#include "DAO.h"
#include "ITableData.h"
#include "detail/DAOClassLayout.h"

namespace MeridianSpace::detail {

bool insertTyped(TypedSave& tools, DAO& record, InstanceDataManager& idm, int commitType,
                 ResultMsg& rm, int& newID) {
    if (!tools.mapper) tools.mapper.reset(record.createMapper());
    if (!tools.mapper) return false;
    if (!tools.row.isFor(idm)) {
        // A mapper that cannot bind rows (one that saves its own way) says so
        // before its text row is made: a doSave of its own may do more than
        // fill the row, and the text row then made again would do it twice.
        if (!tools.mapper->bindRow(record, tools.row)) return false;
        ITableData layout;
        if (!mapObject(record, *tools.mapper, layout).ok()) return false;
        const std::vector<std::string> columns(layout._cloInnerName,
                                               layout._cloInnerName + layout._colNum);
        (void)tools.row.prepare(idm, layout._tableInnerName, columns);
    }
    if (!tools.row.isPrepared() || !tools.mapper->bindRow(record, tools.row)) return false;
    rm = tools.row.insert(commitType, newID);
    return true;
}

}  // namespace MeridianSpace::detail
