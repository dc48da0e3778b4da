#include "RecordInserter.h"

#include <string>
#include <vector>

#include "DAO.h"
#include "ITableData.h"
#include "InstanceDataManager.h"
#include "Mapper.h"
#include "RowInserter.h"
#include "detail/DAOClassLayout.h"

namespace MeridianSpace {

// What the inserter keeps of one class: its mapper and, when the mapper
// binds rows, the insert prepared for the mapper's columns.
struct RecordInserter::Kind {
    std::unique_ptr<Mapper> mapper;
    RowInserter row;
};

RecordInserter::RecordInserter(InstanceDataManager& idm) : idm_(idm) {}

RecordInserter::~RecordInserter() = default;

ResultMsg RecordInserter::insert(DAO& record, int commitType, int& newID) {
    std::unique_ptr<Kind>& kind = kinds_[std::type_index(typeid(record))];
    if (!kind) {
        kind = std::make_unique<Kind>();
        kind->mapper.reset(record.createMapper());
        if (kind->mapper) {
            // The columns come from the mapper's text row of the first record.
            ITableData layout;
            if (detail::mapObject(record, *kind->mapper, layout).ok()) {
                std::vector<std::string> columns(layout._cloInnerName,
                                                 layout._cloInnerName + layout._colNum);
                // A layout the typed insert refuses goes through the text row,
                // which says why.
                (void)kind->row.prepare(idm_, layout._tableInnerName, columns);
            }
        }
    }
    if (kind->mapper && kind->row.isPrepared() && kind->mapper->bindRow(record, kind->row))
        return kind->row.insert(commitType, newID);
    const int oldID = record._ID;
    record._ID = 0;
    ResultMsg rm = record.save(idm_, commitType);
    if (rm.ok()) newID = record._ID;
    record._ID = oldID;
    return rm;
}

}  // namespace MeridianSpace
