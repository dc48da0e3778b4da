// Table data in the row text form, side by side with raw SQLite on the same
// instance file: saveData of new rows against prepared inserts, saveData of
// existing rows against prepared updates, getData against a prepared select
// that builds the same lines; and a dictionary table's exportData and its
// importData. Ten columns: three text, five integer, two real.
//
// `bench_tabledata --peak-rows=N` instead stores N rows, reads them back with
// getData once and prints the lines read; run it under /usr/bin/time -v to
// see the peak memory of getData.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchPlatform.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "QmsRecordClasses.h"
#include "StringHelper.h"

using namespace MeridianSpace;
using arxbench::benchFolder;
using arxbench::benchProject;
using arxbench::must;

namespace {

constexpr int kColumns = 10;
constexpr int kTypes[kColumns] = {2, 2, 2, 1, 1, 1, 1, 1, 3, 3};
constexpr char kSeparator[] = "@#@";

// The i-th row's values in column order.
void rowValues(int i, std::string (&values)[kColumns]) {
    values[0] = "name" + std::to_string(i);
    values[1] = "code-" + std::to_string(i % 977);
    values[2] = "note 'quoted' 100% #" + std::to_string(i);
    for (int c = 3; c < 8; ++c)
        values[c] = std::to_string(i * c % 100003);
    values[8] = std::to_string(i) + ".25";
    values[9] = std::to_string(i % 1000) + ".5";
}

// n value lines; with `withIDs` the i-th line names row i + 1, else 0.
std::list<std::string> makeLines(int n, bool withIDs, bool withIDColumn = true) {
    std::list<std::string> lines;
    std::string values[kColumns];
    for (int i = 0; i < n; ++i) {
        rowValues(i, values);
        std::string line = withIDColumn ? std::to_string(withIDs ? i + 1 : 0) : std::string();
        for (int c = 0; c < kColumns; ++c) {
            if (withIDColumn || c > 0) line += kSeparator;
            line += values[c];
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// A table of ten columns in a model, and the column list of the row text
// form (the identifier column first).
struct BenchTable {
    M_EntityModelDAO model;
    M_FolderDAO folder;
    M_EntityTableDAO table;
    std::list<M_NormalColumnDAO*> columns;
    std::list<M_NormalColumnDAO*> columnsWithID;

    ~BenchTable() {
        T_deletePtrList(columns);
        delete columnsWithID.front();
    }

    void build(M_ProjectDAO& project, const std::string& name, int type) {
        model._name = name;
        model._type = type;
        must(project.addEntityModel(&model));
        folder._name = "F";
        must(model.addM_FolderDAO(&folder));
        table._name = "Bench";
        must(folder.addM_EntityTableDAO(&table));
        auto* id = new M_NormalColumnDAO;
        id->_name = id->_innerName = "id";
        id->_dataType = 1;
        columnsWithID.push_back(id);
        for (int c = 0; c < kColumns; ++c) {
            auto* column = new M_NormalColumnDAO;
            column->_name = "C" + std::to_string(c);
            column->_dataType = kTypes[c];
            must(table.addNormalColumnDAO(&model, column));
            columns.push_back(column);
            columnsWithID.push_back(column);
        }
    }
};

// The ordinary model's table, made once, with its instance file as the
// current work database.
BenchTable& rowTable() {
    static BenchTable* table = nullptr;
    if (table == nullptr) {
        table = new BenchTable;
        table->build(benchProject(), "RowModel", 0);
        must(table->model.createInstance(benchFolder(), "instance.db"));
        must(MeridianNew::setCurrentWorkDB(benchFolder() + "/instance.db", 1));
    }
    return *table;
}

BenchTable& dictionaryTable() {
    static BenchTable* table = nullptr;
    if (table == nullptr) {
        table = new BenchTable;
        table->build(benchProject(), "DictModel", 2);
    }
    return *table;
}

// A plain SQLite connection on the instance file, with the same settings as
// the library's sessions, and a table of the same shape beside the library's.
class RawDatabase {
public:
    RawDatabase() {
        rowTable();  // the instance file must exist first
        const std::string path = benchFolder() + "/instance.db";
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("open");
        exec(
            "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA busy_timeout=5000; "
            "PRAGMA cache_size=-16384;");
    }
    ~RawDatabase() {
        sqlite3_finalize(stmt_);
        sqlite3_close(db_);
    }
    void exec(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
        return stmt_;
    }
    void resetTable() {
        exec(
            "DROP TABLE IF EXISTS T_Raw; CREATE TABLE T_Raw (id INTEGER PRIMARY KEY, C0 TEXT, "
            "C1 TEXT, C2 TEXT, C3 INTEGER, C4 INTEGER, C5 INTEGER, C6 INTEGER, C7 INTEGER, "
            "C8 REAL, C9 REAL)");
    }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// Binds the i-th row's values by column type, the first at `first`.
void bindValues(sqlite3_stmt* stmt, int first, std::string (&values)[kColumns]) {
    for (int c = 0; c < kColumns; ++c) {
        const int at = first + c;
        if (kTypes[c] == 1) {
            sqlite3_bind_int64(stmt, at, std::stoll(values[c]));
        } else if (kTypes[c] == 3) {
            sqlite3_bind_double(stmt, at, std::stod(values[c]));
        } else {
            sqlite3_bind_text(stmt, at, values[c].data(), static_cast<int>(values[c].size()),
                              SQLITE_TRANSIENT);
        }
    }
}

void rawInsert(RawDatabase& raw, int n) {
    sqlite3_stmt* stmt = raw.prepare(
        "INSERT INTO T_Raw (C0,C1,C2,C3,C4,C5,C6,C7,C8,C9) VALUES (?,?,?,?,?,?,?,?,?,?)");
    std::string values[kColumns];
    raw.exec("BEGIN");
    for (int i = 0; i < n; ++i) {
        rowValues(i, values);
        bindValues(stmt, 1, values);
        if (sqlite3_step(stmt) != SQLITE_DONE) throw std::runtime_error("raw insert");
        sqlite3_reset(stmt);
    }
    raw.exec("COMMIT");
}

// Empties the library's table; with `n` above 0 stores n rows again.
void refillRowTable(int n) {
    BenchTable& t = rowTable();
    must(t.table.delAllData());
    if (n > 0) must(t.table.saveData(t.columnsWithID, makeLines(n, false)));
}

void BM_RawInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawDatabase raw;
    for (auto _ : state) {
        state.PauseTiming();
        raw.resetTable();
        state.ResumeTiming();
        rawInsert(raw, n);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_SaveDataInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BenchTable& t = rowTable();
    const std::list<std::string> lines = makeLines(n, false);
    for (auto _ : state) {
        state.PauseTiming();
        refillRowTable(0);
        state.ResumeTiming();
        must(t.table.saveData(t.columnsWithID, lines));
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_RawUpdate(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawDatabase raw;
    raw.resetTable();
    rawInsert(raw, n);
    sqlite3_stmt* stmt = raw.prepare(
        "UPDATE T_Raw SET C0=?,C1=?,C2=?,C3=?,C4=?,C5=?,C6=?,C7=?,C8=?,C9=? WHERE id=?");
    std::string values[kColumns];
    for (auto _ : state) {
        raw.exec("BEGIN");
        for (int i = 0; i < n; ++i) {
            rowValues(i, values);
            bindValues(stmt, 1, values);
            sqlite3_bind_int(stmt, kColumns + 1, i + 1);
            if (sqlite3_step(stmt) != SQLITE_DONE || sqlite3_changes(sqlite3_db_handle(stmt)) != 1)
                throw std::runtime_error("raw update");
            sqlite3_reset(stmt);
        }
        raw.exec("COMMIT");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_SaveDataUpdate(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BenchTable& t = rowTable();
    refillRowTable(n);
    const std::list<std::string> lines = makeLines(n, true);
    for (auto _ : state) {
        must(t.table.saveData(t.columnsWithID, lines));
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_RawSelect(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawDatabase raw;
    raw.resetTable();
    rawInsert(raw, n);
    sqlite3_stmt* stmt = raw.prepare("SELECT id,C0,C1,C2,C3,C4,C5,C6,C7,C8,C9 FROM T_Raw");
    for (auto _ : state) {
        std::list<std::string> lines;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::string line;
            for (int c = 0; c <= kColumns; ++c) {
                if (c > 0) line += kSeparator;
                // Numbers are written as the library writes them.
                switch (sqlite3_column_type(stmt, c)) {
                    case SQLITE_INTEGER:
                        line += std::to_string(sqlite3_column_int64(stmt, c));
                        break;
                    case SQLITE_FLOAT:
                        line += StringHelper::doubleTostring(sqlite3_column_double(stmt, c));
                        break;
                    default:
                        line.append(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                    sqlite3_column_bytes(stmt, c));
                }
            }
            lines.push_back(std::move(line));
        }
        sqlite3_reset(stmt);
        if (lines.size() != static_cast<std::size_t>(n)) throw std::runtime_error("raw select");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_GetData(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BenchTable& t = rowTable();
    refillRowTable(n);
    for (auto _ : state) {
        std::list<M_NormalColumnDAO*> columns;
        std::list<std::string> lines;
        must(t.table.getData(columns, lines));
        T_deletePtrList(columns);
        if (lines.size() != static_cast<std::size_t>(n)) throw std::runtime_error("getData");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The dictionary table's rows exported, and imported again (the physical
// table dropped, rebuilt and filled).
void BM_DictionaryExport(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BenchTable& t = dictionaryTable();
    must(t.table.importData(t.columns, makeLines(n, false, false)));
    for (auto _ : state) {
        std::list<M_NormalColumnDAO*> columns;
        std::list<std::string> lines;
        must(t.table.exportData(columns, lines));
        T_deletePtrList(columns);
        if (lines.size() != static_cast<std::size_t>(n)) throw std::runtime_error("exportData");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_DictionaryImport(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BenchTable& t = dictionaryTable();
    const std::list<std::string> lines = makeLines(n, false, false);
    for (auto _ : state) {
        must(t.table.importData(t.columns, lines));
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Stores n rows, reads them back once and prints how many lines came back
// and the peak memory of the read alone: the peak is reset (clear_refs 5)
// after the rows are stored, so the lines given to saveData do not count.
int peakRun(int n) {
    BenchTable& t = rowTable();
    refillRowTable(n);
    malloc_trim(0);
    arxbench::resetPeak();
    const long before = arxbench::statusKB("VmRSS");
    std::list<M_NormalColumnDAO*> columns;
    std::list<std::string> lines;
    must(t.table.getData(columns, lines));
    T_deletePtrList(columns);
    const long peak = arxbench::statusKB("VmHWM");
    std::printf(
        "getData read %zu lines; resident before %ld kB, peak during getData %ld kB "
        "(+%ld kB)\n",
        lines.size(), before, peak, peak - before);
    return lines.size() == static_cast<std::size_t>(n) ? 0 : 1;
}

}  // namespace

BENCHMARK(BM_RawInsert)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveDataInsert)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawUpdate)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveDataUpdate)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawSelect)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GetData)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DictionaryExport)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DictionaryImport)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
    return arxbench::runBenchmarksOrPeak(
        argc, argv, [](long long rows) { return peakRun(static_cast<int>(rows)); });
}
