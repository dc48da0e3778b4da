#include "M_XMLTemplateDAO.h"

#include "M_XMLTemplateMapper.h"
#include "RecordFinder.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_XMLTemplateDAO";

}  // namespace

M_XMLTemplateDAO::M_XMLTemplateDAO() : _projectID(0), _modelID(0), _isDeleted(0), _isMain(0) {}

M_XMLTemplateDAO::~M_XMLTemplateDAO() = default;

DAO* M_XMLTemplateDAO::createObject() {
    return new M_XMLTemplateDAO();
}

Mapper* M_XMLTemplateDAO::createMapper() {
    return new M_XMLTemplateMapper();
}

ResultMsg M_XMLTemplateDAO::FindByID(int id, M_XMLTemplateDAO*& pnewdao) {
    return RecordFinder<M_XMLTemplateDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_XMLTemplateDAO::FindAll(std::list<M_XMLTemplateDAO*>& newlist) {
    return RecordFinder<M_XMLTemplateDAO>().all(kClassName, newlist);
}

ResultMsg M_XMLTemplateDAO::FindByName(std::string name, std::list<M_XMLTemplateDAO*>& newlist) {
    return RecordFinder<M_XMLTemplateDAO>().byText(kClassName, "_name", name, newlist);
}

ResultMsg M_XMLTemplateDAO::FindByCreateTime(std::string createTime,
                                             std::list<M_XMLTemplateDAO*>& newlist) {
    return RecordFinder<M_XMLTemplateDAO>().byText(kClassName, "_createTime", createTime, newlist);
}

ResultMsg M_XMLTemplateDAO::FindByContent(std::string content,
                                          std::list<M_XMLTemplateDAO*>& newlist) {
    return RecordFinder<M_XMLTemplateDAO>().byText(kClassName, "_content", content, newlist);
}

ResultMsg M_XMLTemplateDAO::FindByProjectID(int projectID, std::list<M_XMLTemplateDAO*>& newlist) {
    return RecordFinder<M_XMLTemplateDAO>().byInt(kClassName, "_projectID", projectID, newlist);
}

ResultMsg M_XMLTemplateDAO::FindByModelID(int modelID, std::list<M_XMLTemplateDAO*>& newlist) {
    return RecordFinder<M_XMLTemplateDAO>().byInt(kClassName, "_modelID", modelID, newlist);
}

ResultMsg M_XMLTemplateDAO::FindByIsDeleted(int isDeleted, std::list<M_XMLTemplateDAO*>& newlist) {
    return RecordFinder<M_XMLTemplateDAO>().byInt(kClassName, "_isDeleted", isDeleted, newlist);
}

ResultMsg M_XMLTemplateDAO::FindByIsMain(int isMain, std::list<M_XMLTemplateDAO*>& newlist) {
    return RecordFinder<M_XMLTemplateDAO>().byInt(kClassName, "_isMain", isMain, newlist);
}

}  // namespace MeridianSpace
