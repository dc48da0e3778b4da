#include "ServeServer.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>

#include "BenchModel.h"
#include "BenchPlatform.h"
#include "M_EntityTableDAO.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "Transaction.h"

namespace arxbench {

namespace {

constexpr int kTables = 2000;
constexpr int kFolders = 20;

ServedModel buildModel() {
    ServedModel built;
    Transaction tx(*MeridianNew::getCurrMRDConfigMDM());
    must(tx.begun());
    M_EntityModelDAO model;
    model._name = model._displayName = "Serve";
    must(benchProject().addEntityModel(&model, 0));
    std::vector<M_FolderDAO> folders(kFolders);
    for (int f = 0; f < kFolders; ++f) {
        folders[f]._name = folders[f]._displayName = "F" + std::to_string(f);
        must(model.addM_FolderDAO(&folders[f], 0));
    }
    for (int t = 0; t < kTables; ++t) {
        built.tables.push_back(addBenchTable(model, folders[t % kFolders], t,
                                             built.tables.empty() ? -1 : built.tables.back()));
    }
    must(tx.commit());
    built.model = model._ID;
    return built;
}

// A line of the server's standard output, within a deadline.
std::string lineOf(int out) {
    std::string line;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char c = 0;
    while (std::chrono::steady_clock::now() < until) {
        pollfd readable{out, POLLIN, 0};
        if (poll(&readable, 1, 100) == 0) continue;
        if (read(out, &c, 1) != 1) break;  // it ended
        line += c;
        if (c == '\n') return line;
    }
    throw std::runtime_error("qms serve did not start");
}

std::unique_ptr<ServeServer> running;

}  // namespace

std::string& serveConfig() {
    static std::string config = "config.db";
    return config;
}

ServedModel& servedModel() {
    static ServedModel built = buildModel();
    return built;
}

ServeServer::ServeServer() {
    (void)servedModel();  // committed before the server starts
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], STDOUT_FILENO);
        const std::string command = "cd '" + benchFolder() + "' && exec '" + ARX_QMS_BINARY +
                                    "' --config '" + serveConfig() +
                                    "' --work work.db serve --port 0 "
                                    "2>/dev/null";
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    const std::string address = lineOf(out[0]), second = lineOf(out[0]);
    close(out[0]);
    port = std::stoi(address.substr(address.find(':', address.find("127.0.0.1")) + 1));
    token = second.substr(13, 32);
}

ServeServer::~ServeServer() {
    kill(pid_, SIGTERM);
    for (int i = 0; i < 3000 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

double ServeServer::status(const std::string& field) const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stod(line.substr(field.size()));
    }
    return 0;
}

double ServeServer::residentMB() const {
    return status("VmRSS:") / 1024.0;
}

int ServeServer::threads() const {
    return static_cast<int>(status("Threads:"));
}

ServeServer& server() {
    if (!running) running = std::make_unique<ServeServer>();
    return *running;
}

void stopServer() {
    running.reset();
}

void get(arxtest::HttpConnection& connection, const std::string& path, std::size_t* bytes) {
    const int port = server().port;
    if (!connection.send(arxtest::requestText(port, "GET", path)))
        throw std::runtime_error("GET " + path + " not sent");
    const arxtest::HttpAnswer answer = connection.receive(std::chrono::seconds(60));
    if (answer.status != 200) throw std::runtime_error("GET " + path + " failed");
    if (bytes != nullptr) *bytes = answer.body.size();
}

}  // namespace arxbench
