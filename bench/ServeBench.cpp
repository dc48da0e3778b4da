// qms serve on a model of 2,000 tables x 20 columns (ServeServer.h): the
// time of the model's JSON (GET /api/models/ID, what the page loads with
// its layout; target 100 ms), kept by the server while the model is
// unchanged and read anew after a change, and the server's resident memory
// across 10,000 requests of every kind (reads of the model, its tables, its
// SVG and the projects, and box writes). ServeLoadBench.cpp: clients that
// try to stall or exhaust it, and the event streams.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "BenchPlatform.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "ModelVersionRecords.h"
#include "PtrListHelper.h"
#include "ServeServer.h"

using namespace MeridianSpace;
using arxbench::get;
using arxbench::must;
using arxbench::servedModel;
using arxbench::server;
using arxtest::HttpConnection;

namespace {

std::string modelPath() {
    return "/api/models/" + std::to_string(servedModel().model);
}

void BM_ModelJson(benchmark::State& state) {
    HttpConnection client(server().port);
    std::size_t bytes = 0;
    get(client, modelPath());  // the first read of the files is not the server's work
    for (auto _ : state)
        get(client, modelPath(), &bytes);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// The same after each change of the model (a table's display name, saved
// by this process): the server reads the model anew once it has heard of
// the change (its event), as the page will.
void BM_ModelJsonAfterAChange(benchmark::State& state) {
    HttpConnection client(server().port), events(server().port);
    events.send(arxtest::requestText(server().port, "GET", "/api/events"));
    if (events.receive(std::chrono::seconds(10), false, true).status != 200)
        throw std::runtime_error("no event stream");
    M_EntityTableDAO* raw = nullptr;
    must(M_EntityTableDAO::FindByID(servedModel().tables.front(), raw));
    const std::unique_ptr<M_EntityTableDAO> table(raw);
    const std::string event = "{\"model\": " + std::to_string(servedModel().model) +
                              ", \"structure\": true, \"layout\": false}\n\n";
    int changes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        table->_displayName = "Changed " + std::to_string(++changes);
        must(table->save());
        if (events.readUntil(event, std::chrono::seconds(30)).empty())
            throw std::runtime_error("no event of the change");
        state.ResumeTiming();
        get(client, modelPath());
    }
}

// A request with the write token on `client`; throws unless it answers 200.
void write(HttpConnection& client, const std::string& method, const std::string& path,
           const std::string& body) {
    client.send(arxtest::requestText(server().port, method, path, {{"X-QMS-Token", server().token}},
                                     body, "application/json"));
    if (client.receive(std::chrono::seconds(60)).status != 200)
        throw std::runtime_error(method + " " + path + " failed");
}

// The server's part of an edit's round trip in the page: a table's display
// name changed through the API, then the model and its layout read again
// (what the page loaded to redraw before reads ?since=, and still loads
// when it holds nothing of the model the server still keeps).
void BM_EditRoundTrip(benchmark::State& state) {
    HttpConnection client(server().port);
    const std::string path = modelPath() + "/tables/" + std::to_string(servedModel().tables[1000]);
    get(client, modelPath());
    get(client, modelPath() + "/layout");
    int edits = 0;
    for (auto _ : state) {
        write(client, "PATCH", path, "{\"display\": \"Edited " + std::to_string(++edits) + "\"}");
        get(client, modelPath());
        get(client, modelPath() + "/layout");
    }
}

// A read of `path` with ?since= `snapshot` (0: in full); the snapshot the
// answer shows.
std::string readSince(HttpConnection& client, const std::string& path, const std::string& since,
                      std::size_t& bytes) {
    const std::string target = path + (since.empty() ? "" : "?since=" + since);
    client.send(arxtest::requestText(server().port, "GET", target));
    const arxtest::HttpAnswer answer = client.receive(std::chrono::seconds(60));
    if (answer.status != 200 || answer.header("x-qms-snapshot").empty())
        throw std::runtime_error("GET " + target + " failed");
    bytes += answer.body.size();
    return answer.header("x-qms-snapshot");
}

// The same round trip when the page reads only what changed since what it
// holds (?since=): the model and the layout.
void BM_EditRoundTripSince(benchmark::State& state) {
    HttpConnection client(server().port);
    const std::string path = modelPath() + "/tables/" + std::to_string(servedModel().tables[1000]);
    std::size_t bytes = 0;
    std::string model = readSince(client, modelPath(), "", bytes);
    std::string layout = readSince(client, modelPath() + "/layout", "", bytes);
    int edits = 0;
    for (auto _ : state) {
        write(client, "PATCH", path, "{\"display\": \"Edited " + std::to_string(++edits) + "\"}");
        bytes = 0;
        model = readSince(client, modelPath(), model, bytes);
        layout = readSince(client, modelPath() + "/layout", layout, bytes);
    }
    state.counters["KB"] = static_cast<double>(bytes) / 1e3;
}

// A box moved in the page, then the layout read again.
void BM_BoxMoveRoundTrip(benchmark::State& state) {
    HttpConnection client(server().port);
    const std::string path =
        modelPath() + "/tables/" + std::to_string(servedModel().tables[1000]) + "/box";
    get(client, modelPath() + "/layout");
    int moves = 0;
    for (auto _ : state) {
        write(client, "PUT", path,
              "{\"x\": " + std::to_string(100 + 10 * (++moves % 20)) +
                  ", \"y\": 40, \"width\": 160, \"height\": 120}");
        get(client, modelPath() + "/layout");
    }
}

// What reading the model's folders, tables and columns costs in this
// process: record by record, as the diagram and the folder tree read them
// before (one or two statements per table, per folder and per folder's
// table), and in bulk (ModelVersionRecords).
void BM_ReadModelRecordByRecord(benchmark::State& state) {
    M_EntityModelDAO* raw = nullptr;
    must(M_EntityModelDAO::FindByID(servedModel().model, raw));
    const std::unique_ptr<M_EntityModelDAO> model(raw);
    std::size_t columns = 0;
    for (auto _ : state) {
        columns = 0;
        std::list<M_EntityTableDAO*> tables;
        PtrListGuard<M_EntityTableDAO> ownTables(tables);
        must(model->getEntityTableList(tables));
        for (M_EntityTableDAO* table : tables) {
            std::list<M_NormalColumnDAO*> found;
            PtrListGuard<M_NormalColumnDAO> ownColumns(found);
            must(table->getNormalColumnDAOList(model.get(), found));
            columns += found.size();
        }
        std::list<M_FolderDAO*> folders;
        PtrListGuard<M_FolderDAO> ownFolders(folders);
        must(M_FolderDAO::FindByEntityModelID(model->_ID, folders));
        for (M_FolderDAO* folder : folders) {
            std::list<M_EntityTableDAO*> held;
            PtrListGuard<M_EntityTableDAO> ownHeld(held);
            must(folder->getM_EntityTableDAOList(held));
        }
    }
    state.counters["columns"] = static_cast<double>(columns);
}

// Argument 0: every column member; 1: those qms serve draws.
void BM_ReadModelInBulk(benchmark::State& state) {
    const ColumnMembers members = state.range(0) == 0 ? ColumnMembers::All : ColumnMembers::Drawn;
    std::size_t columns = 0;
    for (auto _ : state) {
        ModelVersionRecords records;
        must(ModelVersionRecords::read(servedModel().model, records, members));
        columns = 0;
        for (const auto& [table, kept] : records.columns)
            columns += kept.size();
    }
    state.counters["columns"] = static_cast<double>(columns);
}

// The frames and boxes the page loads beside the model.
void BM_Layout(benchmark::State& state) {
    const std::string path = modelPath() + "/layout";
    HttpConnection client(server().port);
    std::size_t bytes = 0;
    get(client, path);
    for (auto _ : state)
        get(client, path, &bytes);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// Request i of the mix: one in ten reads the model, one in twenty its SVG,
// the rest a table, the projects or a box write.
void request(HttpConnection& client, int i) {
    const arxbench::ServedModel& built = servedModel();
    const std::string base = modelPath();
    const std::string table = std::to_string(built.tables[(i * 37) % built.tables.size()]);
    if (i % 10 == 0) return get(client, base);
    if (i % 20 == 5) return get(client, base + "/diagram.svg");
    if (i % 3 == 0) return get(client, "/api/projects");
    if (i % 3 == 1) return get(client, base + "/tables/" + table);
    const std::string box =
        "{\"x\": " + std::to_string(i) + ", \"y\": 10, \"width\": 160, \"height\": 120}";
    client.send(arxtest::requestText(server().port, "PUT", base + "/tables/" + table + "/box",
                                     {{"X-QMS-Token", server().token}}, box, "application/json"));
    if (client.receive(std::chrono::seconds(60)).status != 200)
        throw std::runtime_error("PUT of a box failed");
}

void BM_ServerMemoryAcross10000Requests(benchmark::State& state) {
    HttpConnection client(server().port);
    for (int i = 0; i < 50; ++i)
        request(client, i);
    for (auto _ : state) {
        state.counters["rss_start_MB"] = server().residentMB();
        for (int i = 1; i <= 10000; ++i) {
            request(client, i);
            if (i == 5000) state.counters["rss_5000_MB"] = server().residentMB();
        }
        state.counters["rss_10000_MB"] = server().residentMB();
    }
}

}  // namespace

BENCHMARK(BM_ModelJson)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelJsonAfterAChange)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditRoundTrip)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditRoundTripSince)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoxMoveRoundTrip)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadModelRecordByRecord)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadModelInBulk)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Layout)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerMemoryAcross10000Requests)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    arxbench::BenchPlatform platform;
    // ARX_BENCH_SERVE_PG=1 with ARX_BENCH_PG_URI (tools/with-pg-cluster.sh):
    // the model and the server on that PostgreSQL database instead.
    const char* pg = std::getenv("ARX_BENCH_PG_URI");
    if (std::getenv("ARX_BENCH_SERVE_PG") != nullptr && pg != nullptr) {
        must(MeridianNew::shutdown());
        must(MeridianNew::startup(pg, platform.file("work.db"), 0));
        arxbench::serveConfig() = pg;
    }
    const int status = arxbench::runBenchmarks(argc, argv);
    // ARX_SERVE_HOLD=N keeps the server N seconds more for tests/browser/perf.mjs.
    if (const char* hold = std::getenv("ARX_SERVE_HOLD"); hold != nullptr && status == 0) {
        std::printf("serving http://127.0.0.1:%d/ model %d token %s for %s s\n", server().port,
                    servedModel().model, server().token.c_str(), hold);
        std::fflush(stdout);
        sleep(static_cast<unsigned>(std::atoi(hold)));
    }
    arxbench::stopServer();
    return platform.shutdown() ? status : 1;
}
