#pragma once

// Base of the records whose tables end in "_2" (dictionaries, interface
// definitions, scene records). Behaves as M_ObjectDAO.
#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

/// Used by one thread at a time, as M_ObjectDAO.
class ARX M_QMSObjectDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_QMSObjectDAO.cpp.
    M_QMSObjectDAO();
    ~M_QMSObjectDAO() override;
};

}  // namespace MeridianSpace
