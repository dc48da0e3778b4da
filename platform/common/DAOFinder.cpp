#include "DAOFinder.h"

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "CommonErrorCode.h"
#include "DAO.h"
#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "Mapper.h"
#include "MeridianNew.h"
#include "detail/DAOClassLayout.h"

namespace MeridianSpace {

namespace {

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

// The conditions of one finder call: `count` members, operations and values.
struct Terms {
    const std::string* attrNames;
    const std::string* operations;
    const std::string* values;
    std::size_t count;
};

ResultMsg termsOf(const std::vector<std::string>& attrNames,
                  const std::vector<std::string>& operations,
                  const std::vector<std::string>& values, Terms& terms) {
    if (attrNames.size() != operations.size() || attrNames.size() != values.size()) {
        return ResultMsg(COM_ERR_ARGUMENT, "查询条件的属性、运算和取值个数不一致。");
    }
    terms = Terms{attrNames.data(), operations.data(), values.data(), attrNames.size()};
    return ResultMsg();
}

// A class's object and mapper, made once per thread and class. Nested finds
// may share a mapper: the only state it keeps is where its columns lie,
// checked against each row's layout before use. Entries stay while the
// thread runs, so that a find nested in a visitor never ends its caller's
// mapper.
struct ClassTools {
    std::shared_ptr<const detail::DAOClassLayout> layout;
    std::unique_ptr<DAO> prototype;
    std::unique_ptr<Mapper> mapper;
    bool readsResultRows = false;
};

ResultMsg classTools(const std::string& className,
                     const std::shared_ptr<const detail::DAOClassLayout>& layout,
                     ClassTools*& out) {
    thread_local std::unordered_map<const detail::DAOClassLayout*, ClassTools> made;
    const auto known = made.find(layout.get());
    if (known != made.end()) {
        out = &known->second;
        return ResultMsg();
    }
    ClassTools tools;
    tools.prototype.reset(layout->factory());
    if (!tools.prototype) {
        return ResultMsg(COM_ERR_UNKNOWN_CLASS, "类的工厂没有产生对象：" + className);
    }
    tools.mapper.reset(tools.prototype->createMapper());
    if (!tools.mapper) return ResultMsg(COM_ERR_MAPPER, "类没有映射器：" + className);
    tools.readsResultRows = tools.mapper->readsResultRows();
    tools.layout = layout;
    out = &made.emplace(layout.get(), std::move(tools)).first->second;
    return ResultMsg();
}

// What one thread remembers of a class between finds: its layout, its tools
// and the columns member names resolved to, so that a run of finds takes no
// lock and resolves nothing. The registry is only read once filled; an entry
// whose class was registered again since is worked out anew.
struct ClassMemo {
    std::string className;
    DAOFactory factory = nullptr;
    std::shared_ptr<const detail::DAOClassLayout> layout;
    ClassTools* tools = nullptr;
    std::vector<std::pair<std::string, std::string>> resolved;

    ResultMsg resolve(const std::string& attribute, const std::string*& column) {
        for (const auto& known : resolved) {
            if (known.first == attribute) {
                column = &known.second;
                return ResultMsg();
            }
        }
        std::string found;
        ResultMsg rm = layout->resolve(attribute, found);
        if (!rm.ok()) return rm;
        // Spellings a caller varies without end start the list again.
        constexpr std::size_t kMostNames = 32;
        if (resolved.size() >= kMostNames) resolved.clear();
        resolved.emplace_back(attribute, std::move(found));
        column = &resolved.back().second;
        return rm;
    }
};

ResultMsg classMemo(const std::string& className, ClassMemo*& out) {
    // Few classes per thread: a short list searched in order.
    constexpr std::size_t kMostClasses = 16;
    thread_local std::vector<std::unique_ptr<ClassMemo>> memos;
    const auto& registry = DAOFactoryRegistry::factories();
    const auto registered = registry.find(className);
    const DAOFactory factory = registered != registry.end() ? registered->second : nullptr;
    for (const auto& memo : memos) {
        if (memo->className == className && factory != nullptr && memo->factory == factory) {
            out = memo.get();
            return ResultMsg();
        }
    }
    auto memo = std::make_unique<ClassMemo>();
    ResultMsg rm = detail::DAOClassLayout::of(className, memo->layout);
    if (!rm.ok()) return rm;
    rm = classTools(className, memo->layout, memo->tools);
    if (!rm.ok()) return rm;
    memo->className = className;
    memo->factory = memo->layout->factory;
    out = memo.get();
    for (auto& known : memos) {
        if (known->className == className) {
            known = std::move(memo);
            return rm;
        }
    }
    if (memos.size() >= kMostClasses) memos.erase(memos.begin());
    memos.push_back(std::move(memo));
    return rm;
}

// The condition list a find fills, one per thread, reused unless a find
// nested in a visitor of another still reads it.
class ConditionList {
public:
    ConditionList() {
        thread_local std::list<IQueryCondition> shared;
        thread_local bool busy = false;
        if (busy) {
            list_ = &own_;
        } else {
            busy = true;
            busy_ = &busy;
            list_ = &shared;
        }
    }
    ~ConditionList() {
        if (busy_ != nullptr) *busy_ = false;
    }
    ConditionList(const ConditionList&) = delete;
    ConditionList& operator=(const ConditionList&) = delete;

