#include "MRDService.h"

#include <memory>

#include "MRDSession.h"
#include "ServiceErrorCode.h"
#include "postgres/PgConnection.h"
#include "sqlite/SqliteConnection.h"

namespace MeridianSpace {

ResultMsg MRDService::createSession(const std::string& path, MRDSession*& session,
                                    int createIfMissing) {
    std::shared_ptr<detail::Connection> connection;
    ResultMsg rm;
    if (detail::PgConnection::isServerUri(path)) {
        std::shared_ptr<detail::PgConnection> server;
        rm = detail::PgConnection::open(path, createIfMissing == 1, server);
        connection = std::move(server);
    } else {
        std::shared_ptr<detail::SqliteConnection> file;
        rm = detail::SqliteConnection::open(path, createIfMissing == 1, file);
        connection = std::move(file);
    }
    if (rm.ok()) session = new MRDSession(std::move(connection));
    return rm;
}

ResultMsg MRDService::openReadOnlySession(const std::string& path, MRDSession*& session) {
    if (detail::PgConnection::isServerUri(path)) {
        return ResultMsg(SRV_ERR_ARGUMENT, "只读会话只能打开数据库文件：" + displayLocation(path));
    }
    std::shared_ptr<detail::SqliteConnection> file;
    ResultMsg rm = detail::SqliteConnection::openReadOnly(path, file);
    if (rm.ok()) session = new MRDSession(std::move(file));
    return rm;
}

ResultMsg MRDService::createMemorySession(MRDSession*& session) {
    std::shared_ptr<detail::SqliteConnection> connection;
    ResultMsg rm = detail::SqliteConnection::openMemory(connection);
    if (rm.ok()) session = new MRDSession(std::move(connection));
    return rm;
}

bool MRDService::isServerLocation(const std::string& location) {
    return detail::PgConnection::isServerUri(location);
}

std::string MRDService::displayLocation(const std::string& location) {
    return detail::PgConnection::isServerUri(location)
               ? detail::PgConnection::withoutPassword(location)
               : location;
}

}  // namespace MeridianSpace
