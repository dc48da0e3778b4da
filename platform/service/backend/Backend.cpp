#include "backend/Backend.h"

#include "ChangeWatch.h"
#include "ServiceErrorCode.h"

namespace MeridianSpace::detail {

Backend::~Backend() = default;

ResultMsg Backend::openReadOnly(const std::string& location,
                                std::shared_ptr<Connection>& /*out*/) const {
    return ResultMsg(SRV_ERR_ARGUMENT, "只读会话只能打开数据库文件：" + displayLocation(location));
}

ResultMsg Backend::openMemory(std::shared_ptr<Connection>& /*out*/) const {
    return ResultMsg(SRV_ERR_ARGUMENT, "内存数据库只能建立在数据库文件的存储上。");
}

ResultMsg Backend::checkLocation(const std::string& /*location*/) const {
    return ResultMsg();
}

ResultMsg Backend::watchChanges(const std::string& location,
                                const std::vector<std::string>& /*tables*/,
                                std::unique_ptr<ChangeWatch>& /*out*/) const {
    return ResultMsg(SRV_ERR_ARGUMENT, "这种数据库不能监视修改：" + displayLocation(location));
}

ResultMsg Backend::readInstanceInfo(const std::string& location, IEntityModel& /*model*/) const {
    return ResultMsg(SRV_ERR_NO_FILE, "数据库文件不存在：" + displayLocation(location));
}

ResultMsg Backend::readSchema(const std::string& location, DatabaseSchema& /*out*/) const {
    return ResultMsg(SRV_ERR_ARGUMENT, "不能读取此数据库的结构：" + displayLocation(location));
}

std::string Backend::displayLocation(const std::string& location) const {
    return location;
}

}  // namespace MeridianSpace::detail
