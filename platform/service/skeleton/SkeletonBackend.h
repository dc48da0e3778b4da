#pragma once

// The shape of a storage backend, for whoever adds one: every function is
// there and answers "not implemented" (see docs/adding-a-backend.md).
// Compiled with the service so that it keeps up with the seam; registered
// for nobody. A real backend copies this folder, renames Skeleton, fills
// each function in as its comment says, and adds one line to
// StorageBackends.cpp. Internal to the service.
#include "backend/Backend.h"

namespace MeridianSpace::detail {

/// Fill in what the backend's databases are (see BackendCapabilities): the
/// service above decides by these, never by the backend's name.
inline constexpr BackendCapabilities kSkeletonCapabilities{false, 0, false};

class SkeletonBackend : public Backend {
public:
    /// Must connect to (with `create`: first make) the database `location`
    /// names and hand out a SkeletonConnection that is open; nothing is
    /// left behind when it fails (an unreachable server: SRV_ERR_SERVER).
    ResultMsg open(const std::string& location, bool create,
                   std::shared_ptr<Connection>& out) const override;
    /// Must read the names of the database's tables in byte order without
    /// writing anything, through a connection of its own that it closes.
    ResultMsg readTableNames(const std::string& location,
                             std::vector<std::string>& out) const override;
    /// Must answer the same struct on every call.
    const BackendCapabilities& capabilities() const override;
    // Optional, refused by default (see backend/Backend.h): openReadOnly,
    // openMemory, checkLocation, watchChanges, readInstanceInfo, readSchema,
    // displayLocation (a location holding a password must hide it).
};

}  // namespace MeridianSpace::detail
