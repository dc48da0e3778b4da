#include "skeleton/SkeletonBackend.h"

#include <utility>

#include "skeleton/SkeletonConnection.h"

namespace MeridianSpace::detail {

ResultMsg SkeletonBackend::open(const std::string& location, bool create,
                                std::shared_ptr<Connection>& out) const {
    std::shared_ptr<SkeletonConnection> made;
    ResultMsg rm = SkeletonConnection::open(location, create, made);
    if (rm.ok()) out = std::move(made);
    return rm;
}

ResultMsg SkeletonBackend::readTableNames(const std::string& location,
                                          std::vector<std::string>& out) const {
    // A real backend: open(location, false, ...), Connection::tableNames, close().
    (void)out;
    return skeletonNotImplemented("readTableNames: " + displayLocation(location));
}

const BackendCapabilities& SkeletonBackend::capabilities() const {
    return kSkeletonCapabilities;
}

}  // namespace MeridianSpace::detail
