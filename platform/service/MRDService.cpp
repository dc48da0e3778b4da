#include "MRDService.h"

#include <memory>

#include "MRDSession.h"
#include "backend/BackendRegistry.h"

namespace MeridianSpace {

using detail::backendFor;

ResultMsg MRDService::createSession(const std::string& path, MRDSession*& session,
                                    int createIfMissing) {
    std::shared_ptr<detail::Connection> connection;
    ResultMsg rm = backendFor(path).open(path, createIfMissing == 1, connection);
    if (rm.ok()) session = new MRDSession(std::move(connection));
    return rm;
}

ResultMsg MRDService::openReadOnlySession(const std::string& path, MRDSession*& session) {
    std::shared_ptr<detail::Connection> connection;
    ResultMsg rm = backendFor(path).openReadOnly(path, connection);
    if (rm.ok()) session = new MRDSession(std::move(connection));
    return rm;
}

ResultMsg MRDService::createMemorySession(MRDSession*& session) {
    std::shared_ptr<detail::Connection> connection;
    ResultMsg rm = detail::fileBackend().openMemory(connection);
    if (rm.ok()) session = new MRDSession(std::move(connection));
    return rm;
}

ResultMsg MRDService::readTableNames(const std::string& path, std::vector<std::string>& tables) {
    return backendFor(path).readTableNames(path, tables);
}

ResultMsg MRDService::readSchema(const std::string& path, DatabaseSchema& schema) {
    return backendFor(path).readSchema(path, schema);
}

ResultMsg MRDService::readInstanceFileInfo(const std::string& path, IEntityModel& model) {
    return backendFor(path).readInstanceInfo(path, model);
}

bool MRDService::isServerLocation(const std::string& location) {
    return !backendFor(location).capabilities().localFile;
}

bool MRDService::isFileLocation(const std::string& location) {
    return backendFor(location).capabilities().localFile;
}

std::string MRDService::displayLocation(const std::string& location) {
    return backendFor(location).displayLocation(location);
}

}  // namespace MeridianSpace
