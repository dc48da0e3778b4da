#include <gtest/gtest.h>

#include <regex>

#include "CommonErrorCode.h"
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

// The stamp the project record installs: find the current project, set its
// update time, save it.
ProjectStampOutcome stampProjectRecord(const std::string& updateTime, int commitType) {
    ProjectStampOutcome outcome;
    outcome.projectID = currentProject;
    ProjectRecord* project = nullptr;
    ResultMsg found = RecordFinder<ProjectRecord>().byID("ProjectRecord", currentProject, project);
    if (!found.ok() || project == nullptr) return outcome;
    outcome.found = true;
    project->_updateTime = updateTime;
    outcome.saved = project->save(commitType);
    delete project;
    return outcome;
}

ProjectStampOutcome failingStamp(const std::string&, int) {
    ProjectStampOutcome outcome;
    outcome.found = true;
    outcome.saved = ResultMsg(7, "disk full");
    return outcome;
}

}  // namespace

class RecordSave : public PlatformFixture {
protected:
    void TearDown() override {
        ProjectStamp::install(nullptr);
        PlatformFixture::TearDown();
    }
};

TEST_F(RecordSave, TheRowIsSavedWhateverBecomesOfTheProjectStamp) {
    // A project's own save stamps nothing (else it would warn of project -1).
    ProjectStamp::install(&stampProjectRecord);
    ProjectRecord project;
    ResultMsg projectSaved = project.save();
    EXPECT_TRUE(projectSaved.ok() && projectSaved.rMsg.empty()) << projectSaved.rMsg;
    const std::string noProject =
        "数据已保存。WARNING：但找不到当前项目，无法更新更新时间。projectID = ";
    struct Case {
        ProjectStamp::Handler handler;
        int project;
        std::string message;
    } cases[] = {
        {nullptr, -1, noProject + "-1"},
        {&stampProjectRecord, 12, noProject + "12"},  // no project has it
        {&failingStamp, 5, "数据已保存。WARNING:但更新项目更新时间出错。disk full"},
        {&stampProjectRecord, project._ID, ""},
    };
    int saved = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ProjectStamp::install(c.handler);
        currentProject = c.project;
        NoteDAO note;
        ResultMsg rm = note.save();
        EXPECT_EQ(rm.rCode, RUN_SUCCESS);
        EXPECT_EQ(rm.rMsg, c.message);
        EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), std::to_string(++saved));
    }
    // GBK bytes: 数据已保存 and the full-width colon.
    EXPECT_EQ(noProject.substr(0, 10), "\xCA\xFD\xBE\xDD\xD2\xD1\xB1\xA3\xB4\xE6");
    EXPECT_NE(noProject.find("WARNING\xA3\xBA"), std::string::npos);
    const std::string stamped = rawScalar(configPath, "SELECT UpdateTime FROM T_M_Project");
    EXPECT_TRUE(std::regex_match(stamped, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")))
        << stamped;

    ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->delTableInstance("T_M_Note").ok());
    NoteDAO lost;
    ResultMsg rm = lost.save();
    EXPECT_EQ(rm.rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(rm.rMsg.rfind("ERROR:M_ObjectDAO::save()出错。", 0), 0u);
    EXPECT_EQ(lost._ID, 0);
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
