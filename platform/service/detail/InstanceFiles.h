#pragma once

// New instance files: an empty data store of one model version, built aside
// and then named, or built in an empty server database.
#include <memory>
#include <string>
#include <vector>

#include "IEntityModel.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

class Connection;

/// The instance-file operations InstanceDataManager forwards, on the
/// connection to the configuration database. Used by the thread that uses
/// the session.
class InstanceFiles {
public:
    explicit InstanceFiles(Connection& conn) : conn_(conn) {}

    /// On success `opened` is the connection to the new instance.
    ResultMsg createEntityModelInstance_Create(IEntityModel model,
                                               std::shared_ptr<Connection>& opened, int flag);
    ResultMsg instanceStatements(const IEntityModel& model, std::vector<std::string>& statements);

private:
    Connection& conn_;
};

}  // namespace detail
}  // namespace MeridianSpace
