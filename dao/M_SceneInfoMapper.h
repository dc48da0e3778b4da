#pragma once

// Turns an M_SceneInfoDAO into a row of "T_M_SceneInfo_2" and back.
#include "ArxExport.h"
#include "M_SceneInfoDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_SceneInfoMapper : public ColumnMapper<M_SceneInfoDAO> {
public:
    M_SceneInfoMapper();
    ~M_SceneInfoMapper() override;
};

}  // namespace MeridianSpace
