#include "ChangeFeed.h"

#include <algorithm>
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
    if (!rm.ok()) {
        say("no live events and nothing kept (the database cannot be watched: " +
            printable(shown(rm.rMsg)) + ")");
        return false;
    }
    models_.start();
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

void ChangeFeed::readChanges() {
    std::vector<std::string> tables;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        tables.swap(pending_);
        queued_ = false;
    }
    std::vector<ChangedModel> changes;
    try {
        changes = models_.read(tables);
    } catch (const std::exception& e) {
        // What changed is unknown: nothing kept may be trusted.
        say("cannot tell which models changed: " + printable(e.what()));
        cache_.setEnabled(false);
        cache_.setEnabled(true);
        return;
    }
    for (const ChangedModel& change : changes) {
        if (change.structure) cache_.structureChanged(change.model);
        if (change.layout) cache_.layoutChanged(change.model);
        events_.publish(modelEvent(change.model, change.structure, change.layout));
    }
}

}  // namespace qms::serve
