#pragma once

// Record classes used by the tests of the persistence frame: they follow the
// conventions of the library's own records (member _x, column x or Mx_N).
#include <string>

#include "M_ObjectDAO.h"
#include "M_QMSObjectDAO.h"
#include "Mapper.h"

namespace arxtest {

using namespace MeridianSpace;

/// Table "T_M_Note": Name, Title, RProjectID, T_M_FolderID, Priority, Weight, InnerName.
class NoteDAO : public M_ObjectDAO {
public:
    std::string _title;
    int _rProjectID = -1;
    int _t_M_FolderID = -1;
    int _priority = 0;
    double _weight = 0.0;
    std::string _innerName;

    static DAO* createObject() { return new NoteDAO; }
    Mapper* createMapper() override;
};

class NoteMapper : public subDBMapper {
public:
    NoteMapper() { _entityInnerName = "T_M_Note"; }
    int doSave(ITableData& tableData, DAO* pdao) override;
    DAO* doLoad(ITableData& qd) override;
};

/// Table "T_M_Tag_2": MName_2, MInnerName_2, MRNoteID_2, MIsPk_2.
class TagDAO : public M_QMSObjectDAO {
public:
    std::string _innerName;
    int _rNoteID = -1;
    int _isPk = 0;

    static DAO* createObject() { return new TagDAO; }
    Mapper* createMapper() override;
};

class TagMapper : public subDBMapper {
public:
    TagMapper() { _entityInnerName = "T_M_Tag_2"; }
    int doSave(ITableData& tableData, DAO* pdao) override;
    DAO* doLoad(ITableData& qd) override;
};

/// A project-like record: table "T_M_Project" (Name, UpdateTime), type 100.
class ProjectRecord : public M_ObjectDAO {
public:
    ProjectRecord() { _DAOType = DAO_TYPE_PROJECT; }
    std::string _updateTime;

    static DAO* createObject() { return new ProjectRecord; }
    Mapper* createMapper() override;
};

class ProjectRecordMapper : public subDBMapper {
public:
    ProjectRecordMapper() { _entityInnerName = "T_M_Project"; }
    int doSave(ITableData& tableData, DAO* pdao) override;
    DAO* doLoad(ITableData& qd) override;
};

/// Registers the three classes as "NoteDAO", "TagDAO" and "ProjectRecord".
void registerSampleRecords();

}  // namespace arxtest
