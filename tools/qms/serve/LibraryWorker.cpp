#include "LibraryWorker.h"

namespace qms::serve {

LibraryWorker::~LibraryWorker() {
    stop();
}

void LibraryWorker::start() {
    thread_ = std::thread([this] { work(); });
}

void LibraryWorker::post(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
}

void LibraryWorker::stop() {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        dropped.swap(tasks_);
    }
    ready_.notify_one();
    if (thread_.joinable()) thread_.join();
    // What the dropped tasks hold (connections) goes here, outside the lock.
}

void LibraryWorker::work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace qms::serve
