#pragma once

// The one thread that calls the library while qms serve runs (the library
// has one current database and serves one thread at a time): tasks run in
// the order they were posted. post() and stop() may be called from any
// thread.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qms::serve {

class LibraryWorker {
public:
    LibraryWorker() = default;
    /// Stops it.
    ~LibraryWorker();
    LibraryWorker(const LibraryWorker&) = delete;
    LibraryWorker& operator=(const LibraryWorker&) = delete;

    /// Starts the thread.
    void start();
    /// Queues `task`; dropped once stop() was called.
    void post(std::function<void()> task);
    /// Lets the task in progress end, drops the others and joins the thread.
    void stop();

private:
    void work();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace qms::serve
