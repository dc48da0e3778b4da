#include <gtest/gtest.h>

#include <regex>

#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "ProjectStamp.h"
#include "RecordFinder.h"
#include "ServiceErrorCode.h"
#include "support/PlatformFixture.h"
#include "support/RawDb.h"

namespace arxtest {

namespace {

int currentProject = -1;
int stampCalls = 0;

// The stamp the project record installs: find the current project, set its
// update time, save it.
ProjectStampOutcome stampProjectRecord(const std::string& updateTime, int commitType) {
    ++stampCalls;
    ProjectStampOutcome outcome;
    outcome.projectID = currentProject;
    ProjectRecord* project = nullptr;
    RecordFinder<ProjectRecord>::byID("ProjectRecord", currentProject, project);
    if (project == nullptr) return outcome;
    outcome.found = true;
    project->_updateTime = updateTime;
    outcome.saved = project->save(commitType);
    delete project;
    return outcome;
}

ProjectStampOutcome failingStamp(const std::string&, int) {
    ProjectStampOutcome outcome;
    outcome.projectID = 5;
    outcome.found = true;
    outcome.saved = ResultMsg(7, "disk full");
    return outcome;
}

}  // namespace

class RecordSave : public PlatformFixture {
protected:
    void SetUp() override {
        PlatformFixture::SetUp();
        currentProject = -1;
        stampCalls = 0;
    }
    void TearDown() override {
        ProjectStamp::install(nullptr);
        PlatformFixture::TearDown();
    }
};

TEST_F(RecordSave, WithoutACurrentProjectTheRowIsSavedWithAWarning) {
    NoteDAO note;
    ResultMsg rm = note.save();
    EXPECT_EQ(rm.rCode, RUN_SUCCESS);
    EXPECT_EQ(rm.rMsg, "数据已保存。WARNING：但找不到当前项目，无法更新更新时间。projectID = -1");
    // The message is GBK: 数据已保存 and the full-width colon.
    EXPECT_EQ(rm.rMsg.substr(0, 10), "\xCA\xFD\xBE\xDD\xD2\xD1\xB1\xA3\xB4\xE6");
    EXPECT_NE(rm.rMsg.find("WARNING\xA3\xBA"), std::string::npos);
    EXPECT_EQ(note._ID, 1);
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), "1");

    ProjectStamp::install(&stampProjectRecord);
    currentProject = 12;  // an identifier no project has
    rm = note.save();
    EXPECT_EQ(rm.rMsg, "数据已保存。WARNING：但找不到当前项目，无法更新更新时间。projectID = 12");
}

TEST_F(RecordSave, SavingARecordStampsTheCurrentProject) {
    ProjectStamp::install(&stampProjectRecord);
    ProjectRecord project;
    project._name = "P";
    ASSERT_TRUE(project.save().ok());
    EXPECT_EQ(stampCalls, 0);  // a project's own save stamps nothing
    currentProject = project._ID;

    TagDAO tag;
    ResultMsg rm = tag.save();
    EXPECT_EQ(rm.rCode, RUN_SUCCESS);
    EXPECT_EQ(rm.rMsg, "");
    EXPECT_EQ(stampCalls, 1);
    const std::string stamped = rawScalar(configPath, "SELECT UpdateTime FROM T_M_Project");
    EXPECT_TRUE(std::regex_match(stamped, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")))
        << stamped;
}

TEST_F(RecordSave, AFailedStampOnlyWarnsAndAFailedWriteIsAnError) {
    ProjectStamp::install(&failingStamp);
    NoteDAO note;
    ResultMsg rm = note.save();
    EXPECT_EQ(rm.rCode, RUN_SUCCESS);
    EXPECT_EQ(rm.rMsg, "数据已保存。WARNING:但更新项目更新时间出错。disk full");
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), "1");

    ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->delTableInstance("T_M_Note").ok());
    NoteDAO lost;
    rm = lost.save();
    EXPECT_EQ(rm.rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(rm.rMsg.rfind("ERROR:M_ObjectDAO::save()出错。", 0), 0u);
    EXPECT_EQ(lost._ID, 0);
}

TEST_F(RecordSave, DeferredSavesReachTheFileWhenThePlatformStops) {
    NoteDAO note;
    ASSERT_TRUE(note.save(COMMIT_T_DEFERRED).ok());
    TagDAO tag;
    ASSERT_TRUE(tag.save(COMMIT_T_DEFERRED).ok());
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Tag_2"), "0");
    MeridianNew::shutdown();
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), "1");
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Tag_2"), "1");
}

