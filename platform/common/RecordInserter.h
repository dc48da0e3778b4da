#pragma once

// Stores many records as new rows, one prepared insert per class.
#include <functional>
#include <memory>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class DAO;
class InstanceDataManager;

/// Stores records as new rows of the database `idm` works on, as
/// DAO::save(idm, commitType) stores a record whose _ID is below 1 (the row
/// only: no rule of a class's own save runs), through one prepared insert
/// per class, reused: a record whose mapper binds rows (Mapper::bindRow) is
/// bound as the numbers and texts its members are, any other goes through
/// its mapper's text row. For code that copies many records. The manager
/// must outlive the inserter; used by the thread that uses its session.
class ARX RecordInserter {
public:
    explicit RecordInserter(InstanceDataManager& idm);
    ~RecordInserter();
    RecordInserter(const RecordInserter&) = delete;
    RecordInserter& operator=(const RecordInserter&) = delete;

    InstanceDataManager& manager() const { return idm_; }
    /// Stores `record` as a new row; its _ID is neither read nor changed,
    /// `newID` is the new row's identifier.
    [[nodiscard]] ResultMsg insert(DAO& record, int commitType, int& newID);
    /// Stores each of `records` as insert() does, in their order, several
    /// to a statement where the store numbers the rows of one statement in
    /// their order; `stored(index, result, newID)` is called for each
    /// record, in order. A statement that fails goes again record by
    /// record, so that each record refused is told apart and the others
    /// are stored.
    void insertAll(const std::vector<DAO*>& records, int commitType,
                   const std::function<void(std::size_t, const ResultMsg&, int)>& stored);

private:
    struct Kind;
    Kind& kindOf(const DAO& record);

    InstanceDataManager& idm_;
    std::unordered_map<std::type_index, std::unique_ptr<Kind>> kinds_;
};

}  // namespace MeridianSpace
