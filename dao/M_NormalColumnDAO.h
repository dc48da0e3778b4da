#pragma once

// A column (attribute) of an entity table. In a dictionary model the first
// save of a column also creates the physical table or column in the
// configuration database.
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

class M_EntityModelDAO;
class M_EntityTableDAO;

/// An object is used by one thread at a time.
class ARX M_NormalColumnDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_NormalColumnDAO.cpp.
    M_NormalColumnDAO();
    ~M_NormalColumnDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_NormalColumnDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_NormalColumnDAO*>& newlist);
    static ResultMsg FindByT_M_EntityTableID(int tableID, std::list<M_NormalColumnDAO*>& newlist);

    /// Refuses a column without a stored owning table. The first save fixes
    /// the inner name (_name + "_" + _addVersion).
    [[nodiscard]] ResultMsg save(int commitType = COMMIT_T_IMMEDIATELY) override;
    /// The first save of a column of `table`, a stored table the caller
    /// holds, whose columns have the inner names `innerNames` (this one's is
    /// added): what save() does for a new column without looking the table
    /// and its columns up again, for callers that store many columns of one
    /// table.
    [[nodiscard]] ResultMsg saveAsNewColumnOf(M_EntityTableDAO& table,
                                              std::vector<std::string>& innerNames, int commitType);
    using DAO::delself;
    using DAO::save;
    /// Removes the column from the model's metadata; the row stays.
    virtual ResultMsg delFromEntityModel(M_EntityModelDAO* pMEntityModel);
    /// Saves this stored column's changed fields (name, display name, type,
    /// default, flags, lengths) for the model's version and the versions
    /// after it, leaving earlier versions as they were: when an earlier
    /// version also holds the column, its stored state moves to a new record
    /// that ends at this version, and this record, keeping its identifier
    /// and inner name (the same physical column), holds the new state from
    /// this version on. A column added in this version changes in place.
    /// The owning table, inner name and version range are the stored ones.
    /// Refused for a locked version, a column outside the version and a
    /// dictionary model's column (one physical table serves every version).
    ResultMsg reviseInModel(M_EntityModelDAO* pMEntityModel, int commitType = COMMIT_T_IMMEDIATELY);

    /// The member name of a column in a DAO class: "MName" gives "_name".
    static std::string NameToDAOAttriName(std::string name);

    /// Whether an int column holds 64-bit numbers (it asks for more than the
    /// ten digits of every 32-bit number) rather than 32-bit ones.
    bool holdsWideIntegers() const { return _numLength > 10; }
    /// Refuses a default value that is no value of the column's type, naming
    /// the column, the value and the type: once blanks at either end are
    /// dropped, an int column takes a decimal integer (a sign and leading
    /// zeros allowed) that it holds, a real column a finite decimal number.
    /// The empty default, and every default of other types, pass. save()
    /// refuses such a column; code generation refuses one stored before.
    ResultMsg checkDefaultValue() const;

    // Fields.
    int _addVersion;
    /// Data type code passed to the data service.
    int _dataType;
    std::string _defaultValue;
    int _delVersion;
    std::string _description;
    std::string _displayName;
    /// _ID of the referenced table, -1 for none.
    int _fkTableID;
    int _fkType;
    /// Physical column name; fixed by the first save.
    std::string _innerName;
    int _interfaceAttrType;
    int _isAutoIncrement;
    int _isDeleted;
    int _isFindKey;
    int _isIndex;
    int _isOnly;
    int _isPk;
    int _maxLength;
    int _minLength;
    int _numLength;
    int _numPresision;
    /// _ID of the owning table, -1 until attached.
    int _t_M_EntityTableID;
    int _t_M_EntityViewID;
    int _version;
};

}  // namespace MeridianSpace
