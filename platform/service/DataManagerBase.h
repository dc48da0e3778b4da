#pragma once

// Base of the data service's managers: each works in one session.
#include <memory>
#include <string>

#include "ArxExport.h"

namespace MeridianSpace {

class MRDSession;
class Savepoint;
namespace detail {
class Connection;
}

/// Used by the thread that uses its session (see MRDSession).
class ARX dataManager {
public:
    virtual ~dataManager();
    dataManager(const dataManager&) = delete;
    dataManager& operator=(const dataManager&) = delete;

    /// The session the manager works in; null once that session is deleted.
    MRDSession* getPSession() const;
    /// Path of the database file the manager works on.
    std::string getFilePath() const;

protected:
    friend class Savepoint;
    /// `session` is the session that made the manager; empty for a manager
    /// the service makes for its own work.
    explicit dataManager(std::shared_ptr<detail::Connection> connection,
                         std::weak_ptr<MRDSession> session = {});
    std::shared_ptr<detail::Connection> connection_;

private:
    std::weak_ptr<MRDSession> session_;
};

}  // namespace MeridianSpace
