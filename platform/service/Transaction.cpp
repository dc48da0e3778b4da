#include "Transaction.h"

#include "DataManagerBase.h"
#include "MRDSession.h"
#include "ServiceErrorCode.h"
#include "backend/Connection.h"

namespace MeridianSpace {

Savepoint::Savepoint(MRDSession& session) : connection_(session.connection_) {
    begun_ = connection_->beginSavepoint(id_);
}

Savepoint::Savepoint(dataManager& manager) : connection_(manager.connection_) {
    begun_ = connection_->beginSavepoint(id_);
}

Savepoint::~Savepoint() {
    if (id_ == 0) return;
    // Also when the engine ended the transaction this savepoint opened: its
    // roll-back tells the session that the loss was its owner's. A failure
    // here rolled back everything pending and is reported by the session's
    // next commit or close; one that was released or ended answers so.
    ResultMsg undone = connection_->rollbackSavepoint(id_);
    (void)undone;  // see above
}

ResultMsg Savepoint::release() {
    if (!begun_.ok()) return begun_;
    return connection_->releaseSavepoint(id_);
}

ResultMsg Savepoint::rollback() {
    if (!begun_.ok()) return begun_;
    return connection_->rollbackSavepoint(id_);
}

Transaction::Transaction(MRDSession& session) : Savepoint(session) {}

Transaction::Transaction(dataManager& manager) : Savepoint(manager) {}

ResultMsg Transaction::commit() {
    ResultMsg rm = release();
    if (rm.ok() && !connection_->hasOpenSavepoints()) rm = connection_->commit();
    return rm;
}

}  // namespace MeridianSpace
