#pragma once

// A model-table link: the table belongs to the entity model.
#include <list>

#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

/// An object is used by one thread at a time.
class ARX M_R_ModelTableDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_R_ModelTableDAO.cpp.
    M_R_ModelTableDAO();
    ~M_R_ModelTableDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_R_ModelTableDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_R_ModelTableDAO*>& newlist);
    /// The model identifier travels as a number; an integer identifier
    /// converted to double finds the same links.
    static ResultMsg FindByT_M_EntityModelID(double modelID,
                                             std::list<M_R_ModelTableDAO*>& newlist);
    static ResultMsg FindByT_M_EntityTableID(int tableID, std::list<M_R_ModelTableDAO*>& newlist);
    /// The first link of the pair in `link` (left as it was when there is
    /// none); further links of the same pair are duplicates and are deleted.
    static ResultMsg FindByModelIDAndTableID(int modelID, int tableID, M_R_ModelTableDAO*& link);

    // Fields.
    int _t_M_EntityModelID;
    int _t_M_EntityTableID;
};

}  // namespace MeridianSpace
