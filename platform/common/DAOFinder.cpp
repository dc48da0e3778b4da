#include "DAOFinder.h"

#include <memory>

#include "CommonErrorCode.h"
#include "DAO.h"
#include "InstanceDataManager.h"
#include "Mapper.h"
#include "MeridianNew.h"
#include "detail/DAOClassLayout.h"

namespace MeridianSpace {

namespace {

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

// One finder call: conditions on members, resolved to the class's columns,
// rows turned into new objects by the class's mapper. `bound` is the
// finder's own database, or null for the class's.
ResultMsg findObjects(InstanceDataManager* bound, const std::string& className,
                      const std::vector<std::string>& attrNames,
                      const std::vector<std::string>& operations,
                      const std::vector<std::string>& values, const char* relation,
                      const IOrderClause* order, std::size_t limit, std::list<DAO*>& found) {
    if (attrNames.size() != operations.size() || attrNames.size() != values.size()) {
        return ResultMsg(COM_ERR_ARGUMENT, "查询条件的属性、运算和取值个数不一致。");
    }
    std::shared_ptr<const detail::DAOClassLayout> layout;
    ResultMsg rm = detail::DAOClassLayout::of(className, layout);
    if (!rm.ok()) return rm;

    std::list<IQueryCondition> conditions;
    for (std::size_t i = 0; i < attrNames.size(); ++i) {
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

    std::unique_ptr<DAO> prototype(layout->factory());
    if (!prototype) return ResultMsg(COM_ERR_UNKNOWN_CLASS, "类的工厂没有产生对象：" + className);
    std::unique_ptr<Mapper> mapper(prototype->createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "类没有映射器：" + className);
    InstanceDataManager* idm = bound != nullptr ? bound : prototype->getIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();
    std::size_t made = 0;
    return idm->forEachITableData(layout->table, layout->columns, conditions, orderToUse,
                                  [&](ITableData& row) {
                                      DAO* object = mapper->doLoad(row);
                                      if (object != nullptr) found.push_back(object);
                                      return ++made < limit;
                                  });
}

}  // namespace

ResultMsg DAOFinder::findByID(const std::string& className, int id, DAO*& pdao) {
    std::list<DAO*> found;
    PtrListGuard<DAO> guard(found);
    ResultMsg rm = findObjects(idm_, className, {"id"}, {"="}, {StringHelper::int2String(id)}, "",
                               nullptr, 1, found);
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
    return findObjects(idm_, className, {}, {}, {}, "", order, kNoLimit, daoList);
}

ResultMsg DAOFinder::findByOneAttr(const std::string& className, const std::string& attrName,
                                   const std::string& operation, const std::string& value,
                                   std::list<DAO*>& daoList, IOrderClause* order) {
    return findObjects(idm_, className, {attrName}, {operation}, {value}, "", order, kNoLimit,
                       daoList);
}

ResultMsg DAOFinder::findByManyAndAttr(const std::string& className,
                                       const std::vector<std::string>& attrNames,
                                       const std::vector<std::string>& operations,
                                       const std::vector<std::string>& values,
                                       std::list<DAO*>& daoList, IOrderClause* order) {
    return findObjects(idm_, className, attrNames, operations, values, "and", order, kNoLimit,
                       daoList);
}

ResultMsg DAOFinder::findByManyOrAttr(const std::string& className,
                                      const std::vector<std::string>& attrNames,
                                      const std::vector<std::string>& operations,
                                      const std::vector<std::string>& values,
                                      std::list<DAO*>& daoList, IOrderClause* order) {
    return findObjects(idm_, className, attrNames, operations, values, "or", order, kNoLimit,
                       daoList);
}

}  // namespace MeridianSpace
