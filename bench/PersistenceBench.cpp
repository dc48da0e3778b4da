// Row inserts: raw SQLite prepared inserts against InstanceDataManager::
// addITableData and M_ObjectDAO::save (with and without a current project to
// stamp), each writing N rows of ten columns in
// one transaction into the same database file. Finds: DAOFinder by a key
// column and by identifier at growing table sizes, and by a column without an
// index for contrast.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "BenchPlatform.h"
#include "BenchRecord.h"
#include "DAOFactoryRegistry.h"
#include "DAOFinder.h"
#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "StringHelper.h"

using namespace arxbench;

namespace {

std::string databasePath() {
    return benchFolder() + "/config.db";
}

InstanceDataManager& idm() {
    return *MeridianNew::getCurrMRDConfigIDM();
}

// A plain SQLite connection on the same file, with the same settings.
class RawDatabase {
public:
    RawDatabase() {
        if (sqlite3_open(databasePath().c_str(), &db_) != SQLITE_OK)
            throw std::runtime_error("open");
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    }
    ~RawDatabase() { sqlite3_close(db_); }
    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
    }
    sqlite3* get() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

void BM_RawSqliteInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawDatabase raw;
    std::string values[10];
    for (auto _ : state) {
        state.PauseTiming();
        raw.exec(
            "DROP TABLE IF EXISTS T_Raw;"
            "CREATE TABLE T_Raw (id INTEGER PRIMARY KEY, Name TEXT, Code TEXT, Note TEXT, "
            "T_M_GroupID INTEGER, Qty INTEGER, Flag INTEGER, Version INTEGER, Price REAL, "
            "Weight REAL, RProjectID INTEGER);"
            "CREATE INDEX ix_raw_group ON T_Raw (T_M_GroupID);"
            "CREATE INDEX ix_raw_project ON T_Raw (RProjectID);");
        state.ResumeTiming();
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(raw.get(),
                           "INSERT INTO T_Raw (Name, Code, Note, T_M_GroupID, Qty, Flag, Version, "
                           "Price, Weight, RProjectID) VALUES (?,?,?,?,?,?,?,?,?,?)",
                           -1, &stmt, nullptr);
        raw.exec("BEGIN");
        for (int i = 0; i < n; ++i) {
            benchValues(i, values);
            for (int c = 0; c < 3; ++c) {
                sqlite3_bind_text(stmt, c + 1, values[c].data(), static_cast<int>(values[c].size()),
                                  SQLITE_TRANSIENT);
            }
            for (int c : {3, 4, 5, 6, 9})
                sqlite3_bind_int64(stmt, c + 1, std::stoll(values[c]));
            for (int c : {7, 8})
                sqlite3_bind_double(stmt, c + 1, std::stod(values[c]));
            sqlite3_step(stmt);
            sqlite3_reset(stmt);
        }
        raw.exec("COMMIT");
        sqlite3_finalize(stmt);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_AddITableData(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    ITableData row = benchRow();
    std::string values[10];
    for (auto _ : state) {
        state.PauseTiming();
        resetBenchTable();
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) {
            benchValues(i, values);
            for (int c = 0; c < 10; ++c)
                row._colValue[c] = values[c];
            must(idm().addITableData(row, COMMIT_T_DEFERRED));
        }
        must(idm().getPSession()->commit());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The second argument 1 sets a current project, which every save stamps
// with its update time; 0 leaves none (each save then answers with the
// warning that there is no current project).
void BM_ObjectSave(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    static M_ProjectDAO project;
    if (project._ID < 1) must(project.save());
    M_ProjectDAO::setCurrProjectID(state.range(1) == 1 ? project._ID : -1);
    for (auto _ : state) {
        state.PauseTiming();
        resetBenchTable();
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) {
            BenchRecord record;
            fillBenchRecord(i, record);
            must(record.save(COMMIT_T_DEFERRED));
        }
        must(idm().getPSession()->commit());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_FindByOneAttrKey(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    populateBenchTable(n);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, n - 1);
    DAOFinder finder;
    std::size_t hits = 0;
    for (auto _ : state) {
        std::list<DAO*> found;
        const ResultMsg rm = finder.findByOneAttr("BenchRecord", "_t_M_GroupID", "  =  ",
                                                  StringHelper::int2String(pick(random)), found);
        if (!rm.ok()) state.SkipWithError("find failed");
        hits += found.size();
        T_deletePtrList(found);
    }
    if (hits != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("wrong hit count");
}

// The same lookup on a column without an index, for contrast: a scan.
void BM_FindByOneAttrUnindexed(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    populateBenchTable(n);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, n - 1);
    DAOFinder finder;
    std::string values[10];
    for (auto _ : state) {
        benchValues(pick(random), values);
        std::list<DAO*> found;
        if (!finder.findByOneAttr("BenchRecord", "_code", " = ", "'" + values[1] + "'", found).ok())
            state.SkipWithError("find failed");
        if (found.empty()) state.SkipWithError("record not found");
        T_deletePtrList(found);
    }
}

void BM_FindByID(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    populateBenchTable(n);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(1, n);
    DAOFinder finder;
    for (auto _ : state) {
        DAO* found = nullptr;
        if (!finder.findByID("BenchRecord", pick(random), found).ok())
            state.SkipWithError("find failed");
        if (found == nullptr) state.SkipWithError("record not found");
        delete found;
    }
}

}  // namespace

BENCHMARK(BM_RawSqliteInsert)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AddITableData)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ObjectSave)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_FindByOneAttrKey)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindByOneAttrUnindexed)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindByID)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    DAOFactoryRegistry::registerClass("BenchRecord", &BenchRecord::createObject);
    // Log mode 1, as a host runs: the figures include the log file.
    BenchPlatform platform(1);
    const int status = runBenchmarks(argc, argv);
    return platform.shutdown() ? status : 1;
}
