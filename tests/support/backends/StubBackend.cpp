// A storage backend of the tests' own, under the scheme "arxstub://<path>":
// SQLite files behind a scheme that only the registry knows. Each call goes
// on to the backend of the path, so the suites pass on it exactly when every
// way of the service to a database goes through the registry (one that
// does not opens the literal "arxstub:" path, where the tests' own raw
// looks find no data).
#include "backend/BackendRegistry.h"

namespace {

using namespace MeridianSpace;
using namespace MeridianSpace::detail;

const std::string kPrefix = "arxstub://";

class StubBackend : public Backend {
public:
    ResultMsg open(const std::string& location, bool create,
                   std::shared_ptr<Connection>& out) const override {
        const std::string path = pathOf(location);
        return backendFor(path).open(path, create, out);
    }
    ResultMsg openReadOnly(const std::string& location,
                           std::shared_ptr<Connection>& out) const override {
        const std::string path = pathOf(location);
        return backendFor(path).openReadOnly(path, out);
    }
    ResultMsg readTableNames(const std::string& location,
                             std::vector<std::string>& out) const override {
        const std::string path = pathOf(location);
        return backendFor(path).readTableNames(path, out);
    }
    ResultMsg readInstanceInfo(const std::string& location, IEntityModel& model) const override {
        const std::string path = pathOf(location);
        return backendFor(path).readInstanceInfo(path, model);
    }

    /// Those of the files behind the scheme.
    const BackendCapabilities& capabilities() const override {
        return backendFor("").capabilities();
    }

private:
    static std::string pathOf(const std::string& location) {
        return location.substr(kPrefix.size());
    }
};

[[maybe_unused]] const bool registered =
    registerBackend("arxstub", std::make_shared<StubBackend>());

}  // namespace
