#pragma once

// The persistent-object base and the data-access family of the platform.
#include <map>
#include <string>

#include "ArxExport.h"
#include "DAOFinder.h"
#include "MeridianNew.h"
#include "MeridianStd.h"
// Generated white-box tests reach the platform and a project's data file
// through the header of the class they test, which includes this one.
#include "ProjectDAO.h"
#include "PtrListHelper.h"
#include "RelationDataTool.h"
#include "ResultReturnCode.h"
#include "StringHelper.h"

namespace MeridianSpace {

class InstanceDataManager;
class Mapper;

/// _DAOType of a plain persistent object; the record classes set their own.
constexpr int DAO_TYPE_PLAIN = 0;

/// A persistent object: one row of one table, written and read through the
/// mapper that createMapper() gives. An object is used by one thread at a
/// time; the default database of save, delself and the finders is the
/// process-wide current one (see MeridianNew).
class ARX DAO {
public:
    DAO();
    virtual ~DAO();
    DAO(const DAO&) = default;
    DAO& operator=(const DAO&) = default;

    /// Inserts the row when _ID is below 1 (and leaves the new identifier in
    /// _ID), else updates the row of _ID, in the database getIDM() names.
    [[nodiscard]] virtual ResultMsg save(int commitType = COMMIT_T_IMMEDIATELY);
    /// Deletes the row of _ID.
    [[nodiscard]] virtual ResultMsg delself(int commitType = COMMIT_T_IMMEDIATELY);
    /// Deletes all rows of the object's table.
    [[nodiscard]] virtual ResultMsg delAll(int commitType = COMMIT_T_IMMEDIATELY);
    /// A new mapper for the object's table; the caller owns it.
    virtual Mapper* createMapper();
    /// The manager of the database that holds the object's table: the
    /// current work database unless a class says otherwise.
    virtual InstanceDataManager* getIDM();
    /// The object's columns by inner name, "id" included.
    virtual ResultMsg toMapData(std::map<std::string, std::string>& data);
    /// A new object of the same class made from such a map; the caller owns it.
    virtual ResultMsg transfromMapData(std::map<std::string, std::string>& data, DAO*& pdao);
    /// The name the object's class is registered under; empty when none.
    virtual std::string GetDAOClassName();

    /// The row as it stands, written into the database `idm` works on, for
    /// code that copies between two databases: inserted when _ID is below 1,
    /// else the row of _ID updated. Only the row is written: rules that a
    /// class adds in its own save (such as a project stamp) do not run.
    [[nodiscard]] ResultMsg save(InstanceDataManager& idm, int commitType);
    /// Deletes the row of _ID from the database `idm` works on.
    [[nodiscard]] ResultMsg delself(InstanceDataManager& idm, int commitType);

    /// Row identifier; below 1 means not stored yet.
    int _ID;
    std::string _name;
    /// Kind of persistent object.
    int _DAOType;
};

/// Objects of the project-management tables, kept in the configuration database.
class ARX totalDAO : public DAO {
public:
    InstanceDataManager* getIDM() override;
};

/// Objects of the described tables, kept in the current work database.
class ARX subDBDAO : public DAO {
public:
    InstanceDataManager* getIDM() override;
};

/// Rows of dictionary tables, kept in the configuration database.
class ARX dataDictionaryDAO : public DAO {
public:
    InstanceDataManager* getIDM() override;
};

}  // namespace MeridianSpace
