#include <gtest/gtest.h>

#include <regex>

#include "CommonErrorCode.h"
#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "M_ProjectDAO.h"
#include "QmsRecordClasses.h"
#include "RecordFinder.h"
#include "ServiceErrorCode.h"
#include "Transaction.h"
#include "support/PlatformFixture.h"
#include "support/RawDb.h"

namespace arxtest {

class RecordSave : public PlatformFixture {
protected:
    void SetUp() override {
        QmsRecordClasses::registerAll();
        PlatformFixture::SetUp();
    }
    void TearDown() override {
        M_ProjectDAO::setCurrProjectID(-1);
        PlatformFixture::TearDown();
    }
    std::string updateTime() {
        return rawScalar(configPath, "SELECT \"UpdateTime\" FROM \"T_M_Project\"");
    }
};

TEST_F(RecordSave, TheRowIsSavedWhateverBecomesOfTheProjectStamp) {
    // A project's own save stamps nothing (else it would warn of project -1).
    M_ProjectDAO project;
    ResultMsg projectSaved = project.save();
    EXPECT_TRUE(projectSaved.ok() && projectSaved.rMsg.empty()) << projectSaved.rMsg;
    const std::string noProject =
        "数据已保存。WARNING：但找不到当前项目，无法更新更新时间。projectID = ";
    struct Case {
        int project;
        bool failUpdates;  // another connection makes project updates fail first
        std::string message;
    } cases[] = {
        {-1, false, noProject + "-1"},
        {12, false, noProject + "12"},  // no project has it
        {project._ID, false, ""},
        // Another connection's change is seen: the stamp is not skipped
        // (the row then carries an older time, so there is one to write).
        {project._ID, true,
         "数据已保存。WARNING:但更新项目更新时间出错。ERROR:M_ObjectDAO::save()出错。"},
    };
    int saved = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        if (c.failUpdates) {
            ASSERT_TRUE(rawExecute(configPath, "UPDATE \"T_M_Project\" SET \"UpdateTime\" = "
                                               "'2000-01-01 00:00:00'"));
            ASSERT_TRUE(injectFault(configPath, "fail", "BEFORE UPDATE", "T_M_Project", "1 = 1"));
        }
        M_ProjectDAO::setCurrProjectID(c.project);
        NoteDAO note;
        ResultMsg rm = note.save();
        EXPECT_EQ(rm.rCode, RUN_SUCCESS);
        EXPECT_EQ(rm.rMsg.substr(0, c.message.size()), c.message);
        EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM \"T_M_Note\""),
                  std::to_string(++saved));
    }
    // GBK bytes: 数据已保存 and the full-width colon.
    EXPECT_EQ(noProject.substr(0, 10), "\xCA\xFD\xBE\xDD\xD2\xD1\xB1\xA3\xB4\xE6");
    EXPECT_NE(noProject.find("WARNING\xA3\xBA"), std::string::npos);
    EXPECT_TRUE(
        std::regex_match(updateTime(), std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")))
        << updateTime();

    ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->delTableInstance("T_M_Note").ok());
    NoteDAO lost;
    ResultMsg rm = lost.save();
    EXPECT_EQ(rm.rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(rm.rMsg.rfind("ERROR:M_ObjectDAO::save()出错。", 0), 0u);
    EXPECT_EQ(lost._ID, 0);
}

// Saves in one second stamp the project once; whatever changes the project
// row in between (a roll-back, a deletion) makes the next save stamp again.
TEST_F(RecordSave, AStampIsOnlySkippedWhileTheProjectRowIsUnchanged) {
    M_ProjectDAO project;
    ASSERT_TRUE(project.save().ok());
    M_ProjectDAO::setCurrProjectID(project._ID);
    {
        Transaction tx(*MeridianNew::getCurrMRDConfigIDM());
        ASSERT_TRUE(tx.begun().ok());
        NoteDAO note;
        ASSERT_TRUE(note.save(0).ok());
        ASSERT_TRUE(tx.rollback().ok());
    }
    EXPECT_EQ(updateTime(), "");
    NoteDAO again;
    ASSERT_TRUE(again.save().ok());
    EXPECT_NE(updateTime(), "");

    ASSERT_TRUE(project.delself().ok());
    NoteDAO orphan;
    EXPECT_EQ(orphan.save().rMsg,
              "数据已保存。WARNING：但找不到当前项目，无法更新更新时间。projectID = " +
                  std::to_string(project._ID));
}

TEST_F(PlatformFixture, RecordFindersFollowTheTextAndIntegerRules) {
    for (auto [name, priority] :
         {std::pair{"abc", 1}, {"ab", 2}, {"O'Brien", 3}, {"50%", 4}, {"ABC", 5}}) {
        NoteDAO note;
        note._name = name;
        note._priority = priority;
        note._rProjectID = priority % 2;
        ASSERT_TRUE(note.save().ok());
    }
    using V = std::vector<std::string>;
    std::list<NoteDAO*> notes;
    auto names = [&notes](const ResultMsg& rm) {
        EXPECT_TRUE(rm.ok());
        V out;
        for (NoteDAO* note : notes)
            out.push_back(note->_name);
        T_deletePtrList(notes);
        return out;
    };
    RecordFinder<NoteDAO> find;
    // Text: like on exactly the given pattern, no wildcard added, never SQL.
    const std::pair<const char*, V> texts[] = {{"ab", {"ab"}},
                                               {"ab%", {"abc", "ab", "ABC"}},
                                               {"O'Brien", {"O'Brien"}},
                                               {"x' OR '1'='1", {}},
                                               {"50%", {"50%"}}};
    for (const auto& [pattern, expected] : texts) {
        EXPECT_EQ(names(find.byText("NoteDAO", "_name", pattern, notes)), expected) << pattern;
    }
    EXPECT_EQ(names(find.byInt("NoteDAO", "_priority", 3, notes)), V{"O'Brien"});
    IOrderClause order;
    order.orderDirection = " DESC ";
    order.orderAttribute = " priority ";
    EXPECT_EQ(names(find.byInt("NoteDAO", "_rProjectID", 1, notes, &order)),
              (V{"ABC", "O'Brien", "abc"}));
    // Several attributes compare with " = ": exact text, no wildcard, case kept.
    EXPECT_EQ(
        names(find.byAll("NoteDAO",
                         FinderConditions().integer("_rProjectID", 1).text("_name", "abc"), notes)),
        V{"abc"});
    EXPECT_EQ(names(find.byAll("NoteDAO", FinderConditions().text("_name", "ab%"), notes)), V{});

    // Lists are appended to.
    notes.push_back(new NoteDAO);
    notes.back()->_name = "mine";
    EXPECT_EQ(names(find.all("NoteDAO", notes)), (V{"mine", "abc", "ab", "O'Brien", "50%", "ABC"}));

    // A class registered with another class's factory is reported, and the
    // objects it made are not leaked.
    DAOFactoryRegistry::registerClass("MisfiledTag", &NoteDAO::createObject);
    std::list<TagDAO*> tags;
    EXPECT_EQ(RecordFinder<TagDAO>().all("MisfiledTag", tags).rCode, COM_ERR_UNKNOWN_CLASS);
    TagDAO* tag = nullptr;
    EXPECT_EQ(RecordFinder<TagDAO>().byID("MisfiledTag", 1, tag).rCode, COM_ERR_UNKNOWN_CLASS);
    EXPECT_TRUE(tags.empty());
    EXPECT_EQ(tag, nullptr);
    DAOFactoryRegistry::factories().erase("MisfiledTag");
}

}  // namespace arxtest
