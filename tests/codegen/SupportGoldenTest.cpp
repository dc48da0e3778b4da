// Mapper, registration list, white-box test and folder class of the
// representative model, pinned as golden files (ARX_UPDATE_GOLDEN=1 rewrites
// them), and the choices of the white-box and folder emitters.
#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "codegen/CodegenFixture.h"

namespace arxtest {

class SupportGolden : public CodegenFixture {
protected:
    std::string generated(const std::string& file) { return readText(dir.file("gen/" + file)); }
    static size_t count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }
    std::list<std::string> files;
};

TEST_F(SupportGolden, FilesMatchTheGoldenTexts) {
    (void)order.CreateCode(&shop, dir.file("gen"), files);
    (void)order.CreateCode(&shop, dir.file("gen"), files);  // the list grows by two lines
    ASSERT_TRUE(base.CreateCode(dir.file("gen"), files).ok());
    // Six per table (the list on every run, never its copy), two of the folder.
    EXPECT_EQ(std::count(files.begin(), files.end(), dir.file("gen/RegisterDAO_Code.txt")), 2);
    EXPECT_EQ(files.size(), 14u);
    const char* goldens[] = {"OrderMapper.h",        "OrderMapper.cpp",
                             "RegisterDAO_Code.txt", "RegisterDAO_Code_cleaned.txt",
                             "Test_OrderDAO_DATE.h", "BaseDAO.h",
                             "BaseDAO.cpp"};
    const bool update = std::getenv("ARX_UPDATE_GOLDEN") != nullptr;
    for (const std::string golden : goldens) {
        SCOPED_TRACE(golden);
        std::string file = golden, path = ARX_GOLDEN_DIR "/" + golden + ".golden";
        StringHelper::string_replace(file, "DATE", StringHelper::currTimeStr(3));
        const std::string text = masked(generated(file));
        ASSERT_FALSE(text.empty());
        if (update) writeText(path, text);
        EXPECT_EQ(text, readText(path));
    }
}

TEST_F(SupportGolden, RegroupFailureOnlyReachesStandardOutput) {
    std::filesystem::create_directories(dir.file("gen/RegisterDAO_Code_cleaned.txt"));
    testing::internal::CaptureStdout();
    ResultMsg rm = order.CreateCode(&shop, dir.file("gen"), files);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR:建立/打开RegisterDAO_Code.txt文件失败。");
    EXPECT_EQ(utf8(rm.rMsg).find("Code_RegisterDAO"), std::string::npos);
    EXPECT_EQ(count(generated("RegisterDAO_Code.txt"), "OrderDAO::createObject"), 1u);
}

TEST_F(SupportGolden, WhiteBoxStepsFollowTheSwitchesAndDeclareEachNameOnce) {
    const std::tuple<const char*, int, const char*, size_t> cases[] = {
        {"", 0, "()\n{\n}\n", 1},               // empty body
        {"1:1,1:0,9:1,4", 0, "myMeridian", 0},  // the last value counts
        {"2:1,3:1", 0, "\tOrderDAO p1;\n", 2},  // written as it stands
        {"7:1,8:1", 0, "\tlist<OrderDAO*>  pFindList;\n", 1},
        {"5:1,7:1", 1, "\tlist<OrderDAO*>  pFindList;\n", 0},  // the class has no list form
        {"5:1,7:1,8:1", 1, "DELETE_PRT(pnewdaoAll)", 3},
        {"4:1,8:1", 0, "\tResultMsg rm;\n\n\tOrderDAO p1;\n", 1},  // declared when no step did
        {"2:1", 0, "\tp1._data", 0},                               // blob: no member
        {"5:1,8:1", 2, "FindAll", 0},
    };
    for (const auto& [switches, countType, part, times] : cases) {
        SCOPED_TRACE(switches);
        order._whiteBoxType = switches;
        order._countType = countType;
        (void)order.CreateCode(&shop, dir.file("gen"), files);
        const std::string text = generated("Test_OrderDAO_" + StringHelper::currTimeStr(3) + ".h");
        EXPECT_EQ(count(text, part), times) << text;
    }
}

TEST_F(SupportGolden, BaseClassesFollowTheModelAndTheParentFolder) {
    shop._name = "M_ProjectManage";  // in memory only
    (void)order.CreateCode(&shop, dir.file("gen"), files);
    EXPECT_NE(generated("OrderMapper.h").find("class OrderMapper :\tpublic totalMapper\n"),
              std::string::npos);
    sales._isGenerateDAO = 1;  // below F_base, which generates BaseDAO
    ASSERT_TRUE(sales.CreateCode(dir.file("gen"), files).ok());
    EXPECT_NE(generated("SalesDAO.h")
                  .find("#include \"DAO.h\"\n#include \"BaseDAO.h\"\n\nnamespace MeridianSpace\n{\n"
                        "\t/// 销售\n\tclass SalesDAO :\tpublic BaseDAO\n"),
              std::string::npos);
    sales._name = "S_base";  // in memory: its class would be its parent's, BaseDAO
    EXPECT_EQ(
        sales.CreateCode(dir.file("gen2"), files).rMsg,
        "ERROR：数据模块\"S_base\"与数据模块\"F_base\"生成同一个类\"BaseDAO\"，类不能派生自身，"
        "不能生成代码。");
    EXPECT_FALSE(std::filesystem::exists(dir.file("gen2")));
}

}  // namespace arxtest
