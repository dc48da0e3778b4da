#pragma once

// The live events of qms serve: a ChangeWatch on the configuration
// database tells which metadata tables may have changed; the library's
// thread reads them (ModelChanges), drops what the ModelCache keeps of the
// models that changed and publishes one event per model. Changes through
// this server, another server on the same database and the qms tool
// arrive alike. start() and stop() from the thread that runs the server.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ChangeWatch.h"
#include "ModelChanges.h"

namespace qms::serve {

class EventHub;
class LibraryWorker;
class ModelCache;

class ChangeFeed {
public:
    ChangeFeed(LibraryWorker& library, ModelCache& cache, EventHub& events)
        : library_(library), cache_(cache), events_(events) {}
    /// Stops it.
    ~ChangeFeed();
    ChangeFeed(const ChangeFeed&) = delete;
    ChangeFeed& operator=(const ChangeFeed&) = delete;

    /// Opens the watch of `location` and reads the tables (through the
    /// library, before the server runs), and turns the cache on. When the
    /// database cannot be watched it says why on standard error and
    /// answers false: nothing is then kept and no event published.
    bool start(const std::string& location);
    void stop();

private:
    void watch();
    /// Queues one reading of the tables on the library's thread (merged
    /// with one queued already).
    void note(const std::vector<std::string>& tables);
    void readChanges();

    LibraryWorker& library_;
    ModelCache& cache_;
    EventHub& events_;
    std::unique_ptr<ChangeWatch> watch_;
    ModelChanges models_;  // the library's thread's
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::string> pending_;
    bool queued_ = false;
};

}  // namespace qms::serve
