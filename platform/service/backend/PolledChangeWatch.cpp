#include "backend/PolledChangeWatch.h"

#include <algorithm>
#include <chrono>

#include "backend/Connection.h"

namespace MeridianSpace::detail {

PolledChangeWatch::PolledChangeWatch(std::shared_ptr<Connection> connection,
                                     std::vector<std::string> tables)
    : connection_(std::move(connection)), tables_(std::move(tables)) {
    for (const std::string& table : tables_)
        seen_.push_back(connection_->changeCount(table));
}

PolledChangeWatch::~PolledChangeWatch() {
    ResultMsg closed = connection_->close();
    (void)closed;  // the connection only read
}

void PolledChangeWatch::look(std::vector<std::string>& changed) {
    for (std::size_t i = 0; i < tables_.size(); ++i) {
        const std::uint64_t now = connection_->changeCount(tables_[i]);
        if (now != seen_[i]) changed.push_back(tables_[i]);
        seen_[i] = now;
    }
}

ResultMsg PolledChangeWatch::wait(int timeoutMs, std::vector<std::string>& changed) {
    changed.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (interrupted_) {
            interrupted_ = false;
            return ResultMsg();
        }
        lock.unlock();
        look(changed);
        lock.lock();
        const auto now = std::chrono::steady_clock::now();
        if (!changed.empty() || now >= deadline) return ResultMsg();
        woken_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(kPollMs)),
                          [this] { return interrupted_; });
    }
}

ResultMsg PolledChangeWatch::sync(std::vector<std::string>& changed) {
    // The numbers are read now: a commit made before the call has moved them.
    changed.clear();
    look(changed);
    return ResultMsg();
}

void PolledChangeWatch::interrupt() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
    }
    woken_.notify_all();
}

}  // namespace MeridianSpace::detail
