// The model's tables and columns of one version, read from the configuration
// database's records.
#include "detail/ModelVersionTables.h"

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"

namespace MeridianSpace {

using detail::Connection;

namespace {

std::string projectByUID(const Connection& conn) {
    return "SELECT \"id\" FROM \"T_M_Project\" WHERE " +
           conn.dialect().equalsIgnoringCase("\"UID\"", "?1") + " ORDER BY \"id\" LIMIT 1";
}
const char* const kModelByName =
    "SELECT \"id\" FROM \"T_M_EntityModel\" WHERE \"RProjectID\" = ?1 AND \"Name\" = ?2 "
    "AND \"Version\" = ?3 ORDER BY \"id\" LIMIT 1";
// The tables linked to model ?1 that exist in version ?2, in link order.
std::string modelTables(const Connection& conn) {
    return std::string(
               "SELECT t.\"id\", t.\"Name\", t.\"InnerName\" FROM \"T_M_R_ModelTable\" AS l ") +
           conn.dialect().orderedJoin() +
           " \"T_M_EntityTable\" AS t ON t.\"id\" = l.\"T_M_EntityTableID\" "
           "WHERE l.\"T_M_EntityModelID\" = ?1 AND t.\"AddVersion\" <= ?2 AND t.\"DelVersion\" > "
           "?2 "
           "ORDER BY l.\"id\"";
}
// The columns of table ?1 that exist in version ?2. A column keeps the place
// of its first record: one changed in a later version (a record of the same
// inner name for the versions before) stays where it was in every version.
const char* const kTableColumns =
    "SELECT c.\"InnerName\", c.\"Name\", c.\"DataType\", c.\"DefaultValue\", c.\"IsIndex\", "
    "c.\"IsOnly\", c.\"IsAutoIncrement\", c.\"MaxLength\", c.\"MinLength\", c.\"NumLength\", "
    "c.\"NumPresision\" FROM \"T_M_NormalColumn\" AS c WHERE c.\"T_M_EntityTableID\" = ?1 AND "
    "c.\"AddVersion\" <= ?2 AND c.\"DelVersion\" > ?2 ORDER BY (SELECT min(o.\"id\") FROM "
    "\"T_M_NormalColumn\" AS o WHERE o.\"T_M_EntityTableID\" = ?1 AND o.\"InnerName\" = "
    "c.\"InnerName\")";

ResultMsg readMetaData(Connection& conn, const std::string& sql,
                       const detail::StatementBinder& bind, const detail::RowReader& read) {
    return detail::forEachResultRow(conn, sql, bind, read, "读取元数据失败");
}

// The identifier of the model `model` names, or SRV_ERR_NO_ROW.
ResultMsg findModel(Connection& conn, const IEntityModel& model, int& modelID) {
    int projectID = 0;
    ResultMsg rm = readMetaData(
        conn, projectByUID(conn), [&](detail::Statement& s) { s.bindText(1, model._projectUID); },
        [&](const detail::Statement& s) { projectID = s.columnInt(0); });
    if (rm.ok() && projectID == 0) {
        return ResultMsg(SRV_ERR_NO_ROW, "项目不存在：UID = " + model._projectUID);
    }
    if (rm.ok()) {
        rm = readMetaData(
            conn, kModelByName,
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
    int modelID = 0;
    ResultMsg rm = findModel(conn, model, modelID);
    if (!rm.ok()) return rm;
    const auto bindVersion = [&](detail::Statement& s, int id) {
        s.bindInt64(1, id);
        s.bindInt64(2, model._version);
    };
    std::vector<int> seen;
    rm = readMetaData(
        conn, modelTables(conn), [&](detail::Statement& s) { bindVersion(s, modelID); },
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
            conn, kTableColumns, [&](detail::Statement& s) { bindVersion(s, it->table._ID); },
            [&](const detail::Statement& s) { it->columns.push_back(readColumn(s)); });
    }
    return rm;
}

}  // namespace MeridianSpace
