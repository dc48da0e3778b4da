#pragma once

// Base of the library's metadata records: they live in the current
// configuration database, and every save stamps the current project.
#include "ArxExport.h"
#include "DAO.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// The _DAOType of a project record; its saves do not stamp a project.
constexpr int DAO_TYPE_PROJECT = 100;

class ARX M_ObjectDAO : public DAO {
public:
    M_ObjectDAO();
    ~M_ObjectDAO() override;

    /// Stores the row, then refreshes the current project's update time. A
    /// failed stamp only turns the message into a warning; the row stays saved.
    ResultMsg save(int commitType = COMMIT_T_IMMEDIATELY) override;
    /// The current configuration database's manager.
    InstanceDataManager* getIDM() override;
};

}  // namespace MeridianSpace
