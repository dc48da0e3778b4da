#include "MRDService.h"

#include <memory>

#include "IEntityModel.h"
#include "MRDSession.h"
#include "ServiceErrorCode.h"
#include "backend/InstanceInfo.h"
#include "postgres/PgConnection.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteReadOnly.h"

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

ResultMsg MRDService::readTableNames(const std::string& path, std::vector<std::string>& tables) {
    if (detail::PgConnection::isServerUri(path)) {
        // A server database is only read: no table is made, nothing written.
        std::shared_ptr<detail::PgConnection> server;
        ResultMsg rm = detail::PgConnection::open(path, false, server);
        if (rm.ok()) rm = server->tableNames(tables);
        if (server) {
            ResultMsg closed = server->close();
            if (rm.ok()) rm = closed;
        }
        return rm;
    }
    detail::SqliteReadOnlyFile file;
    ResultMsg rm = file.open(path);
    if (rm.ok()) rm = file.tableNames(tables);
    return rm;
}

ResultMsg MRDService::readInstanceFileInfo(const std::string& path, IEntityModel& model) {
    detail::SqliteReadOnlyFile file;
    ResultMsg rm = file.open(path);
    if (!rm.ok()) return rm;
    std::vector<detail::SqliteReadOnlyFile::Value> row;
    std::string why;
    switch (file.firstRow(detail::instanceInfoQuery("rowid"), row, why)) {
        case detail::StepResult::Error:
            return detail::notInstanceFile(path, why);
        case detail::StepResult::Done:
            return detail::notInstanceFile(path, "实例信息表中没有记录");
        case detail::StepResult::Row:
            break;
    }
    if (!row[1].isInteger) return detail::notInstanceFile(path, "版本号不是整数");
    model._name = row[0].bytes;
    model._version = static_cast<int>(row[1].integer);
    model._type = row[2].bytes;
    model._description = row[3].bytes;
    model._projectUID = row[4].bytes;
    return rm;
}

}  // namespace MeridianSpace
