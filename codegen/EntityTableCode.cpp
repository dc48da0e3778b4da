// Code generation on an entity table: its DAO class, mapper, registration
// line and white-box test, and the class name of a table name.
#include "DAOCodeGenerator.h"
#include "M_EntityTableDAO.h"

namespace MeridianSpace {

ResultMsg M_EntityTableDAO::CreateCode(M_EntityModelDAO* model, std::string folderPath,
                                       std::list<std::string>& fileNames) {
    DAOCodeGenerator generator(model, this);
    return generator.run(folderPath, fileNames);
}

ResultMsg M_EntityTableDAO::CheckCode(M_EntityModelDAO* model) {
    DAOCodeGenerator generator(model, this);
    return generator.check();
}

std::string M_EntityTableDAO::tableNameToDAOName(std::string tableName) {
    return DAOCodeGenerator::daoClassName(tableName);
}

}  // namespace MeridianSpace
