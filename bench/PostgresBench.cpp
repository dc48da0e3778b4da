// The PostgreSQL backend against plain libpq, on the server that
// ARX_BENCH_PG_URI names (see tools/pg-test-cluster.sh), in a schema of its
// own that is dropped at the end. Without the variable, or when the server
// cannot be reached, nothing runs.
//
// Row inserts: 100,000 rows of ten columns into T_M_Bench in one
// transaction, by libpq running the library's own INSERT text (prepared
// once, one round trip per row), by the same with the statement savepoint
// the library sends around each statement inside a transaction (to show what
// that costs), and by InstanceDataManager::addITableData. Finds: DAOFinder by
// an indexed key column at two table sizes. Concurrency: several processes,
// each with its own platform on the same schema, saving records at once;
// records per second overall, and a count of what arrived.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <list>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchPlatform.h"
#include "BenchRecord.h"
#include "DAOFactoryRegistry.h"
#include "DAOFinder.h"
#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "StringHelper.h"

using namespace arxbench;

namespace {

// The library's INSERT for the ten columns of a BenchRecord row, as
// InstanceDataManager builds it and PgConnection numbers its parameters.
const char* const kInsertSql =
    "INSERT INTO \"T_M_Bench\" (\"Name\",\"Code\",\"Note\",\"T_M_GroupID\",\"Qty\",\"Flag\","
    "\"Version\",\"Price\",\"Weight\",\"RProjectID\") VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10) "
    "RETURNING \"id\"";

// libpq's message on one line.
std::string oneLine(const char* text) {
    std::string line = text ? text : "";
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// A plain libpq connection; every failure throws.
class RawPg {
public:
    explicit RawPg(const std::string& uri) : conn_(connect(uri)) {
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string why = oneLine(PQerrorMessage(conn_));
            PQfinish(conn_);
            throw std::runtime_error("libpq: " + why);
        }
        // "does not exist, skipping" and "drop cascades to ..." say nothing here.
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
    }
    ~RawPg() { PQfinish(conn_); }
    RawPg(const RawPg&) = delete;
    RawPg& operator=(const RawPg&) = delete;

    void exec(const std::string& sql) { PQclear(check(PQexec(conn_, sql.c_str()), sql)); }
    long long count(const std::string& sql) {
        PGresult* result = check(PQexec(conn_, sql.c_str()), sql);
        const long long n = std::atoll(PQgetvalue(result, 0, 0));
        PQclear(result);
        return n;
    }
    // Throws unless `result` is a success; hands it back otherwise.
    PGresult* check(PGresult* result, const std::string& what) {
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ||
            status == PGRES_PIPELINE_SYNC) {
            return result;
        }
        const std::string why = oneLine(PQresultErrorMessage(result));
        PQclear(result);
        throw std::runtime_error(what + ": " +
                                 (why.empty() ? oneLine(PQerrorMessage(conn_)) : why));
    }
    PGconn* get() { return conn_; }

private:
    // A server that does not answer counts as unreachable after a few
    // seconds (a timeout in the URI wins).
    static PGconn* connect(const std::string& uri) {
        const char* keywords[] = {"connect_timeout", "dbname", nullptr};
        const char* values[] = {"5", uri.c_str(), nullptr};
        return PQconnectdbParams(keywords, values, 1);
    }

    PGconn* conn_;
};

