#pragma once

// An XML template: a named XML text of a project and, optionally, of an
// entity model. The library stores the text without reading it.
#include <list>
#include <string>

#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

/// An object is used by one thread at a time.
class ARX M_XMLTemplateDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_XMLTemplateDAO.cpp.
    M_XMLTemplateDAO();
    ~M_XMLTemplateDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_XMLTemplateDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_XMLTemplateDAO*>& newlist);
    /// Text finders match by `like` on exactly the given pattern.
    static ResultMsg FindByName(std::string name, std::list<M_XMLTemplateDAO*>& newlist);
    static ResultMsg FindByCreateTime(std::string createTime,
                                      std::list<M_XMLTemplateDAO*>& newlist);
    static ResultMsg FindByContent(std::string content, std::list<M_XMLTemplateDAO*>& newlist);
    static ResultMsg FindByProjectID(int projectID, std::list<M_XMLTemplateDAO*>& newlist);
    static ResultMsg FindByModelID(int modelID, std::list<M_XMLTemplateDAO*>& newlist);
    static ResultMsg FindByIsDeleted(int isDeleted, std::list<M_XMLTemplateDAO*>& newlist);
    static ResultMsg FindByIsMain(int isMain, std::list<M_XMLTemplateDAO*>& newlist);

    // Fields.
    /// Creation time in whatever form the caller stores.
    std::string _createTime;
    /// The template's XML text.
    std::string _content;
    int _projectID;
    /// 0 when the template belongs to no model.
    int _modelID;
    /// Soft-delete flag, kept for callers; delself removes the row.
    int _isDeleted;
    int _isMain;
};

}  // namespace MeridianSpace
