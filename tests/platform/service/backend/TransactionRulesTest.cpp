// The transaction rules over an engine of the test's own, which writes down
// each step and fails the steps a case asks it to: what the rules send, in
// what order, and what they answer when a step fails.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "ServiceErrorCode.h"
#include "backend/TransactionRules.h"

namespace {

using namespace MeridianSpace;
using namespace MeridianSpace::detail;

class FakeEngine : public TransactionEngine {
public:
    /// Steps whose text is in here fail (an engine refusal).
    std::set<std::string> failing;
    /// A failing COMMIT leaves the transaction open (else the engine ends it).
    bool commitKeepsTransaction = false;
    /// The code a failing step answers.
    int failureCode = SRV_ERR_ENGINE;
    bool open = true;
    bool transaction = false;
    std::string steps;
    int undone = 0;

    ResultMsg checkOpen() const override {
        return open ? ResultMsg() : ResultMsg(SRV_ERR_CLOSED, "closed");
    }
    bool inTransaction() const override { return transaction; }
    ResultMsg beginTransaction() override {
        ResultMsg rm = step("BEGIN");
        if (rm.ok()) transaction = true;
        return rm;
    }
    ResultMsg commitTransaction() override {
        ResultMsg rm = step("COMMIT");
        if (rm.ok() || !commitKeepsTransaction) transaction = false;
        return rm;
    }
    ResultMsg rollbackTransaction() override {
        transaction = false;
        return step("ROLLBACK");
    }
    ResultMsg savepoint(const std::string& name) override { return step("SAVEPOINT " + name); }
    ResultMsg release(const std::string& name) override { return step("RELEASE " + name); }
    ResultMsg rollbackTo(const std::string& name) override { return step("ROLLBACK TO " + name); }
    void abandonTransaction() override {
        steps += "abandon;";
        transaction = false;
    }
    const std::string& displayName() const override { return name_; }
    void workUndone() override { ++undone; }

private:
    ResultMsg step(const std::string& text) {
        steps += text + ";";
        if (failing.count(text) > 0) return ResultMsg(failureCode, "refused " + text);
        return ResultMsg();
    }
    std::string name_ = "fake.db";
};

ResultMsg failed() {
    return ResultMsg(SRV_ERR_ENGINE, "work failed");
}

struct Case {
    const char* name;
    std::function<void(FakeEngine&)> setUp;
    std::function<ResultMsg(TransactionRules&, FakeEngine&)> run;
    const char* steps;
    int code;
    /// Text the answer's message holds ("" for none).
    const char* says;
};

const std::vector<Case> kCases = {
    {"a write joins a transaction that stays open", nullptr,
     [](TransactionRules& r, FakeEngine&) { return r.write(0, [] { return ResultMsg(); }); },
     "BEGIN;", RUN_SUCCESS, ""},
    {"an immediate write commits what earlier writes left pending", nullptr,
     [](TransactionRules& r, FakeEngine&) {
         ResultMsg rm = r.write(0, [] { return ResultMsg(); });
         return rm.ok() ? r.write(COMMIT_T_IMMEDIATELY, [] { return ResultMsg(); }) : rm;
     },
     "BEGIN;COMMIT;", RUN_SUCCESS, ""},
    {"nested atomic work is released inside out and committed once", nullptr,
     [](TransactionRules& r, FakeEngine&) {
         return r.atomic([&] { return r.atomic([] { return ResultMsg(); }); });
     },
     "BEGIN;SAVEPOINT arx_sp_1;SAVEPOINT arx_sp_2;RELEASE arx_sp_2;RELEASE arx_sp_1;COMMIT;",
     RUN_SUCCESS, ""},
    {"an inner failure undoes only the inner work when the outer goes on", nullptr,
     [](TransactionRules& r, FakeEngine&) {
         return r.atomic([&] {
             ResultMsg inner = r.atomic([] { return failed(); });
             return inner.ok() ? ResultMsg(RUN_FAIL, "inner failure not reported") : ResultMsg();
         });
     },
     "BEGIN;SAVEPOINT arx_sp_1;SAVEPOINT arx_sp_2;ROLLBACK TO arx_sp_2;RELEASE arx_sp_2;"
     "RELEASE arx_sp_1;COMMIT;",
     RUN_SUCCESS, ""},
    {"the outer work failing after an inner failure rolls the whole transaction back", nullptr,
     [](TransactionRules& r, FakeEngine&) {
         return r.atomic([&] { return r.atomic([] { return failed(); }); });
     },
     "BEGIN;SAVEPOINT arx_sp_1;SAVEPOINT arx_sp_2;ROLLBACK TO arx_sp_2;RELEASE arx_sp_2;"
     "ROLLBACK;",
     SRV_ERR_ENGINE, "work failed"},
    {"a failed commit is reported as a commit failure, work lost",
     [](FakeEngine& e) { e.failing.insert("COMMIT"); },
     [](TransactionRules& r, FakeEngine&) { return r.atomic([] { return ResultMsg(); }); },
     "BEGIN;SAVEPOINT arx_sp_1;RELEASE arx_sp_1;COMMIT;", SRV_ERR_COMMIT,
     "提交失败，未提交的修改已丢失"},
    {"a failed commit that kept the transaction says the work is still pending",
     [](FakeEngine& e) {
         e.failing.insert("COMMIT");
         e.commitKeepsTransaction = true;
     },
     [](TransactionRules& r, FakeEngine&) {
         return r.write(COMMIT_T_IMMEDIATELY,
                        [&] { return r.write(0, [] { return ResultMsg(); }); });
     },
     "BEGIN;COMMIT;", SRV_ERR_COMMIT, "提交失败，修改仍未提交"},
    {"a commit refused for a lock keeps the busy answer",
     [](FakeEngine& e) {
         e.failing.insert("COMMIT");
         e.failureCode = SRV_ERR_BUSY;
     },
     [](TransactionRules& r, FakeEngine&) { return r.atomic([] { return ResultMsg(); }); },
     "BEGIN;SAVEPOINT arx_sp_1;RELEASE arx_sp_1;COMMIT;", SRV_ERR_BUSY, "提交失败"},
    {"a savepoint the engine refuses ends the transaction it began",
     [](FakeEngine& e) { e.failing.insert("SAVEPOINT arx_sp_1"); },
     [](TransactionRules& r, FakeEngine&) { return r.atomic([] { return ResultMsg(); }); },
     "BEGIN;SAVEPOINT arx_sp_1;ROLLBACK;", SRV_ERR_ENGINE, "refused SAVEPOINT"},
    {"an inner roll-back the engine refuses loses everything and the next commit says so",
     [](FakeEngine& e) { e.failing.insert("ROLLBACK TO arx_sp_2"); },
     [](TransactionRules& r, FakeEngine&) {
         int outer = 0;
         (void)r.beginSavepoint(outer);
         (void)r.atomic([] { return failed(); });
         return r.commit();
     },
     "BEGIN;SAVEPOINT arx_sp_1;SAVEPOINT arx_sp_2;ROLLBACK TO arx_sp_2;abandon;", SRV_ERR_COMMIT,
     "回滚事务失败"},
    {"work the engine dropped inside a savepoint is reported at the next commit", nullptr,
     [](TransactionRules& r, FakeEngine& e) {
         (void)r.write(0, [] { return ResultMsg(); });
         (void)r.atomic([&] {
             e.transaction = false;  // a full disk ended the transaction
             return failed();
         });
         return r.commit();
     },
     "BEGIN;SAVEPOINT arx_sp_1;", SRV_ERR_COMMIT, "数据库已回滚整个事务"},
    {"the outer savepoint cannot be released while an inner one is open", nullptr,
     [](TransactionRules& r, FakeEngine&) {
         int outer = 0, inner = 0;
         ResultMsg rm = r.beginSavepoint(outer);
         if (rm.ok()) rm = r.beginSavepoint(inner);
         if (rm.ok()) rm = r.releaseSavepoint(outer);
         (void)r.rollbackSavepoint(outer);  // undoes the inner one too
         return rm;
     },
     "BEGIN;SAVEPOINT arx_sp_1;SAVEPOINT arx_sp_2;ROLLBACK;", SRV_ERR_TRANSACTION,
     "内层事务尚未结束"},
    {"a commit while a savepoint is open leaves the decision to its owner", nullptr,
     [](TransactionRules& r, FakeEngine&) {
         int outer = 0;
         ResultMsg rm = r.beginSavepoint(outer);
         if (rm.ok()) rm = r.commit();
         (void)r.rollbackSavepoint(outer);
         return rm;
     },
     "BEGIN;SAVEPOINT arx_sp_1;ROLLBACK;", RUN_SUCCESS, ""},
    {"a closed connection starts nothing", [](FakeEngine& e) { e.open = false; },
     [](TransactionRules& r, FakeEngine&) { return r.atomic([] { return ResultMsg(); }); }, "",
     SRV_ERR_CLOSED, ""},
};

TEST(TransactionRules, StepsAndAnswersOverAnEngine) {
    for (const Case& c : kCases) {
        FakeEngine engine;
        if (c.setUp) c.setUp(engine);
        TransactionRules rules(engine);
        const ResultMsg rm = c.run(rules, engine);
        EXPECT_EQ(engine.steps, c.steps) << c.name;
        EXPECT_EQ(rm.rCode, c.code) << c.name << ": " << rm.rMsg;
        EXPECT_NE(rm.rMsg.find(c.says), std::string::npos) << c.name << ": " << rm.rMsg;
        EXPECT_FALSE(rules.hasOpenSavepoints()) << c.name;
    }
}

TEST(TransactionRules, EachSavepointIdentifierIsUsedOnce) {
    FakeEngine engine;
    TransactionRules rules(engine);
    int first = 0, second = 0;
    ASSERT_TRUE(rules.beginSavepoint(first).ok());
    ASSERT_TRUE(rules.rollbackSavepoint(first).ok());
    ASSERT_TRUE(rules.beginSavepoint(second).ok());
    EXPECT_NE(first, second);
    // The ended savepoint names nothing, even though one is open again.
    EXPECT_EQ(rules.rollbackSavepoint(first).rCode, SRV_ERR_TRANSACTION);
    EXPECT_TRUE(rules.isSavepointOpen(second));
    EXPECT_TRUE(rules.rollbackSavepoint(second).ok());
    EXPECT_EQ(engine.steps, "BEGIN;SAVEPOINT arx_sp_1;ROLLBACK;BEGIN;SAVEPOINT arx_sp_2;ROLLBACK;");
}

}  // namespace
