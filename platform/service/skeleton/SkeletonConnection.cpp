#include "skeleton/SkeletonConnection.h"

#include "ServiceErrorCode.h"
#include "skeleton/SkeletonBackend.h"
#include "skeleton/SkeletonDialect.h"

namespace MeridianSpace::detail {

ResultMsg skeletonNotImplemented(const std::string& what) {
    return ResultMsg(SRV_ERR_ENGINE, "存储后端尚未实现：" + what);
}

SkeletonConnection::SkeletonConnection(const std::string& location)
    : Connection(location, location, kSkeletonCapabilities, SkeletonDialect::instance()) {
    setCatalogue(std::make_unique<SkeletonCatalogue>(*this));
}

ResultMsg SkeletonConnection::open(const std::string& location, bool /*create*/,
                                   std::shared_ptr<SkeletonConnection>& out) {
    // A real backend: out.reset(new SkeletonConnection(location)), connect,
    // applyBusyTimeout(), setOpen(true).
    (void)out;
    return skeletonNotImplemented("open: " + location);
}

ResultMsg SkeletonConnection::reopen(bool /*create*/) {
    return skeletonNotImplemented("reopen");
}

bool SkeletonConnection::inTransaction() const {
    return false;
}

ResultMsg SkeletonConnection::refreshSchema() {
    return skeletonNotImplemented("refreshSchema");
}

std::uint64_t SkeletonConnection::changeCount(const std::string& table) {
    return isOpen() ? tableChangeNumber(table) : 0;
}

int SkeletonConnection::changes() const {
    return 0;
}

long long SkeletonConnection::lastInsertRowId() const {
    return 0;
}

ResultMsg SkeletonCatalogue::userObjects(std::vector<SchemaObject>& /*out*/) {
    return skeletonNotImplemented("userObjects");
}

ResultMsg SkeletonCatalogue::objectsDroppedWith(const std::string& table,
                                                std::vector<SchemaObject>& /*out*/) {
    return skeletonNotImplemented("objectsDroppedWith: " + table);
}

ResultMsg SkeletonCatalogue::queryPlan(const std::string& /*sql*/,
                                       const std::function<void(Statement&)>& /*bind*/,
                                       std::string& /*plan*/) {
    return skeletonNotImplemented("queryPlan");
}

ResultMsg SkeletonConnection::executeText(const std::string& /*sql*/) {
    return skeletonNotImplemented("execute");
}

ResultMsg SkeletonConnection::backendError(int code, const std::string& what) const {
    return ResultMsg(code, what);
}

ResultMsg SkeletonConnection::newStatement(const std::string& /*sql*/, StatementKind /*kind*/,
                                           std::unique_ptr<Statement>& /*out*/) {
    return skeletonNotImplemented("prepare");
}

ResultMsg SkeletonConnection::readLayout(const std::string& table,
                                         std::vector<ColumnInfo>& /*out*/) {
    return skeletonNotImplemented("readLayout: " + table);
}

void SkeletonConnection::closeHandle() {}

void SkeletonConnection::applyBusyTimeout() {}

ResultMsg SkeletonConnection::control(const std::string& sql) {
    return skeletonNotImplemented(sql);
}

void SkeletonConnection::abandonTransaction() {}

}  // namespace MeridianSpace::detail
