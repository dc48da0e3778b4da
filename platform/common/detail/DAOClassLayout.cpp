#include "detail/DAOClassLayout.h"

#include <cctype>
#include <map>
#include <memory>
#include <mutex>

#include "CommonErrorCode.h"
#include "DAO.h"
#include "Mapper.h"

namespace MeridianSpace::detail {

namespace {

// `column` is `stem` + "_" + digits, ignoring case.
bool isNumberedForm(const std::string& column, const std::string& stem) {
    if (column.size() < stem.size() + 2) return false;
    if (!StringHelper::equalsIgnoreCase(column.substr(0, stem.size()), stem)) return false;
    if (column[stem.size()] != '_') return false;
    for (std::size_t i = stem.size() + 1; i < column.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(column[i]))) return false;
    }
    return true;
}

// How well a column matches a member: 0 best, -1 not at all.
int matchRank(const std::string& column, const std::string& attribute, const std::string& base) {
    if (StringHelper::equalsIgnoreCase(column, attribute) ||
        StringHelper::equalsIgnoreCase(column, base))
        return 0;
    if (StringHelper::equalsIgnoreCase(column, "M" + base)) return 1;
    if (isNumberedForm(column, base)) return 2;
    if (isNumberedForm(column, "M" + base)) return 3;
    return -1;
}

ResultMsg workOut(const std::string& className, DAOFactory factory, DAOClassLayout& layout) {
    std::unique_ptr<DAO> prototype(factory());
    if (!prototype) return ResultMsg(COM_ERR_UNKNOWN_CLASS, "类的工厂没有产生对象：" + className);
    std::unique_ptr<Mapper> mapper(prototype->createMapper());
    if (!mapper) return ResultMsg(COM_ERR_MAPPER, "类没有映射器：" + className);
    ITableData row;
    ResultMsg rm = mapObject(*prototype, *mapper, row);
    if (!rm.ok()) return rm;
    layout.className = className;
    layout.factory = factory;
    layout.table = row._tableInnerName;
    MNormalColumn id;
    id._name = id._innerName = "id";
    id._dataType = COL_TYPE_INT;
    layout.columns.push_back(id);
    for (int i = 0; i < row._colNum; ++i) {
        if (StringHelper::equalsIgnoreCase(row._cloInnerName[i], "id")) continue;
        MNormalColumn column;
        column._name = column._innerName = row._cloInnerName[i];
        column._dataType = row._colType[i];
        layout.columns.push_back(column);
    }
    return rm;
}

}  // namespace

ResultMsg mapObject(DAO& object, Mapper& mapper, ITableData& row) {
    if (mapper.doSave(row, &object) != RUN_SUCCESS) {
        return ResultMsg(COM_ERR_MAPPER, "映射器拒绝了对象。");
    }
    if (row._colNum < 0 || row._colNum > ITABLEDATA_MAX_COLUMNS) {
        return ResultMsg(COM_ERR_MAPPER, "映射器给出的列数超出范围（0到80）：" +
                                             StringHelper::int2String(row._colNum));
    }
    if (row._tableInnerName.empty()) row._tableInnerName = mapper._entityInnerName;
    if (row._tableInnerName.empty()) return ResultMsg(COM_ERR_MAPPER, "映射器没有给出表名。");
    return ResultMsg();
}

bool isKeyColumn(const std::string& column) {
    std::string stem = column;
    const std::size_t underscore = stem.rfind('_');
    if (underscore != std::string::npos && underscore + 1 < stem.size() &&
        stem.find_first_not_of("0123456789", underscore + 1) == std::string::npos) {
        stem.erase(underscore);
    }
    return stem.size() > 2 && StringHelper::equalsIgnoreCase(stem.substr(stem.size() - 2), "id");
}

ResultMsg DAOClassLayout::of(const std::string& className,
                             std::shared_ptr<const DAOClassLayout>& out) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const DAOClassLayout>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto registered = DAOFactoryRegistry::factories().find(className);
    if (registered == DAOFactoryRegistry::factories().end() || registered->second == nullptr) {
        return ResultMsg(COM_ERR_UNKNOWN_CLASS, "类未注册：" + className);
    }
    auto cached = cache.find(className);
    if (cached != cache.end() && cached->second->factory == registered->second) {
        out = cached->second;
        return ResultMsg();
    }
    auto layout = std::make_shared<DAOClassLayout>();
    ResultMsg rm = workOut(className, registered->second, *layout);
    if (!rm.ok()) return rm;
    cache[className] = layout;
    out = std::move(layout);
    return rm;
}

ResultMsg DAOClassLayout::resolve(const std::string& attribute, std::string& column) const {
    std::lock_guard<std::mutex> lock(resolvedMutex_);
    const auto known = resolved_.find(attribute);
    if (known != resolved_.end()) {
        column = known->second;
        return ResultMsg();
    }
    ResultMsg rm = match(attribute, column);
    if (rm.ok()) resolved_.emplace(attribute, column);
    return rm;
}

ResultMsg DAOClassLayout::match(const std::string& attribute, std::string& column) const {
    std::string name = attribute;
    StringHelper::TrimSpace(name);
    const std::string base = !name.empty() && name[0] == '_' ? name.substr(1) : name;
    int best = -1;
    for (const MNormalColumn& candidate : columns) {
        if (name.empty()) break;
        const int rank = matchRank(candidate._innerName, name, base);
        if (rank >= 0 && (best < 0 || rank < best)) {
            best = rank;
            column = candidate._innerName;
        }
    }
    if (best < 0) {
        return ResultMsg(COM_ERR_ATTRIBUTE, "类" + className + "没有属性：" + attribute);
    }
    return ResultMsg();
}

}  // namespace MeridianSpace::detail
