// Row inserts: raw SQLite prepared inserts, the same through SQLiteCpp and
// through SOCI (the C++ libraries users compare with), against
// InstanceDataManager::addITableData and M_ObjectDAO::save (with and without
// a current project to stamp), each writing N rows of ten columns in one
// transaction into the same database file; the peers write into a table of
// the library's definition of a record table (identifiers never reused),
// raw SQLite also into a plain rowid table. Finds: raw prepared selects,
// SQLiteCpp and SOCI by the indexed key and by identifier, each building the
// record, beside DAOFinder's findByOneAttr and findByID on the same table at
// growing sizes; and findByOneAttr on a column without an index for contrast.
#include <SQLiteCpp/SQLiteCpp.h>
#include <benchmark/benchmark.h>
#include <soci/soci.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <list>
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
    void exec(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
    }
    sqlite3* get() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// The i-th row's values as the peers bind them, converted from the same
// texts the library's paths start from.
struct TypedRow {
    std::string text[3];
    long long integer[5] = {};  // T_M_GroupID, Qty, Flag, Version, RProjectID
    double real[2] = {};        // Price, Weight

    void fill(int i) {
        std::string values[10];
        benchValues(i, values);
        for (int c = 0; c < 3; ++c)
            text[c] = std::move(values[c]);
        int k = 0;
        for (int c : {3, 4, 5, 6, 9})
            integer[k++] = std::stoll(values[c]);
        real[0] = std::stod(values[7]);
        real[1] = std::stod(values[8]);
    }
};

const char* const kRawInsert =
    "INSERT INTO T_Raw (Name, Code, Note, T_M_GroupID, Qty, Flag, Version, RProjectID, Price, "
    "Weight) VALUES (?,?,?,?,?,?,?,?,?,?)";

// Drops and recreates the peers' table outside the measured time: the
// library's definition of a record table (identifiers never reused, so
// AUTOINCREMENT; the same indexed key columns), or with `plain` a rowid
// table that may hand a deleted last identifier out again.
void resetRawTable(benchmark::State& state, RawDatabase& raw, bool plain = false) {
    state.PauseTiming();
    raw.exec("DROP TABLE IF EXISTS T_Raw;");
    raw.exec(std::string("CREATE TABLE T_Raw (id INTEGER PRIMARY KEY") +
             (plain ? "" : " AUTOINCREMENT") +
             ", Name TEXT, Code TEXT, Note TEXT, T_M_GroupID INTEGER, Qty INTEGER, Flag INTEGER, "
             "Version INTEGER, Price REAL, Weight REAL, RProjectID INTEGER);"
             "CREATE INDEX ix_raw_group ON T_Raw (T_M_GroupID);"
             "CREATE INDEX ix_raw_project ON T_Raw (RProjectID);");
    state.ResumeTiming();
}

