#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "CodegenFixture.h"
#include "FileHelper.h"
#include "support/Waiting.h"

namespace arxtest {

using Generator = CodegenFixture;

// The generated classes of T_order and of the folder F_base, compiled and
// linked as a user's project against the installed package, fill the
// factory registry from the generated list, pass their white-box test and
// save, find, read and delete rows of an instance file of the model. Texts
// that try to leave their string literal or comment line stay data: the
// program holds the text default byte for byte and runs nothing else.
TEST_F(Generator, GeneratedCodeCompilesLinksAndRunsAgainstTheInstalledPackage) {
    const std::string gen = dir.file("gen"), injected = dir.file("injected");
    const std::string note = "a\"; system(\"touch " + injected +
                             "\"); //\\\n\x01"
                             "b\xD5\x5C\xFF";
    order._displayName = "订单\n#error the display name left its comment";
    base._displayName = "基础模块\r\n#error";
    for (const auto& [name, type, value, display] :
         {std::make_tuple("MNote", 2, note, "note\\"),
          std::make_tuple("MCount", 1, std::string("010"), "")}) {
        M_NormalColumnDAO column;
        column._name = name;
        column._dataType = type;
        column._defaultValue = value;
        column._displayName = display;
        ASSERT_TRUE(order.addNormalColumnDAO(&shop, &column).ok());
    }
    std::list<std::string> files;
    ResultMsg rm = base.CreateCode(gen, files);
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    rm = order.CreateCode(&shop, gen, files);
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    EXPECT_EQ(files.size(), 8u);  // two folder-class files, six of the table
    rm = shop.createInstance(dir.path(), "instance.db");
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    const std::string log = dir.file("check.log");
    // Compiles and runs the generated code: bounded, as every wait of a test.
    const std::string command = withDeadline(Seconds(900), "bash '") + ARX_CODEGEN_CHECK + "' '" +
                                ARX_BUILD_DIR + "' '" + gen + "' '" + dir.file("host-config.db") +
                                "' '" + dir.file("instance.db") + "' '" + ARX_HOST_FLAGS + "' '" +
                                ARX_HOST_CXX + "' >'" + log + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << readText(log);
    EXPECT_NE(readText(log).find("generated code works"), std::string::npos) << readText(log);
    EXPECT_NE(readText(log).find("defaults [" + note + "] [10]\n"), std::string::npos);
    EXPECT_FALSE(FileHelper::isFileExists(injected));
}

// Names that could not compile, or could lead a file out of its folder, an
// unknown data type, a default stored before the column save refused it
// that is no number of its integer or real column, and a table class that would derive from its
// folder's class of the same name (the folder F_x generates XDAO) are refused before anything is
// written.
TEST_F(Generator, RefusesWhatCannotCompileBeforeWritingAnything) {
    const struct {
        const char* table;
        const char* column;
        int type;
        const char* defaultValue;
        const char* finder;
        const char* expected;
    } cases[] = {
        {"T_订单", "MQty", 1, "", "FindByQty", "T_订单"},
        {"ab", "MQty", 1, "", "FindByQty", "ab"},
        {"T_../x", "MQty", 1, "", "FindByQty", "T_../x"},
        {"T_item", "Xint", 1, "", "FindByQty", "Xint"},
        {"T_item", "M", 1, "", "FindByQty", "\"M\""},
        {"T_item", "MQty", 7, "", "FindByQty", "7"},
        {"T_item", "MQty", 1, "", "find by", "find by"},
        {"T_item", "MQty", 1, "1); system(\"id\"", "FindByQty",
         "数据类\"T_item\"的数据属性\"MQty\"的默认值\"1); system(\"id\"\"不是32位整数"},
        {"T_item", "MQty", 1, "99999999999", "FindByQty", "\"99999999999\"不是32位整数"},
        {"T_item", "MQty", 3, "abc", "FindByQty", "\"abc\"不是实数"},
        {"T_x", "MQty", 1, "", "FindByQty", "数据类\"T_x\"与数据模块\"F_x\"生成同一个类\"XDAO\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table + std::string(" ") + c.column + " " + c.defaultValue + " " + c.finder);
        M_EntityModelDAO m =
            model(std::string("R") + c.column + c.table + c.defaultValue + c.finder);
        M_FolderDAO f = folder(m, "F_x");
        f._isGenerateDAO = 1;
        ASSERT_TRUE(f.save().ok());
        M_EntityTableDAO t = table(f, c.table);
        M_NormalColumnDAO col = column(m, t, c.column, c.type);
        // A default stored before the column save refused such defaults.
        ASSERT_TRUE(rawExecute(config, "UPDATE \"T_M_NormalColumn\" SET \"DefaultValue\" = '" +
                                           std::string(c.defaultValue) +
                                           "' WHERE \"id\" = " + std::to_string(col._ID)));
        M_FindByInterfaceDAO finder;
        finder._name = c.finder;
        finder._paraList = std::to_string(col._ID) + ",=";
        ASSERT_TRUE(t.addFindByInterfaceDAO(&finder).ok());
        std::list<std::string> files;
        ResultMsg rm = t.CreateCode(&m, dir.file("refused"), files);
        EXPECT_EQ(rm.rCode, RUN_FAIL);
        EXPECT_NE(rm.rMsg.find(c.expected), std::string::npos) << utf8(rm.rMsg);
        EXPECT_EQ(t.CheckCode(&m).rMsg, rm.rMsg);
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
    // An empty path is no folder (normalised, it would be the root folder).
    for (const ResultMsg& refused :
         {order.CreateCode(&shop, "", files), base.CreateCode("", files)})
        EXPECT_EQ(refused.rMsg, "ERROR: 未指定源代码文件保存目录，不能生成代码。");
    EXPECT_TRUE(files.empty());
    // A link at a file's name is replaced, never written or read through.
    writeText(dir.file("victim"), "secret\n");
    (void)mkdir(dir.file("gen").c_str(), 0755);
    for (const char* link : {"gen/OrderDAO.h", "gen/RegisterDAO_Code.txt"})
        ASSERT_EQ(symlink(dir.file("victim").c_str(), dir.file(link).c_str()), 0);
    ASSERT_TRUE(order.CreateCode(&shop, dir.file("gen"), files).ok());
    EXPECT_EQ(readText(dir.file("victim")), "secret\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(
        std::filesystem::symlink_status(dir.file("gen/OrderDAO.h"))));
    EXPECT_EQ(readText(dir.file("gen/RegisterDAO_Code.txt")).find("secret"), std::string::npos);
    // Two files that cannot be opened: the codes add up, the later one is named.
    for (const char* blocked : {"gen/OrderDAO.h", "gen/OrderMapper.cpp"}) {
        std::filesystem::remove(dir.file(blocked));
        (void)mkdir(dir.file(blocked).c_str(), 0755);
    }
    files.clear();
    rm = order.CreateCode(&shop, dir.file("gen"), files);
    EXPECT_EQ(std::tie(rm.rCode, rm.rMsg),
              std::make_tuple(
                  2, std::string(" ERROR:Code_Mapper_cpp()出错。ERROR:建立Mapper_cpp文件失败。")));
    EXPECT_EQ(files.size(), 4u);
}

}  // namespace arxtest
