// Project export and import at three project sizes, side by side with
// SQLite's VACUUM INTO of the same configuration database (the floor for
// copying its bytes). A project of N tables (N = 100, 500, 2,000) holds a
// model of N tables x 20 columns in N / 10 folders with one query definition
// per table and a few scene records, a second version of that model
// (upgradeNewVersion), and a dictionary model of four tables carrying 40 * N
// rows in all (importData). Each size lives in a configuration database of
// its own, so that VACUUM INTO copies what the export reads.
//
// Every export writes a new file; every import goes into a new, described
// configuration database. Reported per operation: milliseconds, the time
// per table of the model, the SQL statements per table run on every session
// the operation touched (home configuration and work databases and the
// export file), and the ratio to VACUUM INTO. What each copy holds is
// printed as it is made. A summary table (medians of the repetitions asked
// for with --benchmark_repetitions) is printed
// at the end; the target is export + import within 10x of VACUUM INTO, and
// a flat time per table across the sizes.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchModel.h"
#include "BenchPlatform.h"
#include "InstanceDataManager.h"
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
#include "PtrListHelper.h"
#include "QmsSelfDescription.h"
#include "StringHelper.h"
#include "Transaction.h"

using namespace MeridianSpace;
using arxbench::must;

namespace {

constexpr int kTablesPerFolder = 10;
// Each root folder has this many sub-folders (100 tables per root).
constexpr int kSubFolders = 9;
constexpr int kScenes = 4;
constexpr int kDictionaryTables = 4;
constexpr int kDictionaryColumns = 5;
constexpr int kDictionaryRowsPerTable = 40;  // per table of the model, over all dictionary tables
constexpr char kSeparator[] = "@#@";

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Wall and processor time of the timed parts of a benchmark's runs: the
// machine is shared, and the processor time shows the code's own cost.
struct Stopwatch {
    double wall = 0;
    double cpu = 0;
    std::chrono::steady_clock::time_point wallStart;
    double cpuStart = 0;
    void start() {
        cpuStart = cpuSeconds();
        wallStart = std::chrono::steady_clock::now();
    }
    void stop() {
        wall += secondsSince(wallStart);
        cpu += cpuSeconds() - cpuStart;
    }
};

long long fileBytes(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<long long>(size);
}

MRDSession* configSession() {
    return MeridianNew::getCurrMRDConfigMDM()->getPSession();
}

MRDSession* workSession() {
    return MeridianNew::getCurrentWorkDBIDM()->getPSession();
}

// Makes the pair current (a restart of the platform when another pair is)
// and has the configuration database describe itself.
void usePair(const std::string& config, const std::string& work) {
    if (MeridianNew::getCurrentMRDConfigDB() != config || MeridianNew::getCurrentWorkDB() != work) {
        // The current project belongs to the databases left behind.
        M_ProjectDAO::setCurrProjectID(-1);
        must(MeridianNew::startup(config, work, 0));
    }
    must(QmsSelfDescription::ensure());
}

// Statements run so far on a set of sessions; the same session counted once.
std::uint64_t statementsOn(const std::vector<MRDSession*>& sessions) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        bool seen = false;
        for (std::size_t j = 0; j < i; ++j)
            seen = seen || sessions[j] == sessions[i];
        if (!seen && sessions[i] != nullptr) total += sessions[i]->statementCount();
    }
    return total;
}

// The session of an export file (the platform keeps it for the life of the
// process), found by making the file current for a moment; also how many
// statements that visit ran on it, to be left out of the figures.
MRDSession* fileSession(const std::string& file, std::uint64_t& visitCost) {
    const std::string config = MeridianNew::getCurrentMRDConfigDB();
    const std::string work = MeridianNew::getCurrentWorkDB();
    const auto visit = [&] {
        must(MeridianNew::setCurrentWorkDB(file, 1));
        must(MeridianNew::setCurrMRDConfigDB(file));
        MRDSession* session = configSession();
        const std::uint64_t count = session->statementCount();
        must(MeridianNew::setCurrentWorkDB(work, 1));
        must(MeridianNew::setCurrMRDConfigDB(config));
        return std::make_pair(session, count);
    };
    const auto first = visit();
    const auto second = visit();
    visitCost = second.second - first.second;
    return first.first;
}

