#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <random>

#include "InstanceMigration.h"
#include "dao/RecordFixture.h"
#include "support/FaultyDisk.h"
#include "support/SchemaDump.h"
#include "support/Waiting.h"

namespace arxtest {

// A model M<k> whose version 1 has the table T (A text, N int, R real,
// Bl blob) and instance files of its versions.
class Migration : public RecordFixture {
protected:
    struct Model {
        M_EntityModelDAO v1, now;
        M_EntityTableDAO t;
        std::map<std::string, M_NormalColumnDAO> columns;
    };
    Model build() {
        Model m;
        m.v1 = m.now = model("M" + std::to_string(++models));
        M_FolderDAO f = folder(m.v1, "F");
        m.t = table(f, "T");
        for (const auto& [name, type] : {std::pair{"A", 2}, {"N", 1}, {"R", 3}, {"Bl", 5}})
            m.columns[name] = column(m.v1, m.t, name, type);
        return m;
    }
    static void upgrade(Model& m) {
        M_EntityModelDAO* next = nullptr;
        ASSERT_TRUE(m.now.upgradeNewVersion(next).ok());
        m.now = *next;
        delete next;
    }
    // An instance file of the model's current version, made anew.
    std::string instance(M_EntityModelDAO& version, const std::string& name) {
        std::remove(dir.file(name).c_str());
        ResultMsg rm = version.createInstance(dir.path(), name);
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
        return dir.file(name);
    }
    static ResultMsg migrate(const std::string& file, const M_EntityModelDAO& to,
                             bool allowLoss = false, MigrationPlan* out = nullptr) {
        MigrationOptions options;
        options.allowDataLoss = allowLoss;
        MigrationPlan plan;
        ResultMsg rm = InstanceMigration::migrate(file, to, options, out ? *out : plan);
        return rm;
    }
    static void end(M_EntityModelDAO& v, M_NormalColumnDAO& c) {
        c._delVersion = v._version;
        ASSERT_TRUE(c.save().ok());
    }
    // An edit of the model that sets attributes of column `name` in its current version.
    static std::function<void(Model&)> revise(const char* name,
                                              const std::function<void(M_NormalColumnDAO&)>& set) {
        return [=](Model& m) {
            M_NormalColumnDAO& c = m.columns[name];
            set(c);
            ResultMsg rm = c.reviseInModel(&m.now);
            ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        };
    }
    int models = 0;
};

// Everything a database holds, table by table: columns (name, type,
// default), indexes and rows.
std::string dump(const std::string& location) {
    return backendAt(location).tablesDump(location);
}

// The changes as "kind safety name[ attribute before>after]", joined by "; ";
// the name is the column's inner name, or the table's for a change of a table.
std::string changeLines(const std::vector<ModelChange>& changes) {
    std::string lines;
    for (const ModelChange& d : changes)
        lines += (lines.empty() ? "" : "; ") + std::string(changeKindName(d.kind)) + " " +
                 safetyName(d.safety) + " " +
                 (d.columnInnerName.empty() ? d.tableInnerName : d.columnInnerName) +
                 (d.attribute.empty() ? "" : " " + d.attribute + " " + d.before + ">" + d.after);
    return lines;
}

const char* const kRows = "INSERT INTO T_1 VALUES (1, 'x', 7, 2.0, X'00'), (2, '12', 8, 1.5, NULL)";

// One change of each kind and safety class on version 2: its diff, and the
// file of version 1 after the migration against a new file of version 2
// filled with the rows as they should become; a refusal leaves the file
// as it was.
TEST_F(Migration, EachChangeKindMigratesRowsAsANewFileHoldsThemOrIsRefused) {
    using Edit = std::function<void(Model&)>;
    const Edit endR = [](Model& m) { end(m.now, m.columns["R"]); };
    const Edit blobToText = revise("Bl", [](auto& c) { c._dataType = 2; });
    const struct {
        const char* name;
        Edit edit;
        const char* diff;
        bool allowLoss;
        std::string refusal;  // empty: migrated
        const char* rows;     // of version 2, for the new file
    } cases[] = {
        {"add column",
         [](Model& m) {
             M_NormalColumnDAO c;
             std::tie(c._name, c._dataType, c._defaultValue) = std::make_tuple("C", 1, "5");
             ASSERT_TRUE(m.t.addNormalColumnDAO(&m.now, &c).ok());
         },
         "column-added safe C_2", false, "",
         "(1, 'x', 7, 2.0, X'00', 5), (2, '12', 8, 1.5, NULL, 5)"},
        {"add table",
         [this](Model& m) {
             M_FolderDAO f = folder(m.now, "G");
             table(f, "U");
         },
         "table-added safe U_2", false, "", "(1, 'x', 7, 2.0, X'00'), (2, '12', 8, 1.5, NULL)"},
        {"end column", endR, "column-ended destructive R_1", false, "表T_1的列R_1有2个值将被删除",
         ""},
        {"end column, loss allowed", endR, "column-ended destructive R_1", true, "",
         "(1, 'x', 7, X'00'), (2, '12', 8, NULL)"},
        {"end table",
         [](Model& m) {
             std::string report;
             ASSERT_TRUE(m.t.delFromEntityModel(&m.now, report).ok());
         },
         "table-ended destructive T_1", false, "表T_1有2行将被删除", ""},
        {"int to text", revise("N", [](auto& c) { c._dataType = 2; }),
         "type-changed safe N_1 DataType 1>2", false, "",
         "(1, 'x', '7', 2.0, X'00'), (2, '12', '8', 1.5, NULL)"},
        {"text to int", revise("A", [](auto& c) { c._dataType = 1; }),
         "type-changed data-dependent A_1 DataType 2>1", false,
         "表T_1的列A_1有1个值不能转换为新的类型：id=1 'x'", ""},
        {"real to int", revise("R", [](auto& c) { c._dataType = 1; }),
         "type-changed data-dependent R_1 DataType 3>1", false,
         "表T_1的列R_1有1个值不能转换为新的类型：id=2 '1.5'", ""},
        {"blob to text", blobToText, "type-changed destructive Bl_1 DataType 5>2", false,
         "表T_1的列Bl_1有1个值在类型转换中丢失", ""},
        {"blob to text, loss allowed", blobToText, "type-changed destructive Bl_1 DataType 5>2",
         true, "", "(1, 'x', 7, 2.0, NULL), (2, '12', 8, 1.5, NULL)"},
        {"unique", revise("A", [](auto& c) { c._isOnly = 1; }),
         "unique-changed data-dependent A_1 IsOnly 0>1", false, "",
         "(1, 'x', 7, 2.0, X'00'), (2, '12', 8, 1.5, NULL)"},
        {"unique over repeated values", revise("N", [](auto& c) { c._isOnly = 1; }),
         "unique-changed data-dependent N_1 IsOnly 0>1", false,
         "表T_1的列N_1改为唯一后有1个值重复：'7'（2行）", ""},
        {"index", revise("N", [](auto& c) { c._isIndex = 1; }),
         "index-changed safe N_1 IsIndex 0>1", false, "",
         "(1, 'x', 7, 2.0, X'00'), (2, '12', 8, 1.5, NULL)"},
        {"default", revise("A", [](auto& c) { c._defaultValue = "d"; }),
         "default-changed safe A_1 DefaultValue >d", false, "",
         "(1, 'x', 7, 2.0, X'00'), (2, '12', 8, 1.5, NULL)"},
        {"display name", revise("A", [](auto& c) { c._displayName = "Alpha"; }),
         "renamed safe A_1 DisplayName >Alpha", false, "",
         "(1, 'x', 7, 2.0, X'00'), (2, '12', 8, 1.5, NULL)"},
        {"shorter", revise("A", [](auto& c) { c._maxLength = 1; }),
         "length-changed data-dependent A_1 MaxLength 256>1", false,
         "表T_1的列A_1有1个值长于新的最大长度1字节：id=2 '12'", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Model m = build();
        upgrade(m);
        c.edit(m);
        std::vector<ModelChange> changes;
        ASSERT_TRUE(ModelDiff::between(m.now, 1, 2, changes).ok());
        EXPECT_EQ(changeLines(changes), c.diff);

        const std::string file = instance(m.v1, "v1.db");
        const bool repeated = std::string(c.name) == "unique over repeated values";
        ASSERT_TRUE(
            rawExecute(file, std::string(kRows) + (repeated ? "; UPDATE T_1 SET N_1 = 7" : "")));
        const std::string before = readText(file);
        ResultMsg rm = migrate(file, m.now, c.allowLoss);
        if (!c.refusal.empty()) {
            EXPECT_NE(utf8(rm.rMsg).find(utf8(c.refusal)), std::string::npos) << utf8(rm.rMsg);
            EXPECT_TRUE(readText(file) == before);
            continue;
        }
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        const std::string oracle = instance(m.now, "v2.db");
        ASSERT_TRUE(rawExecute(oracle, std::string("INSERT INTO T_1 VALUES ") + c.rows));
        EXPECT_EQ(dump(file), dump(oracle));
    }
}

// Random edits of table T over versions 2 to 5 (columns added, ended,
// changed from int to text, given a new default, an index or a display
// name; tables added) and random rows in version 1: the file migrated to
// version 5 at once, the file migrated one version at a time and a new file
// of version 5 filled with the rows as the edits turn them hold the same.
TEST_F(Migration, GeneratedEditsMigrateAtOnceAndStepByStepAlike) {
    struct Column {
        std::string name, inner;
        int type;
        std::string value[3];  // SQL literals of rows 1 to 3
    };
    const auto literal = [](int type, int n) {
        return type == 1   ? std::to_string(n)
               : type == 3 ? std::to_string(n) + ".5"
                           : "'w" + std::to_string(n) + "'";
    };
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        const auto pick = [&](int n) { return static_cast<int>(random() % n); };
        Model m = build();
        std::vector<Column> live;
        for (const auto& [name, type] : {std::pair{"A", 2}, {"N", 1}, {"R", 3}}) {
            live.push_back({name, std::string(name) + "_1", type, {}});
            for (std::string& v : live.back().value)
                v = pick(3) == 0 ? "NULL" : literal(type, pick(100));
        }
        live.push_back({"Bl", "Bl_1", 5, {"X'0102'", "NULL", "X'03'"}});
        const auto insert = [&live](const std::string& file) {
            std::string columns = "id", rows[3] = {"(1", "(2", "(3"};
            for (const Column& c : live) {
                columns += ", " + c.inner;
                for (int r = 0; r < 3; ++r)
                    rows[r] += ", " + c.value[r];
            }
            return rawExecute(file, "INSERT INTO T_1 (" + columns + ") VALUES " + rows[0] + "), " +
                                        rows[1] + "), " + rows[2] + ")");
        };
        const std::string file = instance(m.v1, "v1.db"), steps = dir.file("steps.db");
        ASSERT_TRUE(insert(file));
        std::vector<M_EntityModelDAO> versions;
        for (int v = 2; v <= 5; ++v) {
            upgrade(m);
            versions.push_back(m.now);
            for (int edits = 1 + pick(3); edits > 0; --edits) {
                const int kind = pick(6);
                const std::size_t i = live.empty() ? 0 : pick(static_cast<int>(live.size()));
                M_NormalColumnDAO* c = live.empty() ? nullptr : &m.columns[live[i].name];
                if (kind == 0 || c == nullptr) {  // a new column, with a default or none
                    M_NormalColumnDAO added;
                    const int type = 1 + pick(3), n = pick(100);
                    added._name = "C" + std::to_string(v) + std::to_string(edits);
                    added._dataType = type;
                    if (pick(2) == 0) added._defaultValue = literal(type, n);
                    if (type == 2 && !added._defaultValue.empty())
                        added._defaultValue = "w" + std::to_string(n);
                    ASSERT_TRUE(m.t.addNormalColumnDAO(&m.now, &added).ok());
                    m.columns[added._name] = added;
                    const std::string value =
                        added._defaultValue.empty() ? "NULL" : literal(type, n);
                    live.push_back({added._name, added._innerName, type, {value, value, value}});
                } else if (kind == 1) {
                    end(m.now, *c);
                    live.erase(live.begin() + i);
                    continue;
                } else if (kind == 2 && c->_dataType == 1) {
                    c->_dataType = 2;
                    for (std::string& value : live[i].value) {
                        if (value != "NULL") value = "'" + value + "'";
                    }
                } else if (kind == 3 && c->_addVersion == 1 && c->_dataType < 4) {
                    c->_defaultValue = c->_dataType == 2 ? "d" : std::to_string(v);
                } else if (kind == 4) {
                    c->_isIndex = 1 - c->_isIndex;
                } else if (kind == 5) {
                    M_FolderDAO f = folder(m.now, "G" + std::to_string(v) + std::to_string(edits));
                    table(f, "U" + std::to_string(v) + std::to_string(edits));
                    continue;
                }
                c->_displayName = "shown in " + std::to_string(v);
                ResultMsg rm = c->reviseInModel(&m.now);
                ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
            }
        }
        std::remove(steps.c_str());
        ASSERT_TRUE(rawExecute(file, "VACUUM INTO '" + steps + "'"));
        ResultMsg rm = migrate(file, m.now, true);
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        for (const M_EntityModelDAO& v : versions) {
            rm = migrate(steps, v, true);
            ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        }
        const std::string oracle = instance(m.now, "v5.db");
        ASSERT_TRUE(insert(oracle));
        EXPECT_EQ(dump(file), dump(oracle));
        EXPECT_EQ(dump(steps), dump(oracle));
    }
}

// A file changed by hand: what the target makes anyway (an index, a table)
// is reconciled, what the version never described refuses the migration.
// Every refusal names what it found and leaves the file as it was.
TEST_F(Migration, DriftAndBadInputAreFoundBeforeAnythingIsWritten) {
    Model m = build(), other = build();
    upgrade(m);
    upgrade(other);
    const std::string file = instance(m.v1, "v1.db");
    ASSERT_TRUE(rawExecute(file, std::string(kRows) + "; CREATE INDEX hand ON T_1 (A_1)"));
    MigrationPlan plan;
    ASSERT_TRUE(InstanceMigration::checkDrift(file, plan).ok());
    ASSERT_EQ(plan.drift.size(), 1u);
    EXPECT_EQ(std::make_tuple(plan.drift[0].kind, plan.drift[0].columnInnerName,
                              plan.unreconciled.size()),
              std::make_tuple(ModelChange::Kind::IndexChanged, "A_1", 0u));
    ASSERT_TRUE(migrate(file, m.now).ok());
    const std::string oracle = instance(m.now, "v2.db");
    ASSERT_TRUE(rawExecute(oracle, kRows));
    EXPECT_EQ(dump(file), dump(oracle));

    M_EntityModelDAO nine = m.now, elsewhere = m.now, gone = model("Gone");
    nine._version = 9;
    elsewhere._rProjectID += 1;  // the same name in another project
    const std::string goneFile = instance(gone, "gone.db");
    ASSERT_TRUE(gone.delself().ok());
    writeText(dir.file("text.db"), "no database");
    ASSERT_TRUE(rawExecute(dir.file("plain.db"), "CREATE TABLE T (a)"));
    const struct {
        std::string file, sql;
        M_EntityModelDAO* target;
        std::string message;
    } cases[] = {
        {"text.db", "", &m.now, "不是可用的数据库文件：" + dir.file("text.db")},
        {"plain.db", "", &m.now, "不是实例文件：" + dir.file("plain.db")},
        {"gone.db", "", &m.now, "在数据库中没有查找到数据模型信息，无法获取其ID"},
        {"v1.db", "", &other.now, "实例数据属于数据模型M1，不是数据模型M2的实例，不能迁移。"},
        {"v1.db", "", &elsewhere, "实例数据属于数据模型M1，不是数据模型M1的实例，不能迁移。"},
        {"v1.db", "", &nine, "数据模型M1没有版本9。"},
        {"v2.db", "", &m.now, "实例数据已是版本2，无需迁移。"},
        {"v1.db", "ALTER TABLE T_1 ADD COLUMN X", &m.now,
         "实例数据与其声明的版本1不一致，迁移无法调和，未做任何修改：表T_1的列X不属于所声明的版本"},
    };
    instance(m.v1, "v1.db");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.sql.empty()) {
            ASSERT_TRUE(rawExecute(dir.file(c.file), c.sql));
        }
        const std::string before = readText(dir.file(c.file));
        ResultMsg rm = migrate(dir.file(c.file), *c.target);
        EXPECT_EQ(utf8(rm.rMsg.substr(0, c.message.size())), utf8(c.message)) << utf8(rm.rMsg);
        EXPECT_TRUE(readText(dir.file(c.file)) == before);
    }
}

