#include <gtest/gtest.h>

#include "dao/RecordFixture.h"

namespace arxtest {

using RowText = RecordFixture;

TEST_F(RowText, LinesSurviveImportAndExportUnchanged) {
    M_EntityModelDAO dm = model("D", 2);
    M_FolderDAO f = folder(dm, "F");
    M_EntityTableDAO t = table(f, "Color");
    for (const char* name : {"A", "B", "C"})
        column(dm, t, name);
    Owned<M_NormalColumnDAO> columns, exported;
    ASSERT_TRUE(t.getNormalColumnDAOList(&dm, columns.items).ok());
    const std::list<std::string> lines = {
        "x@#@y@#@z",
        "@#@y@#@z",
        "x@#@y@#@",
        "x@#@@#@z",
        "@#@@#@",                        // empty values
        "a@#b@#@c#@@#@@#",               // separator fragments
        "it's@#@100%_\"q\"@#@中文数据",  // quotes, SQL wildcards, GBK bytes
    };
    ASSERT_TRUE(t.importData(columns.items, lines).ok());
    exported.items.push_back(new M_NormalColumnDAO);  // replaced by exportData
    std::list<std::string> back;
    ASSERT_TRUE(t.exportData(exported.items, back).ok());
    EXPECT_EQ(back, lines);
    EXPECT_EQ(namesOf(exported.items), Names({"A", "B", "C"}));
    EXPECT_EQ(lines.back().substr(lines.back().size() - 8), "\xD6\xD0\xCE\xC4\xCA\xFD\xBE\xDD");
}

TEST_F(RowText, BadLinesAndColumnListsAreRefusedByNumber) {
    const Names idAB = {"id", "A", "B"};
    Names tooMany(81, "X");
    tooMany[0] = "id";
    const struct {
        Names columns;  // inner names; "" for a null entry
        std::list<std::string> lines;
        std::string message;
    } cases[] = {
        {idAB, {"0@#@x@#@y", "1@#@x"}, "第2行数据有2个值，与属性个数3不符。"},
        {idAB, {"@#@"}, "第1行数据有2个值，与属性个数3不符。"},
        {idAB, {"0@#@x@#@y", "abc@#@x@#@y"}, "第2行数据的标识不是整数：abc"},
        {idAB, {"99999999999@#@x@#@y"}, "第1行数据的标识不是整数：99999999999"},
        {tooMany, {}, "属性个数超过80：81"},
        {{"id", "", "B"}, {}, "属性列表中有空的属性对象。"},
        {{"A", "id", "B"}, {}, "属性列表的第一项必须是标识列id，实际为：A"},
    };
    M_EntityTableDAO t;
    t._innerName = "T_1";
    for (const auto& c : cases) {
        Owned<M_NormalColumnDAO> columns;
        for (const std::string& name : c.columns) {
            columns.items.push_back(name.empty() ? nullptr : new M_NormalColumnDAO);
            if (!name.empty()) columns.items.back()->_innerName = name;
        }
        ResultMsg rm = t.saveData(columns.items, c.lines);
        EXPECT_EQ(rm.rCode, RUN_FAIL);
        EXPECT_EQ(utf8(rm.rMsg), utf8(c.message));
    }
    EXPECT_NE(logText().find("T_1M_EntityTableDAO::saveData()"), std::string::npos);
}

}  // namespace arxtest
