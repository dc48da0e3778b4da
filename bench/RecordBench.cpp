// Metadata records at growing model sizes, in one run: building a model of
// N tables x 20 columns through M_FolderDAO::addM_EntityTableDAO and
// M_EntityTableDAO::addNormalColumnDAO (time per column), and removing its
// tables again, one by one with delFromEntityModel and folder by folder with
// M_FolderDAO::delself (time per table). Every model is built in the same
// configuration database, so later sizes also run on more stored data.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchPlatform.h"
#include "InstanceDataManager.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "StringHelper.h"
#include "Transaction.h"

using namespace MeridianSpace;
using arxbench::benchProject;
using arxbench::must;

namespace {

constexpr int kColumnsPerTable = 20;
constexpr int kTablesPerFolder = 50;

struct BuiltModel {
    M_EntityModelDAO model;
    std::vector<std::unique_ptr<M_FolderDAO>> folders;
    std::vector<std::unique_ptr<M_EntityTableDAO>> tables;
};

// A new model of n tables of 20 columns, 50 tables to a root folder.
void build(int n, BuiltModel& built) {
    static int models = 0;
    built.model._name = "Model" + std::to_string(++models);
    must(benchProject().addEntityModel(&built.model));
    for (int i = 0; i < n; ++i) {
        if (i % kTablesPerFolder == 0) {
            built.folders.push_back(std::make_unique<M_FolderDAO>());
            built.folders.back()->_name = "Folder" + std::to_string(i / kTablesPerFolder);
            must(built.model.addM_FolderDAO(built.folders.back().get()));
        }
        auto table = std::make_unique<M_EntityTableDAO>();
        table->_name = "Table" + std::to_string(i);
        must(built.folders.back()->addM_EntityTableDAO(table.get()));
        for (int c = 0; c < kColumnsPerTable; ++c) {
            M_NormalColumnDAO column;
            column._name = "Column" + std::to_string(c);
            column._dataType = 1 + c % 2;
            must(table->addNormalColumnDAO(&built.model, &column));
        }
        built.tables.push_back(std::move(table));
    }
}

// Seconds of real time per item.
void perItem(benchmark::State& state, const char* name, int items) {
    state.counters[name] = benchmark::Counter(
        static_cast<double>(items),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_BuildModel(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        BuiltModel built;
        build(n, built);
    }
    perItem(state, "s_per_column", n * kColumnsPerTable);
}

// The same inside one Transaction: one commit instead of one per column, and
// no read lock taken and released around every lookup.
void BM_BuildModelInTransaction(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        BuiltModel built;
        Transaction tx(*MeridianNew::getCurrMRDConfigIDM());
        must(tx.begun());
        build(n, built);
        must(tx.commit());
    }
    perItem(state, "s_per_column", n * kColumnsPerTable);
}

// Removes every table of a freshly built model: the second argument 0 asks
// each table to leave the model (delFromEntityModel), 1 deletes the folders.
void BM_RemoveTables(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const bool byFolder = state.range(1) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        BuiltModel built;
        build(n, built);
        state.ResumeTiming();
        std::string report;
        if (byFolder) {
            for (auto& folder : built.folders)
                must(folder->delself(report, COMMIT_T_IMMEDIATELY));
        } else {
            for (auto& table : built.tables)
                must(table->delFromEntityModel(&built.model, report));
        }
    }
    perItem(state, "s_per_table", n);
}

}  // namespace

BENCHMARK(BM_BuildModel)
    ->Arg(100)
    ->Arg(500)
    ->Arg(2000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildModelInTransaction)
    ->Arg(100)
    ->Arg(500)
    ->Arg(2000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveTables)
    ->ArgNames({"tables", "byFolder"})
    ->ArgsProduct({{100, 500, 2000}, {0, 1}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    arxbench::BenchPlatform platform;
    const int status = arxbench::runBenchmarks(argc, argv);
    return platform.shutdown() ? status : 1;
}
