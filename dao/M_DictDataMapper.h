#pragma once

// Turns an M_DictDataDAO into a row of "T_M_DictData_2" and back.
#include "ArxExport.h"
#include "M_DictDataDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_DictDataMapper : public ColumnMapper<M_DictDataDAO> {
public:
    M_DictDataMapper();
    ~M_DictDataMapper() override;
};

}  // namespace MeridianSpace
