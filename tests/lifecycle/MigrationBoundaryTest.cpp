// Both sides of each line a migration draws (the allowed side of a refusal,
// the refused side of an allowance), on an instance of the backend under
// test: a file, or a database of the server.
#include <functional>

#include "InstanceMigration.h"
#include "dao/RecordFixture.h"

namespace arxtest {

class MigrationBoundary : public RecordFixture {
protected:
    // A model whose version 1 has the table T (A text, N int, C blob of characters).
    struct Model {
        M_EntityModelDAO v;
        M_EntityTableDAO t;
        M_NormalColumnDAO n;
    };
    Model build() {
        Model m;
        m.v = model("M" + std::to_string(++made));
        M_FolderDAO f = folder(m.v, "F");
        m.t = table(f, "T");
        column(m.v, m.t, "A");
        m.n = column(m.v, m.t, "N", 1);
        column(m.v, m.t, "C", COL_TYPE_BLOB_CHAR);
        return m;
    }
    // An instance of `version` holding the rows (id, A_1, N_1).
    std::string instance(M_EntityModelDAO& version, const std::string& rows) {
        const std::string name = "i" + std::to_string(++made);
        const std::string at =
            !underTest().capabilities().localFile ? dir.database(name) : dir.file(name + ".db");
        ResultMsg rm = !underTest().capabilities().localFile
                           ? version.createInstance(at, "")
                           : version.createInstance(dir.path(), name + ".db");
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
        EXPECT_TRUE(
            rawExecute(at, "INSERT INTO \"T_1\" (\"id\", \"A_1\", \"N_1\") VALUES " + rows));
        return at;
    }
    // What a refusal must leave as it was.
    static std::string state(const std::string& at) { return backendAt(at).state(at); }
    int made = 0;
};

// Each row makes version 2 from version 1 with one edit (and version 3 from
// 2 with another), and migrates an instance of the version before the last,
// holding `rows` (and the statements after them), to the last: the model's
// changes, and the answer (migrated; or refused or a dry run, with the
// database as it was).
TEST_F(MigrationBoundary, EachChangeIsAllowedOnOneSideOfItsLineAndRefusedOnTheOther) {
    using Edit = std::function<void(Model&)>;
    const auto unique = [](const char* defaultValue) -> Edit {
        return [defaultValue](Model& m) {
            M_NormalColumnDAO u;
            std::tie(u._name, u._dataType, u._defaultValue, u._isOnly) =
                std::make_tuple("U", 2, defaultValue, 1);
            ASSERT_TRUE(m.t.addNormalColumnDAO(&m.v, &u).ok());
        };
    };
    const auto revise = [](int type, int digits, int maxLength = 256) -> Edit {
        return [=](Model& m) {
            std::tie(m.n._dataType, m.n._numLength, m.n._maxLength) =
                std::make_tuple(type, digits, maxLength);
            ASSERT_TRUE(m.n.reviseInModel(&m.v).ok());
        };
    };
    const Edit uniqueDefault = unique("d");
    const Edit endN = [](Model& m) {
        m.n._delVersion = m.v._version;
        ASSERT_TRUE(m.n.save().ok());
    };
    // Ended in the record, as an imported project's tables may be.
    const Edit endT = [](Model& m) {
        m.t._delVersion = m.v._version;
        ASSERT_TRUE(m.t.save().ok());
    };
    enum Run { Migrate, LossAllowed, DryRun };
    const std::string ok = "实例数据已从版本", nothing = "被拒绝，未做任何修改：",
                      refused = nothing + "表T_1",
                      drift = "实例数据与其声明的版本1不一致，迁移无法调和，未做任何修改：表";
    const std::string digits = "length-changed data-dependent N_1 NumLength 19>10",
                      added = "column-added data-dependent U_2";
    const struct {
        const char* name;
        Edit two, three;
        const char* rows;
        Run run;
        std::string changes, answer;
    } cases[] = {
        {"dry run", uniqueDefault, nullptr, "(1, 'x', 7)", DryRun, added,
         "迁移计划已检查，未做任何修改。"},
        {"unique default, one row", uniqueDefault, nullptr, "(1, 'x', 7)", Migrate, added, ok},
        {"unique default, two rows", uniqueDefault, nullptr, "(1, 'x', 7), (2, 'y', 8)",
         LossAllowed, added, refused + "新增的唯一列U_2的默认值将在2行中重复"},
        {"unique without default", unique(""), nullptr, "(1, 'x', 7), (2, 'y', 8)", Migrate,
         "column-added safe U_2", ok},
        {"19 digits to 10, within", revise(1, 19), revise(1, 10),
         "(1, 'x', 2147483647), (2, 'y', -2147483648)", Migrate, digits, ok},
        {"19 digits to 10, beyond", revise(1, 19), revise(1, 10),
         "(1, 'x', 2147483648), (2, 'y', 5), (3, 'z', -2147483649)", LossAllowed, digits,
         refused + "的列N_1有2个值超出32位整数：id=1 '2147483648'，id=3 '-2147483649'"},
        {"10 digits to 9", revise(1, 9), nullptr, "(1, 'x', 3000000000)", Migrate,
         "length-changed safe N_1 NumLength 10>9", ok},
        {"text of 19 digits to an int of 10", revise(2, 19), revise(1, 10), "(1, 'x', '7')",
         Migrate, "type-changed data-dependent N_1 DataType 2>1; " + digits, ok},
        {"an int column's maximum length", revise(1, 10, 1), nullptr, "(1, 'x', 70)", Migrate,
         "length-changed safe N_1 MaxLength 256>1", ok},
        {"an int column without values to a blob", revise(5, 10), nullptr, "(1, 'x', NULL)",
         Migrate, "type-changed destructive N_1 DataType 1>5", ok},
        {"an ended column without values", endN, nullptr, "(1, 'x', NULL), (2, 'y', NULL)", Migrate,
         "column-ended destructive N_1", ok},
        {"a table ended in its record", endT, nullptr, "(1, 'x', 7)", Migrate,
         "table-ended destructive ", nothing + "表T_1有1行将被删除"},
        {"a table the version does not describe", uniqueDefault, nullptr,
         "(1, 'x', 7); CREATE TABLE \"Hand\" (\"id\" INTEGER)", LossAllowed, added,
         drift + "Hand不属于所声明的版本"},
        {"stored as text where the version says int", uniqueDefault, nullptr,
         "(1, 'x', 7); ALTER TABLE \"T_1\" DROP COLUMN \"N_1\"; ALTER TABLE \"T_1\" ADD "
         "COLUMN \"N_1\" TEXT",
         LossAllowed, added, drift + "T_1的列N_1的存储类型是文本，版本中是整数"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Model m = build();
        M_EntityModelDAO from = m.v;
        for (const Edit& edit : {c.two, c.three}) {
            if (!edit) continue;
            from = m.v;
            M_EntityModelDAO* next = nullptr;
            ASSERT_TRUE(m.v.upgradeNewVersion(next).ok());
            m.v = *std::unique_ptr<M_EntityModelDAO>(next);
            edit(m);
        }
        std::vector<ModelChange> changes;
        ASSERT_TRUE(ModelDiff::between(m.v, from._version, m.v._version, changes).ok());
        std::string listed;
        for (const ModelChange& d : changes) {
            listed +=
                (listed.empty() ? "" : "; ") + std::string(changeKindName(d.kind)) + " " +
                safetyName(d.safety) + " " + d.columnInnerName +
                (d.attribute.empty() ? "" : " " + d.attribute + " " + d.before + ">" + d.after);
        }
        EXPECT_EQ(listed, c.changes);

        const std::string at = instance(from, c.rows), before = state(at);
        MigrationOptions options;
        options.dryRun = c.run == DryRun;
        options.allowDataLoss = c.run == LossAllowed;
        MigrationPlan plan;
        const ResultMsg rm = InstanceMigration::migrate(at, m.v, options, plan);
        const std::string to = std::to_string(m.v._version);
        if (c.answer == ok) {
            EXPECT_EQ(utf8(rm.rMsg),
                      utf8(ok + std::to_string(from._version) + "迁移到版本" + to + "。"));
            EXPECT_EQ(rawScalar(at, "SELECT \"Version\" FROM \"ARX_InstanceInfo\""), to);
            continue;
        }
        EXPECT_NE(utf8(rm.rMsg).find(utf8(c.answer)), std::string::npos) << utf8(rm.rMsg);
        EXPECT_EQ(rm.ok(), c.run == DryRun);
        EXPECT_FALSE(plan.migrated);
        EXPECT_TRUE(state(at) == before);
    }
}

}  // namespace arxtest
