#include "RecordInserter.h"

#include <algorithm>
#include <typeinfo>

#include "DAO.h"
#include "detail/TypedSave.h"

namespace MeridianSpace {

// What the inserter keeps of one class: its mapper and its typed insert.
struct RecordInserter::Kind : detail::TypedSave {};

RecordInserter::RecordInserter(InstanceDataManager& idm) : idm_(idm) {}

RecordInserter::~RecordInserter() = default;

RecordInserter::Kind& RecordInserter::kindOf(const DAO& record) {
    std::unique_ptr<Kind>& kind = kinds_[std::type_index(typeid(record))];
    if (!kind) kind = std::make_unique<Kind>();
    return *kind;
}

ResultMsg RecordInserter::insert(DAO& record, int commitType, int& newID) {
    ResultMsg rm;
    if (detail::insertTyped(kindOf(record), record, idm_, commitType, rm, newID)) return rm;
    const int oldID = record._ID;
    record._ID = 0;
    rm = record.save(idm_, commitType);
    if (rm.ok()) newID = record._ID;
    record._ID = oldID;
    return rm;
}

void RecordInserter::insertAll(
    const std::vector<DAO*>& records, int commitType,
    const std::function<void(std::size_t, const ResultMsg&, int)>& stored) {
    std::size_t at = 0;
    while (at < records.size()) {
        // The records of one class from here on, as many as one insert takes.
        const DAO& first = *records[at];
        std::size_t end = at + 1;
        for (; end < records.size(); ++end) {
            const DAO& next = *records[end];
            if (typeid(next) != typeid(first)) break;
        }
        int count = static_cast<int>(end - at);
        ResultMsg rm;
        int id = 0;
        if (detail::insertTypedRun(kindOf(*records[at]), records.data() + at, count, idm_,
                                   commitType, rm, id) &&
            rm.ok()) {
            for (int r = 0; r < count; ++r)
                stored(at + r, rm, id + r);
            at += count;
            continue;
        }
        for (const std::size_t last = at + std::max(count, 1); at < last; ++at) {
            rm = insert(*records[at], commitType, id);
            stored(at, rm, rm.ok() ? id : 0);
        }
    }
}

}  // namespace MeridianSpace
