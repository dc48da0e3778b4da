#include "MRDService.h"

#include <memory>

#include "MRDSession.h"
#include "sqlite/SqliteConnection.h"

namespace MeridianSpace {

ResultMsg MRDService::createSession(const std::string& path, MRDSession*& session,
                                    int createIfMissing) {
    std::shared_ptr<detail::SqliteConnection> connection;
    ResultMsg rm = detail::SqliteConnection::open(path, createIfMissing == 1, connection);
    if (rm.ok()) session = new MRDSession(std::move(connection));
    return rm;
}

ResultMsg MRDService::createMemorySession(MRDSession*& session) {
    std::shared_ptr<detail::SqliteConnection> connection;
    ResultMsg rm = detail::SqliteConnection::openMemory(connection);
    if (rm.ok()) session = new MRDSession(std::move(connection));
    return rm;
}

}  // namespace MeridianSpace
