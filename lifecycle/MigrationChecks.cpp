#include "MigrationChecks.h"

#include "InstanceDataManager.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "ValueScans.h"

namespace MeridianSpace {

namespace {

using Check = ValueCheck;
using Kind = ModelChange::Kind;
using Safety = ModelChange::Safety;
using Samples = std::vector<std::pair<long long, std::string>>;

// How many offending rows or values a refusal names.
constexpr int kSamples = 3;
// How much of a value a refusal shows.
constexpr std::size_t kShownBytes = 80;

std::string number(long long n) {
    return std::to_string(n);
}

// A value as a message shows it: a long one cut after about kShownBytes
// bytes (at a whole GBK character), its length named.
std::string shownValue(const std::string& value) {
    if (value.size() <= kShownBytes) return value;
    std::size_t end = 0;
    while (end < value.size()) {
        const std::size_t width = static_cast<unsigned char>(value[end]) >= 0x81 ? 2 : 1;
        if (end + width > kShownBytes) break;
        end += width;
    }
    return value.substr(0, end) + "…（共" + number(static_cast<long long>(value.size())) + "字节）";
}

// "id=3 'abc'，id=9 '1.5'", or for duplicates "'x'（3行），'y'（2行）".
std::string listed(const Samples& samples, bool duplicates) {
    std::string out;
    for (const auto& [key, value] : samples) {
        out += out.empty() ? "：" : "，";
        out += duplicates ? "'" + shownValue(value) + "'（" + number(key) + "行）"
                          : "id=" + number(key) + " '" + shownValue(value) + "'";
    }
    return out;
}

// The check a change gets, or false when it needs none.
bool checkFor(const ModelChange& c, Check& check, std::string& column, int& argument) {
    column = c.columnInnerName;
    argument = StringHelper::string2int(c.after);
    switch (c.kind) {
        case Kind::TableEnded:
            column = "id";
            check = Check::Present;
            return true;
        case Kind::ColumnEnded:
            check = Check::Present;
            return true;
        case Kind::ColumnAdded:  // a unique default repeated in every row
            column = "id";
            check = Check::Present;
            return true;
        case Kind::TypeChanged:
            check = c.safety == Safety::Destructive ? Check::Present : Check::NotConvertible;
            return true;
        case Kind::UniqueChanged:
            check = Check::Duplicated;
            return true;
        case Kind::LengthChanged:
            check = c.attribute == "MaxLength" ? Check::LongerThan : Check::Beyond32Bits;
            return true;
        default:
            return false;
    }
}

// What a check found; with nothing found, that the change loses or fails on nothing.
std::string finding(const ModelChange& c, long long count, const Samples& samples) {
    const std::string table = "表" + c.tableInnerName, column = table + "的列" + c.columnInnerName;
    const std::string n = number(count);
    const bool none = count == 0;
    switch (c.kind) {
        case Kind::TableEnded:
            return none ? table + "没有行，删除它不丢失数据" : table + "有" + n + "行将被删除";
        case Kind::ColumnEnded:
            return none ? column + "没有值，删除它不丢失数据" : column + "有" + n + "个值将被删除";
        case Kind::ColumnAdded:
            return none ? table + "不到两行，新增的唯一列" + c.columnInnerName + "的默认值不会重复"
                        : table + "新增的唯一列" + c.columnInnerName + "的默认值将在" + n +
                              "行中重复";
        case Kind::UniqueChanged:
            return none ? column + "没有重复的值"
                        : column + "改为唯一后有" + n + "个值重复" + listed(samples, true);
        case Kind::LengthChanged:
            if (c.attribute == "MaxLength") {
                return none ? column + "没有长于新的最大长度" + c.after + "字节的值"
                            : column + "有" + n + "个值长于新的最大长度" + c.after + "字节" +
                                  listed(samples, false);
            }
            return none ? column + "的值都在32位整数之内"
                        : column + "有" + n + "个值超出32位整数" + listed(samples, false);
        default:
            if (c.safety == Safety::Destructive) {
                return none ? column + "没有值，类型转换不丢失数据"
                            : column + "有" + n + "个值在类型转换中丢失";
            }
            return none ? column + "的值都能转换为新的类型"
                        : column + "有" + n + "个值不能转换为新的类型" + listed(samples, false);
    }
}

ResultMsg runCheck(InstanceDataManager& manager, const ModelChange& change, bool allowDataLoss,
                   std::vector<MigrationCheck>& checks) {
    Check check = Check::Present;
    std::string column;
    int argument = 0;
    if (!checkFor(change, check, column, argument)) return ResultMsg();
    MigrationCheck out;
    out.change = change;
    Samples samples;
    ResultMsg rm = ValueScans(manager).findValues(change.tableInnerName, column, check, argument,
                                                  kSamples, out.count, samples);
    // A length is looked at where the file holds the column in the type the
    // length is about; other changes of the same column say the rest.
    if (change.kind == Kind::LengthChanged &&
        (rm.rCode == SRV_ERR_NO_TABLE || rm.rCode == SRV_ERR_NO_COLUMN ||
         rm.rCode == SRV_ERR_ARGUMENT))
        return ResultMsg();
    if (!rm.ok()) return rm;
    // A unique default repeats only where two rows or more get it.
    if (change.kind == Kind::ColumnAdded && out.count < 2) out.count = 0;
    out.message = finding(change, out.count, samples);
    out.refuses = out.count > 0 && (change.safety == Safety::DataDependent || !allowDataLoss);
    checks.push_back(std::move(out));
    return rm;
}

bool usesName(const SchemaObject& object, const std::string& name) {
    for (const std::string& used : object.names) {
        if (StringHelper::equalsIgnoreCase(used, name)) return true;
    }
    return false;
}

std::string kindWord(const SchemaObject& object) {
    return object.kind == "index" ? "索引" : object.kind == "trigger" ? "触发器" : "视图";
}

// The check of an object the change `c` takes away, or false when it keeps it.
bool lossOf(const SchemaObject& object, const ModelChange& c, MigrationCheck& check) {
    const bool onTable = StringHelper::equalsIgnoreCase(object.table, c.tableInnerName) ||
                         usesName(object, c.tableInnerName);
    const std::string what = kindWord(object) + object.name;
    if (c.kind == Kind::TableEnded && onTable) {
        check.message = what + "使用将被删除的表" + c.tableInnerName + "，迁移后不能保留";
    } else if (c.kind == Kind::ColumnEnded && onTable && usesName(object, c.columnInnerName)) {
        check.message = what + "使用表" + c.tableInnerName + "将被删除的列" + c.columnInnerName +
                        "，迁移后不能保留";
    } else {
        return false;
    }
    check.change = c;
    return true;
}

}  // namespace

void checkObjects(const std::vector<SchemaObject>& objects,
                  const std::vector<ModelChange>& physical, bool allowDataLoss,
                  std::vector<MigrationCheck>& checks, std::vector<SchemaObject>& lost) {
    std::vector<MigrationCheck> found(objects.size());
    std::vector<bool> goes(objects.size(), false);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        for (auto c = physical.begin(); !goes[i] && c != physical.end(); ++c)
            goes[i] = lossOf(objects[i], *c, found[i]);
    }
    // What uses a lost object goes too (a view over a view), to the end of the chain.
    for (bool more = true; more;) {
        more = false;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            for (std::size_t j = 0; !goes[i] && j < objects.size(); ++j) {
                if (!goes[j] || !usesName(objects[i], objects[j].name)) continue;
                goes[i] = more = true;
                found[i].change = found[j].change;
                found[i].message = kindWord(objects[i]) + objects[i].name + "使用" +
                                   kindWord(objects[j]) + objects[j].name + "，迁移后不能保留";
            }
        }
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (!goes[i]) continue;
        found[i].count = 1;
        found[i].refuses = !allowDataLoss;
        checks.push_back(std::move(found[i]));
        lost.push_back(objects[i]);
    }
}

ResultMsg checkChanges(InstanceDataManager& manager, const std::vector<ModelChange>& physical,
                       const std::vector<ModelChange>& model, bool allowDataLoss,
                       std::vector<MigrationCheck>& checks) {
    ResultMsg rm;
    for (auto it = physical.begin(); rm.ok() && it != physical.end(); ++it) {
        if (it->safety != Safety::Safe) rm = runCheck(manager, *it, allowDataLoss, checks);
    }
    for (auto it = model.begin(); rm.ok() && it != model.end(); ++it) {
        if (it->kind == Kind::LengthChanged && it->safety != Safety::Safe)
            rm = runCheck(manager, *it, allowDataLoss, checks);
    }
    return rm;
}

}  // namespace MeridianSpace