// A schema of this run on the server, the URI that puts every table into
// it, and a temporary folder for the work databases. The platform runs with
// log mode 0: the figures are those of the code measured, not of the log.
class PgPlatform {
public:
    PgPlatform(const std::string& serverUri, RawPg& admin)
        : admin_(admin),
          schema_("arx_bench_" + std::to_string(getpid())),
          folder_((std::filesystem::temp_directory_path() / "arx_pgbench_XXXXXX").string()) {
        if (mkdtemp(folder_.data()) == nullptr) throw std::runtime_error("mkdtemp");
        benchFolder() = folder_;
        uri_ = serverUri + (serverUri.find('?') == std::string::npos ? "?" : "&") +
               "options=-csearch_path%3D" + schema_;
        admin_.exec("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
        admin_.exec("CREATE SCHEMA " + schema_);
        QmsRecordClasses::registerAll();
        DAOFactoryRegistry::registerClass("BenchRecord", &BenchRecord::createObject);
        start();
    }
    ~PgPlatform() {
        ResultMsg stopped = MeridianNew::shutdown();
        (void)stopped;  // shutdown() reports a failed stop
        try {
            admin_.exec("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "dropping schema %s failed: %s\n", schema_.c_str(), e.what());
        }
        std::filesystem::remove_all(folder_);
    }
    PgPlatform(const PgPlatform&) = delete;
    PgPlatform& operator=(const PgPlatform&) = delete;

    void start() { must(MeridianNew::startup(uri_, file("work.db"), 0)); }
    // Shuts down; false when the last commit failed.
    bool shutdown() { return MeridianNew::shutdown().ok(); }
    const std::string& uri() const { return uri_; }
    const std::string& schema() const { return schema_; }
    std::string file(const std::string& name) const { return folder_ + "/" + name; }

private:
    RawPg& admin_;
    std::string schema_, folder_, uri_;
};

PgPlatform* thePlatform = nullptr;

PgPlatform& platform() {
    return *thePlatform;
}

InstanceDataManager& idm() {
    return *MeridianNew::getCurrMRDConfigIDM();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU seconds this process has used: the client's share of an insert run.
double processCpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// The runs of one way of inserting: the fastest, and the client CPU of all.
struct InsertRuns {
    double best = 0, cpu = 0;
    int runs = 0;
    void add(double seconds, double cpuSeconds) {
        if (best <= 0 || seconds < best) best = seconds;
        cpu += cpuSeconds;
        ++runs;
    }
    double cpuPerRow(int n) const { return runs ? cpu / (static_cast<double>(runs) * n) : 0; }
};

// The best seconds of each insert and find, and what else the summary prints.
struct Figures {
    InsertRuns raw, rawSavepoint, library;
    // Each run against the libpq run just before it.
    std::vector<double> savepointRatios, libraryRatios;
    double libraryStatementsPerRow = 0;
    double find1k = 0, find100k = 0;
    int processes = 0, recordsEach = 0;
    double concurrentSeconds = 0, statementsPerSave = 0;
    long long lost = -1;
    bool childrenOk = false;
} figures;

// The bench values of row i as text parameters.
struct RowParams {
    std::string values[10];
    const char* pointers[10];
    void fill(int i) {
        benchValues(i, values);
        for (int c = 0; c < 10; ++c)
            pointers[c] = values[c].c_str();
    }
};

// One run of n inserts by libpq; with `savepoints` each one is sent as the
// library sends a statement inside a transaction: savepoint, statement,
// release and sync in one pipeline, one round trip.
double rawInsertRun(RawPg& raw, int n, bool savepoints) {
    RowParams row;
    const double cpuStart = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    PGconn* conn = raw.get();
    PQclear(raw.check(PQprepare(conn, "bench_insert", kInsertSql, 10, nullptr), "prepare"));
    raw.exec("BEGIN ISOLATION LEVEL REPEATABLE READ");
    long long lastId = 0;
    if (!savepoints) {
        for (int i = 0; i < n; ++i) {
            row.fill(i);
            PGresult* result = raw.check(
                PQexecPrepared(conn, "bench_insert", 10, row.pointers, nullptr, nullptr, 0),
                "insert");
            lastId = std::atoll(PQgetvalue(result, 0, 0));
            PQclear(result);
        }
    } else {
        if (PQenterPipelineMode(conn) != 1) throw std::runtime_error("pipeline mode");
        for (int i = 0; i < n; ++i) {
            row.fill(i);
            bool sent = PQsendQueryParams(conn, "SAVEPOINT arx_stmt", 0, nullptr, nullptr, nullptr,
                                          nullptr, 0) == 1 &&
                        PQsendQueryPrepared(conn, "bench_insert", 10, row.pointers, nullptr,
                                            nullptr, 0) == 1 &&
                        PQsendQueryParams(conn, "RELEASE SAVEPOINT arx_stmt", 0, nullptr, nullptr,
                                          nullptr, nullptr, 0) == 1 &&
                        PQpipelineSync(conn) == 1;
            if (!sent) throw std::runtime_error("send: " + oneLine(PQerrorMessage(conn)));
            for (int k = 0; k < 3; ++k) {
                PGresult* result = raw.check(PQgetResult(conn), "pipelined insert");
                if (k == 1) lastId = std::atoll(PQgetvalue(result, 0, 0));
                PQclear(result);
                PQclear(PQgetResult(conn));  // the null that ends each statement
            }
            PQclear(raw.check(PQgetResult(conn), "sync"));
        }
        if (PQexitPipelineMode(conn) != 1) throw std::runtime_error("pipeline mode");
    }
    raw.exec("COMMIT");
    raw.exec("DEALLOCATE bench_insert");
    const double seconds = secondsSince(start);
    if (lastId < n) throw std::runtime_error("unexpected row identifier");
    (savepoints ? figures.rawSavepoint : figures.raw).add(seconds, processCpuSeconds() - cpuStart);
    return seconds;
}

// The machine may be shared with other work whose load comes and goes. The
// savepoint and library benchmarks do a libpq run right before each of their
// own and compare the two (the median of these ratios is the figure), so
// that such load touches both sides alike; the times shown are the fastest
// runs, those least disturbed.
void keepBest(double& best, double seconds) {
    if (best <= 0 || seconds < best) best = seconds;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

// A libpq run of n rows into a new table.
double rawRun(RawPg& raw, int n, bool savepoints) {
    resetBenchTable();
    return rawInsertRun(raw, n, savepoints);
}

void reportInsert(benchmark::State& state, const InsertRuns& runs,
                  const std::vector<double>* ratios) {
    const int n = static_cast<int>(state.range(0));
    state.counters["best_us_per_row"] = runs.best * 1e6 / n;
    state.counters["client_cpu_us_per_row"] = runs.cpuPerRow(n) * 1e6;
    if (ratios != nullptr) state.counters["ratio_to_raw"] = median(*ratios);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_RawLibpqInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawPg raw(platform().uri());
    for (auto _ : state)
        state.SetIterationTime(rawRun(raw, n, false));
    reportInsert(state, figures.raw, nullptr);
}

void BM_RawLibpqInsertSavepoints(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawPg raw(platform().uri());
    for (auto _ : state) {
        const double reference = rawRun(raw, n, false);
        const double seconds = rawRun(raw, n, true);
        state.SetIterationTime(seconds);
        figures.savepointRatios.push_back(seconds / reference);
    }
    reportInsert(state, figures.rawSavepoint, &figures.savepointRatios);
}

void BM_AddITableData(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawPg raw(platform().uri());
    ITableData row = benchRow();
    std::string values[10];
    std::uint64_t statements = 0;
    for (auto _ : state) {
        const double reference = rawRun(raw, n, false);
        resetBenchTable();
        const std::uint64_t before = idm().getPSession()->statementCount();
        const double cpuStart = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i) {
            benchValues(i, values);
            for (int c = 0; c < 10; ++c)
                row._colValue[c] = values[c];
            must(idm().addITableData(row, COMMIT_T_DEFERRED));
        }
        must(idm().getPSession()->commit());
        const double seconds = secondsSince(start);
        statements += idm().getPSession()->statementCount() - before;
        state.SetIterationTime(seconds);
        figures.library.add(seconds, processCpuSeconds() - cpuStart);
        figures.libraryRatios.push_back(seconds / reference);
    }
    const double runs = static_cast<double>(state.iterations());
    figures.libraryStatementsPerRow = static_cast<double>(statements) / (runs * n);
    state.counters["statements_per_row"] = figures.libraryStatementsPerRow;
    reportInsert(state, figures.library, &figures.libraryRatios);
}

void BM_FindByOneAttrKey(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    populateBenchTable(n);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, n - 1);
    DAOFinder finder;
    std::size_t hits = 0;
    // The summary takes the fastest stretch of finds, the least disturbed.
    constexpr int kStretch = 500;
    double& best = n >= 100000 ? figures.find100k : figures.find1k;
    int inStretch = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::list<DAO*> found;
        must(finder.findByOneAttr("BenchRecord", "_t_M_GroupID", "  =  ",
                                  StringHelper::int2String(pick(random)), found));
        hits += found.size();
        T_deletePtrList(found);
        if (++inStretch == kStretch) {
            keepBest(best, secondsSince(start) / kStretch);
            inStretch = 0;
            start = std::chrono::steady_clock::now();
        }
    }
    state.counters["best_us_per_find"] = best * 1e6;
    if (hits != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("wrong hit count");
}

// A child's answer to the parent, written once at its end (atomic in a pipe).
struct ChildReport {
    std::uint64_t statements;
};

// One child: its own platform on the shared schema and a work file of its
// own; waits at `go` until every child is ready, saves its records one
// transaction each, and reports on `report`. The exit status is 0 on success.
int childMain(int index, int records, int readyFd, int goFd, int reportFd) {
    try {
        must(MeridianNew::startup(platform().uri(),
                                  platform().file("work" + std::to_string(index) + ".db"), 0));
        const char ready = 1;
        const bool told = write(readyFd, &ready, 1) == 1;
        // Closed at once, so that the parent sees the end of the pipe when
        // some process fails to start.
        close(readyFd);
        if (!told) return 3;
        char go = 0;
        if (read(goFd, &go, 1) < 0) return 3;
        InstanceDataManager& config = idm();
        const std::uint64_t before = config.getPSession()->statementCount();
        for (int i = 0; i < records; ++i) {
            BenchRecord record;
            fillBenchRecord(index * records + i, record);
            must(record.save());
        }
        const ChildReport report{config.getPSession()->statementCount() - before};
        must(MeridianNew::shutdown());
        if (write(reportFd, &report, sizeof report) != sizeof report) return 3;
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "process %d: %s\n", index, e.what());
        return 1;
    }
}

// Forks the children, lets them go at once and waits for all; the wall time
// from the start signal to the last exit. The parent's platform is shut
// down meanwhile: a child must not share its server connection.
void BM_ConcurrentSave(benchmark::State& state) {
    const int processes = static_cast<int>(state.range(0));
    const int records = static_cast<int>(state.range(1));
    for (auto _ : state) {
        resetBenchTable();
        if (!platform().shutdown()) throw std::runtime_error("shutdown before fork failed");
        int ready[2], go[2], report[2];
        if (pipe(ready) != 0 || pipe(go) != 0 || pipe(report) != 0)
            throw std::runtime_error("pipe");
        const std::vector<pid_t> children = forkChildren(processes, [&](int k) {
            close(ready[0]);
            close(go[1]);
            close(report[0]);
            return childMain(k, records, ready[1], go[0], report[1]);
        });
        close(ready[1]);
        close(go[0]);
        close(report[1]);
        // A child that failed to start closes its end without a byte.
        int readyCount = 0;
        char byte = 0;
        while (readyCount < processes && read(ready[0], &byte, 1) == 1)
            ++readyCount;
        const auto start = std::chrono::steady_clock::now();
        close(go[1]);  // every child's read returns
        const int failed = processes - waitForChildren(children);
        const double seconds = secondsSince(start);
        std::uint64_t statements = 0;
        ChildReport answer{};
        while (read(report[0], &answer, sizeof answer) == sizeof answer)
            statements += answer.statements;
        close(ready[0]);
        close(report[0]);
        state.SetIterationTime(seconds);

        const long long expected = static_cast<long long>(processes) * records;
        RawPg raw(platform().uri());
        const long long stored = raw.count("SELECT count(*) FROM \"T_M_Bench\"");
        platform().start();

        figures.processes = processes;
        figures.recordsEach = records;
        figures.concurrentSeconds = seconds;
        figures.lost = expected - stored;
        figures.childrenOk = failed == 0 && readyCount == processes;
        figures.statementsPerSave = static_cast<double>(statements) / static_cast<double>(expected);
        state.counters["records_per_second"] = static_cast<double>(stored) / seconds;
        state.counters["lost"] = static_cast<double>(figures.lost);
        state.counters["statements_per_save"] = figures.statementsPerSave;
        if (!figures.childrenOk) state.SkipWithError("a process failed");
    }
}

void printSummary() {
    const double rows = 100000.0;
    std::printf("\nPostgreSQL backend against libpq (schema %s)\n", platform().schema().c_str());
    const auto runLine = [rows](const char* what, const InsertRuns& runs) {
        std::printf("  %-46s fastest %6.0f ms (%5.1f us/row), client CPU %5.1f us/row\n", what,
                    runs.best * 1e3, runs.best * 1e6 / rows, runs.cpuPerRow(100000) * 1e6);
    };
    if (figures.raw.runs > 0) runLine("libpq, 100k inserts in one transaction", figures.raw);
    if (figures.rawSavepoint.runs > 0)
        runLine("libpq, a savepoint around each insert", figures.rawSavepoint);
    if (figures.library.runs > 0) runLine("addITableData", figures.library);
    if (!figures.savepointRatios.empty()) {
        std::printf("  libpq with savepoints / libpq: %.2f (median of %zu paired runs)\n",
                    median(figures.savepointRatios), figures.savepointRatios.size());
    }
    if (!figures.libraryRatios.empty()) {
        const double ratio = median(figures.libraryRatios);
        std::printf(
            "  addITableData / libpq: %.2f (median of %zu paired runs; %.1f statements/row; "
            "target <= 1.30: %s)\n",
            ratio, figures.libraryRatios.size(), figures.libraryStatementsPerRow,
            ratio <= 1.3 ? "met" : "MISSED");
    }
    if (figures.find1k > 0 && figures.find100k > 0) {
        std::printf(
            "  findByOneAttr on a key column, fastest stretch: %.1f us at 1k rows, "
            "%.1f us at 100k rows (ratio %.2f)\n",
            figures.find1k * 1e6, figures.find100k * 1e6, figures.find100k / figures.find1k);
    }
    if (figures.processes > 0) {
        const long long expected = static_cast<long long>(figures.processes) * figures.recordsEach;
        std::printf(
            "  %d processes x %d saves: %.2f s, %.0f records/s overall, "
            "%.1f statements/save, processes %s, rows %lld of %lld, lost: %lld\n",
            figures.processes, figures.recordsEach, figures.concurrentSeconds,
            static_cast<double>(expected - figures.lost) / figures.concurrentSeconds,
            figures.statementsPerSave, figures.childrenOk ? "all succeeded" : "FAILED",
            expected - figures.lost, expected, figures.lost);
    }
}

}  // namespace

BENCHMARK(BM_RawLibpqInsert)
    ->Arg(100000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLibpqInsertSavepoints)
    ->Arg(100000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddITableData)
    ->Arg(100000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindByOneAttrKey)
    ->Arg(1000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConcurrentSave)
    ->Args({8, 10000})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    const char* serverUri = std::getenv("ARX_BENCH_PG_URI");
    if (serverUri == nullptr || *serverUri == '\0') {
        std::fprintf(stderr, "bench_postgres: ARX_BENCH_PG_URI is not set; nothing run\n");
        return 0;
    }
    std::unique_ptr<RawPg> admin;
    try {
        admin = std::make_unique<RawPg>(serverUri);
    } catch (const std::exception& e) {
        std::fprintf(stderr,
                     "bench_postgres: the server of ARX_BENCH_PG_URI cannot be reached (%s); "
                     "nothing run\n",
                     e.what());
        return 0;
    }
    try {
        PgPlatform pg(serverUri, *admin);
        thePlatform = &pg;
        int status = runBenchmarks(argc, argv, printSummary);
        if (!pg.shutdown()) status = 1;
        thePlatform = nullptr;
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
}
