#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <random>
#include <thread>

#include "InstanceMigration.h"
#include "dao/RecordFixture.h"
#include "support/FaultyDisk.h"

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
    int models = 0;
};

// Everything a file holds, table by table: columns (name, type, default),
// indexes and rows, as SQLite quotes them.
std::string dump(const std::string& file) {
    RawConnection db(file, false);
    std::string out;
    const std::string tables = db.scalar(
        "SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_master WHERE type = 'table' "
        "ORDER BY name)");
    std::size_t start = 0;
    while (start < tables.size()) {
        const std::size_t comma = std::min(tables.find(',', start), tables.size());
        const std::string t = tables.substr(start, comma - start), q = "'" + t + "'";
        start = comma + 1;
        const std::string values = db.scalar(
            "SELECT group_concat('quote(\"' || name || '\")', '||''|''||') FROM "
            "pragma_table_info(" +
            q + ")");
        out += t + "(" +
               db.scalar(
                   "SELECT group_concat(name || ' ' || type || ' ' || ifnull(dflt_value, "
                   "'-'), ', ') FROM pragma_table_info(" +
                   q + ")") +
               ") [" +
               db.scalar(
                   "SELECT group_concat(name || ':' || \"unique\", ',') FROM (SELECT * "
                   "FROM pragma_index_list(" +
                   q + ") ORDER BY name)") +
               "] " +
               db.scalar("SELECT group_concat(r, ' ; ') FROM (SELECT " + values + " AS r FROM \"" +
                         t + "\" ORDER BY rowid)") +
               "\n";
    }
    return out;
}

const char* const kRows = "INSERT INTO T_1 VALUES (1, 'x', 7, 2.0, X'00'), (2, '12', 8, 1.5, NULL)";

// One change of each kind and safety class on version 2: its diff, and the
// file of version 1 after the migration against a new file of version 2
// filled with the rows as they should become; a refusal leaves the file
// as it was.
TEST_F(Migration, EachChangeKindMigratesRowsAsANewFileHoldsThemOrIsRefused) {
    using Edit = std::function<void(Model&)>;
    const auto revise = [](const char* name, const std::function<void(M_NormalColumnDAO&)>& set) {
        return [=](Model& m) {
            M_NormalColumnDAO& c = m.columns[name];
            set(c);
            ResultMsg rm = c.reviseInModel(&m.now);
            ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        };
    };
    const struct {
        const char* name;
        Edit edit;
        const char* diff;
        bool allowLoss;
        std::string refusal;  // empty: migrated
        const char* rows;     // of version 2, for the new file
    } cases[] = {
        {"add column",
         [this](Model& m) {
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
        {"end column", [](Model& m) { end(m.now, m.columns["R"]); }, "column-ended destructive R_1",
         false, "表T_1的列R_1有2个值将被删除", ""},
        {"end column, loss allowed", [](Model& m) { end(m.now, m.columns["R"]); },
         "column-ended destructive R_1", true, "", "(1, 'x', 7, X'00'), (2, '12', 8, NULL)"},
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
        {"blob to text", revise("Bl", [](auto& c) { c._dataType = 2; }),
         "type-changed destructive Bl_1 DataType 5>2", false,
         "表T_1的列Bl_1有1个值在类型转换中丢失", ""},
        {"blob to text, loss allowed", revise("Bl", [](auto& c) { c._dataType = 2; }),
         "type-changed destructive Bl_1 DataType 5>2", true, "",
         "(1, 'x', 7, 2.0, NULL), (2, '12', 8, 1.5, NULL)"},
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
        ASSERT_EQ(changes.size(), 1u);
        const ModelChange& d = changes[0];
        EXPECT_EQ(
            std::string(changeKindName(d.kind)) + " " + safetyName(d.safety) + " " +
                (d.columnInnerName.empty() ? d.tableInnerName : d.columnInnerName) +
                (d.attribute.empty() ? "" : " " + d.attribute + " " + d.before + ">" + d.after),
            c.diff);

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

}  // namespace arxtest
