#pragma once

// Base of the library's metadata records: they live in the current
// configuration database, and every save stamps the current project.
#include "ArxExport.h"
#include "DAO.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// _DAOType of the metadata records (M_ObjectDAO and the classes under it
/// that keep it).
constexpr int DAO_TYPE_OBJECT = 3;
/// _DAOType of the records whose tables end in "_2" (M_QMSObjectDAO).
constexpr int DAO_TYPE_QMS_OBJECT = 4;
/// _DAOType of a project record; its saves do not stamp a project.
constexpr int DAO_TYPE_PROJECT = 100;

/// A record object is used by one thread at a time; its saves and finders go
/// through the process-wide current configuration database (see MeridianNew).
class ARX M_ObjectDAO : public DAO {
public:
    // Defined in dao/M_ObjectDAO.cpp.
    M_ObjectDAO();
    ~M_ObjectDAO() override;

    /// Stores the row, then refreshes the current project's update time. A
    /// failed stamp only turns the message into a warning; the row stays saved.
    [[nodiscard]] ResultMsg save(int commitType = COMMIT_T_IMMEDIATELY) override;
    /// The current configuration database's manager.
    InstanceDataManager* getIDM() override;

    /// The row alone, written into a database named explicitly (DAO.h).
    using DAO::delself;
    using DAO::save;
};

}  // namespace MeridianSpace
