// Chooses the backend of a run from ARX_TEST_BACKEND among the backends of
// the matrix; ARX_TEST_BACKEND_LIST comes from tests/CMakeLists.txt.
#include "support/BackendUnderTest.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "TestBackendList.h"
#include "backend/BackendRegistry.h"

namespace arxtest {

#define ARX_DECLARE_BACKEND(id, env) const BackendUnderTest& id##UnderTest();
ARX_TEST_BACKEND_LIST(ARX_DECLARE_BACKEND)
#undef ARX_DECLARE_BACKEND

namespace {

struct Entry {
    std::string env;
    const BackendUnderTest* backend;
};

const std::vector<Entry>& matrix() {
#define ARX_LIST_BACKEND(id, env) Entry{env, &id##UnderTest()},
    static const std::vector<Entry> entries{ARX_TEST_BACKEND_LIST(ARX_LIST_BACKEND)};
#undef ARX_LIST_BACKEND
    return entries;
}

}  // namespace

bool BackendUnderTest::owns(const std::string& location) const {
    const std::string start = scheme();
    return !start.empty() && location.rfind(start, 0) == 0;
}

const MeridianSpace::detail::BackendCapabilities& BackendUnderTest::capabilities(
    const std::string& location) const {
    return MeridianSpace::detail::backendFor(location).capabilities();
}

const MeridianSpace::detail::BackendCapabilities& BackendUnderTest::capabilities() const {
    return capabilities(scheme() + "db");
}

const BackendUnderTest& underTest() {
    static const BackendUnderTest& chosen = [&]() -> const BackendUnderTest& {
        const char* env = std::getenv("ARX_TEST_BACKEND");
        const std::string wanted = env ? env : "";
        for (const Entry& entry : matrix())
            if (entry.env == wanted) return *entry.backend;
        ADD_FAILURE() << "ARX_TEST_BACKEND names no backend of the matrix: " << wanted;
        return *matrix().front().backend;
    }();
    return chosen;
}

const BackendUnderTest& backendAt(const std::string& location) {
    // The first entry is the backend of files: any location no other owns.
    for (std::size_t i = 1; i < matrix().size(); ++i)
        if (matrix()[i].backend->owns(location)) return *matrix()[i].backend;
    return *matrix().front().backend;
}

std::vector<const BackendUnderTest*> matrixBackends() {
    std::vector<const BackendUnderTest*> all;
    for (const Entry& entry : matrix())
        all.push_back(entry.backend);
    return all;
}

const BackendUnderTest& serverUnderTest() {
    for (const Entry& entry : matrix())
        if (!entry.backend->capabilities().localFile) return *entry.backend;
    ADD_FAILURE() << "the matrix has no backend of a server";
    return *matrix().front().backend;
}

bool serverRequired() {
    const char* required = std::getenv("ARX_TEST_PG_REQUIRED");
    return required != nullptr && std::string(required) == "1";
}

}  // namespace arxtest
