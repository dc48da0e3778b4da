// The entry points of code generation on the records.
#include <memory>

#include "DAOCodeGenerator.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"

namespace MeridianSpace {

ResultMsg M_EntityTableDAO::CreateCode(M_EntityModelDAO* model, std::string folderPath,
                                       std::list<std::string>& fileNames) {
    DAOCodeGenerator generator(model, this);
    return generator.run(folderPath, fileNames);
}

std::string M_EntityTableDAO::tableNameToDAOName(std::string tableName) {
    return DAOCodeGenerator::daoClassName(tableName);
}

ResultMsg M_FolderDAO::CreateCode(std::string folderPath, std::list<std::string>& fileNames) {
    if (_isGenerateDAO != 1) {
        return ResultMsg(RUN_FAIL, "ERROR:_isGenerateDAO == 0，不能生成接口代码");
    }
    M_EntityModelDAO* found = nullptr;
    (void)M_EntityModelDAO::FindByID(_t_M_EntityModelID, found);
    const std::unique_ptr<M_EntityModelDAO> model(found);
    DAOCodeGenerator generator(model.get(), this);
    return generator.run(folderPath, fileNames);
}

}  // namespace MeridianSpace