// An instance in a server database: built only where no table is yet and
// with names the server keeps whole; read back, checked and migrated in
// two rebuilds to what a new instance of the last version holds.
TEST_F(Migration, AServerInstanceIsBuiltCheckedAndMigratedInItsDatabase) {
    if (underTest().capabilities().localFile) GTEST_SKIP() << "a case of a server's databases";
    Model m = build();
    const std::string uri = dir.database("inst"), far = dir.database("far");
    ASSERT_TRUE(m.v1.createInstance(uri, "").ok());
    // Numbered by the database: a rebuilt table numbers on after them.
    ASSERT_TRUE(rawExecute(uri,
                           "INSERT INTO \"T_1\" (\"A_1\", \"N_1\", \"R_1\", \"Bl_1\") VALUES ('x', "
                           "7, 2.0, " +
                               underTest().bytesLiteral("00") +
                               "), ('12', 8, 1.5, NULL), ('new', NULL, NULL, NULL)"));
    M_EntityModelDAO* found = nullptr;
    ASSERT_TRUE(M_EntityModelDAO::getInstanceInfo(uri, found).ok());
    EXPECT_EQ(std::make_pair(found->_ID, found->_version), std::make_pair(m.v1._ID, 1));
    delete found;
    MigrationPlan plan;
    ASSERT_TRUE(InstanceMigration::checkDrift(uri, plan).ok());
    EXPECT_TRUE(plan.drift.empty());
    const std::vector<M_EntityModelDAO> versions = [&] {
        upgrade(m);
        end(m.now, m.columns["R"]);
        const M_EntityModelDAO two = m.now;
        upgrade(m);
        m.columns["N"]._dataType = 2;
        EXPECT_TRUE(m.columns["N"].reviseInModel(&m.now).ok());
        return std::vector<M_EntityModelDAO>{two, m.now};
    }();
    for (const M_EntityModelDAO& v : versions) {
        ResultMsg rm = migrate(uri, v, true);
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    }
    ASSERT_TRUE(rawExecute(uri, "INSERT INTO \"T_1\" (\"A_1\") VALUES ('after')"));
    ASSERT_TRUE(m.now.createInstance(far, "").ok());
    ASSERT_TRUE(rawExecute(far, "INSERT INTO \"T_1\" VALUES (1, 'x', '7', " +
                                    underTest().bytesLiteral("00") +
                                    "), (2, '12', '8', NULL), (3, 'new', NULL, NULL), "
                                    "(4, 'after', NULL, NULL)"));
    EXPECT_EQ(dump(uri), dump(far));

    const std::string taken = m.v1.createInstance(uri, "").rMsg;
    EXPECT_NE(taken.find("数据库中已有表，不能在其中建立实例："), std::string::npos) << utf8(taken);
    M_FolderDAO f = folder(m.now, "G");
    table(f, std::string(70, 'L'));
    const std::string empty = dir.database("long");
    const std::string refused = m.now.createInstance(empty, "").rMsg;
    EXPECT_NE(refused.find("表名称超过数据库能保存的" +
                           std::to_string(underTest().capabilities().nameLimit) + "字节：" +
                           std::string(70, 'L')),
              std::string::npos)
        << utf8(refused);
    EXPECT_EQ(underTest().tableCount(empty), "0");
}

