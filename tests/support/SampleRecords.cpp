#include "support/SampleRecords.h"

#include "DAOFactoryRegistry.h"
#include "StringHelper.h"

namespace arxtest {

namespace {

void put(ITableData& row, const char* column, int type, const std::string& value) {
    row._cloInnerName[row._colNum] = column;
    row._colType[row._colNum] = type;
    row._colValue[row._colNum] = value;
    ++row._colNum;
}

}  // namespace

Mapper* NoteDAO::createMapper() {
    return new NoteMapper;
}

int NoteMapper::doSave(ITableData& tableData, DAO* pdao) {
    auto* p = dynamic_cast<NoteDAO*>(pdao);
    if (p == nullptr) return RUN_FAIL;
    tableData._tableInnerName = _entityInnerName;
    tableData._colNum = 0;
    put(tableData, "Name", COL_TYPE_STRING, p->_name);
    put(tableData, "Title", COL_TYPE_STRING, p->_title);
    put(tableData, "RProjectID", COL_TYPE_INT, StringHelper::int2String(p->_rProjectID));
    put(tableData, "T_M_FolderID", COL_TYPE_INT, StringHelper::int2String(p->_t_M_FolderID));
    put(tableData, "Priority", COL_TYPE_INT, StringHelper::int2String(p->_priority));
    put(tableData, "Weight", COL_TYPE_DOUBLE, StringHelper::doubleTostring(p->_weight));
    put(tableData, "InnerName", COL_TYPE_STRING, p->_innerName);
    return RUN_SUCCESS;
}

DAO* NoteMapper::doLoad(ITableData& qd) {
    auto* p = new NoteDAO;
    p->_ID = StringHelper::string2int(qd.getColValue("id"));
    p->_name = qd.getColValue("Name");
    p->_title = qd.getColValue("Title");
    p->_rProjectID = StringHelper::string2int(qd.getColValue("RProjectID"));
    p->_t_M_FolderID = StringHelper::string2int(qd.getColValue("T_M_FolderID"));
    p->_priority = StringHelper::string2int(qd.getColValue("Priority"));
    p->_weight = StringHelper::stringTodouble(qd.getColValue("Weight"));
    p->_innerName = qd.getColValue("InnerName");
    return p;
}

Mapper* TagDAO::createMapper() {
    return new TagMapper;
}

int TagMapper::doSave(ITableData& tableData, DAO* pdao) {
    auto* p = dynamic_cast<TagDAO*>(pdao);
    if (p == nullptr) return RUN_FAIL;
    tableData._tableInnerName = _entityInnerName;
    tableData._colNum = 0;
    put(tableData, "MName_2", COL_TYPE_STRING, p->_name);
    put(tableData, "MInnerName_2", COL_TYPE_STRING, p->_innerName);
    put(tableData, "MRNoteID_2", COL_TYPE_INT, StringHelper::int2String(p->_rNoteID));
    put(tableData, "MIsPk_2", COL_TYPE_INT, StringHelper::int2String(p->_isPk));
    return RUN_SUCCESS;
}

DAO* TagMapper::doLoad(ITableData& qd) {
    auto* p = new TagDAO;
    p->_ID = StringHelper::string2int(qd.getColValue("id"));
    p->_name = qd.getColValue("MName_2");
    p->_innerName = qd.getColValue("MInnerName_2");
    p->_rNoteID = StringHelper::string2int(qd.getColValue("MRNoteID_2"));
    p->_isPk = StringHelper::string2int(qd.getColValue("MIsPk_2"));
    return p;
}

Mapper* ProjectRecord::createMapper() {
    return new ProjectRecordMapper;
}

int ProjectRecordMapper::doSave(ITableData& tableData, DAO* pdao) {
    auto* p = dynamic_cast<ProjectRecord*>(pdao);
    if (p == nullptr) return RUN_FAIL;
    tableData._tableInnerName = _entityInnerName;
    tableData._colNum = 0;
    put(tableData, "Name", COL_TYPE_STRING, p->_name);
    put(tableData, "UpdateTime", COL_TYPE_STRING, p->_updateTime);
    return RUN_SUCCESS;
}

DAO* ProjectRecordMapper::doLoad(ITableData& qd) {
    auto* p = new ProjectRecord;
    p->_ID = StringHelper::string2int(qd.getColValue("id"));
    p->_name = qd.getColValue("Name");
    p->_updateTime = qd.getColValue("UpdateTime");
    return p;
}

void registerSampleRecords() {
    DAOFactoryRegistry::registerClass("NoteDAO", &NoteDAO::createObject);
    DAOFactoryRegistry::registerClass("TagDAO", &TagDAO::createObject);
    DAOFactoryRegistry::registerClass("ProjectRecord", &ProjectRecord::createObject);
}

}  // namespace arxtest
