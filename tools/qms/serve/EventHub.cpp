#include "EventHub.h"

#include "HttpLimits.h"

namespace qms::serve {

std::string modelEvent(int model, bool structure, bool layout) {
    const auto flag = [](bool value) { return value ? "true" : "false"; };
    return "event: model\ndata: {\"model\": " + std::to_string(model) +
           ", \"structure\": " + flag(structure) + ", \"layout\": " + flag(layout) + "}\n\n";
}

void EventHub::add(const std::weak_ptr<EventSink>& sink) {
    const std::lock_guard<std::mutex> lock(mutex_);
    sinks_.push_back(sink);
}

void EventHub::publish(const std::string& text) {
    send(std::make_shared<const std::string>(text));
}

void EventHub::send(const std::shared_ptr<const std::string>& text) {
    std::vector<std::shared_ptr<EventSink>> alive;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::weak_ptr<EventSink>> kept;
        for (const std::weak_ptr<EventSink>& weak : sinks_) {
            if (auto sink = weak.lock()) {
                alive.push_back(std::move(sink));
                kept.push_back(weak);
            }
        }
        sinks_.swap(kept);
    }
    for (const auto& sink : alive)
        sink->push(text);
}

void EventHub::start() {
    timer_.expires_after(kHeartbeat);
    timer_.async_wait([this](const boost::system::error_code& error) {
        if (error) return;
        beat();
    });
}

void EventHub::beat() {
    static const auto heartbeat = std::make_shared<const std::string>(": heartbeat\n\n");
    send(heartbeat);
    start();
}

}  // namespace qms::serve
