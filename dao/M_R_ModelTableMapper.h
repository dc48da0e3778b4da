#pragma once

// Turns an M_R_ModelTableDAO into a row of "T_M_R_ModelTable" and back.
#include "ArxExport.h"
#include "M_R_ModelTableDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_R_ModelTableMapper : public ColumnMapper<M_R_ModelTableDAO> {
public:
    M_R_ModelTableMapper();
    ~M_R_ModelTableMapper() override;
};

}  // namespace MeridianSpace
