#include <gtest/gtest.h>

#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "generated/OrderDAO.h"
#include "support/PlatformFixture.h"
#include "support/RawDb.h"

namespace arxtest {

// A class in the generator's shape, on a described table of the work database.
TEST_F(PlatformFixture, AClassInTheGeneratorsShapeWorksAgainstTheFrame) {
    auto& _DAOTypeObjectMap = DAOFactoryRegistry::factories();
    _DAOTypeObjectMap["OrderDAO"] = OrderDAO::createObject;
    InstanceDataManager* work = MeridianNew::getCurrentWorkDBIDM();
    MTable table;
    table._innerName = "T_order_1";
    MNormalColumn title, qty, data;
    title._innerName = "Title_1";
    title._dataType = COL_TYPE_STRING;
    qty._innerName = "Qty_1";
    qty._dataType = COL_TYPE_INT;
    data._innerName = "Data_1";
    data._dataType = COL_TYPE_BLOB_DOUBLE;
    ASSERT_TRUE(work->addMTableInstance(table, {title, qty, data}).ok());
    for (auto [name, count] : {std::pair{"desk", 2}, {"chair", 4}, {"lamp", 2}}) {
        OrderDAO order;
        order._title = name;
        order._qty = count;
        ASSERT_TRUE(order.save().ok());
    }
    EXPECT_EQ(rawScalar(workPath, "SELECT count(*) FROM \"T_order_1\""), "3");

    std::list<OrderDAO*> orders;
    ASSERT_TRUE(OrderDAO::FindByQtyOrTitle(4, "lamp", orders).ok());
    EXPECT_EQ(orders.size(), 2u);
    T_deletePtrList(orders);

    OrderDAO deleter;
    ASSERT_TRUE(deleter.DelByQty(2).ok());
    ASSERT_TRUE(OrderDAO::FindByQtyOrTitle(4, "desk", orders).ok());
    ASSERT_EQ(orders.size(), 1u);
    OrderDAO* chair = orders.front();
    EXPECT_EQ(chair->_title, "chair");
    EXPECT_EQ(rawScalar(workPath, "SELECT count(*) FROM \"T_order_1\""), "1");

    double values[] = {0.5, 1.5};
    ASSERT_TRUE(chair->saveData(values, 2).ok());
    double* read = nullptr;
    int count = 0;
    ASSERT_TRUE(work->getIBlobTableData("T_order_1", "Data_1", chair->_ID, read, count).ok());
    ASSERT_EQ(count, 2);
    EXPECT_EQ(read[1], 1.5);
    delete[] read;
    T_deletePtrList(orders);
}

}  // namespace arxtest
