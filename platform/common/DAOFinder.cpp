#include "DAOFinder.h"

#include <memory>
#include <unordered_map>

#include "CommonErrorCode.h"
#include "DAO.h"
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

// A class's object and mapper, made once per thread and class (mappers keep
// no state, so nested finds may share them). Entries stay while the thread
// runs, so that a find nested in a visitor never ends its caller's mapper.
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

// One finder call: conditions on members, resolved to the class's columns,
// rows turned into new objects by the class's mapper. `bound` is the
// finder's own database, or null for the class's.
ResultMsg findObjects(InstanceDataManager* bound, const std::string& className, const Terms& terms,
                      const char* relation, const IOrderClause* order, std::size_t limit,
                      std::list<DAO*>& found) {
    const std::string* attrNames = terms.attrNames;
    const std::string* operations = terms.operations;
    const std::string* values = terms.values;
    std::shared_ptr<const detail::DAOClassLayout> layout;
    ResultMsg rm = detail::DAOClassLayout::of(className, layout);
    if (!rm.ok()) return rm;

    std::list<IQueryCondition> conditions;
    for (std::size_t i = 0; i < terms.count; ++i) {
        IQueryCondition condition;
        rm = layout->resolve(attrNames[i], condition.columnInnerName);
        if (!rm.ok()) return rm;
        condition.operation = operations[i];
        condition.columValue = values[i];
        condition.logicRelation = relation;
        conditions.push_back(std::move(condition));
    }
    IOrderClause resolvedOrder;
    const IOrderClause* orderToUse = nullptr;
    if (order != nullptr) {
        std::string attribute = order->orderAttribute;
        StringHelper::TrimSpace(attribute);
        resolvedOrder.orderDirection = order->orderDirection;
        if (!attribute.empty()) {
            rm = layout->resolve(attribute, resolvedOrder.orderAttribute);
            if (!rm.ok()) return rm;
        }
        orderToUse = &resolvedOrder;
    }

    ClassTools* tools = nullptr;
    rm = classTools(className, layout, tools);
    if (!rm.ok()) return rm;
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
