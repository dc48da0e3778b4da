#include "DAOFinder.h"

#include <memory>
#include <utility>
#include <vector>

#include "CommonErrorCode.h"
#include "DAO.h"
#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "Mapper.h"
#include "MeridianNew.h"
#include "detail/DAOClassLayout.h"
#include "detail/ScratchLease.h"
#include "detail/ThreadScratch.h"

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

// This thread's tools of a class, made from its plan the first time and
// again when the class was registered anew; no lock after the first.
ResultMsg toolsOf(detail::ThreadScratch& scratch, const std::string& className,
                  detail::ClassTools*& out) {
    auto& classes = scratch.classes;
    const auto& registry = DAOFactoryRegistry::factories();
    const auto registered = registry.find(className);
    const auto known = classes.find(className);
    if (known != classes.end() && registered != registry.end() &&
        known->second.plan->factory == registered->second) {
        out = &known->second;
        return ResultMsg();
    }
    detail::ClassTools tools;
    ResultMsg rm = detail::DAOClassLayout::of(className, tools.plan);
    if (!rm.ok()) return rm;
    tools.prototype.reset(tools.plan->factory());
    if (!tools.prototype) {
        return ResultMsg(COM_ERR_UNKNOWN_CLASS, "类的工厂没有产生对象：" + className);
    }
    // Made now, so that a lease still out on the replaced entry's mapper
    // finds the slot taken and drops its mapper of the old class.
    tools.mapper.reset(tools.prototype->createMapper());
    if (!tools.mapper) return ResultMsg(COM_ERR_MAPPER, "类没有映射器：" + className);
    detail::ClassTools& entry = classes[className];
    entry = std::move(tools);
    out = &entry;
    return rm;
}

// The identifier column and those of `members`, in the layout's order (one
// SELECT text whatever the members' order).
ResultMsg membersColumns(const detail::DAOClassLayout& layout,
                         const std::vector<std::string>& members, std::vector<MNormalColumn>& out) {
    std::vector<bool> wanted(layout.columns.size(), false);
    wanted[0] = true;
    for (const std::string& member : members) {
        const std::string* column = nullptr;
        ResultMsg rm = layout.resolve(member, column);
        if (!rm.ok()) return rm;
        for (std::size_t i = 0; i < layout.columns.size(); ++i)
            if (&layout.columns[i]._innerName == column) wanted[i] = true;
    }
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        if (wanted[i]) out.push_back(layout.columns[i]);
    return ResultMsg();
}

// One finder call: conditions on members, resolved to the class's columns,
// rows turned into new objects by the class's mapper. `bound` is the
// finder's own database, or null for the class's. `members` (none: all)
// are those read.
ResultMsg findObjects(InstanceDataManager* bound, const std::string& className, const Terms& terms,
                      const char* relation, const IOrderClause* order, std::size_t limit,
                      std::list<DAO*>& found, const std::vector<std::string>& members = {}) {
    const std::string* attrNames = terms.attrNames;
    const std::string* operations = terms.operations;
    const std::string* values = terms.values;
    detail::ThreadScratch& scratch = detail::ThreadScratch::mine();
    detail::ClassTools* tools = nullptr;
    ResultMsg rm = toolsOf(scratch, className, tools);
    if (!rm.ok()) return rm;
    // Held here: a nested find may replace this thread's entry of the class.
    const std::shared_ptr<const detail::DAOClassLayout> plan = tools->plan;
    const detail::DAOClassLayout& layout = *plan;

    detail::ScratchLease<std::list<IQueryCondition>> list(
        scratch.conditions, [] { return std::make_unique<std::list<IQueryCondition>>(); });
    std::list<IQueryCondition>& conditions = list.get();
    conditions.resize(terms.count);
    auto condition = conditions.begin();
    for (std::size_t i = 0; i < terms.count; ++i, ++condition) {
        const std::string* column = nullptr;
        rm = layout.resolve(attrNames[i], column);
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
            rm = layout.resolve(attribute, column);
            if (!rm.ok()) return rm;
            resolvedOrder.orderAttribute = *column;
        }
        orderToUse = &resolvedOrder;
    }
    std::vector<MNormalColumn> someColumns;
    if (!members.empty()) {
        rm = membersColumns(layout, members, someColumns);
        if (!rm.ok()) return rm;
    }
    const std::vector<MNormalColumn>& columns = members.empty() ? layout.columns : someColumns;

    InstanceDataManager* idm = bound != nullptr ? bound : tools->prototype->getIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();
    DAO& prototype = *tools->prototype;
    detail::ScratchLease<Mapper> mapper(
        tools->mapper, [&prototype] { return std::unique_ptr<Mapper>(prototype.createMapper()); });
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "类没有映射器：" + className);
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
    } visit{mapper.get(), found, 0, limit};
    Visit* v = &visit;
    if (layout.readsResultRows) {
        return idm->forEachResultRow(
            layout.table, columns, conditions, orderToUse,
            [v](const ResultRow& row) { return v->keep(v->mapper.loadResultRow(row)); });
    }
    return idm->forEachITableData(layout.table, columns, conditions, orderToUse,
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
                                       std::list<DAO*>& daoList, IOrderClause* order,
                                       const std::vector<std::string>& members) {
    Terms terms{};
    ResultMsg rm = termsOf(attrNames, operations, values, terms);
    if (!rm.ok()) return rm;
    return findObjects(idm_, className, terms, "and", order, kNoLimit, daoList, members);
}

ResultMsg DAOFinder::idSpan(const std::string& className, int& lowest, int& highest) {
    lowest = highest = 0;
    static const std::vector<std::string> idOnly = {"id"};
    int* const ends[] = {&lowest, &highest};
    const char* const directions[] = {" ASC ", " DESC "};
    for (int end = 0; end < 2; ++end) {
        IOrderClause order;
        order.orderAttribute = "id";
        order.orderDirection = directions[end];
        std::list<DAO*> found;
        PtrListGuard<DAO> guard(found);
        ResultMsg rm = findObjects(idm_, className, Terms{nullptr, nullptr, nullptr, 0}, "", &order,
                                   1, found, idOnly);
        if (!rm.ok()) return rm;
        if (!found.empty()) *ends[end] = found.front()->_ID;
    }
    return ResultMsg();
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