class RecordFinders : public PlatformFixture {
protected:
    void SetUp() override {
        PlatformFixture::SetUp();
        for (auto [name, priority] :
             {std::pair{"abc", 1}, {"ab", 2}, {"O'Brien", 3}, {"50%", 4}, {"ABC", 5}}) {
            NoteDAO note;
            note._name = name;
            note._priority = priority;
            note._rProjectID = priority % 2;
            ASSERT_TRUE(note.save().ok());
        }
    }
    ~RecordFinders() override { T_deletePtrList(notes); }

    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (NoteDAO* note : notes)
            out.push_back(note->_name);
        T_deletePtrList(notes);
        return out;
    }

    std::list<NoteDAO*> notes;
};

using V = std::vector<std::string>;

TEST_F(RecordFinders, TextRuleMatchesByLikeWithoutAddingWildcards) {
    ASSERT_TRUE(RecordFinder<NoteDAO>::byText("NoteDAO", "_name", "ab", notes).ok());
    EXPECT_EQ(names(), V{"ab"});
    ASSERT_TRUE(RecordFinder<NoteDAO>::byText("NoteDAO", "_name", "ab%", notes).ok());
    EXPECT_EQ(names(), (V{"abc", "ab", "ABC"}));
    ASSERT_TRUE(RecordFinder<NoteDAO>::byText("NoteDAO", "_name", "O'Brien", notes).ok());
    EXPECT_EQ(names(), V{"O'Brien"});
    ASSERT_TRUE(RecordFinder<NoteDAO>::byText("NoteDAO", "_name", "x' OR '1'='1", notes).ok());
    EXPECT_EQ(names(), V{});
    ASSERT_TRUE(RecordFinder<NoteDAO>::byText("NoteDAO", "_name", "50%", notes).ok());
    EXPECT_EQ(names(), V{"50%"});
}

TEST_F(RecordFinders, IntegerRuleSeveralAttributesAndOrder) {
    ASSERT_TRUE(RecordFinder<NoteDAO>::byInt("NoteDAO", "_priority", 3, notes).ok());
    EXPECT_EQ(names(), V{"O'Brien"});
    IOrderClause order;
    order.orderDirection = " DESC ";
    order.orderAttribute = " priority ";
    ASSERT_TRUE(RecordFinder<NoteDAO>::byInt("NoteDAO", "_rProjectID", 1, notes, &order).ok());
    EXPECT_EQ(names(), (V{"ABC", "O'Brien", "abc"}));
    // Several attributes compare with " = ": exact text, no wildcard, case kept.
    FinderConditions both;
    both.integer("_rProjectID", 1).text("_name", "abc");
    ASSERT_TRUE(RecordFinder<NoteDAO>::byAll("NoteDAO", both, notes).ok());
    EXPECT_EQ(names(), V{"abc"});
    FinderConditions pattern;
    pattern.text("_name", "ab%");
    ASSERT_TRUE(RecordFinder<NoteDAO>::byAll("NoteDAO", pattern, notes).ok());
    EXPECT_EQ(names(), V{});
}

TEST_F(RecordFinders, FindersAppendAndFindByIdKeepsThePointerWhenMissing) {
    notes.push_back(new NoteDAO);
    notes.back()->_name = "mine";
    ASSERT_TRUE(RecordFinder<NoteDAO>::all("NoteDAO", notes).ok());
    EXPECT_EQ(names(), (V{"mine", "abc", "ab", "O'Brien", "50%", "ABC"}));

    NoteDAO* found = nullptr;
    ASSERT_TRUE(RecordFinder<NoteDAO>::byID("NoteDAO", 42, found).ok());
    EXPECT_EQ(found, nullptr);
    ASSERT_TRUE(RecordFinder<NoteDAO>::byID("NoteDAO", 2, found).ok());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->_name, "ab");
    delete found;

    // A class registered with another class's factory is reported, and the
    // objects it made are not leaked.
    DAOFactoryRegistry::registerClass("MisfiledTag", &NoteDAO::createObject);
    std::list<TagDAO*> tags;
    ResultMsg rm = RecordFinder<TagDAO>::all("MisfiledTag", tags);
    EXPECT_EQ(rm.rCode, COM_ERR_UNKNOWN_CLASS);
    EXPECT_TRUE(tags.empty());
    DAOFactoryRegistry::factories().erase("MisfiledTag");
}

}  // namespace arxtest