// A table of `rows` rows whose rebuild (int to text) writes more than the
// page cache holds, so that it reaches the disk before the commit.
class LargeMigration : public Migration {
protected:
    void SetUp() override {
        Migration::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        m = build();
        upgrade(m);
        M_NormalColumnDAO& n = m.columns["N"];
        n._dataType = 2;
        ASSERT_TRUE(n.reviseInModel(&m.now).ok());
        file = instance(m.v1, "big.db");
        ASSERT_TRUE(rawExecute(file,
                               "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                               "FROM k WHERE i < 300000) INSERT INTO T_1 SELECT i, "
                               "printf('row %040d', i), i, i * 0.5, NULL FROM k"));
        before = readText(file);
    }
    // Intact at version 1 with every row.
    void expectIntact() {
        EXPECT_TRUE(readText(file) == before);
        EXPECT_EQ(rawScalar(file,
                            "SELECT (SELECT integrity_check FROM pragma_integrity_check) || "
                            "Version || ':' || (SELECT count(*) FROM T_1) FROM "
                            "ARX_InstanceInfo"),
                  "ok1:300000");
    }
    Model m;
    std::string file, before;
};

TEST_F(LargeMigration, AFullDiskDuringTheRebuildLeavesTheFileAsItWas) {
    ARX_FILE_ONLY();  // a full disk under database files
    installFaultyDisk();
    ResultMsg rm;
    {
        FullDisk full("big.db");
        rm = migrate(file, m.now);
    }
    EXPECT_EQ(rm.rMsg.rfind("迁移失败，实例数据未改变：", 0), 0u) << utf8(rm.rMsg);
    expectIntact();
    rm = migrate(file, m.now);
    EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_EQ(rawScalar(file, "SELECT typeof(N_1) || Version FROM T_1, ARX_InstanceInfo"), "text2");
}

