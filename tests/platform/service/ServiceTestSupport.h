#pragma once

// A session and a manager on a fresh database of the backend under test (a
// file, or a schema of the test server) holding the table "T_Item" (Name
// text, Qty integer, Price real, Data blob of doubles).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "DataManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "MetaDataNames.h"
#include "ServiceErrorCode.h"
#include "support/RawDb.h"
#include "support/TempDir.h"

namespace arxtest {

using namespace MeridianSpace;
using V = std::vector<std::string>;
using Conditions = std::list<IQueryCondition>;

// The names the records' layer hands down for the metadata tables.
inline MetaDataNames metaNames() {
    MetaDataNames n;
    n.projects = {"T_M_Project", "Name", "UID"};
    n.models = {"T_M_EntityModel", "Name", "Type", "Version", "IsVersionLocked", "RProjectID"};
    n.tables = {"T_M_EntityTable", "Name", "InnerName", "AddVersion", "DelVersion"};
    n.columns = {"T_M_NormalColumn",  "Name",      "InnerName",    "AddVersion", "DelVersion",
                 "T_M_EntityTableID", "DataType",  "DefaultValue", "IsIndex",    "IsOnly",
                 "IsAutoIncrement",   "MaxLength", "MinLength",    "NumLength",  "NumPresision"};
    n.links = {"T_M_R_ModelTable", "T_M_EntityModelID", "T_M_EntityTableID"};
    return n;
}

inline MNormalColumn describe(const std::string& name, int type) {
    MNormalColumn column;
    column._name = column._innerName = name;
    column._dataType = type;
    return column;
}

inline MTable tableNamed(const std::string& name) {
    MTable table;
    table._innerName = name;
    return table;
}

inline ITableData itemRow(const std::string& name, const std::string& qty = "1",
                          const std::string& price = "1") {
    ITableData row;
    row._tableInnerName = "T_Item";
    const std::string names[] = {"Name", "Qty", "Price"}, values[] = {name, qty, price};
    const int types[] = {COL_TYPE_STRING, COL_TYPE_INT, COL_TYPE_DOUBLE};
    std::copy(names, names + 3, row._cloInnerName);
    std::copy(types, types + 3, row._colType);
    std::copy(values, values + 3, row._colValue);
    row._colNum = 3;
    return row;
}

/// Each column of `table`'s layout as `manager` reads it, written by
/// `write` (shapeOf, flagsOf); "<code>" when it cannot be read.
template <typename Write>
std::string layoutText(InstanceDataManager& manager, const std::string& table, Write write) {
    std::list<MNormalColumn> layout;
    const ResultMsg rm = manager.getTableLayout(table, layout);
    if (!rm.ok()) return "<" + std::to_string(rm.rCode) + ">";
    std::string text;
    for (const MNormalColumn& c : layout)
        text += write(c);
    return text;
}
/// Inner name, storage type and whether it has an index of its own ("Name:21 ").
inline std::string shapeOf(const MNormalColumn& c) {
    return c._innerName + ":" + std::to_string(c._dataType) + std::to_string(c._isIndex) + " ";
}
/// Its index flags: _isIndex, _isOnly.
inline std::string flagsOf(const MNormalColumn& c) {
    return std::to_string(c._isIndex) + std::to_string(c._isOnly);
}

inline IQueryCondition cond(const std::string& column, const std::string& op,
                            const std::string& value, const std::string& relation = "") {
    return IQueryCondition{column, op, value, relation};
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ARX_REQUIRE_BACKEND();
        dbPath = dir.database("data.db");
        openSession(1);
        const std::list<MNormalColumn> columns = {describe("Name", 2), describe("Qty", 1),
                                                  describe("Price", 3), describe("Data", 5)};
        ASSERT_TRUE(idm->addMTableInstance(tableNamed("T_Item"), columns).ok());
    }

    // A session of dbPath and its data manager, in place of those open.
    void openSession(int createIfMissing) {
        idm.reset();
        session.reset();
        MRDSession* s = nullptr;
        ASSERT_TRUE(service.createSession(dbPath, s, createIfMissing).ok());
        session.reset(s);
        InstanceDataManager* m = nullptr;
        ASSERT_TRUE(session->createInstanceDataManager(m, 0).ok());
        idm.reset(m);
    }

    ResultMsg add(const std::string& name, int commitType = COMMIT_T_DEFERRED) {
        return idm->addITableData(itemRow(name), commitType);
    }
    // The names another connection sees: only what was committed.
    std::string committed() {
        return rawScalar(
            dbPath, "SELECT coalesce((" + joinedSql(dbPath, "\"Name\"", "\"T_Item\"") + "), '')");
    }
    // Names of the rows a query finds, in order; the query must answer `code`.
    V names(const Conditions& conditions = {}, const IOrderClause* order = nullptr, int code = 0) {
        std::list<ITableData> rows;
        ResultMsg rm = idm->getITableData("T_Item", {describe("Name", 2)}, conditions, rows, order);
        EXPECT_EQ(rm.rCode, code) << rm.rMsg;
        V out;
        for (const ITableData& row : rows)
            out.push_back(row._colValue[0]);
        return out;
    }

    // Destroyed in reverse: the manager, the session, then the folder.
    TempDir dir;
    std::string dbPath;
    MRDService service;
    std::unique_ptr<MRDSession> session;
    std::unique_ptr<InstanceDataManager> idm;
};

}  // namespace arxtest
