#pragma once

// One declaration of a record's columns, from which its mapper's save and
// load follow:
//
//     const RecordColumns<MemoDAO>& memoColumns() {
//         static const RecordColumns<MemoDAO> columns("T_M_Memo", {
//             {"Name", &MemoDAO::_name},
//             {"Topic", &MemoDAO::_topic},
//             {"RProjectID", &MemoDAO::_rProjectID},
//         });
//         return columns;
//     }
//     class MemoMapper : public ColumnMapper<MemoDAO> {
//     public:
//         MemoMapper() : ColumnMapper(memoColumns()) {}
//     };
//
// A column's type follows its member: std::string is COL_TYPE_STRING, int
// COL_TYPE_INT, double COL_TYPE_DOUBLE. Values travel as text the way every
// mapper writes them (int2String, doubleTostring) and are read back with
// string2int and stringTodouble; a column missing from a row gives the
// empty text. "id" is never declared: the frame handles the identifier.
// A declaration is immutable once made; several threads may use it.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "DAO.h"
#include "ITableData.h"
#include "InstanceDataManager.h"
#include "Mapper.h"
#include "RecordColumn.h"
#include "ResultReturnCode.h"
#include "RowInserter.h"
#include "StringHelper.h"

namespace MeridianSpace {

/// A record's table and its columns, in the order the row carries them.
template <class T>
class RecordColumns {
public:
    RecordColumns(std::string table, std::initializer_list<RecordColumn<T>> columns)
        : table_(std::move(table)), columns_(columns) {}

    const std::string& table() const { return table_; }
    const std::vector<RecordColumn<T>>& columns() const { return columns_; }

    /// Fills the row: table name, column count, and each slot's name, type
    /// and value. A declaration of more than 80 columns fills 80 slots and
    /// says how many it has, so that the frame refuses the row.
    void save(const T& object, ITableData& row) const {
        row._tableInnerName = table_;
        row._colNum = static_cast<int>(columns_.size());
        for (std::size_t i = 0;
             i < columns_.size() && i < static_cast<std::size_t>(ITABLEDATA_MAX_COLUMNS); ++i) {
            row._cloInnerName[i] = columns_[i].name();
            row._colType[i] = columns_[i].type();
            columns_[i].write(object, row._colValue[i]);
        }
    }
    /// Binds every declared member into `row`, prepared for the columns of
    /// save() in its order; false when one cannot be bound (see
    /// RecordColumn::bind).
    bool bind(const T& object, RowInserter& row) const {
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (!columns_[i].bind(object, static_cast<int>(i), row)) return false;
        }
        return true;
    }
    /// Sets every declared member from the row.
    void load(const ITableData& row, T& object) const {
        for (const RecordColumn<T>& column : columns_)
            column.read(row, object);
    }
    /// Where each declared column is in a row read in place (-1: missing),
    /// whose columns are usually "id" and then the declared ones in order.
    void locate(const ResultRow& row, std::vector<int>& at) const {
        at.resize(columns_.size());
        for (std::size_t i = 0; i < columns_.size(); ++i)
            at[i] = row.indexOf(columns_[i].name(), static_cast<int>(i) + 1);
    }
    /// The same as load() from a row read in place, the columns where
    /// locate() found them.
    void load(const ResultRow& row, const std::vector<int>& at, T& object) const {
        for (std::size_t i = 0; i < columns_.size(); ++i)
            columns_[i].read(row, at[i], object);
    }

private:
    std::string table_;
    std::vector<RecordColumn<T>> columns_;
};

/// The mapper of a record declared with RecordColumns; `Base` is the mapper
/// base the record's family uses.
template <class T, class Base = subDBMapper>
class ColumnMapper : public Base {
public:
    explicit ColumnMapper(const RecordColumns<T>& columns) : columns_(columns) {
        this->_entityInnerName = columns.table();
    }

    int doSave(ITableData& tableData, DAO* pdao) override {
        const T* record = dynamic_cast<const T*>(pdao);
        if (record == nullptr) return RUN_FAIL;
        columns_.save(*record, tableData);
        return RUN_SUCCESS;
    }

    /// Unless a derived mapper saves rows its own way (overrides doSave).
    bool bindRow(const DAO& pdao, RowInserter& row) override {
        const T* record = dynamic_cast<const T*>(&pdao);
        return record != nullptr && !savesItsOwnWay() && columns_.bind(*record, row);
    }

    DAO* doLoad(ITableData& qd) override {
        T* record = new T;
        static const std::string id = "id";
        const std::string* value = qd.findColValue(id);
        record->_ID = value != nullptr ? StringHelper::string2int(*value) : 0;
        columns_.load(qd, *record);
        return record;
    }

    /// True unless a derived mapper loads rows its own way (overrides
    /// doLoad): that one is handed every row as ITableData.
    bool readsResultRows() const override {
        const ColumnMapper plain(columns_);
        return Mapper::loadsAlike(*this, plain);
    }
    DAO* loadResultRow(const ResultRow& row) override {
        if (row.layoutKey() == 0 || row.layoutKey() != layoutKey_) {
            static const std::string id = "id";
            idAt_ = row.indexOf(id, 0);
            columns_.locate(row, at_);
            layoutKey_ = row.layoutKey();
        }
        T* record = new T;
        record->_ID = RecordColumn<T>::readInt(row, idAt_);
        columns_.load(row, at_, *record);
        return record;
    }

private:
    // Whether a derived mapper overrides doSave (as readsResultRows tells
    // of doLoad); worked out at the first row, once the object is whole.
    bool savesItsOwnWay() const {
        if (ownSave_ < 0) {
            const ColumnMapper plain(columns_);
            ownSave_ = Mapper::savesAlike(*this, plain) ? 0 : 1;
        }
        return ownSave_ == 1;
    }

    const RecordColumns<T>& columns_;
    mutable int ownSave_ = -1;
    // Where the columns were in the rows of the last layout read.
    std::uint64_t layoutKey_ = 0;
    int idAt_ = -1;
    std::vector<int> at_;
};

}  // namespace MeridianSpace
