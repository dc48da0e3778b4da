#include "RecordInserter.h"

#include "DAO.h"
#include "detail/TypedSave.h"

namespace MeridianSpace {

// What the inserter keeps of one class: its mapper and its typed insert.
struct RecordInserter::Kind : detail::TypedSave {};

RecordInserter::RecordInserter(InstanceDataManager& idm) : idm_(idm) {}

RecordInserter::~RecordInserter() = default;

ResultMsg RecordInserter::insert(DAO& record, int commitType, int& newID) {
    std::unique_ptr<Kind>& kind = kinds_[std::type_index(typeid(record))];
    if (!kind) kind = std::make_unique<Kind>();
    ResultMsg rm;
    if (detail::insertTyped(*kind, record, idm_, commitType, rm, newID)) return rm;
    const int oldID = record._ID;
    record._ID = 0;
    rm = record.save(idm_, commitType);
    if (rm.ok()) newID = record._ID;
    record._ID = oldID;
    return rm;
}

}  // namespace MeridianSpace
