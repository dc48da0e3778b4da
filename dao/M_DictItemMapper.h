#pragma once

// Turns an M_DictItemDAO into a row of "T_M_DictItem_2" and back.
#include "ArxExport.h"
#include "M_DictItemDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_DictItemMapper : public ColumnMapper<M_DictItemDAO> {
public:
    M_DictItemMapper();
    ~M_DictItemMapper() override;
};

}  // namespace MeridianSpace
