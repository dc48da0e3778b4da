// Code generation on a folder: the intermediate DAO class of a folder that
// generates one.
#include <memory>

#include "DAOCodeGenerator.h"
#include "M_EntityModelDAO.h"
#include "M_FolderDAO.h"

namespace MeridianSpace {

namespace {

// Runs `action` on the generator of a folder that generates a class; the
// folder's model is loaded for the call.
template <typename Action>
ResultMsg onFolderGenerator(M_FolderDAO& folder, Action action) {
    if (folder._isGenerateDAO != 1) {
        return ResultMsg(RUN_FAIL, "ERROR:_isGenerateDAO == 0，不能生成接口代码");
    }
    M_EntityModelDAO* found = nullptr;
    (void)M_EntityModelDAO::FindByID(folder._t_M_EntityModelID, found);  // none: no base class
    const std::unique_ptr<M_EntityModelDAO> model(found);
    DAOCodeGenerator generator(model.get(), &folder);
    return action(generator);
}

}  // namespace

ResultMsg M_FolderDAO::CreateCode(std::string folderPath, std::list<std::string>& fileNames) {
    return onFolderGenerator(
        *this, [&](DAOCodeGenerator& generator) { return generator.run(folderPath, fileNames); });
}

ResultMsg M_FolderDAO::CheckCode() {
    return onFolderGenerator(*this, [](DAOCodeGenerator& generator) { return generator.check(); });
}

}  // namespace MeridianSpace
