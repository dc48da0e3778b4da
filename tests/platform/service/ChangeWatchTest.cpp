#include <chrono>
#include <filesystem>
#include <future>
#include <set>

#include "ChangeWatch.h"
#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

class Watch : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!underTest().watchesChanges()) GTEST_SKIP() << "the backend watches nothing";
        ASSERT_TRUE(add("before", COMMIT_T_IMMEDIATELY).ok());
        const ResultMsg rm = ChangeWatch::open(dbPath, {"t_item"}, watch);
        ASSERT_TRUE(rm.ok()) << rm.rMsg;
    }
    // What one wait of `ms` names.
    std::set<std::string> once(int ms) {
        std::vector<std::string> changed = {"stale"};  // replaced, not appended to
        EXPECT_TRUE(watch->wait(ms, changed).ok());
        return {changed.begin(), changed.end()};
    }
    // Everything named until the watched table is (10 s at most).
    std::set<std::string> untilNamed() {
        std::set<std::string> named;
        for (int i = 0; i < 10 && named.count("t_item") == 0; ++i) {
            const std::set<std::string> now = once(1000);
            named.insert(now.begin(), now.end());
        }
        return named;
    }
    std::unique_ptr<ChangeWatch> watch;
};

const std::set<std::string> kItem = {"t_item"};  // as the watch was asked, not as stored

TEST_F(Watch, NamesEachCommitOnceAndAnInterruptEndsOneWait) {
    {
        // Only commits made after the watch opened are named, each once; work that
        // is pending or was rolled back, here or on another connection, is not.
        EXPECT_EQ(once(0), std::set<std::string>{});  // the row written before it opened
        ASSERT_TRUE(add("pending").ok());
        // Nothing to tell: the wait ends when its time has about run out.
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(once(300), std::set<std::string>{});
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
        ASSERT_TRUE(session->commit().ok());
        EXPECT_EQ(untilNamed(), kItem);
        EXPECT_EQ(once(0), std::set<std::string>{});  // told already

        RawConnection other(dbPath);
        ASSERT_TRUE(other.execute("BEGIN"));
        ASSERT_TRUE(other.execute("INSERT INTO \"T_Item\" (\"Name\") VALUES ('x')"));
        ASSERT_TRUE(other.execute("ROLLBACK"));
        {
            Transaction undone(*session);
            ASSERT_TRUE(add("undone", COMMIT_T_IMMEDIATELY).ok());
        }
        EXPECT_EQ(once(300), std::set<std::string>{});
        ASSERT_TRUE(other.execute("DELETE FROM \"T_Item\""));
        EXPECT_EQ(untilNamed(), kItem);
    }
    {
        // interrupt() ends the wait in progress, or the next one, at once and with
        // nothing named; it is used up by that wait, so changes are seen again.
        using Clock = std::chrono::steady_clock;
        const auto took = [](Clock::time_point start) {
            return std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
        };
        watch->interrupt();
        Clock::time_point start = Clock::now();
        EXPECT_EQ(once(60000), std::set<std::string>{});
        EXPECT_LT(took(start), 30);  // not the minute asked for
        ASSERT_TRUE(add("a", COMMIT_T_IMMEDIATELY).ok());
        EXPECT_EQ(untilNamed(), kItem);

        // From another thread, whether the wait has begun yet or not.
        start = Clock::now();
        std::future<std::set<std::string>> waiting =
            std::async(std::launch::async, [&] { return once(60000); });
        watch->interrupt();
        ASSERT_EQ(waiting.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        EXPECT_EQ(waiting.get(), std::set<std::string>{});
        EXPECT_LT(took(start), 30);
        ASSERT_TRUE(add("b", COMMIT_T_IMMEDIATELY).ok());
        EXPECT_EQ(untilNamed(), kItem);
        // A wait in progress ends with the commit it waited for.
        std::future<std::set<std::string>> changes =
            std::async(std::launch::async, [&] { return once(20000); });
        ASSERT_TRUE(add("c", COMMIT_T_IMMEDIATELY).ok());
        ASSERT_EQ(changes.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        EXPECT_EQ(changes.get(), kItem);
    }
    {
        // sync() tells at once, without waiting, each table changed by a commit
        // made before it, here or on another connection, and not told yet; what
        // it told no wait tells again, and pending or undone work is not told.
        const auto synced = [&] {
            std::vector<std::string> changed = {"stale"};  // replaced, not appended to
            EXPECT_TRUE(watch->sync(changed).ok());
            return std::set<std::string>(changed.begin(), changed.end());
        };
        EXPECT_EQ(synced(), std::set<std::string>{});
        ASSERT_TRUE(add("d", COMMIT_T_IMMEDIATELY).ok());
        EXPECT_EQ(synced(), kItem);
        EXPECT_EQ(once(0), std::set<std::string>{});
        {
            // It must change the rows: every row has Qty 1 already, and SQLite
            // writes nothing for an update that leaves each row as it was, so
            // such a commit moves nothing a watch could see.
            RawConnection other(dbPath);
            ASSERT_TRUE(other.execute("UPDATE \"T_Item\" SET \"Qty\" = \"Qty\" + 1"));
        }
        EXPECT_EQ(synced(), kItem);
        EXPECT_EQ(synced(), std::set<std::string>{});
        ASSERT_TRUE(add("pending").ok());
        EXPECT_EQ(synced(), std::set<std::string>{});
        ASSERT_TRUE(session->rollback().ok());
        EXPECT_EQ(synced(), std::set<std::string>{});
        EXPECT_EQ(once(0), std::set<std::string>{});
    }
    {
        // A watch reads a database that is there: a missing file is refused and
        // not made.
        if (!underTest().isFile(dbPath)) return;
        const std::string missing = dir.file("missing.db");
        std::unique_ptr<ChangeWatch> none;
        const ResultMsg rm = ChangeWatch::open(missing, {"T_Item"}, none);
        EXPECT_EQ(rm.rCode, SRV_ERR_NO_FILE) << rm.rMsg;
        EXPECT_NE(rm.rMsg.find(missing), std::string::npos) << rm.rMsg;
        EXPECT_EQ(none, nullptr);
        EXPECT_FALSE(std::filesystem::exists(missing));
    }
}

}  // namespace arxtest
