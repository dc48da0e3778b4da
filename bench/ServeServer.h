#pragma once

// What the benchmarks of qms serve share (ServeBench.cpp, ServeLoadBench.cpp):
// a model of 2,000 tables x 20 columns in 20 folders, each table's first
// column referring to the table before it, built once per run through the
// library in one transaction in the benchmark's folder, and the qms binary
// serving it on a free port.
#include <string>
#include <vector>

#include "support/HttpClient.h"

namespace arxbench {

struct ServedModel {
    int model = 0;
    std::vector<int> tables;
};
/// The model, built on first use.
ServedModel& servedModel();

/// The configuration database the server is given: "config.db" in the
/// benchmark's folder, or a PostgreSQL server's URI.
std::string& serveConfig();

/// qms serve in the benchmark's folder; stopped by stopServer() or at exit.
class ServeServer {
public:
    ServeServer();
    ~ServeServer();
    ServeServer(const ServeServer&) = delete;
    ServeServer& operator=(const ServeServer&) = delete;
    /// The server's resident memory in MB.
    double residentMB() const;
    /// The threads the server runs.
    int threads() const;
    int port = 0;
    std::string token;

private:
    /// A line of /proc/PID/status ("VmRSS:"), as a number.
    double status(const std::string& field) const;
    int pid_ = 0;
};
/// The running server, started on first use.
ServeServer& server();
/// Stops it (before the benchmark's folder goes).
void stopServer();

/// GET `path` on `connection` (kept open); throws unless it answers 200.
/// The body's size in `bytes`.
void get(arxtest::HttpConnection& connection, const std::string& path,
         std::size_t* bytes = nullptr);

}  // namespace arxbench