TEST_F(LargeMigration, AProcessKilledDuringTheRebuildLeavesTheFileAsItWas) {
    ASSERT_TRUE(MeridianNew::shutdown().ok());  // no connection is shared with the child
    int started[2];
    ASSERT_EQ(pipe(started), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        MigrationOptions options;
        options.onRebuild = [&](const std::string&, int, int, long long) {
            (void)!write(started[1], "r", 1);
        };
        MigrationPlan plan;
        if (MeridianNew::startup(config, work, 0).ok())
            (void)InstanceMigration::migrate(file, m.now, options, plan);
        _exit(0);
    }
    close(started[1]);
    // Killed once the rebuild has begun and written a good part of the new table.
    const bool begun = readByte(started[0], Seconds(300));
    close(started[0]);
    std::error_code none;
    const bool grown =
        begun &&
        waitUntil(
            [&] { return std::filesystem::file_size(file + "-wal", none) >= 4u << 20 && !none; },
            [child] { return running(child); }, Seconds(300));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_TRUE(reap(child, Seconds(60), status));
    ASSERT_TRUE(grown) << "the migration ended or stalled before its rebuild wrote 4 MiB";
    EXPECT_TRUE(WIFSIGNALED(status));
    expectIntact();
    ASSERT_TRUE(MeridianNew::startup(config, work, 0).ok());
}

