#include <gtest/gtest.h>

#include "dao/RecordFixture.h"
#include "support/RawDb.h"

namespace arxtest {

class DictionaryData : public RecordFixture {
protected:
    void SetUp() override {
        RecordFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        dm = model("D", 2);
        M_FolderDAO f = folder(dm, "F");
        t = table(f, "Color");
        column(dm, t, "A");
        column(dm, t, "B");
        ASSERT_TRUE(t.getNormalColumnDAOList(&dm, columns.items).ok());
    }
    /// Every stored A (or `what`), in row order, through a second connection.
    std::string stored(const std::string& what = "\"A_1\"") {
        return rawScalar(config,
                         joinedSql(config, what, "\"" + t._innerName + "\"", "\"id\"", "/"));
    }

    M_EntityModelDAO dm;
    M_EntityTableDAO t;
    Owned<M_NormalColumnDAO> columns;  // A, B
};

TEST_F(DictionaryData, ImportRebuildsTheTable) {
    ASSERT_TRUE(t.importData(columns.items, {"old@#@x"}).ok());
    ASSERT_TRUE(t.importData(columns.items, {"red@#@", "g@#@h"}).ok());
    // An empty value is stored as empty text: NULL would drop the row's text.
    EXPECT_EQ(stored("\"A_1\" || '|' || \"B_1\""), "red|/g|h");

    // No line empties the table, whatever the column list (an empty table
    // exports none); a table without columns has nothing to import.
    ASSERT_TRUE(t.importData({}, {}).ok());
    Owned<M_NormalColumnDAO> exported;
    std::list<std::string> lines;
    EXPECT_EQ(t.exportData(exported.items, lines).rMsg, "未查询到数据。");
    EXPECT_TRUE(exported.items.empty() && lines.empty());
    M_FolderDAO f = folder(dm, "G");
    const ResultMsg rm = table(f, "Bare").importData({}, {});
    EXPECT_EQ(rm.rCode, RUN_SUCCESS);
    EXPECT_EQ(utf8(rm.rMsg), utf8("该数据类没有属性，不需要继续导入数据。"));
}

TEST_F(DictionaryData, RefusedImportsLeaveTheRowsAsTheyWere) {
    ASSERT_TRUE(t.importData(columns.items, {"a@#@b"}).ok());
    M_EntityTableDAO ordinary = t;
    ordinary._belongToDictionaryModel = 0;
    const struct {
        M_EntityTableDAO* table;
        std::list<std::string> lines;
        std::string message;
    } cases[] = {
        {&ordinary, {"c@#@d"}, "所属数据模型，不是数据字典类型，不允许导入数据操作。"},
        {&t, {"c@#@d", "e"}, "第2行数据有1个值，与属性个数2不符。"},
    };
    for (const auto& c : cases) {
        ResultMsg rm = c.table->importData(columns.items, c.lines);
        EXPECT_EQ(rm.rCode, RUN_FAIL);
        EXPECT_EQ(utf8(rm.rMsg), utf8(c.message));
        EXPECT_EQ(stored(), "a");
    }
}

TEST_F(DictionaryData, ExportNeedsAnOwnerAboveVersionZero) {
    dm._version = 0;
    ASSERT_TRUE(dm.save().ok());
    Owned<M_NormalColumnDAO> exported;
    std::list<std::string> lines;
    ResultMsg rm = t.exportData(exported.items, lines);
    EXPECT_EQ(rm.rCode, RUN_FAIL);
    EXPECT_EQ(rm.rMsg,
              "\xD5\xD2\xB2\xBB\xB5\xBD\xD7\xEE\xB8\xDF\xB0\xE6\xB1\xBE\xB5\xC4\xCB\xF9"
              "\xCA\xF4\xCA\xFD\xBE\xDD\xC4\xA3\xD0\xCD\xA1\xA3");  // GBK bytes
}

}  // namespace arxtest
