#pragma once

// Record classes used by the tests of the persistence frame: they follow the
// conventions of the library's own records (member _x, column x or Mx_N) and
// declare their columns once.
#include <string>

#include "DAOFactoryRegistry.h"
#include "M_ObjectDAO.h"
#include "M_QMSObjectDAO.h"
#include "RecordColumns.h"

namespace arxtest {

using namespace MeridianSpace;

class NoteDAO : public M_ObjectDAO {
public:
    std::string _title, _innerName;
    int _rProjectID = -1, _t_M_FolderID = -1, _priority = 0;
    double _weight = 0.0;

    static DAO* createObject() { return new NoteDAO; }
    Mapper* createMapper() override {
        static const RecordColumns<NoteDAO> columns("T_M_Note",
                                                    {{"Name", &NoteDAO::_name},
                                                     {"Title", &NoteDAO::_title},
                                                     {"RProjectID", &NoteDAO::_rProjectID},
                                                     {"T_M_FolderID", &NoteDAO::_t_M_FolderID},
                                                     {"Priority", &NoteDAO::_priority},
                                                     {"Weight", &NoteDAO::_weight},
                                                     {"InnerName", &NoteDAO::_innerName}});
        return new ColumnMapper<NoteDAO>(columns);
    }
};

class TagDAO : public M_QMSObjectDAO {
public:
    std::string _innerName;
    int _rNoteID = -1, _isPk = 0;

    static DAO* createObject() { return new TagDAO; }
    Mapper* createMapper() override {
        static const RecordColumns<TagDAO> columns("T_M_Tag_2",
                                                   {{"MName_2", &TagDAO::_name},
                                                    {"MInnerName_2", &TagDAO::_innerName},
                                                    {"MRNoteID_2", &TagDAO::_rNoteID},
                                                    {"MIsPk_2", &TagDAO::_isPk}});
        return new ColumnMapper<TagDAO>(columns);
    }
};

inline void registerSampleRecords() {
    DAOFactoryRegistry::registerClass("NoteDAO", &NoteDAO::createObject);
    DAOFactoryRegistry::registerClass("TagDAO", &TagDAO::createObject);
}

}  // namespace arxtest
