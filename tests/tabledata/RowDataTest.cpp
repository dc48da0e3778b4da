#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "dao/RecordFixture.h"
#include "support/RawDb.h"

namespace arxtest {

class RowData : public RecordFixture {
protected:
    void SetUp() override {
        RecordFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        m = model("M");
        M_FolderDAO f = folder(m, "F");
        t = table(f, "T");
        img = table(f, "Img");
        column(m, t, "A");
        column(m, t, "B");
        n = column(m, img, "N");
        pic = column(m, img, "Pic", 5);
        ASSERT_TRUE(m.createInstance(dir.path(), "inst.db").ok());
        ASSERT_TRUE(MeridianNew::setCurrentWorkDB(dir.file("inst.db")).ok());
        id._innerName = "id";
        ASSERT_TRUE(t.getNormalColumnDAOList(&m, columns.items).ok());
        columns.items.push_front(new M_NormalColumnDAO(id));
    }
    /// getData's lines, column names and message, joined by "|".
    std::string read() {
        Owned<M_NormalColumnDAO> read;
        read.items.push_back(new M_NormalColumnDAO);  // replaced by getData
        std::list<std::string> lines;
        std::string out = t.getData(read.items, lines).rMsg;
        for (const std::string& name : namesOf(read.items))
            out += "|" + name;
        for (const std::string& line : lines)
            out += "|" + line;
        return out;
    }
    std::string storedIDs() {
        return rawScalar(dir.file("inst.db"), "SELECT group_concat(id) FROM T_1");
    }

    M_EntityModelDAO m;
    M_EntityTableDAO t, img;
    M_NormalColumnDAO id, n, pic;
    Owned<M_NormalColumnDAO> columns;  // id, A, B
};

TEST_F(RowData, SavedLinesUpdateOrInsertAndReadBack) {
    EXPECT_EQ(read(), "未查询到数据。|id|A|B");
    // A new row, an update of it, an unknown id (a new row 2), empty middle
    // and last values, the marker as identifier (a new row 3).
    ResultMsg rm = t.saveData(columns.items, {"0@#@a@#@b", "1@#@x@#@y", "9@#@p@#@q", "1@#@@#@z",
                                              "2@#@m@#@", "!#@$!^%&^@%$@#@n@#@o"});
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_EQ(read(), "|id|A|B|1@#@@#@z|2@#@m@#@|3@#@n@#@o");
    EXPECT_EQ(storedIDs(), "1,2,3");
    EXPECT_NE(logText().find("RUN:::M_EntityTableDAO::saveData()"), std::string::npos);
    // Lines of the identifier alone: a stored row stays, an unknown one is added.
    ASSERT_TRUE(img.saveData({&id}, {"0", "1", "5"}).ok());
    EXPECT_EQ(rawScalar(dir.file("inst.db"), "SELECT group_concat(id) FROM Img_1"), "1,2");
}

TEST_F(RowData, InsertedLinesKeepTheirIdentifiersOrNothingIsWritten) {
    ASSERT_TRUE(t.insertData(columns.items, {"3@#@a@#@b", "+1@#@c@#@d"}).ok());
    // An identifier taken by a stored row or by an earlier line.
    for (const char* taken : {"3", "6"}) {
        ResultMsg rm = t.insertData(columns.items, {"6@#@e@#@f", std::string(taken) + "@#@x@#@y"});
        EXPECT_EQ(utf8(rm.rMsg),
                  utf8("第2行数据写入失败：标识为" + std::string(taken) + "的行已存在。"));
    }
    EXPECT_EQ(read(), "|id|A|B|1@#@c@#@d|3@#@a@#@b");
}

TEST_F(RowData, FailedLinesFailTheCall) {
    ASSERT_TRUE(t.saveData(columns.items, {"0@#@a@#@b"}).ok());
    ResultMsg rm = t.saveData(columns.items, {"0@#@c@#@d", "1@#@x"});
    EXPECT_EQ(rm.rCode, RUN_FAIL);
    EXPECT_EQ(read(), "|id|A|B|1@#@a@#@b");  // nothing written
    // Lines the store refuses: the call fails naming the first of them.
    columns.items.back()->_innerName = "Nope_1";
    rm = t.saveData(columns.items, {"1@#@e@#@f", "0@#@g@#@h"});
    EXPECT_EQ(rm.rCode, RUN_FAIL);
    EXPECT_EQ(rm.rMsg.rfind("第1行数据写入失败：", 0), 0u) << utf8(rm.rMsg);
    EXPECT_NE(rm.rMsg.find("（共2行写入失败）"), std::string::npos);
    EXPECT_EQ(storedIDs(), "1");
}

TEST_F(RowData, ReadingNeedsAnInstanceFileAsWorkDatabase) {
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(dir.file("plain.db"), 0).ok());
    EXPECT_EQ(read(), "找不到所属数据模型信息。");  // and no column
    EXPECT_NE(logText().find("M_EntityTableDAO::getData() 找不到所属数据模型信息。"),
              std::string::npos);
}

TEST_F(RowData, DeletesCommit) {
    ASSERT_TRUE(t.saveData(columns.items, {"0@#@a@#@", "0@#@b@#@", "0@#@c@#@"}).ok());
    EXPECT_TRUE(t.delData({}).ok());
    EXPECT_EQ(storedIDs(), "1,2,3");
    EXPECT_TRUE(t.delData({1, 3, 7}).ok());
    EXPECT_EQ(storedIDs(), "2");
    EXPECT_TRUE(t.delAllData().ok());
    EXPECT_EQ(storedIDs(), "");
}

TEST_F(RowData, BlobsNeedAStoredRow) {
    ASSERT_TRUE(img.saveData({&id, &n}, {"0@#@n"}).ok());  // the row without its blob
    std::vector<double> values(500000);                    // 4 MB
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = i * 0.5 - 7;
    ASSERT_TRUE(img.saveBlobData(&pic, values.data(), 500000, 1).ok());
    double* data = nullptr;
    int size = 0;
    ASSERT_TRUE(img.getBlobData(&pic, 1, data, size).ok());
    std::unique_ptr<double[]> owned(data);
    EXPECT_EQ(std::vector<double>(data, data + size), values);

    EXPECT_EQ(img.saveBlobData(&pic, values.data(), 3, 0).rCode, RUN_FAIL);
    EXPECT_EQ(img.saveBlobData(nullptr, values.data(), 3, 1).rCode, RUN_FAIL);
    double* untouched = values.data();
    ResultMsg rm = img.getBlobData(&pic, -1, untouched, size);
    EXPECT_EQ(rm.rMsg.rfind("dataId<=0！ 读取blob数据前", 0), 0u) << utf8(rm.rMsg);
    EXPECT_TRUE(untouched == values.data() && size == 500000);
}

}  // namespace arxtest
