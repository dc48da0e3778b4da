#pragma once

// A query interface definition: one finder that the code generator writes
// for a table, with the columns that serve as its parameters.
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "M_QMSObjectDAO.h"

namespace MeridianSpace {

/// An object is used by one thread at a time.
class ARX M_FindByInterfaceDAO : public M_QMSObjectDAO {
public:
    // Defined in dao/M_FindByInterfaceDAO.cpp.
    M_FindByInterfaceDAO();
    ~M_FindByInterfaceDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_FindByInterfaceDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_FindByInterfaceDAO*>& newlist);
    static ResultMsg FindByT_M_EntityTableID(int tableID,
                                             std::list<M_FindByInterfaceDAO*>& newlist);

    /// The column identifiers named by the parameter entries, in order.
    std::vector<int> getParaColumnIDs();
    /// The column identifiers of the ordering, in order.
    std::vector<int> getSortColumnIDs();

    // Fields.
    int _bExport;
    std::string _description;
    /// Entries separated by "#", fields by ","; the first field of an entry
    /// is a column _ID.
    std::string _paraList;
    /// Column _IDs separated by ",".
    std::string _sortAttributeList;
    int _sortType;
    int _type;
    int _t_M_EntityTableID;
};

}  // namespace MeridianSpace
