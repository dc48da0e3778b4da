#include "M_ObjectDAO.h"

#include "MeridianNew.h"
#include "ProjectStamp.h"
#include "StringHelper.h"

namespace MeridianSpace {

M_ObjectDAO::M_ObjectDAO() {
    _DAOType = DAO_TYPE_OBJECT;
}

M_ObjectDAO::~M_ObjectDAO() = default;

ResultMsg M_ObjectDAO::save(int commitType) {
    ResultMsg base = DAO::save(commitType);
    if (base.rCode != RUN_SUCCESS) {
        return ResultMsg(base.rCode, "ERROR:M_ObjectDAO::save()出错。" + base.rMsg);
    }
    if (_DAOType == DAO_TYPE_PROJECT) return ResultMsg(RUN_SUCCESS, base.rMsg);

    const ProjectStampOutcome stamp = ProjectStamp::apply(commitType);
    if (!stamp.found) {
        return ResultMsg(RUN_SUCCESS,
                         "数据已保存。WARNING：但找不到当前项目，无法更新更新时间。projectID = " +
                             StringHelper::int2String(stamp.projectID));
    }
    if (!stamp.saved.ok()) {
        return ResultMsg(RUN_SUCCESS,
                         "数据已保存。WARNING:但更新项目更新时间出错。" + stamp.saved.rMsg);
    }
    return ResultMsg(RUN_SUCCESS, base.rMsg);
}

InstanceDataManager* M_ObjectDAO::getIDM() {
    return MeridianNew::getCurrMRDConfigIDM();
}

}  // namespace MeridianSpace
