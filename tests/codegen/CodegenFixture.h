#pragma once

// The representative model the generator's tests work on, and a way to read
// what the generator wrote with its time stamps masked.
#include <regex>
#include <string>

#include "M_DelByInterfaceDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "dao/RecordFixture.h"

namespace arxtest {

class CodegenFixture : public RecordFixture {
protected:
    /// Model "ShopModel" with the root folder F_base (it generates a DAO
    /// class, _isGenerateDAO 1) holding the folder F_sales, which holds the
    /// table T_order: MTitle (text, default "none", find key), MQty
    /// (integer, find key), MPrice (real), MData (double blob), CName (text),
    /// MPhoto (char blob); the query definition FindByQtyAndTitle
    /// ("qty,=,and#title,like") and the delete definition DelByQty
    /// ("qty,="); _countType 0; white-box steps 1, 2, 4 to 8.
    void SetUp() override {
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
        } columns[] = {{"MTitle", 2, " none ", 1}, {"MQty", 1, "", 1}, {"MPrice", 3, "1.5", 0},
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

    /// The file's text with every time stamp "YYYY-MM-DD HH:MM:SS" and
    /// every date "YYYYMMDD" in a name replaced by <TIME> and <DATE>.
    static std::string masked(const std::string& text) {
        static const std::regex time("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
        static const std::regex date("_[0-9]{8}");
        return std::regex_replace(std::regex_replace(text, time, "<TIME>"), date, "_<DATE>");
    }

    M_EntityModelDAO shop;
    M_FolderDAO base, sales;
    M_EntityTableDAO order;
    std::map<std::string, int> ids;
};

}  // namespace arxtest
