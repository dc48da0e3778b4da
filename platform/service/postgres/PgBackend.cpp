#include "postgres/PgBackend.h"

#include "postgres/PgChangeWatch.h"
#include "postgres/PgConnection.h"
#include "postgres/PgSchema.h"

namespace MeridianSpace::detail {

ResultMsg PgBackend::open(const std::string& location, bool create,
                          std::shared_ptr<Connection>& out) const {
    std::shared_ptr<PgConnection> server;
    ResultMsg rm = PgConnection::open(location, create, server);
    if (rm.ok()) out = std::move(server);
    return rm;
}

ResultMsg PgBackend::readTableNames(const std::string& location,
                                    std::vector<std::string>& out) const {
    std::shared_ptr<PgConnection> server;
    ResultMsg rm = PgConnection::open(location, false, server);
    if (rm.ok()) rm = server->tableNames(out);
    if (server) {
        ResultMsg closed = server->close();
        if (rm.ok()) rm = closed;
    }
    return rm;
}

ResultMsg PgBackend::watchChanges(const std::string& location,
                                  const std::vector<std::string>& tables,
                                  std::unique_ptr<ChangeWatch>& out) const {
    return PgChangeWatch::open(location, tables, out);
}

ResultMsg PgBackend::readSchema(const std::string& location, DatabaseSchema& out) const {
    return readPgSchema(location, out);
}

const BackendCapabilities& PgBackend::capabilities() const {
    return kPgCapabilities;
}

std::string PgBackend::displayLocation(const std::string& location) const {
    return PgConnection::withoutPassword(location);
}

}  // namespace MeridianSpace::detail
