#include "RelationDataTool.h"

#include "CommonErrorCode.h"
#include "DAO.h"

namespace MeridianSpace {

RelationDataTool::RelationDataTool(DAO* owner) : owner_(owner) {}

ResultMsg RelationDataTool::checkPair(const DAO* child) const {
    if (owner_ == nullptr || child == nullptr) {
        return ResultMsg(COM_ERR_ARGUMENT, "关联的主对象或子对象为空。");
    }
    if (owner_->_ID < 1) {
        return ResultMsg(COM_ERR_ARGUMENT,
                         "关联的主对象尚未保存。_ID = " + StringHelper::int2String(owner_->_ID));
    }
    return ResultMsg();
}

ResultMsg RelationDataTool::add1N(DAO* child, int& childKey, int commitType) {
    ResultMsg rm = checkPair(child);
    if (!rm.ok()) return rm;
    childKey = owner_->_ID;
    return child->save(commitType);
}

ResultMsg RelationDataTool::remove1N(DAO* child, int& childKey, int commitType) {
    ResultMsg rm = checkPair(child);
    if (!rm.ok()) return rm;
    if (childKey != owner_->_ID) {
        return ResultMsg(COM_ERR_ARGUMENT, "子对象不属于该主对象。");
    }
    childKey = -1;
    return child->save(commitType);
}

}  // namespace MeridianSpace
