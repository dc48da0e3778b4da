#pragma once

// Turns an M_DelByInterfaceDAO into a row of "T_M_DelByInterface_2" and back.
#include "ArxExport.h"
#include "M_DelByInterfaceDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_DelByInterfaceMapper : public ColumnMapper<M_DelByInterfaceDAO> {
public:
    M_DelByInterfaceMapper();
    ~M_DelByInterfaceMapper() override;
};

}  // namespace MeridianSpace
