#pragma once

// A ten-column record for the persistence benchmarks, and the matching row.
#include <string>

#include "ITableData.h"
#include "M_ObjectDAO.h"
#include "RecordColumns.h"

namespace arxbench {

using namespace MeridianSpace;

/// Table "T_M_Bench": Name, Code, Note (text), T_M_GroupID, Qty, Flag,
/// Version (integer), Price, Weight (real), RProjectID (integer).
class BenchRecord : public M_ObjectDAO {
public:
    std::string _code, _note;
    int _t_M_GroupID = -1, _qty = 0, _flag = 0, _version = 0, _rProjectID = -1;
    double _price = 0.0, _weight = 0.0;

    static DAO* createObject() { return new BenchRecord; }
    Mapper* createMapper() override;
};

/// The columns of the table, in mapper order, and their types.
extern const char* const kBenchColumns[10];
extern const int kBenchTypes[10];

/// The i-th benchmark record's values as text, in column order.
void benchValues(int i, std::string (&values)[10]);
/// A row of the table with its columns and types set, values empty.
ITableData benchRow();
/// Fills a record with the i-th values.
void fillBenchRecord(int i, BenchRecord& record);

/// Drops and recreates the table (with its indexed key columns) in the
/// current configuration database, committed.
void resetBenchTable();
/// Fills the table anew with n records in one transaction, unless the last
/// call filled the same database with as many.
void populateBenchTable(int n);

}  // namespace arxbench
