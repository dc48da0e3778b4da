#include "BenchRecord.h"

#include "BenchPlatform.h"
#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "MeridianNew.h"
#include "StringHelper.h"

namespace arxbench {

const char* const kBenchColumns[10] = {"Name", "Code",    "Note",  "T_M_GroupID", "Qty",
                                       "Flag", "Version", "Price", "Weight",      "RProjectID"};
const int kBenchTypes[10] = {COL_TYPE_STRING, COL_TYPE_STRING, COL_TYPE_STRING, COL_TYPE_INT,
                             COL_TYPE_INT,    COL_TYPE_INT,    COL_TYPE_INT,    COL_TYPE_DOUBLE,
                             COL_TYPE_DOUBLE, COL_TYPE_INT};

Mapper* BenchRecord::createMapper() {
    static const RecordColumns<BenchRecord> columns("T_M_Bench",
                                                    {{"Name", &BenchRecord::_name},
                                                     {"Code", &BenchRecord::_code},
                                                     {"Note", &BenchRecord::_note},
                                                     {"T_M_GroupID", &BenchRecord::_t_M_GroupID},
                                                     {"Qty", &BenchRecord::_qty},
                                                     {"Flag", &BenchRecord::_flag},
                                                     {"Version", &BenchRecord::_version},
                                                     {"Price", &BenchRecord::_price},
                                                     {"Weight", &BenchRecord::_weight},
                                                     {"RProjectID", &BenchRecord::_rProjectID}});
    return new ColumnMapper<BenchRecord>(columns);
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

ITableData benchRow() {
    ITableData row;
    row._tableInnerName = "T_M_Bench";
    row._colNum = 10;
    for (int c = 0; c < 10; ++c) {
        row._cloInnerName[c] = kBenchColumns[c];
        row._colType[c] = kBenchTypes[c];
    }
    return row;
}

void resetBenchTable() {
    InstanceDataManager& idm = *MeridianNew::getCurrMRDConfigIDM();
    ResultMsg dropped = idm.delTableInstance("T_M_Bench");
    (void)dropped;  // missing before the first run
    must(MeridianNew::ensureRegisteredTables());
    must(idm.getPSession()->commit());
}

void populateBenchTable(int n) {
    static int populated = -1;
    static std::string populatedIn;
    const std::string database = MeridianNew::getCurrentMRDConfigDB();
    if (populated == n && populatedIn == database) return;
    resetBenchTable();
    for (int i = 0; i < n; ++i) {
        BenchRecord record;
        fillBenchRecord(i, record);
        must(record.save(COMMIT_T_DEFERRED));
    }
    must(MeridianNew::getCurrMRDConfigIDM()->getPSession()->commit());
    populated = n;
    populatedIn = database;
}

}  // namespace arxbench
