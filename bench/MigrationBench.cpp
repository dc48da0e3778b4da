// Migration of an instance file whose table holds N rows of ten columns
// (three text, five integer, two real; an index on one integer and one text
// column): version 2 adding a column (ALTER TABLE ... ADD COLUMN, which
// should cost the same at any N), version 3 changing an integer column to
// text (a rebuild), and, on the same file in the same run, the raw SQLite
// floor of that rebuild: a new table filled by INSERT INTO new SELECT ...
// FROM old, and its two indexes, in one transaction.
//
// `bench_migration --peak-rows=N` instead migrates a file of N rows to
// version 3 once and prints the peak memory the migration added; run it with
// two sizes to see that it does not grow with the rows.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "BenchPlatform.h"
#include "InstanceMigration.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"

using namespace MeridianSpace;
using arxbench::benchFolder;
using arxbench::benchProject;
using arxbench::must;

namespace {

constexpr int kTypes[10] = {2, 2, 2, 1, 1, 1, 1, 1, 3, 3};

// Version 1 (T: C0 ... C9, C0 and C4 indexed), version 2 (a column added)
// and version 3 (C3 from integer to text) of one model.
struct Versions {
    M_EntityModelDAO v1, v2, v3;
};

M_EntityModelDAO next(M_EntityModelDAO& model) {
    M_EntityModelDAO* made = nullptr;
    must(model.upgradeNewVersion(made));
    M_EntityModelDAO out = *made;
    delete made;
    return out;
}

Versions& versions() {
    static Versions* built = nullptr;
    if (built != nullptr) return *built;
    built = new Versions;
    Versions& v = *built;
    v.v1._name = "Migrated";
    must(benchProject().addEntityModel(&v.v1));
    M_FolderDAO folder;
    folder._name = "F";
    must(v.v1.addM_FolderDAO(&folder));
    M_EntityTableDAO table;
    table._name = "T";
    must(folder.addM_EntityTableDAO(&table));
    M_NormalColumnDAO changed;
    for (int c = 0; c < 10; ++c) {
        M_NormalColumnDAO column;
        column._name = "C" + std::to_string(c);
        column._dataType = kTypes[c];
        column._isIndex = c == 0 || c == 4 ? 1 : 0;
        must(table.addNormalColumnDAO(&v.v1, &column));
        if (c == 3) changed = column;
    }
    v.v2 = next(v.v1);
    M_NormalColumnDAO added;
    added._name = "Added";
    added._dataType = 1;
    added._defaultValue = "7";
    must(table.addNormalColumnDAO(&v.v2, &added));
    v.v3 = next(v.v2);
    changed._dataType = 2;
    must(changed.reviseInModel(&v.v3));
    return v;
}

void exec(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
}

// A raw connection set up as the library's sessions are.
struct RawFile {
    explicit RawFile(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open");
        exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-16384");
    }
    ~RawFile() { sqlite3_close(db); }
    sqlite3* db = nullptr;
};

// A file of version 1 holding `rows` rows, made once per size; each run
// works on a copy.
std::string filledFile(long long rows) {
    static std::map<long long, std::string> made;
    auto found = made.find(rows);
    if (found != made.end()) return found->second;
    const std::string name = "v1-" + std::to_string(rows) + ".db";
    must(versions().v1.createInstance(benchFolder(), name));
    const std::string path = benchFolder() + "/" + name;
    RawFile raw(path);
    exec(raw.db,
         "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " +
             std::to_string(rows) +
             ") INSERT INTO T_1 SELECT i, 'name' || i, 'code-' || (i % 977), 'note ' || i, i * 3, "
             "i * 4 % 100003, i * 5 % 100003, i * 6, i * 7, i + 0.25, (i % 1000) + 0.5 FROM k");
    return made[rows] = path;
}

std::string freshCopy(long long rows) {
    const std::string copy = benchFolder() + "/run.db";
    std::filesystem::copy_file(filledFile(rows), copy,
                               std::filesystem::copy_options::overwrite_existing);
    // On the disk before the clock runs: the first sync of a migration would
    // otherwise write the whole copy, in time that grows with the rows.
    const int fd = ::open(copy.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) throw std::runtime_error("fsync " + copy);
    ::close(fd);
    return copy;
}

void migrateTo(const std::string& file, const M_EntityModelDAO& target) {
    MigrationPlan plan;
    must(InstanceMigration::migrate(file, target, MigrationOptions(), plan));
}

void BM_AddColumn(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string file = freshCopy(state.range(0));
        state.ResumeTiming();
        migrateTo(file, versions().v2);
    }
}

void BM_Rebuild(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string file = freshCopy(state.range(0));
        state.ResumeTiming();
        migrateTo(file, versions().v3);
    }
}

// The floor: what a rebuild cannot do without, written by hand.
void BM_RawInsertSelect(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string file = freshCopy(state.range(0));
        state.ResumeTiming();
        RawFile raw(file);
        exec(raw.db,
             "BEGIN IMMEDIATE; CREATE TABLE N (id INTEGER PRIMARY KEY, C0_1 TEXT, C1_1 TEXT, "
             "C2_1 TEXT, C3_1 TEXT, C4_1 INTEGER, C5_1 INTEGER, C6_1 INTEGER, C7_1 INTEGER, "
             "C8_1 REAL, C9_1 REAL, Added_2 INTEGER DEFAULT 7); INSERT INTO N (id, C0_1, C1_1, "
             "C2_1, C3_1, C4_1, C5_1, C6_1, C7_1, C8_1, C9_1) SELECT id, C0_1, C1_1, C2_1, "
             "CAST(C3_1 AS TEXT), C4_1, C5_1, C6_1, C7_1, C8_1, C9_1 FROM T_1; CREATE INDEX "
             "ix_N_C0 ON N (C0_1); CREATE INDEX ix_N_C4 ON N (C4_1); COMMIT");
    }
}

// Migrates a file of n rows to version 3 (a rebuild) once; the peak is
// reset (clear_refs 5) before, so that filling the file does not count.
int peakRun(long long n) {
    const std::string file = freshCopy(n);
    migrateTo(file, versions().v2);
    arxbench::resetPeak();
    const long before = arxbench::statusKB("VmRSS");
    migrateTo(file, versions().v3);
    const long peak = arxbench::statusKB("VmHWM");
    std::printf(
        "migrated %lld rows; resident before %ld kB, peak during the migration %ld kB "
        "(+%ld kB)\n",
        n, before, peak, peak - before);
    return 0;
}

}  // namespace

BENCHMARK(BM_AddColumn)
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Rebuild)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RawInsertSelect)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    return arxbench::runBenchmarksOrPeak(argc, argv, peakRun);
}
