#include "ConfigTransaction.h"

#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "Transaction.h"

namespace MeridianSpace {

ConfigTransaction::ConfigTransaction() {
    MetaDataManager* metaData = MeridianNew::getCurrMRDConfigMDM();
    if (metaData == nullptr) {
        begun_ = MeridianNew::noCurrentDatabase();
        return;
    }
    transaction_ = std::make_unique<Transaction>(*metaData);
    begun_ = transaction_->begun();
}

ConfigTransaction::~ConfigTransaction() = default;

ResultMsg ConfigTransaction::finish(const ResultMsg& outcome) {
    if (!begun_.ok()) return begun_;
    const ResultMsg committed = transaction_->commit();
    committed_ = committed.ok();
    if (committed_) return outcome;
    const int code = outcome.ok() ? committed.rCode : outcome.rCode;
    return ResultMsg(code, (outcome.ok() ? std::string() : outcome.rMsg) +
                               "ERROR：配置数据库事务提交失败，本次操作的修改已全部撤销。" +
                               committed.rMsg);
}

}  // namespace MeridianSpace