// What a database holds, as "models/folders/tables/columns/links/dictionary
// rows" counted by a plain connection: shows that a copy is complete.
std::string contents(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("open " + path);
    const auto count = [db](const std::string& table) {
        sqlite3_stmt* stmt = nullptr;
        long long n = -1;
        if (sqlite3_prepare_v2(db, ("SELECT count(*) FROM " + table).c_str(), -1, &stmt, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            n = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return n;
    };
    // The physical tables of the dictionary tables "Code<i>".
    std::vector<std::string> physical;
    sqlite3_stmt* names = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT name FROM sqlite_master WHERE type = 'table' AND name GLOB "
                           "'Code[0-9]*'",
                           -1, &names, nullptr) == SQLITE_OK) {
        while (sqlite3_step(names) == SQLITE_ROW)
            physical.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(names, 0)));
    }
    sqlite3_finalize(names);
    long long rows = 0;
    for (const std::string& table : physical)
        rows += std::max(0LL, count("\"" + table + "\""));
    std::string text;
    for (const char* table :
         {"T_M_EntityModel", "T_M_Folder", "T_M_EntityTable", "T_M_NormalColumn",
          "T_M_R_ModelTable", "T_M_R_FolderTable", "T_M_FindByInterface_2", "T_M_SceneInfo_2"})
        text += std::to_string(count(table)) + "/";
    sqlite3_close(db);
    return text + std::to_string(rows) + " in " + std::to_string(physical.size()) + " tables";
}

void printContents(const char* what, const std::string& path) {
    std::printf(
        "  %-28s models/folders/tables/columns/model-links/folder-links/finders/"
        "scenes/dictionary rows: %s\n",
        what, contents(path).c_str());
    std::fflush(stdout);
}

// One size: its own configuration and work databases with the project.
struct BenchProject {
    int tables = 0;
    std::string config, work;
    int projectID = 0;
    int folders = 0;
    int dictionaryRows = 0;
    std::string lastExport;
    MRDSession* exportSession = nullptr;
    int exports = 0, imports = 0, copies = 0;
};

// The model of `tables` tables, its folders and scene records.
int buildModel(M_ProjectDAO& project, int tables) {
    M_EntityModelDAO model;
    model._name = "Transfer" + std::to_string(tables);
    model._displayName = model._name;
    must(project.addEntityModel(&model, 0));
    std::vector<std::unique_ptr<M_FolderDAO>> folders;
    const int roots = std::max(1, tables / (kTablesPerFolder * (1 + kSubFolders)));
    for (int r = 0; r < roots; ++r) {
        folders.push_back(std::make_unique<M_FolderDAO>());
        M_FolderDAO& root = *folders.back();
        root._name = root._displayName = "R" + std::to_string(r);
        must(model.addM_FolderDAO(&root, 0));
        for (int s = 0; s < kSubFolders; ++s) {
            folders.push_back(std::make_unique<M_FolderDAO>());
            M_FolderDAO& sub = *folders.back();
            sub._name = sub._displayName = root._name + "_" + std::to_string(s);
            must(root.addM_SubFolderDAO(&sub, 0));
        }
    }
    for (int t = 0; t < tables; ++t) {
        M_FolderDAO& in = *folders[t % folders.size()];
        const int table = arxbench::addBenchTable(model, in, t);
        if (t < kScenes) {
            M_SceneInfoDAO scene = arxbench::benchScene(SCENE_KIND_TABLE, table, model._ID, t);
            must(in.addSceneInfo(&scene, 0));
        }
    }
    for (int s = 0; s < kScenes && s < static_cast<int>(folders.size()); ++s) {
        M_SceneInfoDAO scene =
            arxbench::benchScene(SCENE_KIND_FOLDER, folders[s]->_ID, model._ID, s);
        must(scene.save(0));
    }
    M_EntityModelDAO* next = nullptr;
    const ResultMsg upgraded = model.upgradeNewVersion(next);
    std::unique_ptr<M_EntityModelDAO> owned(next);
    must(upgraded);
    return static_cast<int>(folders.size());
}

