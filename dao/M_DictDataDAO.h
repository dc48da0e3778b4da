#pragma once

// One entry of a dictionary: a code that other records store, with its
// names and a default marker.
#include <list>
#include <string>

#include "ArxExport.h"
#include "M_QMSObjectDAO.h"

namespace MeridianSpace {

/// The dictionary whose codes are the project types (M_ProjectDAO::_type).
constexpr int DICT_ID_PROJECT_TYPES = 1;
/// The dictionary whose codes are the entity-model types (M_EntityModelDAO::_type).
constexpr int DICT_ID_MODEL_TYPES = 2;

/// An object is used by one thread at a time.
class ARX M_DictDataDAO : public M_QMSObjectDAO {
public:
    // Defined in dao/M_DictDataDAO.cpp.
    M_DictDataDAO();
    ~M_DictDataDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_DictDataDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_DictDataDAO*>& newlist);
    static ResultMsg FindByRDictItemID(int dictItemID, std::list<M_DictDataDAO*>& newlist);
    /// Leaves out the entries whose _default is exactly "TRUE", and traces
    /// each found entry's marker on standard output.
    static ResultMsg FindByRDictItemIDAndCode(int dictItemID, int code,
                                              std::list<M_DictDataDAO*>& newlist);

    /// Refused while a project (dictionary 1) or a model (dictionary 2) has
    /// this entry's code as its type; entries of other dictionaries always go.
    [[nodiscard]] ResultMsg delself(int commitType = COMMIT_T_IMMEDIATELY) override;
    using DAO::delself;

    // Fields.
    int _code;
    /// "TRUE" (exactly) marks the default entry.
    std::string _default;
    std::string _internalName;
    /// _ID of the owning M_DictItemDAO.
    int _rDictItemID;
    std::string _showName;
};

}  // namespace MeridianSpace
