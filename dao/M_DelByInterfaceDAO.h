#pragma once

// A delete interface definition: one deleter that the code generator writes
// for a table, with the columns that serve as its parameters.
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "M_QMSObjectDAO.h"

namespace MeridianSpace {

/// An object is used by one thread at a time.
class ARX M_DelByInterfaceDAO : public M_QMSObjectDAO {
public:
    // Defined in dao/M_DelByInterfaceDAO.cpp.
    M_DelByInterfaceDAO();
    ~M_DelByInterfaceDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_DelByInterfaceDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_DelByInterfaceDAO*>& newlist);
    static ResultMsg FindByT_M_EntityTableID(int tableID, std::list<M_DelByInterfaceDAO*>& newlist);

    /// The column identifiers named by the parameter entries, in order.
    std::vector<int> getParaColumnIDs();

    // Fields.
    int _bExport;
    std::string _description;
    /// Entries separated by "#", fields by ","; the first field of an entry
    /// is a column _ID.
    std::string _paraList;
    int _type;
    int _t_M_EntityTableID;
};

}  // namespace MeridianSpace
