#pragma once

// What an instance file says about itself: the model it holds an instance of.
#include "IEntityModel.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

class Connection;

/// The description operations InstanceDataManager forwards, on its
/// connection. Used by the thread that uses the session.
class InstanceFileInfo {
public:
    explicit InstanceFileInfo(Connection& conn) : conn_(conn) {}

    ResultMsg getEntityModelInstanceInfo(IEntityModel& model);
    ResultMsg setEntityModelInstanceVersion(int version);

private:
    Connection& conn_;
};

}  // namespace detail
}  // namespace MeridianSpace
