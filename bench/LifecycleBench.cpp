// The entity model lifecycle at three model sizes: upgradeNewVersion and
// copyTo of a model of 100, 500 and 2,000 tables of 20 columns each, in a
// folder tree three levels deep (about ten tables per folder), with one
// query definition per table and a few scene records. Each model is built
// once, outside the timed region. Reported per table: the time of one
// operation in microseconds (us_per_table) and the SQL statements it ran on
// the configuration session (statements_per_table). Both should stay flat
// across the sizes; a summary table is printed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchModel.h"
#include "BenchPlatform.h"
#include "MRDSession.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "M_SceneInfoDAO.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "StringHelper.h"
#include "Transaction.h"

using namespace MeridianSpace;
using arxbench::benchProject;
using arxbench::must;

namespace {

constexpr int kTablesPerFolder = 10;
// Each root folder has kSubs sub-folders, each of them kSubSubs more.
constexpr int kSubs = 3;
constexpr int kSubSubs = 3;
constexpr int kFoldersPerRoot = 1 + kSubs + kSubs * kSubSubs;
// Scene records per model: this many of each kind (a root folder, a
// sub-folder in its parent, a table in its folder).
constexpr int kScenesPerKind = 4;

std::uint64_t statements() {
    return MeridianNew::getCurrMRDConfigMDM()->getPSession()->statementCount();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A stored model of `tables` tables and the newest version of it.
struct BenchModel {
    std::unique_ptr<M_EntityModelDAO> original;
    std::unique_ptr<M_EntityModelDAO> newest;
    int tables = 0;
    int folders = 0;
    int copies = 0;
};

// Builds the model through the record API in one transaction of the
// configuration session; tables are dealt round the folders of every level.
BenchModel& benchModel(int tables) {
    static std::map<int, BenchModel> models;
    BenchModel& built = models[tables];
    if (built.original) return built;

    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t before = statements();
    M_ProjectDAO& project = benchProject();
    Transaction tx(*MeridianNew::getCurrMRDConfigMDM());
    must(tx.begun());

    built.original = std::make_unique<M_EntityModelDAO>();
    M_EntityModelDAO& model = *built.original;
    model._name = "Lifecycle" + std::to_string(tables);
    model._displayName = model._name;
    must(project.addEntityModel(&model, 0));

    const int wanted = (tables + kTablesPerFolder - 1) / kTablesPerFolder;
    const int roots = std::max(1, (wanted + kFoldersPerRoot / 2) / kFoldersPerRoot);
    std::vector<std::unique_ptr<M_FolderDAO>> folders;
    std::vector<std::unique_ptr<M_SceneInfoDAO>> scenes;
    const auto folder = [&](const std::string& name) {
        folders.push_back(std::make_unique<M_FolderDAO>());
        folders.back()->_name = folders.back()->_displayName = name;
        return folders.back().get();
    };
    for (int r = 0; r < roots; ++r) {
        M_FolderDAO* root = folder("R" + std::to_string(r));
        must(model.addM_FolderDAO(root, 0));
        if (r < kScenesPerKind) {
            scenes.push_back(std::make_unique<M_SceneInfoDAO>(
                arxbench::benchScene(SCENE_KIND_FOLDER, root->_ID, model._ID, r)));
            must(scenes.back()->save(0));
        }
        for (int s = 0; s < kSubs; ++s) {
            M_FolderDAO* sub = folder(root->_name + "_" + std::to_string(s));
            must(root->addM_SubFolderDAO(sub, 0));
            if (r * kSubs + s < kScenesPerKind) {
                scenes.push_back(std::make_unique<M_SceneInfoDAO>(
                    arxbench::benchScene(SCENE_KIND_FOLDER, sub->_ID, model._ID, s)));
                must(root->addSceneInfo(scenes.back().get(), 0));
            }
            for (int ss = 0; ss < kSubSubs; ++ss)
                must(sub->addM_SubFolderDAO(folder(sub->_name + "_" + std::to_string(ss)), 0));
        }
    }
    for (int t = 0; t < tables; ++t) {
        M_FolderDAO& in = *folders[t % folders.size()];
        const int table = arxbench::addBenchTable(model, in, t);
        if (t < kScenesPerKind) {
            scenes.push_back(std::make_unique<M_SceneInfoDAO>(
                arxbench::benchScene(SCENE_KIND_TABLE, table, model._ID, t)));
            must(in.addSceneInfo(scenes.back().get(), 0));
        }
    }
    must(tx.commit());

    built.newest = std::make_unique<M_EntityModelDAO>(model);
    built.tables = tables;
    built.folders = static_cast<int>(folders.size());
    std::printf(
        "built %d tables x %d columns in %d folders (%d roots), %zu scene records: %.1f s, "
        "%llu statements\n",
        tables, arxbench::kBenchColumns, built.folders, roots, scenes.size(), secondsSince(start),
        static_cast<unsigned long long>(statements() - before));
    std::fflush(stdout);
    return built;
}

struct SummaryRow {
    int tables;
    const char* op;
    double usPerTable;
    double statementsPerTable;
};

std::vector<SummaryRow>& summary() {
    static std::vector<SummaryRow> rows;
    return rows;
}

// Times `op` once per iteration and reports the per-table figures.
template <typename Op>
void runOperation(benchmark::State& state, const char* name, Op op) {
    const int tables = static_cast<int>(state.range(0));
    BenchModel& model = benchModel(tables);
    double seconds = 0;
    std::uint64_t count = 0;
    for (auto _ : state) {
        const std::uint64_t before = statements();
        const auto start = std::chrono::steady_clock::now();
        op(model);
        seconds += secondsSince(start);
        count += statements() - before;
    }
    const double runs = static_cast<double>(state.iterations()) * tables;
    const SummaryRow row{tables, name, seconds * 1e6 / runs, static_cast<double>(count) / runs};
    state.counters["us_per_table"] = row.usPerTable;
    state.counters["statements_per_table"] = row.statementsPerTable;
    summary().push_back(row);
}

// Upgrades the newest version, so that every run works on a model of the
// same size. The versions share the tables; repeated runs
// (--benchmark_repetitions) show that the cost per table does not grow with
// the number of versions either.
void BM_UpgradeNewVersion(benchmark::State& state) {
    runOperation(state, "upgradeNewVersion", [](BenchModel& model) {
        M_EntityModelDAO* next = nullptr;
        const ResultMsg rm = model.newest->upgradeNewVersion(next);
        std::unique_ptr<M_EntityModelDAO> owned(next);
        must(rm);
        model.newest = std::move(owned);
    });
}

// Copies the first version under a new name each time.
void BM_CopyTo(benchmark::State& state) {
    runOperation(state, "copyTo", [](BenchModel& model) {
        auto target = std::make_unique<M_EntityModelDAO>();
        target->_name = model.original->_name + "_copy" + std::to_string(++model.copies);
        target->_displayName = target->_name;
        M_EntityModelDAO* pointer = target.get();
        must(model.original->copyTo(pointer));
    });
}

void printSummary() {
    std::printf("\n%8s  %-18s %12s %18s\n", "tables", "operation", "us/table", "statements/table");
    for (const SummaryRow& row : summary()) {
        std::printf("%8d  %-18s %12.1f %18.1f\n", row.tables, row.op, row.usPerTable,
                    row.statementsPerTable);
    }
}

}  // namespace

BENCHMARK(BM_UpgradeNewVersion)
    ->Arg(100)
    ->Arg(500)
    ->Arg(2000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyTo)->Arg(100)->Arg(500)->Arg(2000)->Iterations(1)->UseRealTime()->Unit(
    benchmark::kMillisecond);

int main(int argc, char** argv) {
    arxbench::BenchPlatform platform;
    const int status = arxbench::runBenchmarks(argc, argv, printSummary);
    return platform.shutdown() ? status : 1;
}
