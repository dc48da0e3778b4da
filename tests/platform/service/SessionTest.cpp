#include <filesystem>
#include <fstream>

#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

using Session = ServiceTest;

TEST_F(Session, WritesWaitForACommitOrCloseAndClosedCallsAnswerWithACode) {
    ASSERT_TRUE(add("a").ok());
    EXPECT_EQ(committed(), "");  // another connection sees nothing yet
    ASSERT_TRUE(session->commit().ok());
    EXPECT_EQ(committed(), "a");
    ASSERT_TRUE(add("b").ok());
    ASSERT_TRUE(idm->deleteITableDataById("T_Item", 1).ok());
    // An immediate write commits what was pending along with itself, also
    // when it fails itself.
    ASSERT_TRUE(add("c", COMMIT_T_IMMEDIATELY).ok());
    ASSERT_TRUE(injectFault(dbPath, "fault", "BEFORE INSERT", "T_Item", "NEW.\"Name\" = 'bad'"));
    ASSERT_TRUE(add("c2").ok());
    EXPECT_NE(add("bad", COMMIT_T_IMMEDIATELY).rCode, RUN_SUCCESS);
    EXPECT_EQ(committed(), "b,c,c2");
    if (underTest().isFile(dbPath)) {
        EXPECT_EQ(rawScalar(dbPath, "PRAGMA journal_mode"), "wal");
    }

    ASSERT_TRUE(add("d").ok());
    ASSERT_TRUE(session->close().ok());
    EXPECT_FALSE(session->isOpen());
    EXPECT_EQ(session->commit().rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(add("x", COMMIT_T_IMMEDIATELY).rCode, SRV_ERR_CLOSED);
    EXPECT_TRUE(names({}, nullptr, SRV_ERR_CLOSED).empty());
    EXPECT_EQ(idm->deleteITableDataAll("T_Item").rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(idm->delTableInstance("T_Item").rCode, SRV_ERR_CLOSED);
    InstanceDataManager* another = nullptr;
    EXPECT_EQ(session->createInstanceDataManager(another, 0).rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(another, nullptr);
    // The same managers work again on the reopened database.
    ASSERT_TRUE(session->reopen().ok());
    EXPECT_EQ(names(), (V{"b", "c", "c2", "d"}));
    ASSERT_TRUE(add("e").ok());
    EXPECT_EQ(idm->getPSession(), session.get());
    session.reset();  // closing commits
    EXPECT_EQ(committed(), "b,c,c2,d,e");
    EXPECT_EQ(idm->getPSession(), nullptr);
    EXPECT_TRUE(names({}, nullptr, SRV_ERR_CLOSED).empty());
}

TEST_F(Session, PathsThatAreNoUsableFileAreRefused) {
    ARX_FILE_ONLY();
    std::ofstream(dir.file("text.db")) << "this is no database, just some text\n";
    const std::tuple<std::string, int, int> cases[] = {
        {dir.file("missing.db"), 0, SRV_ERR_NO_FILE},
        {dir.path(), 1, SRV_ERR_NO_FILE},
        {dir.file("no/such/folder.db"), 1, SRV_ERR_NO_FILE},
        {dir.file("text.db"), 0, SRV_ERR_NO_FILE},
        // These would write into a temporary database that vanishes.
        {"", 1, SRV_ERR_ARGUMENT},
        {":memory:", 1, SRV_ERR_ARGUMENT},
        {"file:x.db?mode=memory", 1, SRV_ERR_ARGUMENT},
    };
    for (const auto& [path, create, code] : cases) {
        SCOPED_TRACE(path);
        MRDSession* other = nullptr;
        ResultMsg rm = service.createSession(path, other, create);
        EXPECT_EQ(rm.rCode, code);
        EXPECT_NE(rm.rMsg.find(path), std::string::npos);
        EXPECT_EQ(other, nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db")));

    // An in-memory database only when asked for by name.
    MRDSession* memory = nullptr;
    ASSERT_TRUE(service.createMemorySession(memory).ok());
    InstanceDataManager* manager = nullptr;
    EXPECT_TRUE(std::unique_ptr<MRDSession>(memory)->createInstanceDataManager(manager, 1).ok());
    delete manager;
}

TEST_F(Session, CachedStatementsInUseSurviveEviction) {
    for (const char* name : {"a", "b", "c"})
        ASSERT_TRUE(add(name).ok());
    // While the outer query is being read, enough other statements are
    // prepared to overflow the cache; the one in use must stay valid.
    V seen;
    auto visit = [&](ITableData& row) {
        for (Conditions conditions; conditions.size() < 300;) {
            conditions.push_back(cond("Qty", ">=", "0"));
            EXPECT_EQ(names(conditions).size(), 3u);
        }
        seen.push_back(row._colValue[0]);
        return seen.size() < 2;  // false stops the query
    };
    ASSERT_TRUE(idm->forEachITableData("T_Item", {describe("Name", 2)}, {}, nullptr, visit).ok());
    EXPECT_EQ(seen, (V{"a", "b"}));
}

}  // namespace arxtest
