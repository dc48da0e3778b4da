#include "RecordFinder.h"

#include "CommonErrorCode.h"

namespace MeridianSpace {

ResultMsg recordClassMismatch(const std::string& className) {
    return ResultMsg(COM_ERR_UNKNOWN_CLASS, "注册的工厂产生的对象类型不符：" + className);
}

}  // namespace MeridianSpace
