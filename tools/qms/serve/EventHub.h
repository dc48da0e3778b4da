#pragma once

// The open event streams of qms serve (GET /api/events, Server-Sent
// Events) and what is published to all of them: one event per changed
// model, and a comment every kHeartbeat so that idle streams stay open.
// The format is in docs/serve-http.md. Every member may be called from any
// thread.
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qms::serve {

/// A stream that takes events.
class EventSink {
public:
    virtual ~EventSink() = default;
    /// Queues the text for the stream; any thread.
    virtual void push(std::shared_ptr<const std::string> text) = 0;
};

/// The event of a model that changed: "event: model" and
/// data {"model": ID, "structure": bool, "layout": bool}.
std::string modelEvent(int model, bool structure, bool layout);

class EventHub {
public:
    explicit EventHub(boost::asio::io_context& io) : timer_(io) {}

    /// Sends what is published from now on to `sink` while it lives.
    void add(const std::weak_ptr<EventSink>& sink);
    /// Sends `text` (whole events) to every stream.
    void publish(const std::string& text);
    /// Starts the heartbeat (on the I/O threads; it ends with them).
    void start();

private:
    void send(const std::shared_ptr<const std::string>& text);
    void beat();

    std::mutex mutex_;
    std::vector<std::weak_ptr<EventSink>> sinks_;
    boost::asio::steady_timer timer_;
};

}  // namespace qms::serve
