// qms serve on a model of 2,000 tables x 20 columns in 20 folders, each
// table's first column referring to the table before it: the time of the
// model's JSON (GET /api/models/ID, what the page loads with its layout;
// target 100 ms), kept by the server while the model is unchanged and
// read anew after a change, and the server's resident memory across 1,000 requests of every kind
// (reads of the model, its tables, its SVG and the projects, and box
// writes). The model is built once per run through the library in one
// transaction in a temporary folder; the server is the qms binary started
// on it.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchModel.h"
#include "BenchPlatform.h"
#include "M_EntityTableDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "Transaction.h"

using namespace MeridianSpace;
using arxbench::must;

namespace {

constexpr int kTables = 2000;
constexpr int kFolders = 20;

struct Built {
    int model = 0;
    std::vector<int> tables;
};

Built buildModel() {
    Built built;
    Transaction tx(*MeridianNew::getCurrMRDConfigMDM());
    must(tx.begun());
    M_EntityModelDAO model;
    model._name = model._displayName = "Serve";
    must(arxbench::benchProject().addEntityModel(&model, 0));
    std::vector<M_FolderDAO> folders(kFolders);
    for (int f = 0; f < kFolders; ++f) {
        folders[f]._name = folders[f]._displayName = "F" + std::to_string(f);
        must(model.addM_FolderDAO(&folders[f], 0));
    }
    for (int t = 0; t < kTables; ++t) {
        built.tables.push_back(arxbench::addBenchTable(
            model, folders[t % kFolders], t, built.tables.empty() ? -1 : built.tables.back()));
    }
    must(tx.commit());
    built.model = model._ID;
    return built;
}

// qms serve in the benchmark's folder, on a free port.
class Server {
public:
    Server() {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(out[1], STDOUT_FILENO);
            const std::string command = "cd '" + arxbench::benchFolder() + "' && exec '" +
                                        ARX_QMS_BINARY +
                                        "' --config config.db --work work.db serve --port 0 "
                                        "2>/dev/null";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::FILE* lines = fdopen(out[0], "r");
        char first[512] = "", second[512] = "";
        if (!std::fgets(first, sizeof first, lines) || !std::fgets(second, sizeof second, lines))
            throw std::runtime_error("qms serve did not start");
        std::fclose(lines);
        const std::string address = first;
        port = std::stoi(address.substr(address.find(':', address.find("127.0.0.1")) + 1));
        token = std::string(second).substr(13, 32);
    }
    ~Server() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    /// The server's resident memory in MB.
    double residentMB() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
        }
        return 0;
    }
    int port = 0;
    std::string token;

private:
    pid_t pid_ = 0;
};

Built& model() {
    static Built built = buildModel();
    return built;
}

std::unique_ptr<Server> running;  // stopped before the folder goes

Server& server() {
    if (!running) running = std::make_unique<Server>();
    return *running;
}

void get(httplib::Client& client, const std::string& path, std::size_t* bytes = nullptr) {
    const httplib::Result r = client.Get(path.c_str());
    if (!r || r->status != 200) throw std::runtime_error("GET " + path + " failed");
    if (bytes != nullptr) *bytes = r->body.size();
}

void BM_ModelJson(benchmark::State& state) {
    const std::string path = "/api/models/" + std::to_string(model().model);
    httplib::Client client("127.0.0.1", server().port);
    std::size_t bytes = 0;
    get(client, path);  // the first read of the files is not the server's work
    for (auto _ : state)
        get(client, path, &bytes);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// The same after each change of the model (a table's display name, saved
// by this process): the server reads the model anew.
void BM_ModelJsonAfterAChange(benchmark::State& state) {
    const std::string path = "/api/models/" + std::to_string(model().model);
    httplib::Client client("127.0.0.1", server().port);
    M_EntityTableDAO* raw = nullptr;
    must(M_EntityTableDAO::FindByID(model().tables.front(), raw));
    const std::unique_ptr<M_EntityTableDAO> table(raw);
    int changes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        table->_displayName = "Changed " + std::to_string(++changes);
        must(table->save());
        state.ResumeTiming();
        get(client, path);
    }
}

// The frames and boxes the page loads beside the model.
void BM_Layout(benchmark::State& state) {
    const std::string path = "/api/models/" + std::to_string(model().model) + "/layout";
    httplib::Client client("127.0.0.1", server().port);
    std::size_t bytes = 0;
    get(client, path);
    for (auto _ : state)
        get(client, path, &bytes);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// Request i of the mix: one in ten reads the model, one in twenty its SVG,
// the rest a table, the projects or a box write.
void request(httplib::Client& client, int i) {
    const Built& built = model();
    const std::string base = "/api/models/" + std::to_string(built.model);
    const std::string table = std::to_string(built.tables[(i * 37) % kTables]);
    if (i % 10 == 0) return get(client, base);
    if (i % 20 == 5) return get(client, base + "/diagram.svg");
    if (i % 3 == 0) return get(client, "/api/projects");
    if (i % 3 == 1) return get(client, base + "/tables/" + table);
    const std::string box =
        "{\"x\": " + std::to_string(i) + ", \"y\": 10, \"width\": 160, \"height\": 120}";
    const httplib::Result r =
        client.Put((base + "/tables/" + table + "/box").c_str(), {{"X-QMS-Token", server().token}},
                   box, "application/json");
    if (!r || r->status != 200) throw std::runtime_error("PUT of a box failed");
}

void BM_ServerMemoryAcross1000Requests(benchmark::State& state) {
    httplib::Client client("127.0.0.1", server().port);
    for (int i = 0; i < 50; ++i)
        request(client, i);
    for (auto _ : state) {
        state.counters["rss_start_MB"] = server().residentMB();
        for (int i = 1; i <= 1000; ++i) {
            request(client, i);
            if (i == 500) state.counters["rss_500_MB"] = server().residentMB();
        }
        state.counters["rss_1000_MB"] = server().residentMB();
    }
}

}  // namespace

BENCHMARK(BM_ModelJson)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelJsonAfterAChange)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Layout)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerMemoryAcross1000Requests)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    arxbench::BenchPlatform platform;
    const int status = arxbench::runBenchmarks(argc, argv);
    // ARX_SERVE_HOLD=N keeps the server N seconds more for tests/browser/perf.mjs.
    if (const char* hold = std::getenv("ARX_SERVE_HOLD"); hold != nullptr && status == 0) {
        std::printf("serving http://127.0.0.1:%d/ model %d token %s for %s s\n", server().port,
                    model().model, server().token.c_str(), hold);
        std::fflush(stdout);
        sleep(static_cast<unsigned>(std::atoi(hold)));
    }
    running.reset();
    return platform.shutdown() ? status : 1;
}
