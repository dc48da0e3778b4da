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

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithM(std::string_view text) {
    return !text.empty() && lower(text[0]) == 'm';
}

// "x" of a column "x_N" (N a number); false for any other column.
bool numberedStem(std::string_view column, std::string_view& stem) {
    const std::size_t underscore = column.rfind('_');
    if (underscore == std::string_view::npos || underscore + 1 == column.size()) return false;
    for (std::size_t i = underscore + 1; i < column.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(column[i]))) return false;
    }
    stem = column.substr(0, underscore);
    return true;
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
    layout.readsResultRows = mapper->readsResultRows();
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
    layout->indexNames();
    cache[className] = layout;
    out = std::move(layout);
    return rm;
}

std::size_t DAOClassLayout::CaseBlindHash::operator()(std::string_view text) const {
    std::size_t hash = 14695981039346656037ULL;  // FNV-1a
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(lower(c))) * 1099511628211ULL;
    return hash;
}

bool DAOClassLayout::CaseBlindEqual::operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

void DAOClassLayout::answer(std::string_view name, int rank, std::size_t column) {
    const Answer candidate{rank, column};
    const auto known = names_.find(name);
    if (known == names_.end()) {
        names_.emplace(name, candidate);
    } else if (candidate < known->second) {
        known->second = candidate;
    }
}

// Member x answers to column x (rank 0), Mx (1), x_N (2) and Mx_N (3): each
// column is entered under the names that reach it.
void DAOClassLayout::indexNames() {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string_view column = columns[i]._innerName;
        answer(column, 0, i);
        if (!column.empty() && column[0] == '_') underscoreColumns_ = true;
        if (startsWithM(column)) answer(column.substr(1), 1, i);
        std::string_view stem;
        if (!numberedStem(column, stem)) continue;
        answer(stem, 2, i);
        if (startsWithM(stem)) answer(stem.substr(1), 3, i);
    }
}

ResultMsg DAOClassLayout::resolve(const std::string& attribute, const std::string*& column) const {
    std::string_view name = attribute;
    const std::size_t first = name.find_first_not_of(' ');
    name = first == std::string_view::npos ? std::string_view() : name.substr(first);
    name = name.substr(0, name.find_last_not_of(' ') + 1);
    const std::string_view base = !name.empty() && name[0] == '_' ? name.substr(1) : name;
    const Answer none{-1, 0};
    Answer best = none;
    if (!name.empty()) {
        const auto byBase = names_.find(base);
        if (byBase != names_.end()) best = byBase->second;
        // The name as written, underscore and all, only as an exact match.
        const bool asWritten = underscoreColumns_ && base.size() != name.size();
        const auto byName = asWritten ? names_.find(name) : names_.end();
        if (byName != names_.end() && byName->second.rank == 0 &&
            (best.rank < 0 || byName->second < best)) {
            best = byName->second;
        }
    }
    if (best.rank < 0) {
        return ResultMsg(COM_ERR_ATTRIBUTE, "类" + className + "没有属性：" + attribute);
    }
    column = &columns[best.column]._innerName;
    return ResultMsg();
}

}  // namespace MeridianSpace::detail
