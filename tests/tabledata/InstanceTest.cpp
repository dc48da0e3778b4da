#include "FileHelper.h"
#include "dao/RecordFixture.h"
#include "support/RawDb.h"

namespace arxtest {

using Instance = RecordFixture;

// The answer of getInstanceInfo; the out-object is kept in `out`.
ResultMsg infoOf(const std::string& path, std::unique_ptr<M_EntityModelDAO>& out) {
    M_EntityModelDAO* model = out.release();
    ResultMsg rm = M_EntityModelDAO::getInstanceInfo(path, model);
    out.reset(model);
    return rm;
}

TEST_F(Instance, CreatesUnderTheNormalisedFolderOnceAndReadsTheModelBack) {
    M_EntityModelDAO m = model("M", 12);
    ResultMsg rm = m.createInstance(dir.path() + "//out/sub", "m.db");
    EXPECT_EQ(utf8(rm.rMsg), u8"建立成功.");  // GBK bytes
    const std::string path = dir.file("out/sub/m.db");

    auto got = std::make_unique<M_EntityModelDAO>();  // an object held on entry is deleted
    ASSERT_EQ(infoOf("  " + path + " ", got).rCode, RUN_SUCCESS);
    EXPECT_EQ(std::tie(got->_ID, got->_name, got->_version, got->_type, got->_rProjectID),
              std::make_tuple(m._ID, "M", 1, 12, project()._ID));

    const std::string before = readText(path);
    rm = m.createInstance(dir.path() + "/out/sub/", "m.db");
    EXPECT_EQ(rm.rMsg, "ERROR: 待生成实例文件已存在，不能重新生成覆盖！");
    EXPECT_EQ(readText(path), before);
}

TEST_F(Instance, KeepsWhatTheFileSaysWhenItsModelOrProjectIsGone) {
    M_EntityModelDAO m = model("M");
    ASSERT_TRUE(m.createInstance(dir.path(), "m.db").ok());
    ASSERT_TRUE(m.delself().ok());
    std::unique_ptr<M_EntityModelDAO> got;
    EXPECT_EQ(infoOf(dir.file("m.db"), got).rMsg, "在数据库中没有查找到数据模型信息，无法获取其ID");
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(std::tie(got->_ID, got->_name, got->_version, got->_rProjectID),
              std::make_tuple(0, "M", 1, project()._ID));
    const std::string id = StringHelper::int2String(project()._ID);
    EXPECT_NE(logText().find("FindByRProjectIDAndName():pMEntityModel->_rProjectID=" + id +
                             ", pMEntityModel->_name=M"),
              std::string::npos);

    ASSERT_TRUE(project().delself().ok());
    EXPECT_EQ(infoOf(dir.file("m.db"), got).rMsg, "在数据库中没有查找到项目信息，无法获取其ID");
    EXPECT_EQ(got->_rProjectID, 0);
    ResultMsg rm = m.createInstance(dir.path(), "n.db");
    EXPECT_EQ(rm.rMsg, "ERROR: 所属项目Mproject信息未找到 ！_rProjectID =" + id);
    EXPECT_FALSE(FileHelper::isFileExists(dir.file("n.db")));
}

TEST_F(Instance, FilesThatAreNoInstanceFilesAreRefusedClearly) {
    ASSERT_TRUE(model("M").createInstance(dir.path(), "real.db").ok());
    const std::string real = readText(dir.file("real.db"));
    writeText(dir.file("cut.db"), real.substr(0, real.size() / 2));  // truncated
    writeText(dir.file("text.db"), "plain text, no database at all");
    writeText(dir.file("empty.db"), "");
    const std::string info =
        "CREATE TABLE ARX_InstanceInfo(Name, Version, Type, Description, ProjectUID, Kind);";
    const std::string connect = "建立连接失败！ERROR: ",
                      noInfo = "getEntityModelInstanceInfo():无法获取当前文件的基本信息";
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"missing.db", "", "指定数据文件不存在！路径为： " + dir.file("missing.db")},
        {"text.db", "", connect},
        {"cut.db", "", connect},
        {"empty.db", "", noInfo},
        {"other.db", "CREATE TABLE T(a)", noInfo},
        {"narrow.db", "CREATE TABLE ARX_InstanceInfo(Name)", noInfo},
        {"norow.db", info, noInfo},
        {"textversion.db", info + "INSERT INTO ARX_InstanceInfo VALUES ('M','x','','','','3')",
         noInfo},
    };
    for (const auto& [file, sql, message] : cases) {
        SCOPED_TRACE(file);
        if (!sql.empty()) {
            ASSERT_TRUE(rawExecute(dir.file(file), sql));
        }
        std::unique_ptr<M_EntityModelDAO> got;
        ResultMsg rm = infoOf(dir.file(file), got);
        EXPECT_EQ(rm.rCode, RUN_FAIL);
        EXPECT_EQ(rm.rMsg.substr(0, message.size()), message) << utf8(rm.rMsg);
        EXPECT_EQ(got, nullptr);
    }
}

}  // namespace arxtest
