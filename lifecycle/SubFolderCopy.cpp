#include "SubFolderCopy.h"

#include "M_FolderDAO.h"
#include "RelationDataTool.h"

namespace MeridianSpace {

ResultMsg storeSubFolderCopy(M_FolderDAO& parent, int parentCopyID, M_FolderDAO& sub,
                             IdentifierMap& folders) {
    const int parentID = parent._ID;
    const int oldID = sub._ID;
    sub._ID = -1;
    parent._ID = parentCopyID;
    sub._t_M_EntityModelID = parent._t_M_EntityModelID;
    sub._addVersion = parent._addVersion;
    ResultMsg rm = RelationDataTool(&parent).add1N(&sub, sub._t_M_FolderID, 0);
    parent._ID = parentID;
    if (!rm.ok())
        return ResultMsg(rm.rCode, "ERROR：在新数据模型中递归增加子数据模块失败。" + rm.rMsg);
    folders[oldID] = sub._ID;
    return rm;
}

}  // namespace MeridianSpace
