// Several processes on one configuration database at once, the way a
// team's tools share it: a SQLite file, and a schema on the server that
// ARX_BENCH_PG_URI names (left out without one). Each process starts its own
// platform and runs the same fixed mix through the library: per five
// operations three finds by a key column, one find by identifier and one
// record save that commits. For 1, 2, 4 and 8 processes: operations per
// second over all of them, the slowest single operation (the longest a
// process waited for the others), the operations that failed (the target
// is none) and the saved records that are missing afterwards.
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchPlatform.h"
#include "BenchRecord.h"
#include "DAOFactoryRegistry.h"
#include "DAOFinder.h"
#include "InstanceDataManager.h"
#include "PtrListHelper.h"

using namespace arxbench;

namespace {

constexpr int kOperations = 2000;  // per process
constexpr int kRows = 2000;        // in the table before each run

// The shared configuration database of each backend; empty when it cannot run.
std::string databases[2];
const char* const kBackendNames[2] = {"SQLite file", "PostgreSQL"};

// What a child tells the parent, written once at its end (atomic in a pipe).
struct Report {
    int operations = 0;
    int failures = 0;
    double slowestSeconds = 0;
};

struct Figures {
    double operationsPerSecond = 0, slowestSeconds = 0;
    long long failures = 0, missing = 0;
};
std::map<std::pair<int, int>, std::vector<Figures>> results;  // runs by backend and processes

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

ResultMsg runOperation(DAOFinder& finder, int process, int i) {
    const int kind = i % 5;
    if (kind == 4) {
        BenchRecord record;
        fillBenchRecord(kRows + process * kOperations + i, record);
        return record.save();
    }
    if (kind == 3) {
        DAO* found = nullptr;
        ResultMsg rm = finder.findByID("BenchRecord", 1 + (i * 37 + process) % kRows, found);
        delete found;
        return rm;
    }
    std::list<DAO*> found;
    PtrListGuard<DAO> owned(found);
    return finder.findByOneAttr("BenchRecord", "_t_M_GroupID", "=",
                                std::to_string((i * 7919 + process) % kRows), found);
}

// One child: its own platform, then the mix once `go` closes; the first
// failure goes to standard error.
Report childRun(const std::string& config, int process, int goFd) {
    Report report;
    ResultMsg rm = MeridianNew::startup(config, benchFolder() + "/w" + std::to_string(process), 0);
    char go = 0;
    const bool released = read(goFd, &go, 1) == 0;
    if (!rm.ok() || !released) {
        report.failures = kOperations;
        if (!rm.ok())
            std::fprintf(stderr, "start-up: %s\n", StringHelper::GBKToUTF8(rm.rMsg).c_str());
        return report;
    }
    DAOFinder finder;
    for (int i = 0; i < kOperations; ++i) {
        const auto start = std::chrono::steady_clock::now();
        rm = runOperation(finder, process, i);
        report.slowestSeconds = std::max(report.slowestSeconds, secondsSince(start));
        ++report.operations;
        if (!rm.ok() && report.failures++ == 0)
            std::fprintf(stderr, "process %d: %s\n", process,
                         StringHelper::GBKToUTF8(rm.rMsg).c_str());
    }
    if (!MeridianNew::shutdown().ok()) ++report.failures;
    return report;
}

long long storedRecords() {
    long long rows = 0;
    must(MeridianNew::getCurrMRDConfigIDM()->forEachITableData("T_M_Bench", {}, {}, nullptr,
                                                               [&](const ITableData&) {
                                                                   ++rows;
                                                                   return true;
                                                               }));
    return rows;
}

// Fills the table anew, forks the processes with the parent's platform shut
// down (a child must not share its connection), lets them go at once and
// waits for all: the wall time from the start signal to the last exit.
void BM_SharedDatabase(benchmark::State& state) {
    const int backend = static_cast<int>(state.range(0));
    const int processes = static_cast<int>(state.range(1));
    const std::string& config = databases[backend];
    if (config.empty()) {
        state.SkipWithError("no server: ARX_BENCH_PG_URI is not set or not reachable");
        return;
    }
    for (auto _ : state) {
        must(MeridianNew::startup(config, benchFolder() + "/work.db", 0));
        populateBenchTable(kRows);
        const long long before = storedRecords();
        must(MeridianNew::shutdown());
        int go[2], answers[2];
        if (pipe(go) != 0 || pipe(answers) != 0) throw std::runtime_error("pipe");
        const std::vector<pid_t> children = forkChildren(processes, [&](int k) {
            close(go[1]);
            close(answers[0]);
            const Report report = childRun(config, k, go[0]);
            return write(answers[1], &report, sizeof report) == sizeof report ? 0 : 1;
        });
        close(go[0]);
        close(answers[1]);
        usleep(300000);  // the children start their platforms
        const auto start = std::chrono::steady_clock::now();
        close(go[1]);
        Figures figures;
        const int exited = waitForChildren(children);
        const double seconds = secondsSince(start);
        Report report;
        int operations = 0;
        while (read(answers[0], &report, sizeof report) == sizeof report) {
            operations += report.operations;
            figures.failures += report.failures;
            figures.slowestSeconds = std::max(figures.slowestSeconds, report.slowestSeconds);
        }
        close(answers[0]);
        figures.failures += static_cast<long long>(processes - exited) * kOperations;
        figures.operationsPerSecond = operations / seconds;
        must(MeridianNew::startup(config, benchFolder() + "/work.db", 0));
        figures.missing = before + processes * (kOperations / 5) - storedRecords();
        must(MeridianNew::shutdown());
        state.SetIterationTime(seconds);
        state.counters["ops_per_second"] = figures.operationsPerSecond;
        state.counters["slowest_ms"] = figures.slowestSeconds * 1e3;
        state.counters["failures"] = static_cast<double>(figures.failures);
        state.counters["missing"] = static_cast<double>(figures.missing);
        results[{backend, processes}].push_back(figures);
    }
}

// The median rate of the runs, the slowest operation of any run and the
// failures and missing records of all runs.
Figures summed(std::vector<Figures> runs) {
    std::sort(runs.begin(), runs.end(), [](const Figures& a, const Figures& b) {
        return a.operationsPerSecond < b.operationsPerSecond;
    });
    Figures all;
    all.operationsPerSecond = runs[runs.size() / 2].operationsPerSecond;
    for (const Figures& run : runs) {
        all.slowestSeconds = std::max(all.slowestSeconds, run.slowestSeconds);
        all.failures += run.failures;
        all.missing += run.missing;
    }
    return all;
}

void printSummary() {
    std::printf(
        "\n%d operations per process (3 key finds, 1 find by id, 1 save per 5); "
        "medians of the runs\n",
        kOperations);
    for (const auto& [key, runs] : results) {
        const Figures f = summed(runs), one = summed(results[{key.first, 1}]);
        std::printf(
            "  %-11s %d processes: %7.0f operations/s (%.2fx one process), slowest %6.1f ms, "
            "failures %lld, missing records %lld (%zu runs)\n",
            kBackendNames[key.first], key.second, f.operationsPerSecond,
            f.operationsPerSecond / one.operationsPerSecond, f.slowestSeconds * 1e3, f.failures,
            f.missing, runs.size());
    }
}

// Runs one statement on the server; false when it failed.
bool serverExecute(const std::string& uri, const std::string& sql) {
    PGconn* conn = PQconnectdb(uri.c_str());
    bool ok = PQstatus(conn) == CONNECTION_OK;
    if (ok) {
        PQsetNoticeProcessor(
            conn, [](void*, const char*) {}, nullptr);  // "drop cascades to ..."
        PGresult* result = PQexec(conn, sql.c_str());
        ok = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
    }
    PQfinish(conn);
    return ok;
}

}  // namespace

BENCHMARK(BM_SharedDatabase)
    ->ArgsProduct({{0, 1}, {1, 2, 4, 8}})
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    DAOFactoryRegistry::registerClass("BenchRecord", &BenchRecord::createObject);
    BenchPlatform platform;  // the folder of the SQLite file and the work files
    must(MeridianNew::shutdown());
    databases[0] = platform.file("shared.db");
    const char* server = std::getenv("ARX_BENCH_PG_URI");
    const std::string schema = "arx_processes_" + std::to_string(getpid());
    if (server != nullptr && serverExecute(server, "CREATE SCHEMA " + schema)) {
        const std::string uri = server;
        databases[1] = uri + (uri.find('?') == std::string::npos ? "?" : "&") +
                       "options=-csearch_path%3D" + schema;
    }
    int status = runBenchmarks(argc, argv, printSummary);
    if (!databases[1].empty() && !serverExecute(server, "DROP SCHEMA " + schema + " CASCADE"))
        std::fprintf(stderr, "dropping schema %s failed\n", schema.c_str());
    if (!platform.shutdown()) status = 1;
    return status;
}
