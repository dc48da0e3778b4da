// The model diff: two layouts compared table by table and column by column,
// matched by inner name, each difference with its safety class.
#include "ModelDiff.h"

#include <memory>

#include "InstanceDataManager.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_R_ModelTableDAO.h"
#include "PtrListHelper.h"
#include "RowLines.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

using Kind = ModelChange::Kind;
using Safety = ModelChange::Safety;

template <class Item, class Name>
const Item* findByName(const std::list<Item>& items, const std::string& name, Name nameOf) {
    for (const Item& item : items) {
        if (StringHelper::equalsIgnoreCase(nameOf(item), name)) return &item;
    }
    return nullptr;
}

const LayoutTable* findTable(const ModelLayout& layout, const std::string& innerName) {
    for (const LayoutTable& t : layout) {
        if (StringHelper::equalsIgnoreCase(t.table._innerName, innerName)) return &t;
    }
    return nullptr;
}

const MNormalColumn* findColumn(const LayoutTable& t, const std::string& innerName) {
    return findByName(t.columns, innerName,
                      [](const MNormalColumn& c) -> const std::string& { return c._innerName; });
}

// 0 none, 1 an index, 2 a unique index: what the builder makes of the flags.
int indexKind(const MNormalColumn& c) {
    return c._isOnly != 0 ? 2 : c._isIndex != 0 ? 1 : 0;
}

Safety typeChangeSafety(int from, int to) {
    const int a = InstanceDataManager::storageType(from), b = InstanceDataManager::storageType(to);
    if (a == b || (a == COL_TYPE_INT && b == COL_TYPE_STRING)) return Safety::Safe;
    if (a == COL_TYPE_BLOB || b == COL_TYPE_BLOB) return Safety::Destructive;
    return Safety::DataDependent;
}

// A narrower maximum length, or an int column that no longer takes 64 bits.
Safety lengthSafety(const char* attribute, int before, int after, int dataType) {
    const std::string name = attribute;
    if (name == "MaxLength" && after < before &&
        InstanceDataManager::storageType(dataType) == COL_TYPE_STRING)
        return Safety::DataDependent;
    if (name == "NumLength" && before > 10 && after <= 10 &&
        InstanceDataManager::storageType(dataType) == COL_TYPE_INT)
        return Safety::DataDependent;
    return Safety::Safe;
}

class Collector {
public:
    Collector(std::vector<ModelChange>& out, bool physicalOnly)
        : out_(out), physicalOnly_(physicalOnly) {}

    void tables(const ModelLayout& from, const ModelLayout& to) {
        for (const LayoutTable& t : to) {
            const LayoutTable* old = findTable(from, t.table._innerName);
            if (old == nullptr) {
                add(Kind::TableAdded, Safety::Safe, t, nullptr, nullptr);
            } else {
                columns(*old, t);
            }
        }
        for (const LayoutTable& t : from) {
            if (findTable(to, t.table._innerName) == nullptr)
                add(Kind::TableEnded, Safety::Destructive, t, nullptr, nullptr);
        }
    }

private:
    void columns(const LayoutTable& from, const LayoutTable& to) {
        if (!physicalOnly_) {
            changed(Kind::Renamed, "Name", from.table._name, to.table._name, to, nullptr, nullptr);
            changed(Kind::Renamed, "DisplayName", from.table._displayName, to.table._displayName,
                    to, nullptr, nullptr);
        }
        for (const MNormalColumn& c : to.columns) {
            const MNormalColumn* old = findColumn(from, c._innerName);
            if (old == nullptr) {
                // Every stored row gets the default: a unique one repeats it.
                const bool repeats = c._isOnly != 0 && !c._defaultValue.empty();
                add(Kind::ColumnAdded, repeats ? Safety::DataDependent : Safety::Safe, to, nullptr,
                    &c);
            } else {
                column(to, *old, c);
            }
        }
        for (const MNormalColumn& c : from.columns) {
            if (findColumn(to, c._innerName) == nullptr)
                add(Kind::ColumnEnded, Safety::Destructive, to, &c, nullptr);
        }
    }

    void column(const LayoutTable& t, const MNormalColumn& a, const MNormalColumn& b) {
        if (!physicalOnly_) {
            changed(Kind::Renamed, "Name", a._name, b._name, t, &a, &b);
            changed(Kind::Renamed, "DisplayName", a._displayName, b._displayName, t, &a, &b);
        }
        const int fromType =
            physicalOnly_ ? InstanceDataManager::storageType(a._dataType) : a._dataType;
        const int toType =
            physicalOnly_ ? InstanceDataManager::storageType(b._dataType) : b._dataType;
        if (fromType != toType) {
            add(Kind::TypeChanged, typeChangeSafety(fromType, toType), t, &a, &b,
                physicalOnly_ ? "StorageType" : "DataType", StringHelper::int2String(fromType),
                StringHelper::int2String(toType));
        }
        changed(Kind::DefaultChanged, "DefaultValue", a._defaultValue, b._defaultValue, t, &a, &b);
        const int ka = indexKind(a), kb = indexKind(b);
        if ((ka == 2) != (kb == 2)) {
            add(Kind::UniqueChanged, kb == 2 ? Safety::DataDependent : Safety::Safe, t, &a, &b,
                "IsOnly", StringHelper::int2String(a._isOnly), StringHelper::int2String(b._isOnly));
        } else if (ka != kb) {
            add(Kind::IndexChanged, Safety::Safe, t, &a, &b, "IsIndex",
                StringHelper::int2String(a._isIndex), StringHelper::int2String(b._isIndex));
        }
        if (physicalOnly_) return;
        const std::pair<const char*, int MNormalColumn::*> lengths[] = {
            {"MaxLength", &MNormalColumn::_maxLength},
            {"MinLength", &MNormalColumn::_minLength},
            {"NumLength", &MNormalColumn::_numLength},
            {"NumPresision", &MNormalColumn::_numPresision}};
        for (const auto& [name, member] : lengths) {
            if (a.*member == b.*member) continue;
            add(Kind::LengthChanged, lengthSafety(name, a.*member, b.*member, b._dataType), t, &a,
                &b, name, StringHelper::int2String(a.*member), StringHelper::int2String(b.*member));
        }
    }

