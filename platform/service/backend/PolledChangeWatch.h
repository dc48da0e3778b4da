#pragma once

// A ChangeWatch that looks at the change numbers of a connection of its own
// (Connection::changeCount) about four times a second: for a backend whose
// numbers tell other connections' commits, such as a SQLite file. Internal
// to the service.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ChangeWatch.h"

namespace MeridianSpace::detail {

class Connection;

class PolledChangeWatch : public ChangeWatch {
public:
    /// How often the numbers are looked at.
    static constexpr int kPollMs = 250;

    /// Takes the numbers of `tables` on `connection` as they are now.
    PolledChangeWatch(std::shared_ptr<Connection> connection, std::vector<std::string> tables);
    ~PolledChangeWatch() override;

    ResultMsg wait(int timeoutMs, std::vector<std::string>& changed) override;
    ResultMsg sync(std::vector<std::string>& changed) override;
    void interrupt() override;

private:
    /// The watched tables whose number moved since the last look.
    void look(std::vector<std::string>& changed);

    std::shared_ptr<Connection> connection_;
    std::vector<std::string> tables_;
    std::vector<std::uint64_t> seen_;
    std::mutex mutex_;
    std::condition_variable woken_;
    bool interrupted_ = false;
};

}  // namespace MeridianSpace::detail
