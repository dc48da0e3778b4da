#pragma once

// Stores new records through a typed insert kept per class. Internal.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Mapper.h"
#include "ResultReturnCode.h"
#include "RowInserter.h"

namespace MeridianSpace {
class DAO;
class InstanceDataManager;
}  // namespace MeridianSpace

namespace MeridianSpace::detail {

/// What the saves of new records of one class keep: the class's mapper and
/// the insert prepared for its columns on the database last written to.
/// Used by one thread.
struct TypedSave {
    std::unique_ptr<Mapper> mapper;
    RowInserter row;
    /// Inserts of several rows, by their number of rows.
    std::map<int, RowInserter> runs;
    /// The table and columns of the class's text row, once a run has asked
    /// (the same for every record the mapper binds).
    std::string runTable;
    std::vector<std::string> runColumns;
};

/// Stores `record` as a new row through `tools` (prepared on the first call
/// for `idm`, from the columns of the record's text row): its members bound
/// as the numbers and texts they are, as the text row would store them.
/// False, with nothing written, when the record cannot go that way (a
/// mapper that saves its own way, a value the text row writes differently,
/// a layout the typed insert refuses); the caller then saves it through the
/// text row, which says why where there is a why.
bool insertTyped(TypedSave& tools, DAO& record, InstanceDataManager& idm, int commitType,
                 ResultMsg& rm, int& newID);

/// Stores the first `count` of `records` (all of the class of records[0])
/// as new rows through one insert of several rows, each bound as
/// insertTyped() binds it; on return `count` is how many that insert
/// carried (fewer when more would pass its limit of parameters), `firstID`
/// the first one's identifier, the others' following in their order. A
/// failure stores none of them. False, with nothing written, when they
/// cannot go that way (as for insertTyped(), or the store does not number
/// the rows of one insert in their order); the caller then stores each on
/// its own.
bool insertTypedRun(TypedSave& tools, DAO* const* records, int& count, InstanceDataManager& idm,
                    int commitType, ResultMsg& rm, int& firstID);

}  // namespace MeridianSpace::detail
