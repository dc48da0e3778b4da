#include "FirstFailure.h"

#include "LogManager.h"
#include "MeridianNew.h"

namespace MeridianSpace {

bool FirstFailure::read(const std::string& what, const ResultMsg& rm) {
    if (rm.ok()) return true;
    const ResultMsg failure(rm.rCode, "ERROR：读取" + what + "失败：" + rm.rMsg);
    MeridianNew::LOGGER()->appendError(position_, failure.rMsg);
    if (first_.ok()) first_ = failure;
    return false;
}

}  // namespace MeridianSpace
