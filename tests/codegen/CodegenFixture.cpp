// The fixture's model is built here, not in the header: its texts hold
// Chinese characters, and only compiled sources get their literals in GBK
// under every compiler.
#include "CodegenFixture.h"

namespace arxtest {

void CodegenFixture::SetUp() {
    RecordFixture::SetUp();
    shop = model("ShopModel");
    base = folder(shop, "F_base");
    base._isGenerateDAO = 1;
    base._displayName = "基础模块";
    ASSERT_TRUE(base.save().ok());
    sales._name = "F_sales";
    sales._description = "销售";
    ASSERT_TRUE(base.addM_SubFolderDAO(&sales).ok());
    order._name = "T_order";
    order._displayName = "订单";
    order._whiteBoxType = "1:1,2:1,3:0,4:1,5:1,6:1,7:1,8:1";
    ASSERT_TRUE(sales.addM_EntityTableDAO(&order).ok());
    const struct {
        const char* name;
        int type;
        const char* defaultValue;
        int findKey;
    } columns[] = {{"MTitle", 2, " none ", 1}, {"MQty", 1, "", 1},  {"MPrice", 3, "1.5", 0},
                   {"MData", 5, "", 0},        {"CName", 2, "", 0}, {"MPhoto", 4, "", 0}};
    for (const auto& c : columns) {
        M_NormalColumnDAO column;
        column._name = c.name;
        column._dataType = c.type;
        column._defaultValue = c.defaultValue;
        column._isFindKey = c.findKey;
        column._displayName = std::string(c.name).substr(1);
        ASSERT_TRUE(order.addNormalColumnDAO(&shop, &column).ok());
        ids[c.name] = column._ID;
    }
    const std::string qty = std::to_string(ids["MQty"]), title = std::to_string(ids["MTitle"]);
    M_FindByInterfaceDAO finder;
    finder._name = "FindByQtyAndTitle";
    finder._bExport = 1;
    finder._paraList = qty + ",=,and#" + title + ",like";
    ASSERT_TRUE(order.addFindByInterfaceDAO(&finder).ok());
    M_DelByInterfaceDAO deleter;
    deleter._name = "DelByQty";
    deleter._paraList = qty + ",=";
    ASSERT_TRUE(order.addDelByInterfaceDAO(&deleter).ok());
}

}  // namespace arxtest
