#include <sys/stat.h>

#include <cstdlib>

#include "CodegenFixture.h"
#include "FileHelper.h"

namespace arxtest {

using Generator = CodegenFixture;

// The generated classes of T_order and of the folder F_base, compiled and
// linked as a user's project against the installed package, fill the
// factory registry from the generated list, pass their white-box test and
// save, find, read and delete rows of an instance file of the model.
TEST_F(Generator, GeneratedCodeCompilesLinksAndRunsAgainstTheInstalledPackage) {
    const std::string gen = dir.file("gen");
    std::list<std::string> files;
    ResultMsg rm = base.CreateCode(gen, files);
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    rm = order.CreateCode(&shop, gen, files);
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    EXPECT_EQ(files.size(), 8u);  // two folder-class files, six of the table
    rm = shop.createInstance(dir.path(), "instance.db");
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    const std::string log = dir.file("check.log");
    const std::string command = std::string("bash '") + ARX_CODEGEN_CHECK + "' '" + ARX_BUILD_DIR +
                                "' '" + gen + "' '" + dir.file("host-config.db") + "' '" +
                                dir.file("instance.db") + "' '" + ARX_HOST_FLAGS + "' >'" + log +
                                "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << readText(log);
    EXPECT_NE(readText(log).find("generated code works"), std::string::npos) << readText(log);
}

// Names that could not compile, or could lead a file out of its folder, and
// an unknown data type are refused before anything is written.
TEST_F(Generator, RefusesWhatCannotCompileBeforeWritingAnything) {
    const struct {
        const char* table;
        const char* column;
        int type;
        const char* finder;
        const char* expected;
    } cases[] = {
        {"T_订单", "MQty", 1, "FindByQty", "T_订单"}, {"ab", "MQty", 1, "FindByQty", "ab"},
        {"T_../x", "MQty", 1, "FindByQty", "T_../x"}, {"T_item", "Xint", 1, "FindByQty", "Xint"},
        {"T_item", "M", 1, "FindByQty", "\"M\""},     {"T_item", "MQty", 7, "FindByQty", "7"},
        {"T_item", "MQty", 1, "find by", "find by"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table + std::string(" ") + c.column + " " + c.finder);
        M_EntityModelDAO m = model(std::string("R") + c.column + c.table + c.finder);
        M_FolderDAO f = folder(m, "F_x");
        M_EntityTableDAO t = table(f, c.table);
        M_NormalColumnDAO col = column(m, t, c.column, c.type);
        M_FindByInterfaceDAO finder;
        finder._name = c.finder;
        finder._paraList = std::to_string(col._ID) + ",=";
        ASSERT_TRUE(t.addFindByInterfaceDAO(&finder).ok());
        std::list<std::string> files;
        ResultMsg rm = t.CreateCode(&m, dir.file("refused"), files);
        EXPECT_EQ(rm.rCode, RUN_FAIL);
        EXPECT_NE(rm.rMsg.find(c.expected), std::string::npos) << utf8(rm.rMsg);
        EXPECT_TRUE(files.empty());
        EXPECT_FALSE(FileHelper::isFileExists(dir.file("refused")));
    }
}

TEST_F(Generator, ReportsFoldersAndFilesThatCannotBeWritten) {
    EXPECT_EQ(M_EntityTableDAO::tableNameToDAOName("T_order"), "OrderDAO");
    std::list<std::string> files;
    writeText(dir.file("plain.txt"), "x");
    ResultMsg rm = order.CreateCode(&shop, dir.file("plain.txt/gen"), files);
    EXPECT_EQ(std::tie(rm.rCode, rm.rMsg),
              std::make_tuple(RUN_FAIL, std::string("ERROR: 建立源代码文件保存目录失败.")));
    sales._isGenerateDAO = 0;
    rm = sales.CreateCode(dir.file("gen"), files);
    EXPECT_EQ(rm.rMsg, "ERROR:_isGenerateDAO == 0，不能生成接口代码");
    // Two files that cannot be opened: the codes add up, the later one is named.
    (void)mkdir(dir.file("gen").c_str(), 0755);
    for (const char* blocked : {"gen/OrderDAO.h", "gen/OrderMapper.cpp"})
        (void)mkdir(dir.file(blocked).c_str(), 0755);
    rm = order.CreateCode(&shop, dir.file("gen"), files);
    EXPECT_EQ(std::tie(rm.rCode, rm.rMsg),
              std::make_tuple(
                  2, std::string(" ERROR:Code_Mapper_cpp()出错。ERROR:建立Mapper_cpp文件失败。")));
    EXPECT_EQ(files.size(), 4u);
}

}  // namespace arxtest
