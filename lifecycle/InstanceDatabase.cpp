#include "InstanceDatabase.h"

#include "InstanceDataManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "MeridianNew.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "Transaction.h"

namespace MeridianSpace {

namespace {

// The table in which an instance database describes itself; not a model table.
const char* const kInfoTable = "ARX_InstanceInfo";

// How often the lock is tried again when tables came or went while it was taken.
constexpr int kLockAttempts = 5;

const LayoutTable* tableOf(const ModelLayout& layout, const std::string& innerName) {
    for (const LayoutTable& t : layout) {
        if (StringHelper::equalsIgnoreCase(t.table._innerName, innerName)) return &t;
    }
    return nullptr;
}

}  // namespace

InstanceDatabase::InstanceDatabase() = default;

InstanceDatabase::~InstanceDatabase() {
    // Whoever needed the answer closed before; on the way out of a failure
    // the failure is the answer, and a roll-back loses nothing of anyone's.
    (void)close();
}

ResultMsg InstanceDatabase::open(const std::string& location, Access access) {
    MRDService* service = MeridianNew::getCurrService();
    if (service == nullptr) return MeridianNew::noCurrentDatabase();
    return open(*service, location, access);
}

ResultMsg InstanceDatabase::open(MRDService& service, const std::string& location, Access access) {
    location_ = location;
    MRDSession* made = nullptr;
    const bool readOnly = access == Access::Read && MRDService::isFileLocation(location);
    ResultMsg rm = readOnly ? service.openReadOnlySession(location, made)
                            : service.createSession(location, made, 0);
    session_.reset(made);
    InstanceDataManager* manager = nullptr;
    if (rm.ok()) rm = session_->createInstanceDataManager(manager, 0);
    manager_.reset(manager);
    return rm;
}

ResultMsg InstanceDatabase::lock() {
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        std::vector<std::string> before, after;
        ResultMsg rm = manager_->getTableNames(before);
        if (!rm.ok()) return rm;
        transaction_ = std::make_unique<Transaction>(*session_);
        rm = transaction_->begun();
        if (rm.ok()) rm = manager_->holdOffWriters(before);
        ResultMsg listed = manager_->getTableNames(after);
        if (!listed.ok()) return listed;
        if (after == before) return rm;
        transaction_.reset();  // a table came or went: lock what is there now
    }
    return ResultMsg(SRV_ERR_BUSY, "实例数据的表在锁定期间不断变化，请稍后重试：" +
                                       MRDService::displayLocation(location_));
}

ResultMsg InstanceDatabase::commit() {
    ResultMsg rm = transaction_->commit();
    transaction_.reset();
    return rm;
}

ResultMsg InstanceDatabase::close() {
    transaction_.reset();
    manager_.reset();
    ResultMsg rm = session_ ? session_->close() : ResultMsg();
    session_.reset();
    return rm;
}

void InstanceDatabase::recordStatements(std::vector<std::string>* log) {
    session_->recordStatements(log);
}

ResultMsg InstanceDatabase::describedAs(IEntityModel& record) {
    return manager_->getEntityModelInstanceInfo(record);
}

ResultMsg InstanceDatabase::read(const ModelLayout& claimed, ModelLayout& out) {
    std::vector<std::string> names;
    ResultMsg rm = manager_->getTableNames(names);
    for (auto name = names.begin(); rm.ok() && name != names.end(); ++name) {
        if (StringHelper::equalsIgnoreCase(*name, kInfoTable)) continue;
        LayoutTable t;
        t.table._name = t.table._innerName = *name;
        rm = manager_->getTableLayout(*name, t.columns);
        const LayoutTable* known = tableOf(claimed, *name);
        if (known == nullptr) {
            out.push_back(std::move(t));
            continue;
        }
        t.table._ID = known->table._ID;
        t.table._name = known->table._name;
        for (MNormalColumn& c : t.columns) {
            for (const MNormalColumn& described : known->columns) {
                if (!StringHelper::equalsIgnoreCase(described._innerName, c._innerName)) continue;
                c._ID = described._ID;
                c._name = described._name;
                c._defaultValue = described._defaultValue;
            }
        }
        out.push_back(std::move(t));
    }
    return rm;
}

}  // namespace MeridianSpace
