// The blob side of InstanceDataManager: arrays of doubles stored as the
// bytes of one column of one row.
#include "detail/InstanceBlobs.h"

#include <climits>
#include <cstring>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/SqlText.h"
#include "detail/RowWrites.h"

namespace MeridianSpace {

using detail::checkIdentifier;
using detail::quoteIdentifier;
using detail::StatementLease;
using detail::stepWrite;

ResultMsg detail::InstanceBlobs::updateIBlobTableData(const std::string& table,
                                                      const std::string& column, const double* data,
                                                      int count, int id, int commitType) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (rm.ok()) rm = checkIdentifier(column, "列");
    if (!rm.ok()) return rm;
    if (count < 0 || (count > 0 && data == nullptr) ||
        static_cast<long long>(count) * sizeof(double) > INT_MAX) {
        return ResultMsg(SRV_ERR_ARGUMENT,
                         "blob数据的个数或指针不合法：" + StringHelper::int2String(count));
    }
    const std::string sql = "UPDATE " + quoteIdentifier(table) + " SET " + quoteIdentifier(column) +
                            " = ? WHERE \"id\" = ?";
    detail::Connection& conn = conn_;
    return conn.write(commitType, [&]() {
        StatementLease lease;
        ResultMsg r = conn.prepare(sql, lease);
        if (!r.ok()) return conn.explainFailure(table, {column, "id"}, r);
        lease->bindBlob(1, data, static_cast<std::size_t>(count) * sizeof(double));
        lease->bindInt64(2, id);
        r = stepWrite(conn, *lease, table, {column, "id"});
        // The statement stays cached; it need not keep a copy of the blob.
        lease->clearBindings();
        if (r.ok() && conn.changes() == 0) {
            r = ResultMsg(SRV_ERR_NO_ROW,
                          "记录不存在：" + table + " id = " + StringHelper::int2String(id));
        }
        return r;
    });
}

ResultMsg detail::InstanceBlobs::getIBlobTableData(const std::string& table,
                                                   const std::string& column, int id, double*& data,
                                                   int& count) {
    ResultMsg rm = checkIdentifier(table, "表");
    if (rm.ok()) rm = checkIdentifier(column, "列");
    if (!rm.ok()) return rm;
    detail::Connection& conn = conn_;
    StatementLease lease;
    rm = conn.prepare("SELECT " + quoteIdentifier(column) + " FROM " + quoteIdentifier(table) +
                          " WHERE \"id\" = ?",
                      lease);
    if (!rm.ok()) return conn.explainFailure(table, {column, "id"}, rm);
    lease->bindInt64(1, id);
    const detail::StepResult rc = lease->step();
    if (rc == detail::StepResult::Done) {
        return ResultMsg(SRV_ERR_NO_ROW,
                         "记录不存在：" + table + " id = " + StringHelper::int2String(id));
    }
    if (rc != detail::StepResult::Row) {
        return conn.explainFailure(table, {column, "id"},
                                   conn.engineError(SRV_ERR_ENGINE, "读取blob数据失败"));
    }
    const std::string bytes = lease->columnBytes(0);
    const std::size_t size = bytes.size();
    if (size == 0) {
        data = nullptr;
        count = 0;
        return rm;
    }
    // A blob whose length is no multiple of 8 gets its last value zero-padded.
    const int values = static_cast<int>((size + sizeof(double) - 1) / sizeof(double));
    double* out = new double[values]();
    std::memcpy(out, bytes.data(), size);
    data = out;
    count = values;
    return rm;
}

}  // namespace MeridianSpace
