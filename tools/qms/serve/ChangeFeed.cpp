#include "ChangeFeed.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "EventHub.h"
#include "LibraryWorker.h"
#include "ModelCache.h"
#include "Output.h"

namespace qms::serve {

namespace {

// How long one wait of the watch lasts before it looks whether to stop.
constexpr int kWaitMs = 1000;

void say(const std::string& what) {
    std::cerr << "qms serve: " + what + "\n";
}

}  // namespace

ChangeFeed::~ChangeFeed() {
    stop();
}

bool ChangeFeed::start(const std::string& location) {
    // Opened before the first reading: no change after it goes unseen.
    ResultMsg rm = ChangeWatch::open(location, ModelChanges::tables(), watch_);
    // Tags are told by reading, with or without a watch.
    models_.start();
    if (!rm.ok()) {
        watch_.reset();
        say("no live events and nothing kept (the database cannot be watched: " +
            printable(shown(rm.rMsg)) + ")");
        return false;
    }
    cache_.setEnabled(true);
    thread_ = std::thread([this] { watch(); });
    return true;
}

void ChangeFeed::stop() {
    stopping_ = true;
    if (watch_) watch_->interrupt();
    if (thread_.joinable()) thread_.join();
}

void ChangeFeed::watch() {
    std::vector<std::string> tables;
    bool failing = false;
    while (!stopping_) {
        // What a wait tells is noted before a sync may look; a sync that
        // asks goes first.
        std::unique_lock<std::mutex> hold(watching_);
        if (syncing_ > 0) {
            hold.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const ResultMsg rm = watch_->wait(kWaitMs, tables);
        if (!rm.ok()) {
            // Said once; the watch connects anew and then names every table.
            if (!failing) say("the change watch failed: " + printable(shown(rm.rMsg)));
            failing = true;
            continue;
        }
        failing = false;
        if (!tables.empty()) note(tables);
    }
}

void ChangeFeed::note(const std::vector<std::string>& tables) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& table : tables)
            if (std::find(pending_.begin(), pending_.end(), table) == pending_.end())
                pending_.push_back(table);
        if (queued_) return;
        queued_ = true;
    }
    library_.post([this] { readChanges(); });
}

void ChangeFeed::readChanges(bool rethrow) {
    std::vector<std::string> tables;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        tables.swap(pending_);
        queued_ = false;
        if (!tables.empty()) ++reading_;
    }
    if (tables.empty()) return;
    // Until what the tables tell is applied, what is kept may be stale.
    const auto readingDone = [this] {
        const std::lock_guard<std::mutex> lock(mutex_);
        --reading_;
    };
    try {
        apply(models_.read(tables));
    } catch (const std::exception& e) {
        // What changed is unknown: nothing kept may be trusted.
        cache_.setEnabled(false);
        cache_.setEnabled(true);
        readingDone();
        if (rethrow) throw;
        say("cannot tell which models changed: " + printable(e.what()));
        return;
    }
    readingDone();
}

void ChangeFeed::noteSynced() {
    std::vector<std::string> tables;
    ++syncing_;
    watch_->interrupt();
    ResultMsg rm;
    {
        const std::lock_guard<std::mutex> hold(watching_);
        rm = watch_->sync(tables);
    }
    --syncing_;
    // A failed sync cannot tell: every table is read and compared.
    if (!rm.ok()) tables = ModelChanges::tables();
    if (!tables.empty()) note(tables);
}

void ChangeFeed::sync() {
    if (!watch_) return;  // nothing is kept
    noteSynced();
    readChanges();  // here and now; the reading queued finds nothing left
}

bool ChangeFeed::current() {
    if (!watch_) return false;
    noteSynced();
    const std::lock_guard<std::mutex> lock(mutex_);
    return pending_.empty() && !queued_ && reading_ == 0;
}

void ChangeFeed::catchUp() {
    if (!watch_) {
        apply(models_.read(ModelChanges::tables()));
        return;
    }
    // Only the tables the watch names: on a server a table's change number
    // cannot tell that nothing changed, and every edit read all the
    // metadata twice.
    noteSynced();
    readChanges(true);
}

void ChangeFeed::apply(const std::vector<ChangedModel>& changes) {
    // Enough for the edits of a few people while one of them decides.
    constexpr std::size_t kStepsKept = 64;
    for (const ChangedModel& change : changes) {
        if (change.structure) cache_.structureChanged(change.model, change.tables, change.record);
        if (change.layout) cache_.layoutChanged(change.model);
        if (change.before != change.after) {
            std::deque<Step>& steps = history_[change.model];
            steps.push_back(
                {change.before, change.after, change.record, change.tables, change.folders});
            if (steps.size() > kStepsKept) steps.pop_front();
        }
        events_.publish(modelEvent(change.model, change.structure, change.layout));
    }
}

namespace {

std::string tagText(std::uint64_t digest) {
    char text[24];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(digest));
    return text;
}

}  // namespace

std::string ChangeFeed::tag(int model) const {
    const std::uint64_t digest = models_.digest(model);
    return digest == 0 ? "" : tagText(digest);
}

std::string ChangeFeed::tagOf(std::vector<int> models) const {
    std::sort(models.begin(), models.end());
    std::uint64_t digest = 1469598103934665603ull;
    for (const int model : models)
        for (const std::uint64_t part : {static_cast<std::uint64_t>(model), models_.digest(model)})
            digest = (digest ^ part) * 1099511628211ull;
    return tagText(digest);
}

Json ChangeFeed::changedSince(int model, const std::string& tag) const {
    const auto steps = history_.find(model);
    if (steps == history_.end()) return nullptr;
    std::size_t first = steps->second.size();
    for (std::size_t i = steps->second.size(); i-- > 0;) {
        if (tagText(steps->second[i].before) == tag) {
            first = i;
            break;
        }
    }
    if (first == steps->second.size()) return nullptr;
    bool record = false;
    std::set<int> tables, folders;
    for (std::size_t i = first; i < steps->second.size(); ++i) {
        const Step& step = steps->second[i];
        record = record || step.record;
        tables.insert(step.tables.begin(), step.tables.end());
        folders.insert(step.folders.begin(), step.folders.end());
    }
    return {{"model", record}, {"tables", tables}, {"folders", folders}};
}

}  // namespace qms::serve
