#include "ProjectDAO.h"

#include "FileHelper.h"
#include "FolderHelper.h"
#include "MRDService.h"
#include "MeridianNew.h"
#include "ServiceErrorCode.h"

namespace MeridianSpace {

ProjectDAO::ProjectDAO() = default;

std::string ProjectDAO::filePath() const {
    // No folder: the current folder.
    if (_folderPath.empty()) return _projectFileName;
    std::string folder = _folderPath;
    FolderHelper::folderPathStrNormalize(folder);
    return folder + _projectFileName;
}

ResultMsg ProjectDAO::open() {
    const std::string path = filePath();
    if (!FileHelper::isFileExists(path)) {
        return ResultMsg(SRV_ERR_NO_FILE,
                         "项目数据文件不存在：" + MRDService::displayLocation(path));
    }
    return MeridianNew::setCurrentWorkDB(path, 1);
}

ResultMsg ProjectDAO::create() {
    std::string folder = _folderPath;
    FolderHelper::folderPathStrNormalize(folder);
    if (!_folderPath.empty() && !FolderHelper::createDirs(folder)) {
        return ResultMsg(SRV_ERR_NO_FILE, "无法建立项目文件夹：" + folder);
    }
    return MeridianNew::setCurrentWorkDB(filePath(), 0);
}

}  // namespace MeridianSpace
