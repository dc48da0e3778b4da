#include "detail/TypedSave.h"

#include <algorithm>
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

bool insertTypedRun(TypedSave& tools, DAO* const* records, int& count, InstanceDataManager& idm,
                    int commitType, ResultMsg& rm, int& firstID) {
    if (count < 2) return false;
    if (!tools.mapper) tools.mapper.reset(records[0]->createMapper());
    if (!tools.mapper) return false;
    if (tools.runColumns.empty()) {
        // The layout is the class's: its text row is made once, after the
        // mapper showed that it binds rows (as insertTyped asks).
        if (!tools.mapper->bindRow(*records[0], tools.row)) return false;
        ITableData layout;
        if (!mapObject(*records[0], *tools.mapper, layout).ok() || layout._colNum < 1) return false;
        tools.runTable = layout._tableInnerName;
        tools.runColumns.assign(layout._cloInnerName, layout._cloInnerName + layout._colNum);
    }
    count = std::min(count, RowInserter::rowsPerInsert(tools.runColumns.size()));
    if (count < 2) return false;
    RowInserter& run = tools.runs[count];
    if (!run.isFor(idm)) (void)run.prepare(idm, tools.runTable, tools.runColumns, count);
    if (!run.isPrepared() || !run.idsFollowRows()) return false;
    for (int r = 0; r < count; ++r) {
        run.selectRow(r);
        // A row left half bound is bound again, whole, before any insert.
        if (!tools.mapper->bindRow(*records[r], run)) return false;
    }
    rm = run.insert(commitType, firstID);
    return true;
}

}  // namespace MeridianSpace::detail
