// Code generation for models of 100 and 1,000 tables of 20 columns (three
// kinds of plain columns, one find key, one query and one delete definition
// per table): every table's six files are generated into one folder.
// Reported: files per second and the time per table, which should stay flat
// from 100 to 1,000 tables.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchPlatform.h"
#include "M_DelByInterfaceDAO.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "MetaDataManager.h"
#include "Transaction.h"

using namespace MeridianSpace;
using arxbench::benchProject;
using arxbench::must;

namespace {

constexpr int kColumns = 20;

struct BenchModel {
    std::unique_ptr<M_EntityModelDAO> model;
    std::vector<std::unique_ptr<M_EntityTableDAO>> tables;
};

// The model of `count` tables, built once in one transaction.
BenchModel& benchModel(int count) {
    static std::map<int, BenchModel> built;
    BenchModel& entry = built[count];
    if (entry.model) return entry;
    Transaction tx(*MeridianNew::getCurrMRDConfigMDM());
    must(tx.begun());
    entry.model = std::make_unique<M_EntityModelDAO>();
    entry.model->_name = "Codegen" + std::to_string(count);
    must(benchProject().addEntityModel(entry.model.get(), 0));
    M_FolderDAO folder;
    folder._name = "F_tables";
    must(entry.model->addM_FolderDAO(&folder, 0));
    for (int t = 0; t < count; ++t) {
        auto table = std::make_unique<M_EntityTableDAO>();
        table->_name = "T_table" + std::to_string(t);
        table->_whiteBoxType = "1:1,2:1,4:1,5:1,6:1,7:1,8:1";
        must(folder.addM_EntityTableDAO(table.get()));
        std::vector<int> ids;
        for (int c = 0; c < kColumns; ++c) {
            M_NormalColumnDAO column;
            column._name = "MCol" + std::to_string(c);
            column._dataType = c % 3 + 1;
            column._isFindKey = c == 0 ? 1 : 0;
            must(table->addNormalColumnDAO(entry.model.get(), &column, 0));
            ids.push_back(column._ID);
        }
        M_FindByInterfaceDAO finder;
        finder._name = "FindByCol0AndCol1";
        finder._paraList = std::to_string(ids[0]) + ",=,and#" + std::to_string(ids[1]) + ",like";
        must(table->addFindByInterfaceDAO(&finder, 0));
        M_DelByInterfaceDAO deleter;
        deleter._name = "DelByCol0";
        deleter._paraList = std::to_string(ids[0]) + ",=";
        must(table->addDelByInterfaceDAO(&deleter, 0));
        entry.tables.push_back(std::move(table));
    }
    must(tx.commit());
    return entry;
}

struct Row {
    int tables;
    double filesPerSecond;
    double usPerTable;
};

std::vector<Row>& summary() {
    static std::vector<Row> rows;
    return rows;
}

void BM_CreateCode(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    BenchModel& built = benchModel(count);
    static int run = 0;
    for (auto _ : state) {
        // A new folder each time, removed with the platform's folder at the
        // end: deleting thousands of files just before creating as many
        // again makes the file system's inode search part of the figure.
        const std::string out = arxbench::benchFolder() + "/gen" + std::to_string(++run);
        std::list<std::string> files;
        const auto start = std::chrono::steady_clock::now();
        for (auto& table : built.tables)
            must(table->CreateCode(built.model.get(), out, files));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        // The registration list is listed once per table; it is one file.
        const double written = static_cast<double>(files.size());
        state.counters["files_per_second"] = written / seconds;
        state.counters["us_per_table"] = seconds * 1e6 / count;
        summary().push_back({count, written / seconds, seconds * 1e6 / count});
    }
}
BENCHMARK(BM_CreateCode)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    arxbench::BenchPlatform platform;
    const int status = arxbench::runBenchmarks(argc, argv, [] {
        std::printf("\n  tables   files/s   us/table\n");
        for (const Row& row : summary())
            std::printf("  %6d  %8.0f  %9.1f\n", row.tables, row.filesPerSecond, row.usPerTable);
    });
    return platform.shutdown() ? status : 1;
}
