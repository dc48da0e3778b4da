#include "BenchRecord.h"

#include "StringHelper.h"

namespace arxbench {

const char* const kBenchColumns[10] = {"Name", "Code",    "Note",  "T_M_GroupID", "Qty",
                                       "Flag", "Version", "Price", "Weight",      "RProjectID"};
const int kBenchTypes[10] = {COL_TYPE_STRING, COL_TYPE_STRING, COL_TYPE_STRING, COL_TYPE_INT,
                             COL_TYPE_INT,    COL_TYPE_INT,    COL_TYPE_INT,    COL_TYPE_DOUBLE,
                             COL_TYPE_DOUBLE, COL_TYPE_INT};

Mapper* BenchRecord::createMapper() {
    return new BenchRecordMapper;
}

int BenchRecordMapper::doSave(ITableData& row, DAO* pdao) {
    auto* p = dynamic_cast<BenchRecord*>(pdao);
    if (p == nullptr) return RUN_FAIL;
    row._tableInnerName = _entityInnerName;
    row._colNum = 10;
    const std::string values[10] = {p->_name,
                                    p->_code,
                                    p->_note,
                                    StringHelper::int2String(p->_t_M_GroupID),
                                    StringHelper::int2String(p->_qty),
                                    StringHelper::int2String(p->_flag),
                                    StringHelper::int2String(p->_version),
                                    StringHelper::doubleTostring(p->_price),
                                    StringHelper::doubleTostring(p->_weight),
                                    StringHelper::int2String(p->_rProjectID)};
    for (int i = 0; i < 10; ++i) {
        row._cloInnerName[i] = kBenchColumns[i];
        row._colType[i] = kBenchTypes[i];
        row._colValue[i] = values[i];
    }
    return RUN_SUCCESS;
}

DAO* BenchRecordMapper::doLoad(ITableData& qd) {
    auto* p = new BenchRecord;
    p->_ID = StringHelper::string2int(qd.getColValue("id"));
    p->_name = qd.getColValue("Name");
    p->_code = qd.getColValue("Code");
    p->_note = qd.getColValue("Note");
    p->_t_M_GroupID = StringHelper::string2int(qd.getColValue("T_M_GroupID"));
    p->_qty = StringHelper::string2int(qd.getColValue("Qty"));
    p->_flag = StringHelper::string2int(qd.getColValue("Flag"));
    p->_version = StringHelper::string2int(qd.getColValue("Version"));
    p->_price = StringHelper::stringTodouble(qd.getColValue("Price"));
    p->_weight = StringHelper::stringTodouble(qd.getColValue("Weight"));
    p->_rProjectID = StringHelper::string2int(qd.getColValue("RProjectID"));
    return p;
}

void benchValues(int i, std::string (&values)[10]) {
    values[0] = "record " + std::to_string(i);
    values[1] = "C" + std::to_string(i * 7919 % 100003);
    values[2] = "a note of some modest length";
    values[3] = std::to_string(i);
    values[4] = std::to_string(i % 97);
    values[5] = std::to_string(i % 2);
    values[6] = "1";
    values[7] = "12.5";
    values[8] = "0.25";
    values[9] = "1";
}

void fillBenchRecord(int i, BenchRecord& record) {
    std::string v[10];
    benchValues(i, v);
    record._name = v[0];
    record._code = v[1];
    record._note = v[2];
    record._t_M_GroupID = i;
    record._qty = i % 97;
    record._flag = i % 2;
    record._version = 1;
    record._price = 12.5;
    record._weight = 0.25;
    record._rProjectID = 1;
}

}  // namespace arxbench