// Another connection holds the file's write lock when a migration starts
// and commits once the migration waits for it: what it committed is what
// the migration checks and copies. A value that the conversion would turn
// into 0 or the dropped column would lose refuses the migration, and the
// same migration made meanwhile leaves nothing to do.
TEST_F(Migration, ACommitWhileTheMigrationWaitsForTheLockIsWhatItChecksAndCopies) {
    using namespace std::chrono_literals;
    const struct {
        const char* name;
        std::function<void(Model&)> edit;
        const char* committed;  // by the other connection, in its write transaction
        const char* says;       // the migration's answer
        const char* after;      // id 3's A_1, id 1's R_1, and the version
    } cases[] = {
        {"text turned int", revise("A", [](auto& c) { c._dataType = 1; }),
         "INSERT INTO T_1 (id, A_1) VALUES (3, 'abc')",
         "迁移到版本2被拒绝，未做任何修改：表T_1的列A_1有1个值不能转换为新的类型：id=3 'abc'",
         "abc||1"},
        {"column ended", [](Model& m) { end(m.now, m.columns["R"]); },
         "UPDATE T_1 SET R_1 = 2.5 WHERE id = 1",
         "迁移到版本2被拒绝，未做任何修改：表T_1的列R_1有1个值将被删除", "|2.5|1"},
        {"the same migration",
         [](Model& m) {
             M_NormalColumnDAO c;
             std::tie(c._name, c._dataType, c._defaultValue) = std::make_tuple("C", 1, "5");
             ASSERT_TRUE(m.t.addNormalColumnDAO(&m.now, &c).ok());
         },
         "ALTER TABLE T_1 ADD COLUMN C_2 INTEGER DEFAULT 5; UPDATE ARX_InstanceInfo SET Version = "
         "2",
         "实例数据已是版本2，无需迁移。", "||2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Model m = build();
        upgrade(m);
        c.edit(m);
        const std::string file = instance(m.v1, "v1.db");
        ASSERT_TRUE(rawExecute(file,
                               "INSERT INTO T_1 VALUES (1, '12', 7, NULL, NULL), "
                               "(2, '13', 8, NULL, NULL)"));
        RawConnection other(file, false);
        ASSERT_TRUE(other.execute("BEGIN IMMEDIATE"));
        const LockWaits waits;
        auto migration = std::async(std::launch::async, [&] { return migrate(file, m.now); });
        EXPECT_TRUE(waits.seen(10s)) << "the migration never waited for the lock";
        EXPECT_TRUE(other.execute(std::string(c.committed) + "; COMMIT"));
        ASSERT_EQ(migration.wait_for(30s), std::future_status::ready);
        const ResultMsg rm = migration.get();
        EXPECT_EQ(utf8(rm.rMsg), utf8(c.says));
        EXPECT_EQ(rawScalar(file,
                            "SELECT ifnull((SELECT A_1 FROM T_1 WHERE id = 3), '') || '|' || "
                            "ifnull((SELECT R_1 FROM T_1 WHERE id = 1), '') || '|' || "
                            "Version FROM ARX_InstanceInfo"),
                  c.after);
    }
}

// On a server a migration locks the tables against writers before it reads
// anything: a row committed while it waits for that lock is copied into the
// rebuilt table, never left behind in the one that is dropped.
TEST_F(Migration, ARowCommittedWhileAServerMigrationWaitsForItsLockIsKept) {
    using namespace std::chrono_literals;
    if (underTest().capabilities().localFile) GTEST_SKIP() << "a case of a server's databases";
    Model m = build();
    upgrade(m);
    m.columns["N"]._dataType = 2;
    ASSERT_TRUE(m.columns["N"].reviseInModel(&m.now).ok());
    const std::string uri = dir.database("inst");
    ASSERT_TRUE(m.v1.createInstance(uri, "").ok());
    ASSERT_TRUE(rawExecute(uri, "INSERT INTO \"T_1\" (\"A_1\", \"N_1\") VALUES ('first', 1)"));
    RawConnection other(uri);
    ASSERT_TRUE(
        other.execute("BEGIN; INSERT INTO \"T_1\" (\"A_1\", \"N_1\") VALUES ('meanwhile', 2)"));
    auto migration = std::async(std::launch::async, [&] { return migrate(uri, m.now); });
    // A lock of this database's tables that is waited for: the migration's.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!underTest().waitsForLock(uri) &&
           migration.wait_for(5ms) == std::future_status::timeout &&
           std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_EQ(migration.wait_for(0s), std::future_status::timeout) << "it did not wait";
    EXPECT_TRUE(other.execute("COMMIT"));
    ASSERT_EQ(migration.wait_for(30s), std::future_status::ready);
    const ResultMsg rm = migration.get();
    EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_EQ(rawScalar(uri,
                        "SELECT string_agg(\"A_1\" || ':' || \"N_1\", ',' ORDER BY \"id\") "
                        "FROM \"T_1\""),
              "first:1,meanwhile:2");
}

// A view, an index over two columns and a trigger made by hand on T_1: the
// table rebuilt under them keeps them all (the view reads the new table,
// the trigger fires, a later migration works); a migration that ends a
// column they use is refused naming each, and with the loss allowed drops
// them first. A view the file cannot use is named as such. On a file, and
// in the server run on a server database too.
TEST_F(Migration, WhatAUserMadeInTheDatabaseSurvivesARebuildOrIsNamed) {
    Model m = build();
    upgrade(m);
    m.columns["N"]._dataType = 2;
    ASSERT_TRUE(m.columns["N"].reviseInModel(&m.now).ok());
    const M_EntityModelDAO two = m.now;
    upgrade(m);
    end(m.now, m.columns["A"]);
    std::vector<std::string> locations = {instance(m.v1, "v1.db")};
    if (!underTest().capabilities().localFile) {
        locations.push_back(dir.database("inst"));
        ASSERT_TRUE(m.v1.createInstance(locations.back(), "").ok());
    }
    for (const std::string& at : locations) {
        SCOPED_TRACE(at);
        ASSERT_TRUE(rawExecute(at,
                               "INSERT INTO \"T_1\" (\"A_1\", \"N_1\") VALUES ('x', 7), ('y', 8); "
                               "CREATE VIEW \"Recent\" AS SELECT \"A_1\", \"N_1\" FROM \"T_1\"; "
                               "CREATE INDEX \"Pair\" ON \"T_1\" (\"A_1\", \"N_1\")"));
        const std::string stamp =
            "UPDATE \"T_1\" SET \"A_1\" = 'stamped' WHERE \"id\" = NEW.\"id\";";
        ASSERT_TRUE(
            rawExecute(at, backendAt(at).triggerSql("Stamp", "AFTER INSERT", "T_1", stamp)));
        // What checkDrift lists: kind, name, and "!" for one the database cannot use.
        const auto objects = [&] {
            MigrationPlan plan;
            EXPECT_TRUE(InstanceMigration::checkDrift(at, plan).ok());
            EXPECT_TRUE(plan.drift.empty());
            std::string out;
            for (const SchemaObject& o : plan.objects)
                out += o.kind + " " + o.name + (o.problem.empty() ? ";" : "!;");
            return out;
        };
        EXPECT_EQ(objects(), "view Recent;index Pair;trigger Stamp;");
        ResultMsg rm = migrate(at, two);
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        EXPECT_EQ(objects(), "view Recent;index Pair;trigger Stamp;");
        ASSERT_TRUE(rawExecute(at, "INSERT INTO \"T_1\" (\"A_1\", \"N_1\") VALUES ('z', 'nine')"));
        EXPECT_EQ(
            rawScalar(at, joinedSql(at, "\"A_1\" || ':' || \"N_1\"", "\"Recent\"", "\"N_1\"")),
            "x:7,y:8,stamped:nine");

        MigrationPlan plan;
        rm = migrate(at, m.now, false, &plan);
        EXPECT_EQ(
            utf8(rm.rMsg),
            utf8("迁移到版本3被拒绝，未做任何修改：表T_1的列A_1有3个值将被删除；视图Recent使用"
                 "表T_1将被删除的列A_1，迁移后不能保留；索引Pair使用表T_1将被删除的列A_1，"
                 "迁移后不能保留；触发器Stamp使用表T_1将被删除的列A_1，迁移后不能保留"));
        rm = migrate(at, m.now, true, &plan);
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        std::string steps;
        for (const MigrationStep& step : plan.steps)
            steps += std::string(stepActionName(step.action)) + " " + step.object.name + ";";
        EXPECT_EQ(steps,
                  "drop-object Stamp;drop-object Pair;drop-object Recent;rebuild-table ;"
                  "set-version ;");
        EXPECT_EQ(objects(), "");
        // Only a file keeps a view of a table that is not there.
        if (!isFile(at)) continue;
        ASSERT_TRUE(rawExecute(at, "CREATE VIEW \"Gone\" AS SELECT * FROM \"ARX_Rebuild\""));
        EXPECT_EQ(objects(), "view Gone!;");
    }
}

// Version 1, still open to edits, gains a column, a table and an index after
// a file of it was made: a migration to version 1 makes them, so that the
// file holds what a new file of version 1 holds; a change of version 1 that
// no migration reconciles is refused with the reason.
TEST_F(Migration, AFileOfAVersionEditedSinceGetsWhatTheVersionNowDescribes) {
    Model m = build();
    const std::string file = instance(m.v1, "v1.db");
    const std::string rows =
        "INSERT INTO T_1 (id, A_1, N_1, R_1, Bl_1) VALUES (1, 'x', 7, 2.0, "
        "X'00'), (2, '12', 8, 1.5, NULL)";
    ASSERT_TRUE(rawExecute(file, rows));
    ResultMsg rm = migrate(file, m.v1);
    EXPECT_EQ(utf8(rm.rMsg), utf8("实例数据已是版本1，无需迁移。"));
    column(m.v1, m.t, "C", 1);
    M_FolderDAO g = folder(m.v1, "G");
    table(g, "U");
    m.columns["N"]._isIndex = 1;
    ASSERT_TRUE(m.columns["N"].reviseInModel(&m.v1).ok());
    MigrationPlan plan;
    ASSERT_TRUE(InstanceMigration::checkDrift(file, plan).ok());
    std::string drift;
    for (const ModelChange& c : plan.drift)
        drift += std::string(changeKindName(c.kind)) + " " + c.tableInnerName + "." +
                 c.columnInnerName + ";";
    EXPECT_EQ(drift, "index-changed T_1.N_1;column-added T_1.C_1;table-added U_1.;");
    rm = migrate(file, m.v1, false, &plan);
    EXPECT_EQ(utf8(rm.rMsg), utf8("实例数据已按版本1现在的描述补齐。"));
    const std::string oracle = instance(m.v1, "now.db");
    ASSERT_TRUE(rawExecute(oracle, rows));
    EXPECT_EQ(dump(file), dump(oracle));

    m.columns["A"]._dataType = 1;
    ASSERT_TRUE(m.columns["A"].reviseInModel(&m.v1).ok());
    const std::string before = readText(file);
    rm = migrate(file, m.v1);
    EXPECT_EQ(utf8(rm.rMsg), utf8("实例数据与其声明的版本1不一致，迁移无法调和，未做任何修改：表T_1"
                                  "的列A_1的存储类型是文本，版本中是整数"));
    EXPECT_TRUE(readText(file) == before);
}

// A file in rollback-journal mode whose write lock another connection holds
// (with a write pending): its drift check, a dry run and a refused
// migration read it without waiting for that lock, switch it to no other
// journal mode and leave nothing beside it.
TEST_F(Migration, ReadingAFileChangesNothingOfItAndNeedsNoWriteAccess) {
    Model m = build();
    upgrade(m);
    end(m.now, m.columns["R"]);
    const std::string file = instance(m.v1, "v1.db");
    ASSERT_TRUE(rawExecute(file, std::string(kRows) + "; PRAGMA journal_mode = DELETE"));
    RawConnection other(file, false);
    ASSERT_TRUE(other.execute("BEGIN IMMEDIATE; INSERT INTO T_1 (A_1) VALUES ('pending')"));
    const auto beside = [&] {
        return std::to_string(std::filesystem::exists(file + "-wal")) +
               std::to_string(std::filesystem::exists(file + "-shm"));
    };
    MigrationPlan plan;
    ResultMsg rm = InstanceMigration::checkDrift(file, plan);
    EXPECT_TRUE(rm.ok() && plan.drift.empty()) << utf8(rm.rMsg);
    EXPECT_EQ(beside(), "00");
    const struct {
        bool dryRun, allowLoss;
        const char* says;
    } cases[] = {{true, true, "迁移计划已检查，未做任何修改。"},
                 {true, false, "迁移到版本2被拒绝，未做任何修改：表T_1的列R_1有2个值将被删除"},
                 {false, false, "迁移到版本2被拒绝，未做任何修改：表T_1的列R_1有2个值将被删除"}};
    for (const auto& c : cases) {
        MigrationOptions options;
        options.dryRun = c.dryRun;
        options.allowDataLoss = c.allowLoss;
        rm = InstanceMigration::migrate(file, m.now, options, plan);
        EXPECT_EQ(utf8(rm.rMsg), utf8(c.says));
        EXPECT_EQ(beside(), "00");
    }
    ASSERT_TRUE(other.execute("ROLLBACK"));
    EXPECT_EQ(rawScalar(file, "PRAGMA journal_mode"), "delete");
}

// The statements as one script in one transaction, as the library runs them.
std::string script(const std::vector<std::string>& statements) {
    std::string text = "BEGIN;\n";
    for (const std::string& statement : statements)
        text += statement + ";\n";
    return text + "COMMIT;";
}

// An instance of `version` in a database of the backend under test.
std::string instanceAt(M_EntityModelDAO& version, const std::string& name, TempDir& dir) {
    const std::string location = dir.database(name);
    ResultMsg rm = !isFile(location) ? version.createInstance(location, "")
                                     : version.createInstance(dir.path(), name);
    EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
    return location;
}

const char* const kTwoRows =
    "INSERT INTO \"T_1\" (\"id\", \"A_1\", \"N_1\") VALUES (1, 'x', 7), (2, 'it''s', 8)";

// The statements listed for a new instance and for a migration (forwards
// and back), run by hand on an empty database and on a twin of the
// instance, make what the library makes; listing them writes nothing.
TEST_F(Migration, ListedStatementsRunByHandMakeWhatTheLibraryMakes) {
    Model m = build();
    m.v1._description = "the 'first' one";
    ASSERT_TRUE(m.v1.save().ok());
    m.columns["N"]._isOnly = 1;
    m.columns["A"]._defaultValue = "a'b";
    ASSERT_TRUE(m.columns["N"].reviseInModel(&m.v1).ok());
    ASSERT_TRUE(m.columns["A"].reviseInModel(&m.v1).ok());
    std::vector<std::string> statements;
    const std::string scratch =
        !underTest().capabilities().localFile ? dir.database("scratch") : "";
    ResultMsg rm = m.v1.instanceStatements(scratch, statements);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    const std::string byHand = dir.database("byhand");
    ASSERT_TRUE(rawExecute(byHand, script(statements))) << script(statements);
    EXPECT_EQ(schemaDump(byHand), schemaDump(instanceAt(m.v1, "made", dir)));
    // The scratch database is left empty and nothing beside it stays.
    if (!scratch.empty()) {
        EXPECT_EQ(underTest().tableCount(scratch) + "/" +
                      underTest().databasesStartingWith(scratch, "arx_statements"),
                  "0/0");
    }

    upgrade(m);
    const struct {
        const char* name;
        std::function<void(Model&)> edit;
        bool back;  // from a database of version 2 to version 1
    } cases[] = {
        {"add column", [this](Model& mm) { column(mm.now, mm.t, "C", 1); }, false},
        {"end column", [](Model& mm) { end(mm.now, mm.columns["R"]); }, false},
        {"int to text",
         [](Model& mm) {
             mm.columns["N"]._dataType = 2;
             ASSERT_TRUE(mm.columns["N"].reviseInModel(&mm.now).ok());
         },
         false},
        {"back over an added column", [this](Model& mm) { column(mm.now, mm.t, "C", 2); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Model n = build();
        upgrade(n);
        c.edit(n);
        M_EntityModelDAO& from = c.back ? n.now : n.v1;
        const M_EntityModelDAO& to = c.back ? n.v1 : n.now;
        const std::string name = std::to_string(models);
        const std::string listed = instanceAt(from, "listed" + name, dir);
        const std::string twin = instanceAt(from, "twin" + name, dir);
        ASSERT_TRUE(rawExecute(listed, kTwoRows) && rawExecute(twin, kTwoRows));
        const std::string before = schemaDump(listed);
        MigrationOptions options;
        options.allowDataLoss = true;
        std::vector<std::string> steps;
        options.statements = &steps;
        MigrationPlan plan;
        rm = InstanceMigration::migrate(listed, to, options, plan);
        EXPECT_EQ(utf8(rm.rMsg), utf8("迁移语句已列出，未做任何修改。"));
        EXPECT_EQ(schemaDump(listed), before);
        ASSERT_TRUE(rawExecute(listed, script(steps))) << script(steps);
        ASSERT_TRUE(migrate(twin, to, true).ok());
        EXPECT_EQ(schemaDump(listed), schemaDump(twin)) << script(steps);
    }
}

// The rows of T_1 by column name (a column that comes back comes last).
std::string namedRows(const std::string& location) {
    return rawScalar(location, joinedSql(location,
                                         "\"id\" || '|' || \"A_1\" || '|' || \"N_1\" || '|' || "
                                         "coalesce(CAST(\"R_1\" AS TEXT), 'NULL') || '|' || "
                                         "coalesce(CAST(\"Bl_1\" AS TEXT), 'NULL')",
                                         "\"T_1\"", "\"id\"", ";"));
}

// A database of version 2 taken back to version 1: what version 2 ended
// comes back with its default, what it added goes, and one that holds
// values goes only with the loss allowed; a refusal writes nothing.
TEST_F(Migration, GoingBackUndoesALaterVersionByTheSameChecks) {
    const auto addC = [this](Model& m) { column(m.now, m.t, "C", 2); };
    const auto addU = [this](Model& m) {
        M_FolderDAO g = folder(m.now, "G");
        M_EntityTableDAO u = table(g, "U");
        column(m.now, u, "V", 1);
    };
    const char* const kept = "(1, 'x', 7, 2.5, NULL), (2, 'it''s', 8, 2.5, NULL)";
    const struct {
        const char* name;
        std::function<void(Model&)> edit;
        const char* v2rows;  // more rows of the version 2 database
        bool allowLoss;
        std::string refusal;  // empty: taken back
        const char* rows;     // of version 1, for a new database
    } cases[] = {
        {"an added column with values", addC, "UPDATE \"T_1\" SET \"C_2\" = 'c'", false,
         "表T_1的列C_2有2个值将被删除", ""},
        {"an added column with values, loss allowed", addC, "UPDATE \"T_1\" SET \"C_2\" = 'c'",
         true, "", kept},
        {"an added empty column", addC, "", false, "", kept},
        {"an ended column comes back with its default",
         [](Model& m) { end(m.now, m.columns["R"]); }, "", false, "", kept},
        {"an added table with rows", addU, "INSERT INTO \"U_2\" (\"V_2\") VALUES (1)", false,
         "表U_2有1行将被删除", ""},
        {"an added table with rows, loss allowed", addU, "INSERT INTO \"U_2\" (\"V_2\") VALUES (1)",
         true, "", kept},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Model m = build();
        m.columns["R"]._defaultValue = "2.5";
        ASSERT_TRUE(m.columns["R"].reviseInModel(&m.v1).ok());
        upgrade(m);
        c.edit(m);
        const std::string name = std::to_string(models);
        const std::string later = instanceAt(m.now, "later" + name, dir);
        ASSERT_TRUE(rawExecute(later, std::string(kTwoRows) + ";" + c.v2rows));
        const std::string before = schemaDump(later);
        ResultMsg rm = migrate(later, m.v1, c.allowLoss);
        if (!c.refusal.empty()) {
            EXPECT_NE(utf8(rm.rMsg).find(utf8(c.refusal)), std::string::npos) << utf8(rm.rMsg);
            EXPECT_EQ(schemaDump(later), before);
            continue;
        }
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        EXPECT_EQ(rawScalar(later, "SELECT \"Version\" FROM \"ARX_InstanceInfo\""), "1");
        const std::string oracle = instanceAt(m.v1, "oracle" + name, dir);
        ASSERT_TRUE(rawExecute(oracle, std::string("INSERT INTO \"T_1\" VALUES ") + c.rows));
        EXPECT_EQ(namedRows(later), namedRows(oracle));
    }
}

// Many databases in one call, each in its own transaction: one migrated,
// one already there, one refused (left as it was) while the others go on.
TEST_F(Migration, ManyDatabasesEachMigrateOrAreRefusedAlone) {
    Model m = build();
    upgrade(m);
    end(m.now, m.columns["R"]);
    const std::string old = instanceAt(m.v1, "old", dir), there = instanceAt(m.now, "there", dir),
                      valued = instanceAt(m.v1, "valued", dir);
    ASSERT_TRUE(rawExecute(valued, "INSERT INTO \"T_1\" (\"R_1\") VALUES (1.5)"));
    const std::string before = schemaDump(valued);
    std::vector<MigrationOutcome> outcomes;
    EXPECT_EQ(InstanceMigration::migrateEach({old, there, valued}, 2, MigrationOptions(), outcomes),
              1);
    std::string seen;
    for (const MigrationOutcome& o : outcomes)
        seen += std::to_string(static_cast<int>(o.result)) + " " + utf8(o.answer.rMsg) + ";";
    EXPECT_EQ(seen, utf8("0 实例数据已从版本1迁移到版本2。;1 实例数据已是版本2，无需迁移。;2 "
                         "迁移到版本2被拒绝，未做任何修改：表T_1的列R_1有1个值将被删除;"));
    EXPECT_EQ(rawScalar(old, "SELECT \"Version\" FROM \"ARX_InstanceInfo\""), "2");
    EXPECT_EQ(schemaDump(valued), before);
}

// Both sides of each line a migration draws (the allowed side of a refusal,
// the refused side of an allowance), on an instance of the backend under
// test. Each row makes version 2 from version 1 with one edit (and version 3
// from 2 with another), and migrates an instance of the version before the
// last, holding `rows` (and the statements after them), to the last: the
// model's changes, and the answer (migrated; or refused or a dry run, with
// the database as it was).
TEST_F(Migration, EachChangeIsAllowedOnOneSideOfItsLineAndRefusedOnTheOther) {
    using Edit = std::function<void(Model&)>;
    const auto unique = [](const char* defaultValue) -> Edit {
        return [defaultValue](Model& m) {
            M_NormalColumnDAO u;
            std::tie(u._name, u._dataType, u._defaultValue, u._isOnly) =
                std::make_tuple("U", 2, defaultValue, 1);
            ASSERT_TRUE(m.t.addNormalColumnDAO(&m.now, &u).ok());
        };
    };
    const auto digitsOfN = [](int type, int digits, int maxLength = 256) {
        return revise("N", [=](M_NormalColumnDAO& n) {
            std::tie(n._dataType, n._numLength, n._maxLength) =
                std::make_tuple(type, digits, maxLength);
        });
    };
    const Edit uniqueDefault = unique("d");
    // Ended in the record, as an imported project's tables may be.
    const Edit endT = [](Model& m) {
        m.t._delVersion = m.now._version;
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
        {"19 digits to 10, within", digitsOfN(1, 19), digitsOfN(1, 10),
         "(1, 'x', 2147483647), (2, 'y', -2147483648)", Migrate, digits, ok},
        {"19 digits to 10, beyond", digitsOfN(1, 19), digitsOfN(1, 10),
         "(1, 'x', 2147483648), (2, 'y', 5), (3, 'z', -2147483649)", LossAllowed, digits,
         refused + "的列N_1有2个值超出32位整数：id=1 '2147483648'，id=3 '-2147483649'"},
        {"10 digits to 9", digitsOfN(1, 9), nullptr, "(1, 'x', 3000000000)", Migrate,
         "length-changed safe N_1 NumLength 10>9", ok},
        {"text of 19 digits to an int of 10", digitsOfN(2, 19), digitsOfN(1, 10), "(1, 'x', '7')",
         Migrate, "type-changed data-dependent N_1 DataType 2>1; " + digits, ok},
        {"an int column's maximum length", digitsOfN(1, 10, 1), nullptr, "(1, 'x', 70)", Migrate,
         "length-changed safe N_1 MaxLength 256>1", ok},
        {"an int column without values to a blob", digitsOfN(5, 10), nullptr, "(1, 'x', NULL)",
         Migrate, "type-changed destructive N_1 DataType 1>5", ok},
        {"an ended column without values", [](Model& m) { end(m.now, m.columns["N"]); }, nullptr,
         "(1, 'x', NULL), (2, 'y', NULL)", Migrate, "column-ended destructive N_1", ok},
        {"a table ended in its record", endT, nullptr, "(1, 'x', 7)", Migrate,
         "table-ended destructive T_1", nothing + "表T_1有1行将被删除"},
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
        M_EntityModelDAO from = m.now;
        for (const Edit& edit : {c.two, c.three}) {
            if (!edit) continue;
            from = m.now;
            upgrade(m);
            edit(m);
        }
        std::vector<ModelChange> changes;
        ASSERT_TRUE(ModelDiff::between(m.now, from._version, m.now._version, changes).ok());
        EXPECT_EQ(changeLines(changes), c.changes);

        const std::string at = instanceAt(from, "edge" + std::to_string(models), dir);
        ASSERT_TRUE(rawExecute(
            at, std::string("INSERT INTO \"T_1\" (\"id\", \"A_1\", \"N_1\") VALUES ") + c.rows));
        const std::string before = backendAt(at).state(at);
        MigrationOptions options;
        options.dryRun = c.run == DryRun;
        options.allowDataLoss = c.run == LossAllowed;
        MigrationPlan plan;
        const ResultMsg rm = InstanceMigration::migrate(at, m.now, options, plan);
        const std::string to = std::to_string(m.now._version);
        if (c.answer == ok) {
            EXPECT_EQ(utf8(rm.rMsg),
                      utf8(ok + std::to_string(from._version) + "迁移到版本" + to + "。"));
            EXPECT_EQ(rawScalar(at, "SELECT \"Version\" FROM \"ARX_InstanceInfo\""), to);
            continue;
        }
        EXPECT_NE(utf8(rm.rMsg).find(utf8(c.answer)), std::string::npos) << utf8(rm.rMsg);
        EXPECT_EQ(rm.ok(), c.run == DryRun);
        EXPECT_FALSE(plan.migrated);
        EXPECT_TRUE(backendAt(at).state(at) == before);
    }
}

}  // namespace arxtest