    void changed(Kind kind, const char* attribute, const std::string& before,
                 const std::string& after, const LayoutTable& t, const MNormalColumn* a,
                 const MNormalColumn* b) {
        if (before != after) add(kind, Safety::Safe, t, a, b, attribute, before, after);
    }

    void add(Kind kind, Safety safety, const LayoutTable& t, const MNormalColumn* a,
             const MNormalColumn* b, const char* attribute = "", const std::string& before = "",
             const std::string& after = "") {
        ModelChange c;
        c.kind = kind;
        c.safety = safety;
        c.tableID = t.table._ID;
        c.tableName = t.table._name;
        c.tableInnerName = t.table._innerName;
        const MNormalColumn* named = b != nullptr ? b : a;
        if (named != nullptr) {
            c.fromColumnID = a != nullptr ? a->_ID : 0;
            c.toColumnID = b != nullptr ? b->_ID : 0;
            c.columnName = named->_name;
            c.columnInnerName = named->_innerName;
        }
        c.attribute = attribute;
        c.before = before;
        c.after = after;
        out_.push_back(std::move(c));
    }

    std::vector<ModelChange>& out_;
    bool physicalOnly_;
};

bool existsIn(int addVersion, int delVersion, int version) {
    return addVersion <= version && version < delVersion;
}

}  // namespace

const char* changeKindName(ModelChange::Kind kind) {
    switch (kind) {
        case Kind::TableAdded:
            return "table-added";
        case Kind::TableEnded:
            return "table-ended";
        case Kind::ColumnAdded:
            return "column-added";
        case Kind::ColumnEnded:
            return "column-ended";
        case Kind::Renamed:
            return "renamed";
        case Kind::TypeChanged:
            return "type-changed";
        case Kind::DefaultChanged:
            return "default-changed";
        case Kind::IndexChanged:
            return "index-changed";
        case Kind::UniqueChanged:
            return "unique-changed";
        case Kind::LengthChanged:
            return "length-changed";
    }
    return "";
}

const char* safetyName(ModelChange::Safety safety) {
    switch (safety) {
        case Safety::Safe:
            return "safe";
        case Safety::DataDependent:
            return "data-dependent";
        case Safety::Destructive:
            return "destructive";
    }
    return "";
}

std::vector<ModelChange> ModelDiff::compare(const ModelLayout& from, const ModelLayout& to,
                                            bool physicalOnly) {
    std::vector<ModelChange> changes;
    Collector(changes, physicalOnly).tables(from, to);
    return changes;
}

ResultMsg ModelDiff::readVersion(const M_EntityModelDAO& model, int version, ModelLayout& layout) {
    std::list<M_EntityModelDAO*> records;
    PtrListGuard<M_EntityModelDAO> ownRecords(records);
    ResultMsg rm = M_EntityModelDAO::FindByRProjectIDAndNameAndVersion(
        model._rProjectID, model._name, version, records);
    if (!rm.ok()) return rm;
    if (records.empty()) {
        return ResultMsg(RUN_FAIL, "数据模型" + model._name + "没有版本" +
                                       StringHelper::int2String(version) + "。");
    }
    std::list<M_R_ModelTableDAO*> links;
    PtrListGuard<M_R_ModelTableDAO> ownLinks(links);
    rm = M_R_ModelTableDAO::FindByT_M_EntityModelID(records.front()->_ID, links);
    for (auto link = links.begin(); rm.ok() && link != links.end(); ++link) {
        M_EntityTableDAO* found = nullptr;
        rm = M_EntityTableDAO::FindByID((*link)->_t_M_EntityTableID, found);
        const std::unique_ptr<M_EntityTableDAO> table(found);
        if (!rm.ok() || !table || !existsIn(table->_addVersion, table->_delVersion, version) ||
            findTable(layout, table->_innerName) != nullptr)
            continue;
        LayoutTable entry;
        entry.table._ID = table->_ID;
        entry.table._name = table->_name;
        entry.table._displayName = table->_displayName;
        entry.table._innerName = table->_innerName;
        entry.table._version = version;
        std::list<M_NormalColumnDAO*> columns;
        PtrListGuard<M_NormalColumnDAO> ownColumns(columns);
        rm = table->getNormalColumnDAOList(records.front(), columns);
        for (const M_NormalColumnDAO* c : columns)
            entry.columns.push_back(rowtext::describe(*c));
        layout.push_back(std::move(entry));
    }
    return rm;
}

ResultMsg ModelDiff::between(const M_EntityModelDAO& model, int fromVersion, int toVersion,
                             std::vector<ModelChange>& changes) {
    ModelLayout from, to;
    ResultMsg rm = readVersion(model, fromVersion, from);
    if (rm.ok()) rm = readVersion(model, toVersion, to);
    if (rm.ok()) changes = compare(from, to);
    return rm;
}

}  // namespace MeridianSpace