// The second argument 1 writes into a plain rowid table, to show what the
// never reused identifiers cost.
void BM_RawSqliteInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawDatabase raw;
    TypedRow row;
    for (auto _ : state) {
        resetRawTable(state, raw, state.range(1) == 1);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(raw.get(), kRawInsert, -1, &stmt, nullptr);
        raw.exec("BEGIN");
        for (int i = 0; i < n; ++i) {
            row.fill(i);
            for (int c = 0; c < 3; ++c) {
                sqlite3_bind_text(stmt, c + 1, row.text[c].data(),
                                  static_cast<int>(row.text[c].size()), SQLITE_TRANSIENT);
            }
            for (int c = 0; c < 5; ++c)
                sqlite3_bind_int64(stmt, c + 4, row.integer[c]);
            for (int c = 0; c < 2; ++c)
                sqlite3_bind_double(stmt, c + 9, row.real[c]);
            sqlite3_step(stmt);
            sqlite3_reset(stmt);
        }
        raw.exec("COMMIT");
        sqlite3_finalize(stmt);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_SqliteCppInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawDatabase raw;
    SQLite::Database db(databasePath(), SQLite::OPEN_READWRITE);
    db.exec("PRAGMA synchronous=NORMAL");
    TypedRow row;
    for (auto _ : state) {
        resetRawTable(state, raw);
        SQLite::Statement insert(db, kRawInsert);
        SQLite::Transaction transaction(db);
        for (int i = 0; i < n; ++i) {
            row.fill(i);
            for (int c = 0; c < 3; ++c)
                insert.bind(c + 1, row.text[c]);
            for (int c = 0; c < 5; ++c)
                insert.bind(c + 4, static_cast<int64_t>(row.integer[c]));
            for (int c = 0; c < 2; ++c)
                insert.bind(c + 9, row.real[c]);
            insert.exec();
            insert.reset();
        }
        transaction.commit();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_SociInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RawDatabase raw;
    soci::session sql("sqlite3", "db=" + databasePath());
    sql << "PRAGMA synchronous=NORMAL";
    TypedRow row;
    for (auto _ : state) {
        resetRawTable(state, raw);
        soci::transaction transaction(sql);
        soci::statement insert =
            (sql.prepare << "INSERT INTO T_Raw (Name, Code, Note, T_M_GroupID, Qty, Flag, "
                            "Version, RProjectID, Price, Weight) VALUES (:n, :c, :o, :g, :q, "
                            ":f, :v, :p, :r, :w)",
             soci::use(row.text[0]), soci::use(row.text[1]), soci::use(row.text[2]),
             soci::use(row.integer[0]), soci::use(row.integer[1]), soci::use(row.integer[2]),
             soci::use(row.integer[3]), soci::use(row.integer[4]), soci::use(row.real[0]),
             soci::use(row.real[1]));
        for (int i = 0; i < n; ++i) {
            row.fill(i);
            insert.execute(true);
        }
        transaction.commit();
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

// The peers' lookups on the library's own table: the record's columns by
// the indexed key (second argument 0) or by identifier (1), each row built
// into a new record as a finder would.
const char* const kSelectRecord =
    "SELECT id, Name, Code, Note, T_M_GroupID, Qty, Flag, Version, Price, Weight, RProjectID "
    "FROM T_M_Bench WHERE ";

std::string selectBy(benchmark::State& state) {
    return std::string(kSelectRecord) + (state.range(1) == 1 ? "id = ?" : "T_M_GroupID = ?");
}

// The keys the library's finders look up, in the same order: keys from
// seed 42 in 0..n-1, identifiers from seed 7 in 1..n.
class Picks {
public:
    explicit Picks(benchmark::State& state)
        : byId_(state.range(1) == 1),
          random_(byId_ ? 7 : 42),
          pick_(byId_ ? 1 : 0, static_cast<int>(state.range(0)) - (byId_ ? 0 : 1)) {
        populateBenchTable(static_cast<int>(state.range(0)));
    }
    int next() { return pick_(random_); }

private:
    bool byId_;
    std::mt19937 random_;
    std::uniform_int_distribution<int> pick_;
};

std::string columnString(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
}

void BM_RawSqliteFind(benchmark::State& state) {
    Picks picks(state);
    RawDatabase raw;
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = selectBy(state);
    if (sqlite3_prepare_v2(raw.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(raw.get()));
    std::size_t hits = 0;
    for (auto _ : state) {
        sqlite3_bind_int64(stmt, 1, picks.next());
        std::list<DAO*> found;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            auto* record = new BenchRecord;
            record->_ID = sqlite3_column_int(stmt, 0);
            record->_name = columnString(stmt, 1);
            record->_code = columnString(stmt, 2);
            record->_note = columnString(stmt, 3);
            record->_t_M_GroupID = sqlite3_column_int(stmt, 4);
            record->_qty = sqlite3_column_int(stmt, 5);
            record->_flag = sqlite3_column_int(stmt, 6);
            record->_version = sqlite3_column_int(stmt, 7);
            record->_price = sqlite3_column_double(stmt, 8);
            record->_weight = sqlite3_column_double(stmt, 9);
            record->_rProjectID = sqlite3_column_int(stmt, 10);
            found.push_back(record);
        }
        sqlite3_reset(stmt);
        hits += found.size();
        T_deletePtrList(found);
    }
    sqlite3_finalize(stmt);
    if (hits != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("wrong hit count");
}

void BM_SqliteCppFind(benchmark::State& state) {
    Picks picks(state);
    SQLite::Database db(databasePath(), SQLite::OPEN_READONLY);
    SQLite::Statement select(db, selectBy(state));
    std::size_t hits = 0;
    for (auto _ : state) {
        select.bind(1, picks.next());
        std::list<DAO*> found;
        while (select.executeStep()) {
            auto* record = new BenchRecord;
            record->_ID = select.getColumn(0).getInt();
            record->_name = select.getColumn(1).getString();
            record->_code = select.getColumn(2).getString();
            record->_note = select.getColumn(3).getString();
            record->_t_M_GroupID = select.getColumn(4).getInt();
            record->_qty = select.getColumn(5).getInt();
            record->_flag = select.getColumn(6).getInt();
            record->_version = select.getColumn(7).getInt();
            record->_price = select.getColumn(8).getDouble();
            record->_weight = select.getColumn(9).getDouble();
            record->_rProjectID = select.getColumn(10).getInt();
            found.push_back(record);
        }
        select.reset();
        hits += found.size();
        T_deletePtrList(found);
    }
    if (hits != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("wrong hit count");
}

void BM_SociFind(benchmark::State& state) {
    Picks picks(state);
    soci::session sql("sqlite3", "db=" + databasePath());
    BenchRecord row;
    int key = 0;
    std::string text = selectBy(state);
    text.back() = ':';
    text += "k";
    soci::statement select =
        (sql.prepare << text, soci::into(row._ID), soci::into(row._name), soci::into(row._code),
         soci::into(row._note), soci::into(row._t_M_GroupID), soci::into(row._qty),
         soci::into(row._flag), soci::into(row._version), soci::into(row._price),
         soci::into(row._weight), soci::into(row._rProjectID), soci::use(key));
    std::size_t hits = 0;
    for (auto _ : state) {
        key = picks.next();
        std::list<DAO*> found;
        if (select.execute(true)) {
            do {
                found.push_back(new BenchRecord(row));
            } while (select.fetch());
        }
        hits += found.size();
        T_deletePtrList(found);
    }
    if (hits != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("wrong hit count");
}

}  // namespace

BENCHMARK(BM_RawSqliteInsert)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_SqliteCppInsert)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SociInsert)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
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
// Second argument: 0 by the indexed key, 1 by identifier.
BENCHMARK(BM_RawSqliteFind)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteCppFind)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SociFind)->ArgsProduct({{1000, 10000, 100000}, {0, 1}})->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    DAOFactoryRegistry::registerClass("BenchRecord", &BenchRecord::createObject);
    // Log mode 1, as a host runs: the figures include the log file.
    BenchPlatform platform(1);
    const int status = runBenchmarks(argc, argv);
    return platform.shutdown() ? status : 1;
}
