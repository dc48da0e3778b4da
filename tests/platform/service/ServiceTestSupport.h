#pragma once

// A session and a manager on a fresh database file holding the table
// "T_Item" (Name text, Qty integer, Price real).
#include <gtest/gtest.h>

#include <memory>

#include "DataManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "ServiceErrorCode.h"
#include "support/TempDir.h"

namespace arxtest {

using namespace MeridianSpace;

inline MNormalColumn describe(const std::string& name, int type) {
    MNormalColumn column;
    column._name = column._innerName = name;
    column._dataType = type;
    return column;
}

inline ITableData itemRow(const std::string& name, const std::string& qty,
                          const std::string& price) {
    ITableData row;
    row._tableInnerName = "T_Item";
    const char* names[] = {"Name", "Qty", "Price"};
    const int types[] = {COL_TYPE_STRING, COL_TYPE_INT, COL_TYPE_DOUBLE};
    const std::string values[] = {name, qty, price};
    for (int i = 0; i < 3; ++i) {
        row._cloInnerName[i] = names[i];
        row._colType[i] = types[i];
        row._colValue[i] = values[i];
    }
    row._colNum = 3;
    return row;
}

inline IQueryCondition condition(const std::string& column, const std::string& op,
                                 const std::string& value, const std::string& relation = "") {
    IQueryCondition c;
    c.columnInnerName = column;
    c.operation = op;
    c.columValue = value;
    c.logicRelation = relation;
    return c;
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dbPath = dir.file("data.db");
        MRDSession* s = nullptr;
        ResultMsg rm = service.createSession(dbPath, s, 1);
        ASSERT_TRUE(rm.ok()) << rm.rMsg;
        session.reset(s);
        InstanceDataManager* m = nullptr;
        ASSERT_TRUE(session->createInstanceDataManager(m, 0).ok());
        idm.reset(m);
        MTable table;
        table._innerName = "T_Item";
        rm = idm->addMTableInstance(
            table, {describe("Name", COL_TYPE_STRING), describe("Qty", COL_TYPE_INT),
                    describe("Price", COL_TYPE_DOUBLE)});
        ASSERT_TRUE(rm.ok()) << rm.rMsg;
    }
    void TearDown() override {
        idm.reset();
        session.reset();
    }

    // Names of the rows a query finds, in order.
    std::vector<std::string> names(const std::list<IQueryCondition>& conditions,
                                   const IOrderClause* order = nullptr) {
        std::list<ITableData> rows;
        ResultMsg rm = idm->getITableData("T_Item", {describe("Name", COL_TYPE_STRING)}, conditions,
                                          rows, order);
        EXPECT_TRUE(rm.ok()) << rm.rMsg;
        std::vector<std::string> out;
        for (const ITableData& row : rows)
            out.push_back(row._colValue[0]);
        return out;
    }

    TempDir dir;
    std::string dbPath;
    MRDService service;
    std::unique_ptr<MRDSession> session;
    std::unique_ptr<InstanceDataManager> idm;
};

}  // namespace arxtest
