#pragma once

// The live events of qms serve: a ChangeWatch on the configuration
// database tells which metadata tables may have changed; the library's
// thread reads them (ModelChanges), drops what the ModelCache keeps of the
// models that changed and publishes one event per model. Changes through
// this server, another server on the same database and the qms tool
// arrive alike. It also gives each model a tag (its ETag) that changes
// with any change of its structure, and remembers what changed between
// recent tags. start() and stop() from the thread that runs the server;
// catchUp(), sync(), tag() and changedSince() on the library's thread.
#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ChangeWatch.h"
#include "ModelChanges.h"
#include "Output.h"

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

    /// Reads at once what changed since the last reading (a change by
    /// another process too) and publishes it, as the watch would later.
    /// Throws Failure when it cannot tell (the tags would be stale).
    void catchUp();
    /// Reads at once which tables changed by commits made before the call
    /// (another process's too: ChangeWatch::sync) and drops what the cache
    /// keeps of the models they changed: what it keeps afterwards is no
    /// older than the call. On the library's thread.
    void sync();
    /// From any thread: true when no commit made before the call is still
    /// to be read, so that what the cache keeps may be answered; otherwise
    /// queues its reading (which runs on the library's thread before any
    /// task posted later) and answers false.
    bool current();
    /// The model's tag as last read: a quoted hex digest (ETag form); empty
    /// for a model that is not stored.
    std::string tag(int model) const;
    /// The tag of several models together (a project's: its model
    /// versions), in the same form: it changes when one of them changes,
    /// comes or goes.
    std::string tagOf(std::vector<int> models) const;
    /// What changed of the model since it had `tag` ("tables", "folders":
    /// identifiers; "model": its record or a version's), or null when that
    /// tag is older than what is remembered or was never the model's.
    Json changedSince(int model, const std::string& tag) const;

private:
    void watch();
    /// Queues one reading of the tables on the library's thread (merged
    /// with one queued already).
    void note(const std::vector<std::string>& tables);
    /// Reads the tables noted; a failure forgets what the cache keeps and
    /// is said, or with `rethrow` thrown.
    void readChanges(bool rethrow = false);
    /// The tables that commits made before the call changed (every table
    /// when the watch cannot tell), noted for reading.
    void noteSynced();
    /// Drops what is kept of the changed models, remembers the steps of
    /// their tags and publishes their events.
    void apply(const std::vector<ChangedModel>& changes);

    /// One change of a model's tag.
    struct Step {
        std::uint64_t before = 0, after = 0;
        bool record = false;
        std::set<int> tables, folders;
    };

    LibraryWorker& library_;
    ModelCache& cache_;
    EventHub& events_;
    std::unique_ptr<ChangeWatch> watch_;
    std::mutex watching_;          // held by each wait() and sync() of watch_
    std::atomic<int> syncing_{0};  // syncs waiting for watching_
    ModelChanges models_;          // the library's thread's, as is history_
    std::map<int, std::deque<Step>> history_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::string> pending_;
    bool queued_ = false;
    int reading_ = 0;  // readings of pending_ taken and not yet applied
};

}  // namespace qms::serve
