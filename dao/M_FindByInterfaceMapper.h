#pragma once

// Turns an M_FindByInterfaceDAO into a row of "T_M_FindByInterface_2" and back.
#include "ArxExport.h"
#include "M_FindByInterfaceDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_FindByInterfaceMapper : public ColumnMapper<M_FindByInterfaceDAO> {
public:
    M_FindByInterfaceMapper();
    ~M_FindByInterfaceMapper() override;
};

}  // namespace MeridianSpace
