// The DAO class files of T_order byte for byte, and the variants it does not show.
#include <cstdlib>
#include <string>

#include "codegen/CodegenFixture.h"

namespace arxtest {
namespace {

class DaoClassTest : public CodegenFixture {
protected:
    /// Generates T_order and answers one of its files with time stamps masked.
    std::string generated(const std::string& file) {
        std::list<std::string> names;
        (void)order.CreateCode(&shop, dir.file("gen"), names);
        names.resize(2);  // the DAO class files come first
        EXPECT_EQ(names, (std::list<std::string>{dir.file("gen/OrderDAO.h"),
                                                 dir.file("gen/OrderDAO.cpp")}));
        return masked(readText(dir.file("gen/" + file)));
    }
    void addDefinition(bool deleter, const std::string& name, const std::string& paraList) {
        M_FindByInterfaceDAO finder;
        M_DelByInterfaceDAO del;
        finder._name = del._name = name;
        finder._paraList = del._paraList = paraList;
        ASSERT_TRUE(deleter ? order.addDelByInterfaceDAO(&del).ok()
                            : order.addFindByInterfaceDAO(&finder).ok());
    }
};

TEST_F(DaoClassTest, OrderClassMatchesGolden) {
    const char* update = std::getenv("ARX_UPDATE_GOLDEN");
    for (const std::string file : {"OrderDAO.h", "OrderDAO.cpp"}) {
        const std::string text = generated(file), golden = ARX_GOLDEN_DIR "/" + file + ".golden";
        if (update != nullptr && std::string(update) == "1") writeText(golden, text);
        EXPECT_EQ(text, readText(golden)) << file;
    }
}

TEST_F(DaoClassTest, CountTypeConnectiveNumberingAndBlobOrder) {
    const std::string qty = std::to_string(ids["MQty"]), title = std::to_string(ids["MTitle"]);
    M_NormalColumnDAO curve;  // a double blob after the char blob MPhoto
    curve._name = "MCurve";
    curve._dataType = 5;
    ASSERT_TRUE(order.addNormalColumnDAO(&shop, &curve).ok());
    addDefinition(false, "FindEither",
                  qty + ",=,and#" + title + ",like,or#" + std::to_string(ids["MPrice"]) + ",>");
    addDefinition(true, "DelSome", "##" + title + ",=##" + qty + ",<#");
    for (int countType : {1, 2}) {
        order._countType = countType;
        const std::string h = generated("OrderDAO.h"), cpp = generated("OrderDAO.cpp");
        EXPECT_EQ(h.find("FindAll(OrderDAO* & pnewdao);") != std::string::npos, countType == 1);
        EXPECT_EQ(cpp.find("return BaseDAO::save();\n}") != std::string::npos, countType == 1);
        EXPECT_EQ((h + cpp).find("FindAll(list"), std::string::npos);
        EXPECT_LT(h.find("savePhoto("), h.find("saveCurve("));
        EXPECT_LT(cpp.find("::savePhoto("), cpp.find("::saveCurve("));
        EXPECT_NE(cpp.find(" mprice, list<OrderDAO*>& newlist)"), std::string::npos);
        EXPECT_NE(cpp.find("\trm = dfinder.findByManyOrAttr(\"OrderDAO\""), std::string::npos);
        const std::size_t del = cpp.find("::DelSome( string mtitle, int mqty , int");
        ASSERT_NE(del, std::string::npos);
        EXPECT_EQ(cpp.find("cond3", del), std::string::npos);
        EXPECT_LT(cpp.find("\tcond1.columValue = \"'\" + mtitle + \"'\";\n", del),
                  cpp.find("\tcond2.columValue = StringHelper::int2String(mqty);\n", del));
    }
}

}  // namespace
}  // namespace arxtest
