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
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "DAO.h"
#include "ITableData.h"
#include "InstanceDataManager.h"
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
        static const std::string missing;
        const std::string* found = row.findColValue(name_);
        const std::string& value = found != nullptr ? *found : missing;
        switch (type_) {
            case COL_TYPE_INT:
                object.*member_.integer = StringHelper::string2int(value);
                break;
            case COL_TYPE_DOUBLE:
                object.*member_.real = StringHelper::stringTodouble(value);
                break;
            default:
                object.*member_.text = value;
        }
    }
    /// The same from column `column` of a row read in place (-1: missing),
    /// giving what read() gives for that column's text without making it.
    void read(const ResultRow& row, int column, T& object) const {
        switch (type_) {
            case COL_TYPE_INT:
                object.*member_.integer = readInt(row, column);
                break;
            case COL_TYPE_DOUBLE: {
                long long integer = 0;
                double real = 0.0;
                if (column < 0) {
                    real = 0.0;
                } else if (row.integer(column, integer)) {
                    real = static_cast<double>(integer);
                } else if (row.real(column, real)) {
                    real = StringHelper::readBackDouble(real);
                } else {
                    real = StringHelper::stringTodouble(textOf(row, column));
                }
                object.*member_.real = real;
                break;
            }
            default:
                if (column < 0) {
                    (object.*member_.text).clear();
                } else {
                    row.text(column, object.*member_.text);
                }
        }
    }
    /// What string2int gives for the text of column `column` (-1: missing).
    static int readInt(const ResultRow& row, int column) {
        long long integer = 0;
        if (column < 0) return 0;
        if (row.integer(column, integer)) {
            return integer > INT_MAX   ? INT_MAX
                   : integer < INT_MIN ? INT_MIN
                                       : static_cast<int>(integer);
        }
        return StringHelper::string2int(textOf(row, column));
    }

private:
    // Numbers as text are short: the string stays in its own storage.
    static std::string textOf(const ResultRow& row, int column) {
        std::string text;
        row.text(column, text);
        return text;
    }

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
#if defined(__GNUC__) && !defined(__clang__)
        // GCC resolves a member function pointer bound to an object to the
        // function that call would run.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpmf-conversions"
        using Load = DAO* (*)(Mapper*, ITableData&);
        Mapper* self = const_cast<ColumnMapper*>(this);
        return reinterpret_cast<Load>(self->*(&Mapper::doLoad)) ==
               reinterpret_cast<Load>(&ColumnMapper::doLoad);
#pragma GCC diagnostic pop
#else
        return false;
#endif
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
    const RecordColumns<T>& columns_;
    // Where the columns were in the rows of the last layout read.
    std::uint64_t layoutKey_ = 0;
    int idAt_ = -1;
    std::vector<int> at_;
};

}  // namespace MeridianSpace
