#include "detail/ThreadScratch.h"

#include "DAO.h"
#include "Mapper.h"

namespace MeridianSpace::detail {

ClassTools::ClassTools() = default;
ClassTools::~ClassTools() = default;
ClassTools::ClassTools(ClassTools&&) noexcept = default;
ClassTools& ClassTools::operator=(ClassTools&&) noexcept = default;

ThreadScratch& ThreadScratch::mine() {
    thread_local ThreadScratch scratch;
    return scratch;
}

void clearRow(ITableData& row) {
    row._tableInnerName.clear();
    for (int i = 0; i < ITABLEDATA_MAX_COLUMNS; ++i) {
        if (!row._cloInnerName[i].empty()) row._cloInnerName[i].clear();
        if (!row._colValue[i].empty()) row._colValue[i].clear();
        row._colType[i] = 0;
    }
    row._colNum = 0;
}

}  // namespace MeridianSpace::detail
