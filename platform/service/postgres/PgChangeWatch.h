#pragma once

// The ChangeWatch of a PostgreSQL database (see ChangeWatch.h): a libpq
// connection of its own that LISTENs for what the tables' statement
// triggers send. Internal to the service.
#include <libpq-fe.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ChangeWatch.h"

namespace MeridianSpace::detail {

class PgChangeWatch : public ChangeWatch {
public:
    /// The channel and the name of the triggers and their function.
    static constexpr const char* kChannel = "arx_qms_change";

    /// Connects, puts in the triggers the tables lack and listens.
    static ResultMsg open(const std::string& uri, const std::vector<std::string>& tables,
                          std::unique_ptr<ChangeWatch>& out);
    ~PgChangeWatch() override;

    ResultMsg wait(int timeoutMs, std::vector<std::string>& changed) override;
    ResultMsg sync(std::vector<std::string>& changed) override;
    void interrupt() override;

private:
    PgChangeWatch(std::string uri, std::vector<std::string> tables);
    /// (Re)connects, puts in what is missing and listens.
    ResultMsg connect();
    /// Makes the trigger function and each existing table's trigger when
    /// missing, in one transaction that two watches do not run at once.
    ResultMsg addTriggers();
    /// Runs `sql` with `params`; the answer, when it has rows, in `rows`.
    ResultMsg run(const std::string& sql, const std::vector<std::string>& params,
                  std::vector<std::vector<std::string>>* rows = nullptr);
    /// Adds the watched tables that the notifications received name; true
    /// when one of them carried `fence` (not empty).
    bool takeNotifications(std::vector<std::string>& changed, const std::string& fence = "");
    /// Waits for the wake-up alone (after a failure), at most `timeoutMs`.
    void pause(int timeoutMs);
    ResultMsg lost(const std::string& message);

    std::string uri_;
    std::vector<std::string> tables_;
    PGconn* conn_ = nullptr;
    std::string schema_;        // where the tables are: notifications of others are not ours
    int wake_ = -1;             // an eventfd that interrupt() writes to
    std::uint64_t fences_ = 0;  // the syncs made, which name their notifications
};

}  // namespace MeridianSpace::detail
