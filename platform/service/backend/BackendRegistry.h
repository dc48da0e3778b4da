#pragma once

// The storage backends by URI scheme: a location "<scheme>://..." goes to
// the backend registered for its scheme (ASCII case ignored), anything else
// (a file path, an unknown scheme) to the backend of database files.
// Backends are registered before the first session opens (the service's
// own on first use, others from a static initializer or at the start of
// main); after that the registry is only read, so any thread may look up.
// Internal to the service; exported only so that the tests can add a backend.
#include <map>
#include <memory>
#include <string>

#include "ArxExport.h"
#include "backend/Backend.h"

namespace MeridianSpace::detail {

/// The registry's contents: backends by lower-case scheme; "" for files.
using BackendMap = std::map<std::string, std::shared_ptr<const Backend>>;

/// Makes `backend` serve the locations "<scheme>://...". False, and nothing
/// changed, when the scheme has a backend already.
ARX bool registerBackend(const std::string& scheme, std::shared_ptr<const Backend> backend);
/// The backend that serves `location`.
ARX const Backend& backendFor(const std::string& location);
/// The backend of database files (instance files are always files).
const Backend& fileBackend();

/// Puts the service's own backends into the registry when it is first used
/// (defined in StorageBackends.cpp).
void addBuiltinBackends(BackendMap& backends);

}  // namespace MeridianSpace::detail
