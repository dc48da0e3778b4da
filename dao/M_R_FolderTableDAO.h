#pragma once

// A folder-table link: the table lies in the folder.
#include <list>

#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

/// An object is used by one thread at a time.
class ARX M_R_FolderTableDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_R_FolderTableDAO.cpp.
    M_R_FolderTableDAO();
    ~M_R_FolderTableDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_R_FolderTableDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_R_FolderTableDAO*>& newlist);
    static ResultMsg FindByT_M_EntityTableID(int tableID, std::list<M_R_FolderTableDAO*>& newlist);
    static ResultMsg FindByT_M_FolderID(int folderID, std::list<M_R_FolderTableDAO*>& newlist);
    /// The first link of the pair in `link` (left as it was when there is
    /// none); further links of the same pair are duplicates and are deleted.
    static ResultMsg FindByFolderIDAndTableID(int folderID, int tableID, M_R_FolderTableDAO*& link);

    // Fields.
    int _t_M_EntityTableID;
    int _t_M_FolderID;
};

}  // namespace MeridianSpace
