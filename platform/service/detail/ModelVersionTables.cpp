// The model's tables and columns of one version, read from the configuration
// database's records.
#include "detail/ModelVersionTables.h"

#include "MetaDataLookups.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"

namespace MeridianSpace {

using detail::Connection;
using detail::MetaDataSql;

namespace {

ResultMsg readMetaData(Connection& conn, const std::string& sql,
                       const detail::StatementBinder& bind, const detail::RowReader& read) {
    return detail::forEachResultRow(conn, sql, bind, read, "读取元数据失败");
}

// The identifier of the model `model` names, or SRV_ERR_NO_ROW.
ResultMsg findModel(Connection& conn, const MetaDataSql& sql, const IEntityModel& model,
                    int& modelID) {
    int projectID = 0;
    ResultMsg rm = readMetaData(
        conn, sql.projectByUID(), [&](detail::Statement& s) { s.bindText(1, model._projectUID); },
        [&](const detail::Statement& s) { projectID = s.columnInt(0); });
    if (rm.ok() && projectID == 0) {
        return ResultMsg(SRV_ERR_NO_ROW, "项目不存在：UID = " + model._projectUID);
    }
    if (rm.ok()) {
        rm = readMetaData(
            conn, sql.modelOfProject(),
            [&](detail::Statement& s) {
                s.bindInt64(1, projectID);
                s.bindText(2, model._name);
                s.bindInt64(3, model._version);
            },
            [&](const detail::Statement& s) { modelID = s.columnInt(0); });
    }
    if (rm.ok() && modelID == 0) {
        rm = ResultMsg(SRV_ERR_NO_ROW, "数据模型不存在：项目UID = " + model._projectUID +
                                           "，名称 = " + model._name +
                                           "，版本 = " + StringHelper::int2String(model._version));
    }
    return rm;
}

MNormalColumn readColumn(const detail::Statement& s) {
    MNormalColumn column;
    column._innerName = s.columnBytes(0);
    column._name = s.columnBytes(1);
    column._dataType = s.columnInt(2);
    column._defaultValue = s.columnBytes(3);
    column._isIndex = s.columnInt(4);
    column._isOnly = s.columnInt(5);
    column._isAutoIncrement = s.columnInt(6);
    column._maxLength = s.columnInt(7);
    column._minLength = s.columnInt(8);
    column._numLength = s.columnInt(9);
    column._numPresision = s.columnInt(10);
    return column;
}

}  // namespace

ResultMsg detail::readModelLayout(Connection& conn, const IEntityModel& model,
                                  std::vector<TableLayout>& layouts) {
    const std::shared_ptr<const MetaDataNames> names = MetaDataNames::current();
    ResultMsg rm = detail::requireNames(*names);
    if (!rm.ok()) return rm;
    const MetaDataSql sql(conn, *names);
    int modelID = 0;
    rm = findModel(conn, sql, model, modelID);
    if (!rm.ok()) return rm;
    const auto bindVersion = [&](detail::Statement& s, int id) {
        s.bindInt64(1, id);
        s.bindInt64(2, model._version);
    };
    std::vector<int> seen;
    rm = readMetaData(
        conn, sql.versionTables(), [&](detail::Statement& s) { bindVersion(s, modelID); },
        [&](const detail::Statement& s) {
            const int id = s.columnInt(0);
            for (int known : seen) {
                if (known == id) return;
            }
            seen.push_back(id);
            TableLayout layout;
            layout.table._ID = id;
            layout.table._name = s.columnBytes(1);
            layout.table._innerName = s.columnBytes(2);
            layout.table._version = model._version;
            layouts.push_back(std::move(layout));
        });
    for (auto it = layouts.begin(); rm.ok() && it != layouts.end(); ++it) {
        rm = readMetaData(
            conn, sql.versionColumns(),
            [&](detail::Statement& s) { bindVersion(s, it->table._ID); },
            [&](const detail::Statement& s) { it->columns.push_back(readColumn(s)); });
    }
    return rm;
}

}  // namespace MeridianSpace
