// qms serve under clients that try to stall or exhaust it, on the model of
// ServeServer.h: how long a GET takes beside idle and slow clients, how
// long 200 simultaneous GETs take, how much one request (hostile or not)
// raises the server's memory, and what 1,000 open event streams cost and
// how soon an event reaches all of them. Targets: 200 ms, 1 s for the
// slowest, 20 MB, 50 MB and no thread per stream, 1 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ServeServer.h"

using arxbench::servedModel;
using arxbench::server;
using arxtest::HttpConnection;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::vector<std::unique_ptr<HttpConnection>> connections(int count) {
    std::vector<std::unique_ptr<HttpConnection>> out;
    for (int i = 0; i < count; ++i)
        out.push_back(std::make_unique<HttpConnection>(server().port));
    return out;
}

std::string tablePath(int i) {
    const auto& built = servedModel();
    return "/api/models/" + std::to_string(built.model) + "/tables/" +
           std::to_string(built.tables[static_cast<std::size_t>(i) % built.tables.size()]);
}

// GETs of a table (the library answers) while 300 sockets stay idle and 100
// clients send their header a byte a second.
void BM_GetBesideIdleAndSlowClients(benchmark::State& state) {
    const int port = server().port;
    for (auto _ : state) {
        auto idle = connections(300), slow = connections(100);
        const std::string header = arxtest::requestText(port, "GET", "/api/info");
        std::atomic<bool> done{false};
        std::thread dripping([&] {
            for (std::size_t sent = 0; !done && sent < header.size(); ++sent) {
                for (auto& client : slow)
                    client->send(header.substr(sent, 1));
                for (int i = 0; i < 10 && !done; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        double slowest = 0;
        int failed = 0;
        for (int i = 0; i < 30; ++i) {
            const auto start = Clock::now();
            try {
                failed += arxtest::fetch(port, "GET", tablePath(i)).status != 200;
            } catch (const std::runtime_error&) {
                ++failed;  // not even connected
            }
            slowest = std::max(slowest, msSince(start));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        done = true;
        dripping.join();
        state.counters["failed"] = failed;
        state.counters["slowest_get_ms"] = slowest;
    }
}

// 200 GETs sent at once on 200 connections.
void BM_200SimultaneousGets(benchmark::State& state) {
    const int port = server().port;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto clients = connections(200);
        for (int i = 0; i < 200; ++i)
            clients[i]->send(arxtest::requestText(port, "GET", tablePath(i)));
        int answered = 0;
        for (auto& client : clients)
            answered += client->receive(std::chrono::seconds(30)).status == 200;
        state.counters["slowest_ms"] = msSince(start);
        state.counters["answered"] = answered;
    }
}

// The rise of the server's memory over one request, for requests of every
// kind and hostile ones, each on a server that has not yet answered it
// (run alone, the first one is the server's first read of the model), and
// the largest rise over two rounds.
void BM_MemoryPerRequest(benchmark::State& state) {
    const int port = server().port;
    const std::string model = "/api/models/" + std::to_string(servedModel().model);
    std::string ranges = "bytes=0-";
    for (int i = 0; i < 2000; ++i)
        ranges += ",0-";
    const std::vector<std::pair<const char*, std::string>> requests = {
        {"model", arxtest::requestText(port, "GET", model)},
        {"layout", arxtest::requestText(port, "GET", model + "/layout")},
        {"svg", arxtest::requestText(port, "GET", model + "/diagram.svg")},
        {"svg_2000_ranges",
         arxtest::requestText(port, "GET", model + "/diagram.svg", {{"Range", ranges}})},
        {"app_2000_ranges", arxtest::requestText(port, "GET", "/app.js", {{"Range", ranges}})},
        {"table", arxtest::requestText(port, "GET", tablePath(7))},
        // A header line 48 MiB long, and a body far beyond the limit.
        {"header_48MiB", "GET /api/info HTTP/1.1\r\nX-Long: " + std::string(48u << 20, 'a')},
        {"body_8MiB",
         arxtest::requestText(port, "PUT", model + "/box", {{"X-QMS-Token", server().token}},
                              std::string(8u << 20, ' '), "application/json")},
    };
    for (auto _ : state) {
        double largest = 0;
        for (int round = 0; round < 2; ++round) {
            for (const auto& [name, request] : requests) {
                const double before = server().residentMB();
                HttpConnection client(port);
                client.send(request, std::chrono::seconds(5));
                client.receive(std::chrono::seconds(30));
                const double rise = server().residentMB() - before;
                largest = std::max(largest, rise);
                if (round == 0) state.counters[std::string(name) + "_MB"] = rise;
            }
        }
        state.counters["largest_rise_MB"] = largest;
    }
}

// 1,000 event streams: their memory and threads, and how soon a box moved
// through the server reaches every one of them.
void BM_EventStreams1000(benchmark::State& state) {
    const int port = server().port;
    for (auto _ : state) {
        const double before = server().residentMB();
        const int threads = server().threads();
        auto streams = connections(1000);
        for (auto& stream : streams) {
            stream->send(arxtest::requestText(port, "GET", "/api/events"));
            if (stream->receive(std::chrono::seconds(30), false, true).status != 200)
                throw std::runtime_error("no event stream");
        }
        state.counters["rss_more_MB"] = server().residentMB() - before;
        state.counters["threads_more"] = server().threads() - threads;
        const std::string box = "{\"x\": 5, \"y\": 10, \"width\": 160, \"height\": 120}";
        const auto start = Clock::now();
        const auto answer =
            arxtest::fetch(port, "PUT", tablePath(3) + "/box", {{"X-QMS-Token", server().token}},
                           box, "application/json");
        if (answer.status != 200) throw std::runtime_error("PUT of a box failed");
        int reached = 0;
        for (auto& stream : streams)
            reached +=
                !stream->readUntil("\"layout\": true}\n\n", std::chrono::seconds(10)).empty();
        state.counters["slowest_event_ms"] = msSince(start);
        state.counters["reached"] = reached;
    }
}

}  // namespace

BENCHMARK(BM_GetBesideIdleAndSlowClients)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_200SimultaneousGets)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryPerRequest)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_EventStreams1000)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