// A dictionary model of a few tables whose physical tables hold `rows` rows
// in all, loaded with importData.
void buildDictionaries(M_ProjectDAO& project, int rows) {
    M_EntityModelDAO model;
    model._name = model._displayName = "Codes";
    model._type = ENTITY_MODEL_TYPE_DICTIONARY;
    must(project.addEntityModel(&model, 0));
    M_FolderDAO folder;
    folder._name = folder._displayName = "Codes";
    must(model.addM_FolderDAO(&folder, 0));
    for (int t = 0; t < kDictionaryTables; ++t) {
        M_EntityTableDAO table;
        table._name = table._displayName = "Code" + std::to_string(t);
        must(folder.addM_EntityTableDAO(&table));
        std::list<M_NormalColumnDAO*> columns;
        PtrListGuard<M_NormalColumnDAO> guard(columns);
        for (int c = 0; c < kDictionaryColumns; ++c) {
            columns.push_back(new M_NormalColumnDAO);
            columns.back()->_name = "K" + std::to_string(c);
            columns.back()->_dataType = c == 0 ? 1 : 2;
            must(table.addNormalColumnDAO(&model, columns.back(), 0));
        }
        std::list<std::string> lines;
        const int count = rows / kDictionaryTables;
        for (int i = 0; i < count; ++i) {
            std::string line = std::to_string(i);
            for (int c = 1; c < kDictionaryColumns; ++c)
                line += kSeparator + std::string("v") + std::to_string(c) + "_" + std::to_string(i);
            lines.push_back(std::move(line));
        }
        must(table.importData(columns, lines));
    }
}

BenchProject& benchProject(int tables) {
    static std::map<int, BenchProject> projects;
    BenchProject& built = projects[tables];
    if (built.projectID > 0) return built;

    const auto start = std::chrono::steady_clock::now();
    built.tables = tables;
    built.config = arxbench::benchFolder() + "/config" + std::to_string(tables) + ".db";
    built.work = arxbench::benchFolder() + "/work" + std::to_string(tables) + ".db";
    usePair(built.config, built.work);
    M_ProjectDAO project;
    project._name = "bench" + std::to_string(tables);
    must(project.save());
    M_ProjectDAO::setCurrProjectID(project._ID);
    {
        Transaction tx(*configSession());
        must(tx.begun());
        built.folders = buildModel(project, tables);
        must(tx.commit());
    }
    built.dictionaryRows = kDictionaryRowsPerTable * tables;
    buildDictionaries(project, built.dictionaryRows);
    must(configSession()->commit());
    built.projectID = project._ID;
    std::printf(
        "built project of %d tables x %d columns in %d folders, 2 model versions, %d dictionary "
        "rows: %.1f s\n",
        tables, arxbench::kBenchColumns, built.folders, built.dictionaryRows, secondsSince(start));
    printContents("configuration database", built.config);
    return built;
}

struct SummaryRow {
    int tables;
    std::string op;
    double ms;
    double cpuMs;
    double statementsPerTable;  // below 0: not counted
    long long bytes;
};

std::vector<SummaryRow>& summary() {
    static std::vector<SummaryRow> rows;
    return rows;
}

void report(benchmark::State& state, const BenchProject& p, const char* op, const Stopwatch& watch,
            double statements, long long bytes) {
    const double runs = static_cast<double>(state.iterations());
    const SummaryRow row{
        p.tables, op, watch.wall * 1e3 / runs, watch.cpu * 1e3 / runs, statements / runs / p.tables,
        bytes};
    state.counters["us_per_table"] = row.ms * 1e3 / p.tables;
    if (statements >= 0) state.counters["statements_per_table"] = row.statementsPerTable;
    summary().push_back(row);
}

