#pragma once

// The finder conventions of the metadata records, one call each: a text
// value goes in single quotes with "  like  " (no wildcard added), an integer
// as decimal text with "  =  ", several attributes each with " = ". Lists are
// appended to, never cleared; a FindByID out-pointer is only set when found.
#include <algorithm>
#include <limits>
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "DAO.h"
#include "DAOFinder.h"
#include "IOrderClause.h"
#include "StringHelper.h"

namespace MeridianSpace {

/// Conditions of a finder on several attributes, in the order of its name.
/// A plain value; one object is used by one thread at a time.
class FinderConditions {
public:
    FinderConditions& text(const std::string& attribute, const std::string& value) {
        return add(attribute, "'" + value + "'");
    }
    FinderConditions& integer(const std::string& attribute, int value) {
        return add(attribute, StringHelper::int2String(value));
    }
    FinderConditions& real(const std::string& attribute, double value) {
        return add(attribute, StringHelper::doubleTostring(value));
    }
    /// An integer condition with another operation than " = " (" <= ", "= ").
    FinderConditions& integer(const std::string& attribute, const char* operation, int value) {
        add(attribute, StringHelper::int2String(value));
        operations.back() = operation;
        return *this;
    }

    std::vector<std::string> attributes;
    std::vector<std::string> operations;
    std::vector<std::string> values;

private:
    FinderConditions& add(const std::string& attribute, const std::string& value) {
        attributes.push_back(attribute);
        operations.push_back(" = ");
        values.push_back(value);
        return *this;
    }
};

/// The answer when the factory registered under `className` makes objects
/// of another class than the finder's.
ARX ResultMsg recordClassMismatch(const std::string& className);

/// How RecordFinder::byIntIn reaches the rows.
enum class RowPath {
    /// Through an index on the attribute: one range read per run of close
    /// values, each row looked up apart. Best when the rows are a small
    /// share of the table.
    ByAttribute,
    /// One read of the rows from the lowest value to the highest in stored
    /// order (by identifier), the others dropped; the rows come in that
    /// order. Best when the rows are most of the table: the lookups cost
    /// more than the rows passed over.
    InStoredOrder,
};

/// The finders of class `T`, by default in the database the class names
/// (getIDM()), or in one database named on construction:
///
///     RecordFinder<NoteDAO>().byText("NoteDAO", "_name", "ab%", notes);
///     RecordFinder<NoteDAO>(exportFileIDM).all("NoteDAO", notes);
///
/// Used by one thread at a time, like the database it reads.
template <class T>
class RecordFinder {
public:
    RecordFinder() = default;
    explicit RecordFinder(InstanceDataManager& idm) : finder_(idm) {}

    ResultMsg byID(const std::string& className, int id, T*& found) {
        DAO* object = nullptr;
        ResultMsg rm = finder_.findByID(className, id, object);
        if (object == nullptr) return rm;
        T* typed = dynamic_cast<T*>(object);
        if (typed == nullptr) {
            delete object;
            return recordClassMismatch(className);
        }
        found = typed;
        return rm;
    }

    ResultMsg all(const std::string& className, std::list<T*>& out, IOrderClause* order = nullptr) {
        std::list<DAO*> objects;
        ResultMsg rm = finder_.findAll(className, objects, order);
        return appendAs(className, objects, out, rm);
    }

    ResultMsg byText(const std::string& className, const std::string& attribute,
                     const std::string& pattern, std::list<T*>& out,
                     IOrderClause* order = nullptr) {
        return byOne(className, attribute, "  like  ", "'" + pattern + "'", out, order);
    }

    ResultMsg byInt(const std::string& className, const std::string& attribute, int value,
                    std::list<T*>& out, IOrderClause* order = nullptr) {
        return byOne(className, attribute, "  =  ", StringHelper::int2String(value), out, order);
    }

    ResultMsg byReal(const std::string& className, const std::string& attribute, double value,
                     std::list<T*>& out, IOrderClause* order = nullptr) {
        return byOne(className, attribute, "  =  ", StringHelper::doubleTostring(value), out,
                     order);
    }

