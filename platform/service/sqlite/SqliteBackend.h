#pragma once

// The backend of SQLite database files (see backend/Backend.h). Internal to
// the service.
#include "backend/Backend.h"

namespace MeridianSpace::detail {

/// Database files; any name is kept; a deleted last row's identifier comes
/// back unless the table was made with AUTOINCREMENT.
inline constexpr BackendCapabilities kSqliteCapabilities{true, 0, false};

class SqliteBackend : public Backend {
public:
    ResultMsg open(const std::string& location, bool create,
                   std::shared_ptr<Connection>& out) const override;
    ResultMsg openReadOnly(const std::string& location,
                           std::shared_ptr<Connection>& out) const override;
    ResultMsg openMemory(std::shared_ptr<Connection>& out) const override;
    ResultMsg checkLocation(const std::string& location) const override;
    /// Every table, the engine's own included, after checking every page.
    ResultMsg readTableNames(const std::string& location,
                             std::vector<std::string>& out) const override;
    ResultMsg readInstanceInfo(const std::string& location, IEntityModel& model) const override;
    /// Looks at the change numbers of a connection of its own (see
    /// backend/PolledChangeWatch.h).
    ResultMsg watchChanges(const std::string& location, const std::vector<std::string>& tables,
                           std::unique_ptr<ChangeWatch>& out) const override;
    /// After checking every page, as readTableNames.
    ResultMsg readSchema(const std::string& location, DatabaseSchema& out) const override;
    const BackendCapabilities& capabilities() const override;
};

}  // namespace MeridianSpace::detail
