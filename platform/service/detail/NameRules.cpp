#include "detail/NameRules.h"

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::checkIdentifier;

ResultMsg detail::checkTableName(const std::string& innerName) {
    return checkIdentifier(innerName, "表");
}

ResultMsg detail::checkColumnName(const std::string& innerName,
                                  const std::vector<std::string>& others) {
    ResultMsg rm = checkIdentifier(innerName, "列");
    if (!rm.ok()) return rm;
    if (StringHelper::equalsIgnoreCase(innerName, "id")) {
        return ResultMsg(SRV_ERR_ARGUMENT, "列名id由存储自动建立，不能再定义");
    }
    for (const std::string& other : others) {
        if (StringHelper::equalsIgnoreCase(other, innerName)) {
            return ResultMsg(SRV_ERR_ARGUMENT, "同一列出现两次：" + innerName);
        }
    }
    return rm;
}

}  // namespace MeridianSpace
