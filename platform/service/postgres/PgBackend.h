#pragma once

// The backend of PostgreSQL server databases, reached by connection URIs
// (see backend/Backend.h). Internal to the service.
#include "backend/Backend.h"

namespace MeridianSpace::detail {

/// A server's databases; names of up to 63 bytes (NAMEDATALEN - 1) are
/// kept, longer ones the server would cut short; identities never hand out
/// a number twice.
inline constexpr BackendCapabilities kPgCapabilities{false, 63, true};

class PgBackend : public Backend {
public:
    ResultMsg open(const std::string& location, bool create,
                   std::shared_ptr<Connection>& out) const override;
    /// Reads through a connection of its own: no table is made, nothing written.
    ResultMsg readTableNames(const std::string& location,
                             std::vector<std::string>& out) const override;
    /// Through a connection of its own that takes any encoding.
    ResultMsg readSchema(const std::string& location, DatabaseSchema& out) const override;
    /// The URI without its password.
    std::string displayLocation(const std::string& location) const override;
    /// LISTEN on a connection of its own (see postgres/PgChangeWatch.h).
    ResultMsg watchChanges(const std::string& location, const std::vector<std::string>& tables,
                           std::unique_ptr<ChangeWatch>& out) const override;
    const BackendCapabilities& capabilities() const override;
};

}  // namespace MeridianSpace::detail