    /// Objects whose `attribute` (the member `key`) is one of `values`: one
    /// range read per run of close values (the rows in between are read and
    /// dropped) rather than one statement per value, and each range read
    /// reuses one prepared statement. Rows by value, ascending, each value's
    /// in stored order: the order of an index on the attribute, so that the
    /// database need not sort the rows (SQLite would copy every row into a
    /// sorter to give them in stored order across values). `members`, when
    /// given, are the members read (as DAOFinder::findByManyAndAttr); `key`
    /// is read whatever they are. `path`: how the rows are reached; with
    /// RowPath::InStoredOrder the same rows come in stored order instead.
    ResultMsg byIntIn(const std::string& className, const std::string& attribute, int T::*key,
                      const std::vector<int>& values, std::list<T*>& out,
                      const std::vector<std::string>& members = {},
                      RowPath path = RowPath::ByAttribute) {
        std::vector<std::string> read(members);
        if (!read.empty()) read.push_back(attribute);
        std::vector<int> sorted(values);
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        if (path == RowPath::InStoredOrder && !sorted.empty())
            return inStoredOrder(className, attribute, key, sorted, out, read);
        IOrderClause byValue;
        byValue.orderAttribute = attribute;
        ResultMsg rm;
        for (std::size_t first = 0; first < sorted.size() && rm.ok();) {
            std::size_t last = first;
            while (last + 1 < sorted.size() &&
                   static_cast<long long>(sorted[last + 1]) - sorted[last] <= kGapInRun)
                ++last;
            const FinderConditions range = FinderConditions()
                                               .integer(attribute, " >= ", sorted[first])
                                               .integer(attribute, " <= ", sorted[last]);
            std::list<DAO*> objects;
            rm = finder_.findByManyAndAttr(className, range.attributes, range.operations,
                                           range.values, objects, &byValue, read);
            const auto begin = sorted.begin() + static_cast<std::ptrdiff_t>(first);
            const auto end = sorted.begin() + static_cast<std::ptrdiff_t>(last + 1);
            // The rows between wanted values go.
            rm = appendAs(className, objects, out, rm, [begin, end, key](const T& object) {
                return std::binary_search(begin, end, object.*key);
            });
            first = last + 1;
        }
        return rm;
    }

    /// The lowest and highest identifier of the class's rows, as
    /// DAOFinder::idSpan.
    ResultMsg idSpan(const std::string& className, int& lowest, int& highest) {
        return finder_.idSpan(className, lowest, highest);
    }

    /// `members` as DAOFinder::findByManyAndAttr takes them.
    ResultMsg byAll(const std::string& className, const FinderConditions& conditions,
                    std::list<T*>& out, IOrderClause* order = nullptr,
                    const std::vector<std::string>& members = {}) {
        std::list<DAO*> objects;
        ResultMsg rm =
            finder_.findByManyAndAttr(className, conditions.attributes, conditions.operations,
                                      conditions.values, objects, order, members);
        return appendAs(className, objects, out, rm);
    }

private:
    // Values this close share a range read: at most this many identifiers
    // without a wanted row between two wanted ones are read for nothing.
    static constexpr long long kGapInRun = 16;
    // Below every identifier a row is given.
    static constexpr int kLowestID = std::numeric_limits<int>::min();

    // byIntIn's read in stored order, of `sorted` values. The condition on
    // the identifier and the order by it lead SQLite to the table in stored
    // order: no index, no sorting.
    ResultMsg inStoredOrder(const std::string& className, const std::string& attribute, int T::*key,
                            const std::vector<int>& sorted, std::list<T*>& out,
                            const std::vector<std::string>& read) {
        const FinderConditions span = FinderConditions()
                                          .integer("id", " >= ", kLowestID)
                                          .integer(attribute, " >= ", sorted.front())
                                          .integer(attribute, " <= ", sorted.back());
        IOrderClause byID;
        byID.orderAttribute = "id";
        std::list<DAO*> objects;
        ResultMsg rm = finder_.findByManyAndAttr(className, span.attributes, span.operations,
                                                 span.values, objects, &byID, read);
        return appendAs(className, objects, out, rm, [&sorted, key](const T& object) {
            return std::binary_search(sorted.begin(), sorted.end(), object.*key);
        });
    }

    ResultMsg byOne(const std::string& className, const std::string& attribute,
                    const std::string& operation, const std::string& value, std::list<T*>& out,
                    IOrderClause* order) {
        std::list<DAO*> objects;
        ResultMsg rm =
            finder_.findByOneAttr(className, attribute, operation, value, objects, order);
        return appendAs(className, objects, out, rm);
    }

    // The append loop: each object, in order, as T, if `keep` keeps it (the
    // others are deleted). An object of another class (a wrong
    // registration) is deleted and reported.
    template <class Keep>
    static ResultMsg appendAs(const std::string& className, std::list<DAO*>& objects,
                              std::list<T*>& out, ResultMsg rm, const Keep& keep) {
        for (DAO* object : objects) {
            T* typed = dynamic_cast<T*>(object);
            if (typed != nullptr && keep(*typed)) {
                out.push_back(typed);
                continue;
            }
            delete object;
            if (typed == nullptr && rm.ok()) rm = recordClassMismatch(className);
        }
        objects.clear();
        return rm;
    }
    static ResultMsg appendAs(const std::string& className, std::list<DAO*>& objects,
                              std::list<T*>& out, ResultMsg rm) {
        return appendAs(className, objects, out, rm, [](const T&) { return true; });
    }

    DAOFinder finder_;
};

}  // namespace MeridianSpace
