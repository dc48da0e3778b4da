#pragma once

// A dictionary: a named list of coded entries (M_DictDataDAO) that other
// records refer to by code.
#include <list>
#include <string>

#include "ArxExport.h"
#include "M_QMSObjectDAO.h"

namespace MeridianSpace {

class M_DictDataDAO;

/// An object is used by one thread at a time.
class ARX M_DictItemDAO : public M_QMSObjectDAO {
public:
    // Defined in dao/M_DictItemDAO.cpp.
    M_DictItemDAO();
    ~M_DictItemDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_DictItemDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_DictItemDAO*>& newlist);
    /// Exact match: the name is compared with " = ", not as a pattern.
    static ResultMsg FindByInnerName(std::string innerName, std::list<M_DictItemDAO*>& newlist);

    /// Deletes the entries (each by its own rule, so an entry whose code is
    /// in use stays), then the dictionary; returns the dictionary's result.
    [[nodiscard]] ResultMsg delself(int commitType = COMMIT_T_IMMEDIATELY) override;
    using DAO::delself;

    /// Links the entry to this dictionary through its dictionary key and
    /// saves it; the caller keeps the entry.
    ResultMsg addDictData(M_DictDataDAO* data, int commitType = COMMIT_T_IMMEDIATELY);
    /// The dictionary's entries; the caller owns them.
    ResultMsg getDictDataList(std::list<M_DictDataDAO*>& entries);

    // Fields.
    /// The key by which code finds a dictionary.
    std::string _innerName;
    /// Display name.
    std::string _dictName;
};

}  // namespace MeridianSpace
