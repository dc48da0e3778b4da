#pragma once

// Mappers turn a persistent object into one table row and back.
#include <string>

#include "ArxExport.h"
#include "ITableData.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class DAO;
class ResultRow;
class RowInserter;

/// A mapper keeps no state beyond its table name: one object per thread.
class ARX Mapper {
public:
    Mapper();
    virtual ~Mapper();

    /// Fills `tableData` from `pdao`: table inner name, column names, types
    /// and values (never "id"). RUN_SUCCESS, or RUN_FAIL for a null object.
    virtual int doSave(ITableData& tableData, DAO* pdao) = 0;
    /// A new object made from the row `qd`; the caller owns it.
    virtual DAO* doLoad(ITableData& qd) = 0;
    /// Whether loadResultRow() makes objects: then the finders hand it their
    /// rows read in place, with the same result as doLoad() of the row's text.
    virtual bool readsResultRows() const { return false; }
    /// A new object made from a row read in place; the caller owns it. Null
    /// unless readsResultRows().
    virtual DAO* loadResultRow(const ResultRow& row);
    /// Binds the values of `pdao` into `row`, prepared for the columns of
    /// doSave() in its order, as the numbers and texts they are: what
    /// doSave()'s text gives back when stored. False (the default) when the
    /// mapper cannot: then its rows go through doSave().
    virtual bool bindRow(const DAO& pdao, RowInserter& row);

    /// Inner name of the mapper's table, set by the concrete constructor.
    std::string _entityInnerName;

protected:
    /// Whether a call of doLoad() on `a` and on `b` runs the same function.
    /// False whenever that cannot be told, which only costs speed.
    static bool loadsAlike(const Mapper& a, const Mapper& b);
    /// The same of doSave().
    static bool savesAlike(const Mapper& a, const Mapper& b);
};

/// Base of the mappers of tables in the configuration and work databases.
class ARX subDBMapper : public Mapper {
public:
    subDBMapper();
    ~subDBMapper() override;
};

/// Base of the mappers of the project-management tables.
class ARX totalMapper : public Mapper {
public:
    totalMapper();
    ~totalMapper() override;
};

}  // namespace MeridianSpace
