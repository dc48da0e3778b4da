#include "MRDSession.h"

#include <iostream>
#include <utility>

#include "InstanceDataManager.h"
#include "MetaDataManager.h"
#include "backend/Connection.h"

namespace MeridianSpace {

MRDSession::MRDSession(std::shared_ptr<detail::Connection> connection)
    : connection_(std::move(connection)), self_(this, [](MRDSession*) {}) {}

MRDSession::~MRDSession() {
    // The managers see no session from here on, also while it closes.
    self_.reset();
    // Whoever needed the answer called close() before; here a failed last
    // commit can only be told on standard error.
    ResultMsg closed = connection_->close();
    if (!closed.ok()) std::cerr << closed.rMsg << std::endl;
}

ResultMsg MRDSession::commit() {
    return connection_->commit();
}

ResultMsg MRDSession::rollback() {
    return connection_->rollback();
}

ResultMsg MRDSession::close() {
    return connection_->close();
}

ResultMsg MRDSession::reopen(int createIfMissing) {
    return connection_->reopen(createIfMissing == 1);
}

bool MRDSession::isOpen() const {
    return connection_->isOpen();
}

bool MRDSession::hasOpenTransaction() const {
    return connection_->hasOpenSavepoints();
}

bool MRDSession::hasPendingWrites() const {
    return connection_->inTransaction();
}

std::uint64_t MRDSession::statementCount() const {
    return connection_->statementsRun();
}

std::string MRDSession::getFilePath() const {
    return connection_->path();
}

void MRDSession::recordStatements(std::vector<std::string>* log) {
    connection_->setStatementLog(log);
}

void MRDSession::setBusyTimeout(int milliseconds) {
    connection_->setBusyTimeout(milliseconds);
}

ResultMsg MRDSession::createInstanceDataManager(InstanceDataManager*& manager, int flag) {
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok()) return rm;
    auto created =
        std::unique_ptr<InstanceDataManager>(new InstanceDataManager(connection_, self_));
    if (flag == 1) {
        rm = connection_->loadAllLayouts();
        if (!rm.ok()) return rm;
    }
    manager = created.release();
    return rm;
}

ResultMsg MRDSession::createMetaDataManager(MetaDataManager*& manager) {
    ResultMsg rm = connection_->checkOpen();
    if (!rm.ok()) return rm;
    manager = new MetaDataManager(connection_, self_);
    return rm;
}

}  // namespace MeridianSpace
