#include "backend/InstanceInfo.h"

#include "ServiceErrorCode.h"
#include "backend/SqlText.h"

namespace MeridianSpace::detail {

const char* const kInstanceInfoTable = "ARX_InstanceInfo";
const std::vector<std::string> kInstanceInfoColumns = {"Name",        "Version",    "Type",
                                                       "Description", "ProjectUID", "Kind"};

std::string instanceInfoQuery(const std::string& order) {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i + 1 < kInstanceInfoColumns.size(); ++i)
        sql += (i ? ", " : "") + quoteIdentifier(kInstanceInfoColumns[i]);
    return sql + " FROM " + quoteIdentifier(kInstanceInfoTable) + " ORDER BY " + order + " LIMIT 1";
}

ResultMsg notInstanceFile(const std::string& location, const std::string& why) {
    return ResultMsg(SRV_ERR_NO_TABLE, "不是实例文件：" + location + "：" + why);
}

}  // namespace MeridianSpace::detail