// The configuration database copied by SQLite alone, on a connection of its
// own (the platform's session stays open, as an export would find it).
void BM_VacuumInto(benchmark::State& state) {
    BenchProject& p = benchProject(static_cast<int>(state.range(0)));
    usePair(p.config, p.work);
    Stopwatch watch;
    long long bytes = 0;
    for (auto _ : state) {
        const std::string copy = arxbench::benchFolder() + "/vacuum" + std::to_string(p.tables) +
                                 "_" + std::to_string(++p.copies) + ".db";
        watch.start();
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(p.config.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("open " + p.config);
        const std::string sql = "VACUUM INTO '" + copy + "'";
        char* error = nullptr;
        const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
        const std::string message = error != nullptr ? error : "";
        sqlite3_free(error);
        sqlite3_close(db);
        watch.stop();
        if (rc != SQLITE_OK) throw std::runtime_error("VACUUM INTO: " + message);
        bytes = fileBytes(copy);
        std::filesystem::remove(copy);
    }
    report(state, p, "VACUUM INTO", watch, -1, bytes);
}

void BM_Export(benchmark::State& state) {
    BenchProject& p = benchProject(static_cast<int>(state.range(0)));
    usePair(p.config, p.work);
    Stopwatch watch;
    std::uint64_t count = 0;
    for (auto _ : state) {
        p.lastExport = arxbench::benchFolder() + "/export" + std::to_string(p.tables) + "_" +
                       std::to_string(++p.exports) + ".db";
        M_ProjectDAO::setCurrProjectID(p.projectID);
        const std::vector<MRDSession*> home = {configSession(), workSession()};
        const std::uint64_t before = statementsOn(home);
        watch.start();
        must(M_ProjectDAO::exportProject({p.projectID}, p.lastExport));
        watch.stop();
        count += statementsOn(home) - before;
        state.PauseTiming();
        std::uint64_t visitCost = 0;
        p.exportSession = fileSession(p.lastExport, visitCost);
        // The export made the file's session, so all it ran but this visit
        // is the export's.
        count += p.exportSession->statementCount() - 2 * visitCost;
        state.ResumeTiming();
    }
    printContents("export file", p.lastExport);
    report(state, p, "export", watch, static_cast<double>(count), fileBytes(p.lastExport));
}

// Into a new configuration database that describes itself, as a second
// installation would be.
void BM_Import(benchmark::State& state) {
    BenchProject& p = benchProject(static_cast<int>(state.range(0)));
    // Interleaved runs may reach an import before any export of its size.
    if (p.lastExport.empty()) {
        usePair(p.config, p.work);
        p.lastExport = arxbench::benchFolder() + "/export" + std::to_string(p.tables) + "_0.db";
        M_ProjectDAO::setCurrProjectID(p.projectID);
        must(M_ProjectDAO::exportProject({p.projectID}, p.lastExport));
        std::uint64_t visitCost = 0;
        p.exportSession = fileSession(p.lastExport, visitCost);
    }
    Stopwatch watch;
    std::uint64_t count = 0;
    std::string target;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string suffix = std::to_string(p.tables) + "_" + std::to_string(++p.imports);
        target = arxbench::benchFolder() + "/second-config" + suffix + ".db";
        usePair(target, arxbench::benchFolder() + "/second-work" + suffix + ".db");
        std::list<M_ProjectDAO*> inFile;
        PtrListGuard<M_ProjectDAO> guard(inFile);
        must(M_ProjectDAO::getImportProjectList(inFile, p.lastExport));
        std::list<int> ids;
        for (const M_ProjectDAO* project : inFile) {
            if (project->_name == "bench" + std::to_string(p.tables)) ids.push_back(project->_ID);
        }
        if (ids.size() != 1) throw std::runtime_error("the export file lacks the project");
        const std::vector<MRDSession*> sessions = {configSession(), workSession(), p.exportSession};
        state.ResumeTiming();
        const std::uint64_t before = statementsOn(sessions);
        watch.start();
        must(M_ProjectDAO::importProject(p.lastExport, ids));
        watch.stop();
        count += statementsOn(sessions) - before;
    }
    // Back on the first pair: the target is closed, its file complete.
    usePair(p.config, p.work);
    printContents("import target", target);
    report(state, p, "import", watch, static_cast<double>(count), fileBytes(target));
}

