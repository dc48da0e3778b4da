#pragma once

// A storage backend: how the service opens and looks at the databases of
// one kind of location (a file path, or a URI of one scheme; see
// backend/BackendRegistry.h). One object serves every session and thread:
// its members keep no state. Internal to the service; exported only so
// that the tests can add a backend of their own.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
class ChangeWatch;
struct DatabaseSchema;
struct IEntityModel;
}  // namespace MeridianSpace

namespace MeridianSpace::detail {

class Connection;

/// What the databases of a backend are and can do. The service above the
/// backends asks these, never which backend it has.
struct BackendCapabilities {
    /// Each location is a database file on the local disk: the service
    /// builds a new one under a temporary name beside it and publishes it
    /// whole, and may look at it as a file. False: a database on a server,
    /// made, filled and dropped where it is, never seen as a file.
    bool localFile = true;
    /// The longest table, column or index name in bytes that the database
    /// keeps as given (0: any name checkIdentifier accepts). A longer name
    /// is refused before anything is made, never cut short by the engine.
    std::size_t nameLimit = 0;
    /// A new row never gets the identifier of a deleted row in any table,
    /// whatever the table's definition asks; false when only tables made
    /// with neverReused (Dialect::idColumnDefinition) promise it.
    bool idsNeverReused = false;
};

class ARX Backend {
public:
    virtual ~Backend();

    /// A connection to the database at `location`; with `create` a missing
    /// database is made.
    virtual ResultMsg open(const std::string& location, bool create,
                           std::shared_ptr<Connection>& out) const = 0;
    /// A connection that only reads the existing database at `location`.
    /// Refused (SRV_ERR_ARGUMENT) unless the backend says otherwise.
    virtual ResultMsg openReadOnly(const std::string& location,
                                   std::shared_ptr<Connection>& out) const;
    /// A private in-memory database. Refused (SRV_ERR_ARGUMENT) unless the
    /// backend says otherwise.
    virtual ResultMsg openMemory(std::shared_ptr<Connection>& out) const;
    /// What open() refuses before it touches anything; nothing unless the
    /// backend says otherwise.
    virtual ResultMsg checkLocation(const std::string& location) const;
    /// The names of the database's tables in byte order, read without
    /// writing anything (see MRDService::readTableNames).
    virtual ResultMsg readTableNames(const std::string& location,
                                     std::vector<std::string>& out) const = 0;
    /// A watch of `tables` of the database at `location` (see
    /// ChangeWatch.h). Refused (SRV_ERR_ARGUMENT) unless the backend says
    /// otherwise.
    virtual ResultMsg watchChanges(const std::string& location,
                                   const std::vector<std::string>& tables,
                                   std::unique_ptr<ChangeWatch>& out) const;
    /// What the instance file at `location` says about itself (see
    /// MRDService::readInstanceFileInfo). SRV_ERR_NO_FILE unless the backend
    /// keeps instance files.
    virtual ResultMsg readInstanceInfo(const std::string& location, IEntityModel& model) const;
    /// The catalogue of the database at `location`, read without writing
    /// anything (see MRDService::readSchema). SRV_ERR_ARGUMENT unless the
    /// backend says otherwise.
    virtual ResultMsg readSchema(const std::string& location, DatabaseSchema& out) const;
    /// The location as messages and logs show it; as it is unless the
    /// backend says otherwise (a URI without its password).
    virtual std::string displayLocation(const std::string& location) const;
    /// What the backend's databases are and can do; the same answer on
    /// every call, and the one its connections give (Connection::capabilities).
    virtual const BackendCapabilities& capabilities() const = 0;
};

}  // namespace MeridianSpace::detail
