#pragma once

// What the benchmark programs share: a platform started on fresh databases in
// a temporary folder, a stored project, and failing loudly.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "StringHelper.h"

namespace arxbench {

using namespace MeridianSpace;

/// A failed step would make every figure meaningless.
inline void must(const ResultMsg& rm) {
    if (!rm.ok()) throw std::runtime_error(StringHelper::GBKToUTF8(rm.rMsg));
}

/// The folder of the running program's platform (set by BenchPlatform), for
/// the files a benchmark makes beside the databases.
inline std::string& benchFolder() {
    static std::string folder;
    return folder;
}

/// The platform with the library's record classes on "config.db" and
/// "work.db" in a new temporary folder, shut down and removed at the end.
class BenchPlatform {
public:
    /// Log mode 0 by default: the figures are those of the code measured,
    /// not of the log file.
    explicit BenchPlatform(int logMode = 0)
        : folder_((std::filesystem::temp_directory_path() / "arx_bench_XXXXXX").string()) {
        if (mkdtemp(folder_.data()) == nullptr) throw std::runtime_error("mkdtemp");
        benchFolder() = folder_;
        QmsRecordClasses::registerAll();
        must(MeridianNew::startup(file("config.db"), file("work.db"), logMode));
    }
    /// Shuts down; false when the last commit failed.
    bool shutdown() {
        const bool ok = MeridianNew::shutdown().ok();
        std::filesystem::remove_all(folder_);
        return ok;
    }
    const std::string& folder() const { return folder_; }
    std::string file(const std::string& name) const { return folder_ + "/" + name; }

private:
    std::string folder_;
};

/// Runs the registered benchmarks, then `after` (a summary); 0, or 1 when
/// an argument is unknown or a step failed (the failure is printed).
inline int runBenchmarks(int& argc, char** argv, const std::function<void()>& after = {}) {
    try {
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        if (after) after();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    return 0;
}

/// The benchmarks on a BenchPlatform, or with `--peak-rows=N` only
/// `peakRun(N)` (a run whose peak memory /usr/bin/time -v shows alone).
inline int runBenchmarksOrPeak(int& argc, char** argv,
                               const std::function<int(long long)>& peakRun) {
    long long peakRows = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--peak-rows=", 12) == 0) peakRows = std::atoll(argv[i] + 12);
    }
    BenchPlatform platform;
    int status = 0;
    if (peakRows < 0) {
        status = runBenchmarks(argc, argv);
    } else {
        try {
            status = peakRun(peakRows);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "benchmark failed: %s\n", e.what());
            status = 1;
        }
    }
    return platform.shutdown() ? status : 1;
}

/// Forks `processes` children; child k runs `child(k)` and leaves with its
/// answer through _exit, so that the parent's objects (and any server
/// connection) stay untouched. The children's process ids.
inline std::vector<pid_t> forkChildren(int processes, const std::function<int(int)>& child) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::vector<pid_t> children;
    for (int k = 0; k < processes; ++k) {
        const pid_t pid = fork();
        if (pid < 0) throw std::runtime_error("fork");
        if (pid == 0) _exit(child(k));
        children.push_back(pid);
    }
    return children;
}

/// Waits for every child; how many of them exited with 0.
inline int waitForChildren(const std::vector<pid_t>& children) {
    int succeeded = 0;
    for (pid_t pid : children) {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            ++succeeded;
    }
    return succeeded;
}

/// A line of /proc/self/status in kB ("VmHWM", "VmRSS"); -1 when unreadable.
inline long statusKB(const char* key) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long value = -1;
    const std::size_t keyLength = std::strlen(key);
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':')
            value = std::atol(line + keyLength + 1);
    }
    std::fclose(status);
    return value;
}

/// Starts the peak resident size (VmHWM) anew from the present size.
inline void resetPeak() {
    FILE* clear = std::fopen("/proc/self/clear_refs", "w");
    if (clear == nullptr) return;
    std::fputs("5", clear);
    std::fclose(clear);
}

/// A stored project "bench", made the current one on first use.
inline M_ProjectDAO& benchProject() {
    static M_ProjectDAO stored;
    if (stored._ID < 1) {
        stored._name = "bench";
        must(stored.save());
        M_ProjectDAO::setCurrProjectID(stored._ID);
    }
    return stored;
}

}  // namespace arxbench
