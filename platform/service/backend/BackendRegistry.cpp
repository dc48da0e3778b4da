#include "backend/BackendRegistry.h"

#include <utility>

namespace MeridianSpace::detail {

namespace {

// Filled on first use, so that a backend registered from a static
// initializer of another library finds the built-in ones there already.
BackendMap& registry() {
    static BackendMap backends = [] {
        BackendMap builtin;
        addBuiltinBackends(builtin);
        return builtin;
    }();
    return backends;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

bool registerBackend(const std::string& scheme, std::shared_ptr<const Backend> backend) {
    return registry().emplace(lowerAscii(scheme), std::move(backend)).second;
}

const Backend& backendFor(const std::string& location) {
    const std::size_t end = location.find("://");
    if (end != std::string::npos) {
        const BackendMap& backends = registry();
        const auto it = backends.find(lowerAscii(location.substr(0, end)));
        if (it != backends.end()) return *it->second;
    }
    return fileBackend();
}

const Backend& fileBackend() {
    return *registry().at("");
}

}  // namespace MeridianSpace::detail
