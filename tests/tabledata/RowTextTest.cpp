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
    // Inner names; a last digit is the column's type (1 int, 3 real, 8 an
    // int of 19 digits), none is text.
    const Names typed = {"id", "I1", "L8", "R3", "S"};
    Names tooMany(81, "X");
    tooMany[0] = "id";
    const struct {
        Names columns;  // "" for a null entry
        std::list<std::string> lines;
        std::string message;
        bool keptIDs = false;  // insertData, else saveData
    } cases[] = {
        {typed, {"0@#@1@#@2@#@3@#@s", "1@#@x"}, "第2行数据有2个值，与属性个数5不符。"},
        {typed, {"@#@"}, "第1行数据有2个值，与属性个数5不符。"},
        {typed, {"abc@#@@#@@#@@#@"}, "第1行数据的标识不是整数：abc"},
        {typed, {"99999999999@#@@#@@#@@#@"}, "第1行数据的标识不是整数：99999999999"},
        {typed,
         {"-1@#@-2147483648@#@-99999999999@#@1.5e3@#@x", "-5@#@@#@@#@@#@"},
         "第2行数据的标识不能小于-1（新行的标识为0、-1或空）：-5"},
        {typed, {"@#@@#@@#@@#@"}, "第1行数据的标识必须大于0：!#@$!^%&^@%$", true},
        {typed, {"1@#@notanumber@#@@#@@#@"}, "第1行数据第2列（I1）的值不是32位整数：notanumber"},
        {typed, {"1@#@2147483648@#@@#@@#@"}, "第1行数据第2列（I1）的值不是32位整数：2147483648"},
        {typed,
         {"1@#@@#@99999999999999999999@#@@#@"},
         "第1行数据第3列（L8）的值不是64位整数：99999999999999999999"},
        {typed, {"1@#@@#@@#@1e400@#@"}, "第1行数据第4列（R3）的值不是有限的实数：1e400"},
        // Read as 0 by the store: two signs.
        {typed, {"1@#@@#@@#@+-.25@#@"}, "第1行数据第4列（R3）的值不是有限的实数：+-.25"},
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
            if (name.empty()) continue;
            M_NormalColumnDAO& column = *columns.items.back();
            column._name = column._innerName = name;
            const char type = name.back();
            column._dataType = type == '8' ? 1 : type >= '0' && type <= '9' ? type - '0' : 2;
            if (type == '8') column._numLength = 19;
        }
        ResultMsg rm =
            c.keptIDs ? t.insertData(columns.items, c.lines) : t.saveData(columns.items, c.lines);
        EXPECT_EQ(rm.rCode, RUN_FAIL);
        EXPECT_EQ(utf8(rm.rMsg), utf8(c.message));
    }
    EXPECT_NE(logText().find("T_1M_EntityTableDAO::saveData()"), std::string::npos);
}

}  // namespace arxtest
