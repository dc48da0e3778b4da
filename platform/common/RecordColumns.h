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
#include <initializer_list>
#include <string>
#include <vector>

#include "DAO.h"
#include "ITableData.h"
#include "Mapper.h"
#include "ResultReturnCode.h"
#include "StringHelper.h"

namespace MeridianSpace {

/// One column: its inner name and the member of `T` that holds its value.
template <class T>
class RecordColumn {
public:
    RecordColumn(const char* column, std::string T::*member)
        : name_(column), type_(COL_TYPE_STRING) {
        member_.text = member;
    }
    RecordColumn(const char* column, int T::*member) : name_(column), type_(COL_TYPE_INT) {
        member_.integer = member;
    }
    RecordColumn(const char* column, double T::*member) : name_(column), type_(COL_TYPE_DOUBLE) {
        member_.real = member;
    }

    const std::string& name() const { return name_; }
    int type() const { return type_; }

    /// The member's value as the text of a row slot.
    void write(const T& object, std::string& value) const {
        switch (type_) {
            case COL_TYPE_INT:
                value = StringHelper::int2String(object.*member_.integer);
                break;
            case COL_TYPE_DOUBLE:
                value = StringHelper::doubleTostring(object.*member_.real);
                break;
            default:
                value = object.*member_.text;
        }
    }
    /// Sets the member from the column's text in `row`.
    void read(const ITableData& row, T& object) const {
        switch (type_) {
            case COL_TYPE_INT:
                object.*member_.integer = StringHelper::string2int(row.getColValue(name_));
                break;
            case COL_TYPE_DOUBLE:
                object.*member_.real = StringHelper::stringTodouble(row.getColValue(name_));
                break;
            default:
                object.*member_.text = row.getColValue(name_);
        }
    }

private:
    std::string name_;
    int type_;
    union {
        std::string T::*text;
        int T::*integer;
        double T::*real;
    } member_;
};

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
    /// Sets every declared member from the row.
    void load(const ITableData& row, T& object) const {
        for (const RecordColumn<T>& column : columns_)
            column.read(row, object);
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

    DAO* doLoad(ITableData& qd) override {
        T* record = new T;
        record->_ID = StringHelper::string2int(qd.getColValue("id"));
        columns_.load(qd, *record);
        return record;
    }

private:
    const RecordColumns<T>& columns_;
};

}  // namespace MeridianSpace
