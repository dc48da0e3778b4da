// The tests' own backend (support/backends/StubBackend.cpp): "arxstub://" and the path
// of a SQLite file, which the raw looks reach as that file.
#include <memory>
#include <string>

#include "support/BackendUnderTest.h"

namespace arxtest {
namespace {

class StubUnderTest : public BackendUnderTest {
public:
    const char* name() const override { return "stub"; }
    std::string scheme() const override { return "arxstub://"; }
    std::string newDatabase(const std::string& folder, const std::string& name) const override {
        return scheme() + file(folder + "/" + name);
    }

    std::unique_ptr<Session> connect(const std::string& location, bool create) const override {
        return files().connect(file(location), create);
    }
    std::string allRows(const std::string& location) const override {
        return files().allRows(file(location));
    }
    std::string tableRows(const std::string& location, const std::string& table) const override {
        return files().tableRows(file(location), table);
    }
    std::string joinedSql(const std::string& value, const std::string& from,
                          const std::string& orderBy, const std::string& separator) const override {
        return files().joinedSql(value, from, orderBy, separator);
    }
    std::string idColumn() const override { return files().idColumn(); }
    std::string bytesLiteral(const std::string& hex) const override {
        return files().bytesLiteral(hex);
    }
    std::string columns(const std::string& location, const std::string& table) const override {
        return files().columns(file(location), table);
    }
    std::string indexedColumns(const std::string& location,
                               const std::string& table) const override {
        return files().indexedColumns(file(location), table);
    }
    std::string catalogue(const std::string& location) const override {
        return files().catalogue(file(location));
    }
    std::string indexCount(const std::string& location) const override {
        return files().indexCount(file(location));
    }
    bool watchesChanges() const override { return false; }
    std::string tableCount(const std::string& location) const override {
        return files().tableCount(file(location));
    }
    std::string tableNames(const std::string& location) const override {
        return files().tableNames(file(location));
    }
    std::string tablesDump(const std::string& location) const override {
        return files().tablesDump(file(location));
    }
    std::string state(const std::string& location) const override {
        return files().state(file(location));
    }
    std::string damage(const std::string& location) const override {
        return files().damage(file(location));
    }
    std::string triggerSql(const std::string& name, const std::string& when,
                           const std::string& table, const std::string& statements) const override {
        return files().triggerSql(name, when, table, statements);
    }
    std::string databasesStartingWith(const std::string& location,
                                      const std::string& prefix) const override {
        return files().databasesStartingWith(file(location), prefix);
    }
    std::string sampleForm() const override { return files().sampleForm(); }
    std::string dialect() const override { return ""; }
    bool injectFault(const std::string& location, const std::string& name, const std::string& when,
                     const std::string& table, const std::string& condition) const override {
        return files().injectFault(file(location), name, when, table, condition);
    }
    bool removeFault(const std::string& location, const std::string& name,
                     const std::string& table) const override {
        return files().removeFault(file(location), name, table);
    }

private:
    // The backend of the file behind a location.
    static const BackendUnderTest& files() { return backendAt("file"); }
    std::string file(const std::string& location) const {
        return owns(location) ? location.substr(scheme().size()) : location;
    }
};

}  // namespace

const BackendUnderTest& stubUnderTest() {
    static const StubUnderTest backend;
    return backend;
}

}  // namespace arxtest
