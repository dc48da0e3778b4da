#pragma once

// What one thread keeps between persistence calls so that a run of saves and
// finds allocates and locks nothing: the scratch a call borrows through a
// ScratchLease, and the tools made from each class's plan. Internal.
#include <list>
#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>

#include "IQueryCondition.h"
#include "detail/DAOClassLayout.h"  // with DAO, Mapper and ITableData
#include "detail/TypedSave.h"

namespace MeridianSpace::detail {

/// A class's plan and what this thread made from it: an object that names
/// the class's database and an idle mapper (a mapper remembers where a row's
/// columns lie, so it is never shared between threads).
struct ClassTools {
    ClassTools();
    ~ClassTools();
    ClassTools(ClassTools&&) noexcept;
    ClassTools& operator=(ClassTools&&) noexcept;

    std::shared_ptr<const DAOClassLayout> plan;
    std::unique_ptr<DAO> prototype;
    std::unique_ptr<Mapper> mapper;
};

/// Used only by the thread that owns it.
struct ThreadScratch {
    /// The row a save fills.
    std::unique_ptr<ITableData> row;
    /// The conditions a find fills.
    std::unique_ptr<std::list<IQueryCondition>> conditions;
    /// By class name; an entry is replaced when its class is registered
    /// again, never removed, so a lease on its mapper outlives nested finds.
    std::unordered_map<std::string, ClassTools> classes;
    /// By the record's type; each lent to one save at a time.
    std::unordered_map<std::type_index, std::unique_ptr<TypedSave>> saves;

    static ThreadScratch& mine();
};

/// Empties every slot of a row, not only the counted ones: a mapper may
/// write beyond its count.
void clearRow(ITableData& row);

}  // namespace MeridianSpace::detail