    std::list<IQueryCondition>& get() { return *list_; }

private:
    std::list<IQueryCondition> own_;
    std::list<IQueryCondition>* list_ = nullptr;
    bool* busy_ = nullptr;
};

// One finder call: conditions on members, resolved to the class's columns,
// rows turned into new objects by the class's mapper. `bound` is the
// finder's own database, or null for the class's.
ResultMsg findObjects(InstanceDataManager* bound, const std::string& className, const Terms& terms,
                      const char* relation, const IOrderClause* order, std::size_t limit,
                      std::list<DAO*>& found) {
    const std::string* attrNames = terms.attrNames;
    const std::string* operations = terms.operations;
    const std::string* values = terms.values;
    ClassMemo* memo = nullptr;
    ResultMsg rm = classMemo(className, memo);
    if (!rm.ok()) return rm;
    const detail::DAOClassLayout* layout = memo->layout.get();

    ConditionList list;
    std::list<IQueryCondition>& conditions = list.get();
    conditions.resize(terms.count);
    auto condition = conditions.begin();
    for (std::size_t i = 0; i < terms.count; ++i, ++condition) {
        const std::string* column = nullptr;
        rm = memo->resolve(attrNames[i], column);
        if (!rm.ok()) return rm;
        condition->columnInnerName = *column;
        condition->operation = operations[i];
        condition->columValue = values[i];
        condition->logicRelation = relation;
    }
    IOrderClause resolvedOrder;
    const IOrderClause* orderToUse = nullptr;
    if (order != nullptr) {
        std::string attribute = order->orderAttribute;
        StringHelper::TrimSpace(attribute);
        resolvedOrder.orderDirection = order->orderDirection;
        if (!attribute.empty()) {
            const std::string* column = nullptr;
            rm = memo->resolve(attribute, column);
            if (!rm.ok()) return rm;
            resolvedOrder.orderAttribute = *column;
        }
        orderToUse = &resolvedOrder;
    }

    ClassTools* tools = memo->tools;
    InstanceDataManager* idm = bound != nullptr ? bound : tools->prototype->getIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();
    // One reference captured: the visitor fits in std::function's own storage.
    struct Visit {
        Mapper& mapper;
        std::list<DAO*>& found;
        std::size_t made;
        std::size_t limit;
        bool keep(DAO* object) {
            if (object != nullptr) found.push_back(object);
            return ++made < limit;
        }
    } visit{*tools->mapper, found, 0, limit};
    Visit* v = &visit;
    if (tools->readsResultRows) {
        return idm->forEachResultRow(
            layout->table, layout->columns, conditions, orderToUse,
            [v](const ResultRow& row) { return v->keep(v->mapper.loadResultRow(row)); });
    }
    return idm->forEachITableData(layout->table, layout->columns, conditions, orderToUse,
                                  [v](ITableData& row) { return v->keep(v->mapper.doLoad(row)); });
}

}  // namespace

ResultMsg DAOFinder::findByID(const std::string& className, int id, DAO*& pdao) {
    std::list<DAO*> found;
    PtrListGuard<DAO> guard(found);
    static const std::string idMember = "id", equals = "=";
    const std::string value = StringHelper::int2String(id);
    ResultMsg rm =
        findObjects(idm_, className, Terms{&idMember, &equals, &value, 1}, "", nullptr, 1, found);
    if (!rm.ok()) return rm;
    if (found.empty()) {
        return ResultMsg(RUN_SUCCESS,
                         "没有找到记录：" + className + " id = " + StringHelper::int2String(id));
    }
    pdao = found.front();
    found.pop_front();
    return rm;
}

ResultMsg DAOFinder::findAll(const std::string& className, std::list<DAO*>& daoList,
                             IOrderClause* order) {
    return findObjects(idm_, className, Terms{nullptr, nullptr, nullptr, 0}, "", order, kNoLimit,
                       daoList);
}

ResultMsg DAOFinder::findByOneAttr(const std::string& className, const std::string& attrName,
                                   const std::string& operation, const std::string& value,
                                   std::list<DAO*>& daoList, IOrderClause* order) {
    return findObjects(idm_, className, Terms{&attrName, &operation, &value, 1}, "", order,
                       kNoLimit, daoList);
}

ResultMsg DAOFinder::findByManyAndAttr(const std::string& className,
                                       const std::vector<std::string>& attrNames,
                                       const std::vector<std::string>& operations,
                                       const std::vector<std::string>& values,
                                       std::list<DAO*>& daoList, IOrderClause* order) {
    Terms terms{};
    ResultMsg rm = termsOf(attrNames, operations, values, terms);
    if (!rm.ok()) return rm;
    return findObjects(idm_, className, terms, "and", order, kNoLimit, daoList);
}

ResultMsg DAOFinder::findByManyOrAttr(const std::string& className,
                                      const std::vector<std::string>& attrNames,
                                      const std::vector<std::string>& operations,
                                      const std::vector<std::string>& values,
                                      std::list<DAO*>& daoList, IOrderClause* order) {
    Terms terms{};
    ResultMsg rm = termsOf(attrNames, operations, values, terms);
    if (!rm.ok()) return rm;
    return findObjects(idm_, className, terms, "or", order, kNoLimit, daoList);
}

}  // namespace MeridianSpace
