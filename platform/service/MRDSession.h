#pragma once

// One session: one connection to one database file.
#include <memory>
#include <string>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class InstanceDataManager;
class MetaDataManager;
class MRDService;
namespace detail {
class SqliteConnection;
}

class ARX MRDSession {
public:
    /// Commits what is pending and closes the connection.
    ~MRDSession();
    MRDSession(const MRDSession&) = delete;
    MRDSession& operator=(const MRDSession&) = delete;

    /// Makes the session's pending writes durable.
    ResultMsg commit();
    /// Commits what is pending and closes; every later call of the session or
    /// of its managers answers SRV_ERR_CLOSED.
    ResultMsg close();
    bool isOpen() const;
    std::string getFilePath() const;

    /// A new manager of the rows and tables of this session's database; the
    /// caller deletes it (before the session). `flag` 1 reads the table
    /// layouts at once, 0 when first needed.
    ResultMsg createInstanceDataManager(InstanceDataManager*& manager, int flag);
    /// A new manager of the metadata side; the caller deletes it.
    ResultMsg createMetaDataManager(MetaDataManager*& manager);

private:
    friend class MRDService;
    explicit MRDSession(std::shared_ptr<detail::SqliteConnection> connection);

    std::shared_ptr<detail::SqliteConnection> connection_;
};

}  // namespace MeridianSpace