// The median of each operation's runs (--benchmark_repetitions), by wall
// time; a shared machine makes single runs noisy.
void printSummary() {
    std::map<std::pair<int, std::string>, std::vector<SummaryRow>> runs;
    std::vector<std::pair<int, std::string>> order;
    for (const SummaryRow& row : summary()) {
        auto& list = runs[{row.tables, row.op}];
        if (list.empty()) order.emplace_back(row.tables, row.op);
        list.push_back(row);
    }
    const auto median = [&](const std::pair<int, std::string>& key) {
        std::vector<SummaryRow> list = runs[key];
        std::sort(list.begin(), list.end(),
                  [](const SummaryRow& a, const SummaryRow& b) { return a.ms < b.ms; });
        return list[list.size() / 2];
    };
    std::map<int, SummaryRow> vacuum;
    std::map<int, SummaryRow> transfer;
    for (const auto& key : order) {
        const SummaryRow row = median(key);
        if (row.op == "VACUUM INTO") vacuum[row.tables] = row;
        if (row.op != "export" && row.op != "import") continue;
        SummaryRow& sum =
            transfer.try_emplace(row.tables, SummaryRow{row.tables, "export+import", 0, 0, 0, -1})
                .first->second;
        sum.ms += row.ms;
        sum.cpuMs += row.cpuMs;
        sum.statementsPerTable += row.statementsPerTable;
    }
    std::printf("\nmedian of %zu run(s); x VACUUM INTO by wall time (and by processor time)\n",
                order.empty() ? std::size_t{0} : runs[order.front()].size());
    std::printf("%7s  %-14s %9s %9s %10s %12s %17s %10s\n", "tables", "operation", "ms", "cpu ms",
                "us/table", "stmts/table", "x VACUUM INTO", "bytes");
    const auto line = [&](const SummaryRow& row) {
        std::printf("%7d  %-14s %9.1f %9.1f %10.1f ", row.tables, row.op.c_str(), row.ms, row.cpuMs,
                    row.ms * 1e3 / row.tables);
        if (row.statementsPerTable >= 0) {
            std::printf("%12.1f ", row.statementsPerTable);
        } else {
            std::printf("%12s ", "-");
        }
        const auto floor = vacuum.find(row.tables);
        if (floor != vacuum.end() && floor->second.ms > 0 && floor->second.cpuMs > 0) {
            std::printf("%8.1f (%6.1f) ", row.ms / floor->second.ms,
                        row.cpuMs / floor->second.cpuMs);
        } else {
            std::printf("%17s ", "-");
        }
        if (row.bytes >= 0) {
            std::printf("%10lld\n", row.bytes);
        } else {
            std::printf("%10s\n", "-");
        }
    };
    for (const auto& key : order)
        line(median(key));
    for (const auto& [tables, row] : transfer)
        line(row);
}

}  // namespace

BENCHMARK(BM_VacuumInto)
    ->Arg(100)
    ->Arg(500)
    ->Arg(2000)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export)
    ->Arg(100)
    ->Arg(500)
    ->Arg(2000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Import)
    ->Arg(100)
    ->Arg(500)
    ->Arg(2000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    arxbench::BenchPlatform platform;
    const int status = arxbench::runBenchmarks(argc, argv, printSummary);
    return platform.shutdown() ? status : 1;
}
