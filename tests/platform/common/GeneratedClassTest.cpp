#include <gtest/gtest.h>

#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "generated/OrderDAO.h"
#include "support/PlatformFixture.h"
#include "support/RawDb.h"

namespace arxtest {

// A class in the generator's shape, on a described table of the work database.
class GeneratedClass : public PlatformFixture {
protected:
    void SetUp() override {
        PlatformFixture::SetUp();
        auto& _DAOTypeObjectMap = DAOFactoryRegistry::factories();
        _DAOTypeObjectMap["OrderDAO"] = OrderDAO::createObject;
        MTable table;
        table._innerName = "T_order_1";
        MNormalColumn title, qty, data;
        title._innerName = "Title_1";
        title._dataType = COL_TYPE_STRING;
        qty._innerName = "Qty_1";
        qty._dataType = COL_TYPE_INT;
        data._innerName = "Data_1";
        data._dataType = COL_TYPE_BLOB_DOUBLE;
        ASSERT_TRUE(
            MeridianNew::getCurrentWorkDBIDM()->addMTableInstance(table, {title, qty, data}).ok());
    }
    ~GeneratedClass() override { T_deletePtrList(orders); }

    std::list<OrderDAO*> orders;
};

TEST_F(GeneratedClass, FindersBlobsAndDeletersWorkAgainstTheFrame) {
    for (auto [title, qty] : {std::pair{"desk", 2}, {"chair", 4}, {"lamp", 2}}) {
        OrderDAO order;
        order._title = title;
        order._qty = qty;
        ASSERT_TRUE(order.save().ok());
    }
    EXPECT_EQ(rawScalar(workPath, "SELECT count(*) FROM T_order_1"), "3");

    ASSERT_TRUE(OrderDAO::FindByTitle("ch%", orders).ok());
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders.front()->_qty, 4);
    OrderDAO* chair = orders.front();
    const double values[] = {0.5, 1.5};
    ASSERT_TRUE(chair->saveData(const_cast<double*>(values), 2).ok());
    double* read = nullptr;
    int count = 0;
    ASSERT_TRUE(chair->getData(read, count).ok());
    ASSERT_EQ(count, 2);
    EXPECT_EQ(read[1], 1.5);
    delete[] read;
    T_deletePtrList(orders);

    ASSERT_TRUE(OrderDAO::FindByQtyOrTitle(4, "lamp", orders).ok());
    EXPECT_EQ(orders.size(), 2u);
    T_deletePtrList(orders);

    OrderDAO deleter;
    ASSERT_TRUE(deleter.DelByQty(2).ok());
    ASSERT_TRUE(OrderDAO::FindAll(orders).ok());
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders.front()->_title, "chair");

    OrderDAO* byId = nullptr;
    ASSERT_TRUE(OrderDAO::FindByID(orders.front()->_ID, byId).ok());
    ASSERT_NE(byId, nullptr);
    EXPECT_EQ(byId->_title, "chair");
    delete byId;
}

}  // namespace arxtest
