// The row an instance file describes itself with, read and its version set.
#include "detail/InstanceFileInfo.h"

#include "ServiceErrorCode.h"
#include "backend/Connection.h"
#include "backend/InstanceInfo.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::Connection;
using detail::kInstanceInfoColumns;
using detail::kInstanceInfoTable;
using detail::notInstanceFile;
using detail::StatementLease;

ResultMsg detail::InstanceFileInfo::getEntityModelInstanceInfo(IEntityModel& model) {
    Connection& conn = conn_;
    ResultMsg rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    // Any other database lacks the table or some of its columns; a file
    // that cannot be read keeps the engine's answer. A server finds out
    // at the first step, not at the prepare.
    const auto explained = [&](const ResultMsg& failure) {
        ResultMsg why = conn.explainFailure(kInstanceInfoTable, kInstanceInfoColumns, failure);
        if (why.rCode == SRV_ERR_NO_TABLE || why.rCode == SRV_ERR_NO_COLUMN) {
            return notInstanceFile(conn.displayName(), why.rMsg);
        }
        return why;
    };
    StatementLease lease;
    rm = conn.prepare(detail::instanceInfoQuery(conn.dialect().storageOrder()), lease);
    if (!rm.ok()) return explained(rm);
    const detail::StepResult rc = lease->step();
    if (rc == detail::StepResult::Done)
        return notInstanceFile(conn.displayName(), "实例信息表中没有记录");
    if (rc != detail::StepResult::Row) {
        return explained(
            conn.engineError(SRV_ERR_ENGINE, "读取实例信息失败：" + conn.displayName()));
    }
    if (lease->columnType(1) != detail::ValueType::Integer) {
        return notInstanceFile(conn.displayName(), "版本号不是整数");
    }
    model._name = lease->columnBytes(0);
    model._version = lease->columnInt(1);
    model._type = lease->columnBytes(2);
    model._description = lease->columnBytes(3);
    model._projectUID = lease->columnBytes(4);
    return rm;
}

ResultMsg detail::InstanceFileInfo::setEntityModelInstanceVersion(int version) {
    Connection& conn = conn_;
    ResultMsg rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    return conn.atomic([&]() {
        StatementLease lease;
        ResultMsg r = conn.prepare(
            "UPDATE " + detail::quoteIdentifier(kInstanceInfoTable) + " SET \"Version\" = ?1",
            lease);
        if (!r.ok()) return r;
        lease->bindInt64(1, version);
        if (lease->step() != detail::StepResult::Done)
            return conn.engineError(SRV_ERR_ENGINE, "写入实例信息失败：" + conn.displayName());
        return r;
    });
}

}  // namespace MeridianSpace
