// The qms tool run as a process, the way a user runs it: exit codes,
// standard output and error, and the files it writes. Texts given to qms
// and read from it are UTF-8 (u8 literals: narrow literals compile to GBK).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/FileText.h"
#include "support/RawDb.h"
#include "support/SchemaDump.h"
#include "support/TempDir.h"
#include "support/Waiting.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
constexpr auto npos = std::string::npos;

struct Result {
    int code;
    std::string out, err;
};

using arxtest::readText;
using arxtest::writeText;

// The element of the JSON array `list` whose "name" is `name`; null when none.
const Json* named(const Json& list, const std::string& name) {
    for (const Json& item : list) {
        if (item.at("name") == name) return &item;
    }
    return nullptr;
}

/// An error as qms reports it: one line "qms: ...".
bool oneErrorLine(const std::string& err) {
    return err.rfind("qms: ", 0) == 0 && std::count(err.begin(), err.end(), '\n') == 1 &&
           err.back() == '\n';
}

class QmsTest : public ::testing::Test {
protected:
    /// Runs "qms <args>" in the test's folder; `args` are shell words. The
    /// shell runs `before` first; standard output goes to `out` when given.
    Result qms(const std::string& args, const std::string& before = "",
               const std::string& out = "") {
        const std::string command =
            "cd '" + dir.path() + "' && " + before + " " +
            arxtest::withDeadline(arxtest::Seconds(300), "'" ARX_QMS_BINARY "' ") + args + " >'" +
            (out.empty() ? io.file("out") : out) + "' 2>'" + io.file("err") + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                out.empty() ? readText(io.file("out")) : "", readText(io.file("err"))};
    }
    /// Runs a command that must succeed; its standard output.
    std::string ok(const std::string& args) {
        const Result r = qms(args);
        EXPECT_EQ(r.code, 0) << "qms " << args << "\n" << r.err;
        return r.out;
    }
    /// Runs commands that must succeed, in order.
    void okEach(std::initializer_list<std::string> commands) {
        for (const std::string& args : commands)
            ok(args);
    }
    std::string file(const std::string& name) { return readText(dir.file(name)); }
    /// The names in the test's folder.
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    arxtest::TempDir dir, io;
};

TEST_F(QmsTest, WholeSessionEndToEnd) {
    EXPECT_NE(ok("init").find("initialised qms.db"), npos);
    okEach({"project create Shop --author me", "model create Shop Sales", "folder add Sales Orders",
            "folder add Sales Orders/Archive", "table add Sales Orders Customer",
            u8"table add Sales Orders/Archive 订单", "column add Sales Customer name --type text",
            u8"column add Sales 订单 note --type text",
            u8"column add Sales 订单 customer --type int --references Customer"});
    const Json show = Json::parse(ok("model show Sales --json"));
    const Json* orders = named(show.at("folders"), "Orders");
    ASSERT_NE(orders, nullptr) << show;
    EXPECT_NE(named(orders->at("tables"), "Customer"), nullptr) << show;
    const Json* archive = named(orders->at("folders"), "Archive");
    ASSERT_NE(archive, nullptr) << show;
    EXPECT_NE(named(archive->at("tables"), u8"订单"), nullptr) << show;
    EXPECT_NE(ok("model upgrade Sales").find('2'), npos);
    ok("model copy Sales Sales2");
    EXPECT_NE(named(Json::parse(ok("model list --json")), "Sales2"), nullptr);

    // Rows through an instance file of the model, as text and as CSV.
    ok("model instance Sales inst.db");
    writeText(dir.file("rows.txt"), u8"0@#@Alice\n0@#@张三\n");
    writeText(dir.file("rows.csv"), "id,name\n0,\"Smith, \"\"J\"\"\"\n");
    ok("--work inst.db data import Sales Customer rows.txt");
    EXPECT_EQ(ok("--work inst.db data export Sales Customer"), u8"1@#@Alice\n2@#@张三\n");
    ok("--work inst.db data import Sales Customer rows.csv --csv");
    ok("--work inst.db data export Sales Customer --csv -o out.csv");
    const std::string csv = file("out.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "id,name") << csv;
    EXPECT_NE(csv.find(u8"张三"), npos) << csv;
    EXPECT_NE(csv.find("\"Smith, \"\"J\"\"\""), npos) << csv;

    ok("export Shop shop.exp");
    EXPECT_NE(named(Json::parse(ok("import --list shop.exp --json")), "Shop"), nullptr);

    // Code of one table: each line of the answer names a file written.
    std::istringstream written(ok("codegen Customer gen --model Sales --allow-renamed"));
    int files = 0;
    for (std::string line; std::getline(written, line); ++files)
        EXPECT_TRUE(fs::is_regular_file(fs::path(dir.path()) / line)) << line;
    EXPECT_GE(files, 4);

    const std::string svg = ok("diagram Sales");
    for (const char* part : {"<svg", "viewBox=\"", u8">订单<", "marker-end=\"url(#arrow)\""})
        EXPECT_NE(svg.find(part), npos) << part;
    EXPECT_NE(ok("log").find("RUN"), npos);
    // A deleted table leaves no reference to it behind.
    EXPECT_NE(
        ok("table delete Sales2 Customer").find(u8"cleared the reference of column 订单.customer"),
        npos);
    EXPECT_EQ(ok(u8"table show Sales2 订单").find("->"), npos);
}

TEST_F(QmsTest, ServerDatabasesWorkLikeFilesAndNoPasswordIsShownOrLogged) {
    if (!arxtest::serverUnderTest().unavailable().empty()) {
        if (arxtest::serverRequired()) FAIL() << arxtest::serverUnderTest().unavailable();
        GTEST_SKIP() << "no " << arxtest::serverUnderTest().name()
                     << " server: " << arxtest::serverUnderTest().unavailable();
    }
    const std::string server = dir.serverDatabase("qms"), work = dir.serverDatabase("work"),
                      config = "--config '" + server + "' --work '" + work + "' ";
    // The password of the URIs, and the same server with it as a parameter.
    const std::size_t user = server.find("://") + 3, at = server.find('@');
    const std::size_t colon = server.find(':', user);
    ASSERT_LT(colon, at) << "the test server's URI holds no password: " << server;
    const std::string password = server.substr(colon + 1, at - colon - 1);
    const std::string asParameter =
        server.substr(0, colon) + server.substr(at) + "&password=" + password;
    const auto run = [&](const std::string& args, int code) {
        const Result r = qms(args);
        EXPECT_EQ(r.code, code) << args << "\n" << r.err;
        EXPECT_EQ((r.out + r.err).find(password), npos) << args << "\n" << r.out << r.err;
        return r.out;
    };
    EXPECT_NE(run(config + "init", 0).find("initialised " + arxtest::serverUnderTest().scheme()),
              npos);
    for (const char* args : {"project create Shop", "model create Shop Sales",
                             "folder add Sales Orders", "table add Sales Orders Customer",
                             u8"column add Sales Customer 名称 --type text", "model upgrade Sales"})
        run(config + args, 0);
    EXPECT_NE(run(config + "model list", 0).find("Sales\t2"), npos);
    // The platform's own project and its two models count too.
    const Json status = Json::parse(run(config + "status --json", 0));
    for (const char* database : {"config", "work"})
        EXPECT_EQ(
            status.at(database).get<std::string>().rfind(arxtest::serverUnderTest().scheme(), 0),
            0u)
            << status;
    EXPECT_EQ(status.at("projects"), 2) << status;
    EXPECT_EQ(status.at("models"), 4) << status;
    run(config + "status", 0);
    run("--config '" + asParameter + "' --work '" + work + "' status --json", 0);
    run(config + "data export Sales Customer", 1);  // the work database is no instance file
    // A row the server refuses undoes the whole file.
    const std::string instance = dir.serverDatabase("inst"),
                      rows = "--config '" + server + "' --work '" + instance + "' data ";
    run(config + u8"column change Sales Customer 名称 --unique 1", 0);
    run(config + "model instance Sales '" + instance + "'", 0);
    writeText(dir.file("rows.txt"), "0@#@a\n0@#@b\n0@#@a\n0@#@c\n");
    EXPECT_NE(qms(rows + "import Sales Customer rows.txt").err.find("rows.txt line 3: "), npos);
    EXPECT_EQ(run(rows + "export Sales Customer", 0), "");
    for (const auto& day : fs::directory_iterator(dir.file("DB_Log")))
        EXPECT_EQ(file("DB_Log/" + day.path().filename().string()).find(password), npos);
    // From the server into a file and back the other way.
    run(config + "export Shop shop.db", 0);
    ok("--config second.db --work second-work.db init");
    ok("--config second.db --work second-work.db import shop.db");
    EXPECT_NE(
        ok("--config second.db --work second-work.db table show Sales Customer").find(u8"名称"),
        npos);
    EXPECT_NE(run(config + "import shop.db", 0).find("Shop_imp"), npos);
}

TEST_F(QmsTest, DiagramShowsSceneRecordsAndRendersToPng) {
    if (!fs::exists("/usr/bin/rsvg-convert"))
        GTEST_SKIP() << "rsvg-convert is missing (Debian package librsvg2-bin)";
    okEach({"init", "project create P", "model create P M", "folder add M 'R&D <\"x\">'",
            "table add M 'R&D <\"x\">' A", "table add M 'R&D <\"x\">' B",
            "column add M A b --type int --references B"});
    // Without scene records: the folder's frame, escaped, and the reference.
    std::string svg = ok("diagram M");
    EXPECT_NE(svg.find(">R&amp;D &lt;&quot;x&quot;&gt;<"), npos) << svg;
    EXPECT_NE(svg.find("A.b: int -&gt; B"), npos) << svg;

    // A scene record of size 0 puts B's box at its place with its own size.
    const std::string config = dir.file("qms.db");
    const std::string model =
        arxtest::rawScalar(config, "select id from T_M_EntityModel where Name = 'M'");
    const std::string table =
        arxtest::rawScalar(config, "select id from T_M_EntityTable where Name = 'B'");
    ASSERT_TRUE(arxtest::rawExecute(
        config,
        "insert into T_M_SceneInfo_2 (MDataObjectId_2, MSceneType_2, MParentID_2, "
        "MParentType_2, MX_2, MY_2, MEntityModelID_2, MHeight_3, MWidth_3) values (" +
            table + ", 2, " + table + ", 2, 600, 400, " + model + ", 0, 0)"));
    svg = ok("diagram M --version 1");
    EXPECT_NE(svg.find("<rect x=\"600\" y=\"400\" width=\"140\""), npos) << svg;

    writeText(dir.file("m.svg"), svg);
    const std::string render =
        arxtest::withDeadline(arxtest::Seconds(120), "rsvg-convert -o '" + dir.file("m.png") +
                                                         "' '" + dir.file("m.svg") + "'");
    ASSERT_EQ(std::system(render.c_str()), 0);
    const std::string png = file("m.png");
    EXPECT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

// A model changed in version 2, its diff, and a file of version 1 migrated:
// refused while it would lose values, then with the loss allowed; the file
// checked against its version, and the diagram of what changed.
TEST_F(QmsTest, ModelDiffAndMigrationOfAnInstanceFile) {
    okEach({"init", "project create P", "model create P M", "folder add M F", "table add M F T",
            "column add M T Name --type text", "column add M T Age --type text",
            "column add M T Fax --type text", "model instance M v1.db", "model upgrade M",
            "column add M T Phone --type text --default none", "column change M T Age --type int",
            "column change M T Name --unique 1", "column delete M T Fax"});
    const std::string v1 = dir.file("v1.db");
    ASSERT_TRUE(arxtest::rawExecute(v1, "INSERT INTO T_1 VALUES (1, 'Ann', '34', '555')"));
    std::string kinds;
    const Json diff = Json::parse(ok("model diff M --from 1 --to 2 --json"));
    for (const Json& change : diff.at("changes"))
        kinds += change.at("kind").get<std::string>() + ":" +
                 change.at("safety").get<std::string>() + " ";
    EXPECT_EQ(kinds,
              "unique-changed:data-dependent type-changed:data-dependent column-added:safe "
              "column-ended:destructive ");
    const std::string before = file("v1.db");
    Result r = qms("data migrate v1.db --to-version 2 --dry-run");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find(u8"refused 表T_1的列Fax_1有1个值将被删除"), npos) << r.out;
    EXPECT_TRUE(oneErrorLine(r.err) && file("v1.db") == before) << r.err;
    r = qms("data migrate v1.db --to-version 2 --allow-data-loss --dry-run");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("2 (dry run)\n"), npos) << r.out;
    EXPECT_TRUE(file("v1.db") == before);
    const Json plan = Json::parse(ok("data migrate v1.db --to-version 2 --allow-data-loss --json"));
    EXPECT_EQ(plan.at("migrated"), true);
    EXPECT_EQ(plan.at("steps").at(0).at("action"), "rebuild-table") << plan;
    EXPECT_EQ(arxtest::rawScalar(v1, "SELECT Name_1 || Age_1 || Phone_2 FROM T_1"), "Ann34none");
    EXPECT_NE(ok("data check v1.db").find("no drift"), npos);

    // The statements of a new instance, run by hand on an empty database of
    // each backend the tool writes statements for, make what the library
    // makes there (tables, columns with type, default and not-null, indexes,
    // the instance's description).
    for (const arxtest::BackendUnderTest* each : arxtest::matrixBackends()) {
        const arxtest::BackendUnderTest& backend = *each;
        const std::string dialect = backend.dialect();
        SCOPED_TRACE(backend.name());
        if (dialect.empty()) continue;
        if (const std::string why = backend.unavailable(); !why.empty()) {
            if (arxtest::serverRequired()) ADD_FAILURE() << why;
            continue;
        }
        const bool server = !backend.capabilities().localFile;
        const auto empty = [&](const std::string& name) { return dir.database(backend, name); };
        const std::string made = empty("made.db"), byHand = empty("byhand.db");
        ok("model instance M '" + made + "'");
        const std::string sql =
            ok("model sql M --dialect " + dialect +
               (server ? " --server '" + empty("scratch") + "'" : std::string()));
        ASSERT_TRUE(arxtest::rawExecute(byHand, sql)) << sql;
        EXPECT_EQ(arxtest::schemaDump(byHand), arxtest::schemaDump(made)) << sql;
    }
    // So do those of the way back; many files end in a summary.
    ok("model instance M v2.db");
    writeText(dir.file("back.db"), file("v1.db"));
    const std::string back = ok("data migrate back.db --to-version 1 --allow-data-loss --sql");
    ASSERT_TRUE(arxtest::rawExecute(dir.file("back.db"), back)) << back;
    ok("data migrate v1.db --to-version 1 --allow-data-loss");
    EXPECT_EQ(arxtest::schemaDump(dir.file("back.db")), arxtest::schemaDump(v1));
    r = qms("data migrate v1.db v2.db gone.db --to-version 2");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.substr(0, r.out.find(": ")),
              "  migrated       v1.db\n  already there  v2.db\n  refused        gone.db")
        << r.out;
    EXPECT_NE(r.out.find("1 migrated, 1 already there, 1 refused\n"), npos) << r.out;
    ASSERT_TRUE(arxtest::rawExecute(v1, "ALTER TABLE T_1 ADD COLUMN Hand"));
    r = qms("data check v1.db");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("column-ended    destructive    T.Hand (T_1.Hand)"), npos) << r.out;
    // Each column line with its mark, the ended one struck through.
    const std::string svg = ok("diagram M --diff 1");
    EXPECT_NE(svg.find("<g class=\"table changed\">"), npos);
    for (const auto& [mark, line] : {std::pair{"added", "Phone: text"},
                                     {"changed", "Age: int"},
                                     {"ended\" font-weight=\"bold\" fill=\"#c53030\" "
                                      "text-decoration=\"line-through",
                                      "Fax: text"}}) {
        const std::size_t at = svg.find(std::string(">") + line + "<");
        EXPECT_NE(svg.rfind(std::string("class=\"") + mark, at), npos) << line;
        EXPECT_GT(svg.rfind(std::string("class=\"") + mark, at), svg.rfind("<text", at)) << line;
    }
}

// A model written out, edited by hand and applied (a dry run first), the
// plan the same as the diff between the versions; the JSON form applied
// the same; a database file read into a new model.
TEST_F(QmsTest, ModelFileExportEditApplyAndInspect) {
    okEach({"init", "project create P", "model create P M", "folder add M F", "table add M F T",
            "column add M T Name --type text", "column add M T Fax --type text",
            "model upgrade M"});
    ok("model export M -o m.yaml");
    std::string yaml = file("m.yaml");
    EXPECT_EQ(ok("model export M"), yaml);
    const std::string name = "            name: Name\n";
    yaml.replace(yaml.find(name), name.size(), "            name: FullName   # renamed\n");
    const std::string fax = yaml.substr(yaml.find("          - key: Fax_1"));
    yaml.replace(yaml.find(fax), fax.size(), "          - name: Email\n            type: text\n");
    writeText(dir.file("m.yaml"), yaml);
    const std::string lines =
        "  renamed         safe           T.FullName (T_1.Name_1)  Name: Name -> FullName\n"
        "  column-added    safe           T.Email (T_1.Email_2)\n"
        "  column-ended    destructive    T.Fax (T_1.Fax_1)\n";
    EXPECT_EQ(ok("model apply M m.yaml --dry-run"),
              "model M version 2: 3 changes (dry run, nothing written)\n" + lines);
    EXPECT_EQ(ok("model diff M --from 1 --to 2"), "model M version 1 -> 2: 0 changes\n");
    EXPECT_EQ(ok("model apply M m.yaml"),
              "model M version 2: 3 changes\n" + lines + "applied m.yaml to model M version 2\n");
    EXPECT_EQ(ok("model diff M --from 1 --to 2"), "model M version 1 -> 2: 3 changes\n" + lines);
    ok("model export M --json -o m.json");
    const Json exported = Json::parse(file("m.json"));
    EXPECT_EQ(exported.at("folders").at(1).at("tables").at(0).at("columns").at(1).at("key"),
              "Email_2")
        << exported;
    const Json again = Json::parse(ok("model apply M m.json --json"));
    EXPECT_EQ(again.at("changes").size() + again.at("structure").size(), 0u) << again;

    ASSERT_TRUE(arxtest::rawExecute(dir.file("shop.db"),
                                    "CREATE TABLE item (code TEXT PRIMARY KEY, price NUMERIC(8,2));"
                                    "CREATE VIEW cheap AS SELECT code FROM item"));
    const std::string dry = ok("model inspect shop.db --project P --model Shop --dry-run");
    EXPECT_NE(dry.find(u8"# not held by the model:\n#   cheap: 视图不能保存在数据模型中\n"), npos)
        << dry;
    EXPECT_NE(dry.find("model: Shop\nversion: 1\n"), npos) << dry;
    EXPECT_EQ(named(Json::parse(ok("model list --json")), "Shop"), nullptr);
    writeText(dir.file("shop.yaml"), dry);
    const std::string read = ok("model inspect shop.db --project P --model Shop");
    EXPECT_NE(read.find("table-added     safe           item (item_1)\n"), npos) << read;
    EXPECT_NE(read.find("read shop.db into model Shop version 1\n"), npos) << read;
    // The file the dry run printed has no keys: its table is new, and a
    // new one of that name would take the stored one's place.
    const Result keyless = qms("model apply Shop shop.yaml");
    EXPECT_EQ(keyless.code, 1);
    EXPECT_NE(keyless.err.find(u8"第16行第9列：新数据类item没有键"), npos) << keyless.err;
}

// A wrong command line points at the help of the command it was for, and a
// subcommand typed wrongly is told with the nearest one.
TEST_F(QmsTest, BadCommandLinesCreateNothing) {
    const struct {
        const char* args;
        int code;
        const char* says;  // the end of the error line
    } cases[] = {
        {"", 2, "A subcommand is required (see qms --help)\n"},
        {"frobnicate", 2, "qms: unknown subcommand 'frobnicate' (see qms --help)\n"},
        {"projetc list", 2,
         "unknown subcommand 'projetc'; did you mean 'project'? (see qms --help)\n"},
        {"model lst", 2,
         "unknown subcommand 'lst' of qms model; did you mean 'list'? (see qms model --help)\n"},
        {"--config x.db dat export M T", 2, "did you mean 'data'? (see qms --help)\n"},
        {"project list --frob", 2, "(see qms project list --help)\n"},
        {"project create", 2, "NAME is required (see qms project create --help)\n"},
        {"model create OnlyProject", 2, "(see qms model create --help)\n"},
        {"column add M T c", 2, "--type is required (see qms column add --help)\n"},
        {"data export M T a.txt -o b.txt", 2, "not both (see qms data export --help)\n"},
        {"--config", 2, "(see qms --help)\n"},
        {"project list", 1, "(run 'qms init' first)\n"},  // before init
    };
    for (const auto& c : cases) {
        const Result r = qms(c.args);
        EXPECT_EQ(r.code, c.code) << "qms " << c.args << "\n" << r.err;
        EXPECT_TRUE(oneErrorLine(r.err)) << "qms " << c.args << "\n" << r.err;
        const std::string says = c.says;
        EXPECT_TRUE(r.err.size() >= says.size() &&
                    r.err.compare(r.err.size() - says.size(), says.size(), says) == 0)
            << "qms " << c.args << "\n"
            << r.err;
        EXPECT_TRUE(fs::is_empty(dir.path())) << "qms " << c.args;
    }
    const Result version = qms("--version");
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "qms " ARX_QMS_VERSION "\n");
}

// What a newcomer looks for in lists and shows: the platform's own project
// only when asked for, display names, tables, another version's table.
TEST_F(QmsTest, ListsAndShowsTellWhatANewcomerLooksFor) {
    okEach({"init", "project create Shop", "model create Shop Sales", "folder add Sales F",
            "table add Sales F T_Customer --display Customer",
            "column add Sales T_Customer MName --type text --display 'Full name'",
            "column add Sales T_Customer MCity --type text", "model upgrade Sales",
            "column change Sales T_Customer MCity --display Town", "table add Sales F T_Order",
            "model instance Sales --version 1 v1.db"});
    const struct {
        const char* args;
        const char* has;    // a line of the output
        const char* lacks;  // text not in it
    } cases[] = {
        {"project list", "Shop\t2\t", "ARX_QMS"},
        {"project list --all", "ARX_QMS\t1\t", "M_QMS"},
        {"model list", "Sales\t2\t1\tunlocked\tShop", "M_QMS"},
        {"model list --all", "M_QMS\t1\t1\tunlocked\tARX_QMS", ""},
        {"model list --project ARX_QMS", "M_ProjectManage\t1\t1\tunlocked\tARX_QMS", "Sales"},
        {"model show Sales", "tables:\n  T_Customer (Customer)\n  T_Order\n", ""},
        {"model show Sales --version 1", "tables:\n  T_Customer (Customer)\n", "T_Order"},
        {"table show Sales T_Customer", "  MName\ttext\tMName_1\tdisplay Full name\n", ""},
        {"table show Sales T_Customer --version 1", "  MCity\ttext\tMCity_1\n", "Town"},
        {"table show Sales T_Customer", "  MCity\ttext\tMCity_1\tdisplay Town\n", ""},
        {"diagram Sales --display", ">Full name: text<", ">MName: text<"},
        {"diagram Sales --display", ">Customer<", ">T_Customer<"},
        {"diagram Sales", ">MName: text<", "Full name"},
        {"--work v1.db data export Sales T_Customer rows.txt", "", ""},
    };
    for (const auto& c : cases) {
        const std::string out = ok(c.args);
        EXPECT_NE(out.find(c.has), npos) << "qms " << c.args << "\n" << out;
        if (*c.lacks != '\0') {
            EXPECT_EQ(out.find(c.lacks), npos) << "qms " << c.args << "\n" << out;
        }
    }
    EXPECT_TRUE(fs::is_regular_file(dir.file("rows.txt")));
    const Json table = Json::parse(ok("table show Sales T_Customer --json"));
    EXPECT_EQ(table.at("columns").at(0).at("display"), "Full name") << table;
    EXPECT_EQ(table.at("columns").at(1).at("display"), "Town") << table;
    // The platform's project in an export file, only when asked for.
    ok("export ARX_QMS Shop both.db");
    EXPECT_EQ(ok("import --list both.db").find("ARX_QMS"), npos);
    EXPECT_NE(ok("import --list both.db --all").find("ARX_QMS (id "), npos);
}

TEST_F(QmsTest, FailuresAndRefusalsLeaveTheDatabasesAsTheyWere) {
    okEach({"init", "project create A", "project create B", "model create A M", "model create B M",
            "folder add M F --project A", "table add M F T --project A",
            "column add M T c --type text --project A", "model instance M inst.db --project A",
            "folder add M F_gen --generate-dao --project A",
            "table add M F_gen T_gen --project A"});
    writeText(dir.file("emoji.txt"), u8"0@#@ok\n0@#@😀\n");
    // Model files: 100 MB (sparse: nothing but its size is read), a
    // reference to no table (ModelFileTest has the other refused files).
    writeText(dir.file("big.yaml"), "");
    fs::resize_file(dir.file("big.yaml"), 100u << 20);
    writeText(dir.file("ref.yaml"),
              "folders:\n  - name: F\n    tables:\n      - name: U\n"
              "        columns:\n          - name: c\n"
              "            references: Nosuch\n");
    const std::string before = file("qms.db") + file("inst.db");
    const struct {
        const char* args;
        int code;
        const char* says;
    } cases[] = {
        {"project show Nosuch", 1, "no project 'Nosuch'\n"},
        // A name typed wrongly gets the nearest one; another version of a
        // model is no typing error.
        {"project show Aa", 1, "no project 'Aa' (did you mean 'A'?)\n"},
        {"model show m --project A", 1, "no model 'm' (did you mean 'M'?)\n"},
        {"model show M --project A --version 9", 1, "no model 'M version 9'\n"},
        {"folder add M F_ge/X --project A", 1, "no folder 'F_ge' (did you mean 'F_gen'?)\n"},
        {"table show M Tgen --project A", 1, "no table 'Tgen' (did you mean 'T_gen'?)\n"},
        {"column change M T cc --type int --project A", 1, "no column 'cc' (did you mean 'c'?)\n"},
        {"model show M", 1, "exists twice (ids 3, 4; give --project or --id)"},
        {"model show Nosuch", 1, "Nosuch"},
        {"table show M Nosuch --project A", 1, "Nosuch"},
        {"folder add M F/G/H --project A", 1, "F/G"},
        {"table add M F t --project A", 1, "exists"},  // one physical table with T
        {"model create A M", 1, ""},                   // the highest version is not locked
        {"--work missing.db project list", 1, "missing.db"},
        {"column add M T c --type nosuch --project A", 2, "nosuch"},
        {"codegen T '' --model M --project A", 2, "empty folder"},
        // A default that is no value of its column's type.
        {"column add M T q --type int --default abc --project A", 1,
         u8"数据属性\"q\"的默认值\"abc\"不是32位整数。"},
        {"column change M T c --type int --default abc --project A", 1, u8"\"abc\"不是32位整数"},
        // Code generation would change the names T and c.
        {"codegen T gen --model M --project A", 1,
         "table 'T' does not begin with T_: code generation names its class DAO (T_T would give "
         "TDAO); column 'c' of table 'T' does not begin with a prefix letter: code generation "
         "names its member _ (Mc would give _c) (--allow-renamed generates them so)"},
        // The classes of F_gen and T_gen would both be GenDAO.
        {"codegen F_gen/ gen --model M --project A", 1, u8"\"T_gen\"与数据模块\"F_gen\""},
        // Text without a GBK form, in every kind of name and value.
        {u8"project create 'emoji😀'", 2, u8"NAME: 'emoji😀' holds 😀 (U+1F600), which GBK"},
        {u8"project delete 'A🙂'", 2, u8"🙂 (U+1F642)"},
        {u8"model create A '𠀀'", 2, "(U+20000)"},
        {u8"table add M F '㐀' --project A", 2, "(U+3400)"},
        {u8"column add M T '한' --type text --project A", 2, "(U+D55C)"},
        {u8"column add M T d --type text --default 'x😀' --project A", 2, "(U+1F600)"},
        {"folder add M \"$(printf 'x\\377')\" --project A", 2, "the byte 0xFF, which is no UTF-8"},
        {"--work inst.db data import M T emoji.txt --project A", 1,
         u8"emoji.txt line 2: '😀' holds"},
        // Versions below 1; blank names of new things.
        {"model show M --project A --version -1", 2,
         "--version: must be a number from 1, not '-1'"},
        {"diagram M --project A --version 0", 2, "not '0'"},
        {"model copy M N --project A --version -2147483648", 2, "not '-2147483648'"},
        {"project create ' '", 2, "a name must not be empty or only blanks"},
        {"project create 'A '", 2, "'A ' begins or ends with a blank"},
        {u8"model create A '　N'", 2, "begins or ends with a blank"},
        {"folder add M 'F/G ' --project A", 2, "'G ' begins or ends"},
        {"column add M T '' --type text --project A", 2, "empty"},
        // A row by its identifier, which stands in place of the name.
        {"project delete --id 999", 1, "no project with id 999"},
        {"model show M --id 3", 2, "not expected: M"},
        {"table show T --id 3 --project A", 2, "--id excludes --project"},
        // Model files refused before anything is written.
        {"model apply M big.yaml --project A", 1, "104857600 bytes, more than the 16777216"},
        {"model apply M ref.yaml --project A", 1, u8"第7行第25列：文件中没有数据类Nosuch"},
        {"model apply M missing.yaml --project A", 1, "missing.yaml"},
        {"model inspect inst.db --model N", 2, "--project"},
        {"model inspect inst.db --project A --model N --version-of M", 2, "excludes"},
        {"model inspect nosuch.db --project A --model N", 1, "nosuch.db"},
    };
    for (const auto& c : cases) {
        const Result r = qms(c.args);
        EXPECT_EQ(r.code, c.code) << "qms " << c.args << "\n" << r.err;
        EXPECT_TRUE(oneErrorLine(r.err)) << "qms " << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), npos) << "qms " << c.args << "\n" << r.err;
        EXPECT_TRUE(file("qms.db") + file("inst.db") == before) << "qms " << c.args << " wrote";
    }
    EXPECT_FALSE(fs::exists(dir.file("missing.db")));
    EXPECT_FALSE(fs::exists(dir.file("gen")));
}

// A change in version 2 leaves version 1 as it was: its diagram, and the
// header of its files' CSV, which a CSV exported before the change still fits.
TEST_F(QmsTest, AVersionKeepsItsColumnOrderWhenALaterVersionChanges) {
    okEach({"init", "project create P", "model create P M", "folder add M F", "table add M F T_t",
            "column add M T_t MA --type text", "column add M T_t MB --type text",
            "column add M T_t MC --type text", "model instance M v1.db"});
    writeText(dir.file("rows.csv"), "id,MA,MB,MC\n0,a,b,c\n");
    ok("--work v1.db data import M T_t rows.csv --csv");
    ok("--work v1.db data export M T_t --csv -o before.csv");
    const std::string diagram = ok("diagram M --version 1");
    okEach({"model upgrade M", "column change M T_t MA --type int",
            "column change M T_t MB --unique 1"});
    EXPECT_EQ(ok("diagram M --version 1"), diagram);
    EXPECT_EQ(ok("--work v1.db data export M T_t --csv"), file("before.csv"));
    ok("--work v1.db data import M T_t before.csv --csv");
    const Json columns = Json::parse(ok("table show M T_t --json")).at("columns");
    ASSERT_EQ(columns.size(), 3u) << columns;
    EXPECT_EQ(columns[0].at("name"), "MA") << columns;
    EXPECT_EQ(columns[0].at("type"), "int") << columns;
}

// Code generation drops "T_" of a table name and the first letter of a
// column name: names without them are said to change when they are made,
// and code generation refuses them unless allowed, writing nothing.
TEST_F(QmsTest, NamesCodeGenerationWouldChangeAreToldAndRefusedUnlessAllowed) {
    okEach({"init", "project create P", "model create P M", "folder add M F"});
    const auto warned = [this](const std::string& args, const std::string& warning) {
        const Result r = qms(args);
        EXPECT_EQ(r.code, 0) << args << "\n" << r.err;
        EXPECT_EQ(r.err, warning.empty() ? "" : "qms: warning: " + warning + "\n") << args;
    };
    const std::string order =
        "table 'Order' does not begin with T_: code generation names its class DerDAO (T_Order "
        "would give OrderDAO)";
    const std::string customer =
        "column 'CustomerID' of table 'Order' does not begin with a prefix letter: code "
        "generation names its member _ustomerID (MCustomerID would give _customerID)";
    warned("table add M F Order", order);
    warned("column add M Order CustomerID --type int", customer);
    warned("table add M F T_Item", "");
    warned("column add M T_Item MName --type text", "");
    warned("column add M T_Item CCode --type int", "");
    warned("codegen T_Item gen", "");
    EXPECT_TRUE(fs::exists(dir.file("gen/ItemDAO.h")));
    for (const char* args : {"codegen Order gen2", "codegen F/ gen2"}) {
        const Result r = qms(args);
        EXPECT_EQ(r.code, 1) << args;
        EXPECT_TRUE(oneErrorLine(r.err)) << r.err;
        EXPECT_NE(r.err.find(order + "; " + customer + " (--allow-renamed generates them so)"),
                  npos)
            << r.err;
        EXPECT_FALSE(fs::exists(dir.file("gen2"))) << args;
    }
    const Result r = qms("codegen Order gen2 --allow-renamed");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "qms: warning: " + order + "\nqms: warning: " + customer + "\n");
    EXPECT_TRUE(fs::exists(dir.file("gen2/DerDAO.h")));
}

TEST_F(QmsTest, RefusedRowFilesWriteNothing) {
    okEach({"init", "project create P", "model create P M", "folder add M F", "table add M F T",
            "column add M T name --type text", "column add M T pop --type int",
            "model create P D --type 2", "folder add D G", "table add D G C",
            "column add D C label --type text", "column add D C code --type int",
            "column change M T name --unique 1", "model instance M inst.db",
            "model instance M copy.db"});
    // A dictionary table is built from its columns at each import.
    ASSERT_TRUE(arxtest::rawExecute(dir.file("qms.db"),
                                    "UPDATE T_M_NormalColumn SET IsOnly = 1 WHERE Name = 'label'"));
    fs::create_directory(dir.file("adir"));
    // Empty values at either end of a line come back empty, never as a marker.
    writeText(dir.file("d.txt"), u8"红@#@1\n@#@2\n");
    ok("dict import D C d.txt");
    EXPECT_EQ(ok("dict export D C"), u8"红@#@1\n@#@2\n");
    // Rows under their own identifiers, exported and inserted into a second
    // instance file: references to rows 1 and 3 stay right.
    writeText(dir.file("rows.txt"), "3@#@Paris@#@7\n1@#@Oslo@#@\n");
    ok("--work inst.db data import M T rows.txt --keep-ids");
    ok("--work inst.db data export M T -o out.txt");
    ok("--work copy.db data import M T out.txt --keep-ids");
    EXPECT_EQ(ok("--work copy.db data export M T"), "1@#@Oslo@#@\n3@#@Paris@#@7\n");

    const struct {
        const char* args;  // the file, when not adir, holds `rows`
        const char* rows;
        const char* says;
    } cases[] = {
        {"dict import D C adir", "", "cannot read adir: not a regular file"},
        {"--work inst.db data import M T adir", "", "cannot read adir: not a regular file"},
        {"dict import D C f.txt", "blue@#@abc\n", u8"（code）的值不是32位整数：abc"},
        {"--work inst.db data import M T f.txt", "0@#@Rome@#@notanumber\n",
         u8"（pop）的值不是32位整数"},
        {"--work inst.db data import M T f.txt", "-5@#@Rome@#@1\n", u8"的标识不能小于-1"},
        {"--work inst.db data import M T f.txt --keep-ids", "2@#@Rome@#@1\n3@#@Bern@#@2\n",
         u8"第2行数据写入失败：标识为3的行已存在。"},
        // A line the store refuses undoes the whole file, named by its line.
        {"--work inst.db data import M T f.txt",
         "0@#@Rome@#@1\n0@#@Bern@#@2\n0@#@Oslo@#@3\n0@#@Linz@#@\n",
         u8"nothing was written: f.txt line 3: 第3行数据写入失败："},
        {"--work inst.db data import M T f.txt --csv", "id,name,pop\n0,\"Ro\nme\",1\n0,Oslo,2\n",
         u8"f.txt line 4: 第2行数据写入失败："},
        {"dict import D C f.txt", "blue@#@1\nred@#@2\nblue@#@3\n",
         u8"f.txt line 3: 第3行数据写入失败："},
        // The empty value's marker as a value would be stored empty.
        {"--work inst.db data import M T f.txt --csv", "id,name,pop\n0,!#@$!^%&^@%$,1\n",
         "f.txt line 2: a value is \"!#@$!^%&^@%$\""},
        // Values whose GBK bytes run into a separator: 丂 is 0x81 0x40.
        {"--work inst.db data import M T f.txt --csv", "id,name,pop\n0,x@#,1\n",
         "f.txt line 2: a value ends in \"@#\""},
        {"--work inst.db data import M T f.txt --csv", u8"id,name,pop\n0,丂#@x,1\n",
         "f.txt line 2: a value holds \"@#@\""},
        {"--work inst.db data import M T f.txt --csv", "id,name,pop\n0,x,#@\n",
         "f.txt line 2: the values cannot be told apart once joined"},
    };
    for (const auto& c : cases) {
        const std::string config = file("qms.db"), work = file("inst.db");
        writeText(dir.file("f.txt"), c.rows);
        const Result r = qms(c.args);
        EXPECT_EQ(r.code, 1) << "qms " << c.args << "\n" << r.err;
        EXPECT_TRUE(oneErrorLine(r.err)) << r.err;
        EXPECT_NE(r.err.find(c.says), npos) << "qms " << c.args << "\n" << r.err;
        EXPECT_TRUE(file("qms.db") == config && file("inst.db") == work) << "qms " << c.args;
    }
}

// Names that a terminal would act on, and rows that no name reaches.
TEST_F(QmsTest, NamesAreShownEscapedAndAnIdReachesWhatNoNameDoes) {
    okEach({"init", "project create \"$(printf 'ctl\\033[31mred')\"",
            "project create \"$(printf 'two\\nlines')\"", "project create Dup",
            "project create Other"});
    const std::string list = ok("project list");
    EXPECT_EQ(list.find('\x1b'), npos) << list;
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 4) << list;  // without ARX_QMS
    EXPECT_NE(list.find("ctl\\x1b[31mred\t"), npos) << list;
    EXPECT_NE(list.find("two\\nlines\t"), npos) << list;
    EXPECT_EQ(qms("project show \"$(printf 'no\\033')\"").err, "qms: no project 'no\\x1b'\n");

    const std::string config = dir.file("qms.db");
    ASSERT_TRUE(
        arxtest::rawExecute(config, "update T_M_Project set Name = 'Dup' where Name = 'Other'"));
    const std::string first =
        arxtest::rawScalar(config, "select min(id) from T_M_Project where Name = 'Dup'");
    const std::string second =
        arxtest::rawScalar(config, "select max(id) from T_M_Project where Name = 'Dup'");
    EXPECT_NE(qms("project show Dup").err.find("exists twice (ids "), npos);
    ok("model create --id " + first + " M");
    const std::string model =
        arxtest::rawScalar(config, "select id from T_M_EntityModel where Name = 'M'");
    // --id before or after the other arguments: they keep their places.
    okEach({"folder add --id " + model + " F", "table add F T --id " + model,
            "column add --id " + model + " T c --type text", "diagram --id " + model,
            "export --id " + first + " e.db", "project delete --id " + second});
    EXPECT_NE(ok("model show --id " + model).find("    T\n"), npos);
    EXPECT_NE(ok("project show Dup").find("  M version 1"), npos);
    EXPECT_NE(ok("import --list e.db").find("Dup (id "), npos);
}

// A name is matched exactly ('_' and '%' are no wildcards, case counts),
// and a lookup that cannot read fails as such, never as "no project".
TEST_F(QmsTest, NamesMatchExactlyAndAFailedLookupSaysSo) {
    okEach({"init", "project create A_B", "project create AxB", "project create a_b",
            "model create AxB M_1", "model create a_b m_1", "model create A_B M%1"});
    const struct {
        const char *args, *says;
    } cases[] = {{"project show A_B", "name:    A_B\n"},
                 {"model show M_1", "project: AxB\n"},
                 {"model show m_1", "project: a_b\n"},
                 {"model show M%1", "project: A_B\n"},
                 {"model show M_1 --project AxB", "project: AxB\n"}};
    for (const auto& c : cases)
        EXPECT_NE(ok(c.args).find(c.says), npos) << c.args;
    // The file engine's LIKE refuses a pattern of more than 50,000 bytes when it
    // meets a row.
    const std::string longName(50001, 'x');
    ASSERT_TRUE(arxtest::rawExecute(dir.file("qms.db"),
                                    "insert into T_M_Project (Name) values ('" + longName + "')"));
    const Result r = qms("project show " + longName);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(oneErrorLine(r.err)) << r.err.substr(0, 80);
    EXPECT_EQ(r.err.rfind("qms: cannot look up project 'x", 0), 0u) << r.err.substr(0, 80);
}

// Output that is lost (a full disk, a file size limit) fails the command,
// and a file named by -o or an export file is either whole or not there.
TEST_F(QmsTest, OutputThatCannotBeWrittenFails) {
    okEach({"init", "project create P", "model create P M", "folder add M F", "table add M F T",
            "column add M T c --type text", "model instance M inst.db"});
    writeText(dir.file("rows.txt"), [] {
        std::string rows;
        for (int i = 0; i < 10000; ++i)
            rows += "0@#@" + std::string(60, 'x') + "\n";
        return rows;
    }());
    ok("--work inst.db data import M T rows.txt");
    const std::set<std::string> before = entries();
    const struct {
        const char *args, *before, *out, *says = "cannot write";
    } cases[] = {
        {"project list", "", "/dev/full"},
        {"--work inst.db data export M T", "", "/dev/full"},
        {"diagram M", "", "/dev/full"},
        {"--work inst.db data export M T --csv -o big.csv", "ulimit -f 200;", ""},
        {"export P full.db", "ulimit -f 200;", "", u8"已全部撤销"},
    };
    for (const auto& c : cases) {
        const Result r = qms(c.args, c.before, c.out);
        EXPECT_EQ(r.code, 1) << c.args << "\n" << r.err;
        EXPECT_TRUE(oneErrorLine(r.err)) << r.err;
        EXPECT_NE(r.err.find(c.says), npos) << r.err;
    }
    EXPECT_EQ(entries(), before);
}

// A configuration qms cannot use is refused with one error line, and nothing
// is written: a file that is no database, a database of something else, a
// folder nobody may write (qms run as another user when the test runs as
// root, for whom nothing is read-only).
TEST_F(QmsTest, AConfigurationThatCannotBeUsedIsRefusedUntouched) {
    writeText(dir.file("text.db"), "not a database\n");
    ASSERT_TRUE(arxtest::rawExecute(dir.file("other.db"), "create table t (x integer)"));
    const std::string as =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const std::set<std::string> before = entries();
    const std::string files = file("text.db") + file("other.db");
    for (const char* args : {"--config text.db init", "--config text.db project list",
                             "--config other.db init", "--config other.db project list", "init"}) {
        const bool readOnly = std::string(args) == "init";
        if (readOnly)
            fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
        const Result r = qms(args, readOnly ? as : "");
        fs::permissions(dir.path(), fs::perms::owner_all);
        EXPECT_EQ(r.code, 1) << args << "\n" << r.err;
        EXPECT_TRUE(oneErrorLine(r.err)) << r.err;
        EXPECT_TRUE(file("text.db") + file("other.db") == files) << args;
        EXPECT_EQ(entries(), before) << args;
    }
}

// Four writers of 25 tables each and a reader loop at once on one
// configuration database: each command waits for the others' locks.
TEST_F(QmsTest, ProcessesSharingADatabaseWaitForEachOther) {
    okEach({"init", "project create S", "model create S M", "folder add M F"});
    const std::string q = arxtest::withDeadline(arxtest::Seconds(300), "'" ARX_QMS_BINARY "'"),
                      load = io.file("load");
    const std::string script =
        "cd '" + dir.path() + "' && for k in 1 2 3 4; do (for i in $(seq 25); do " + q +
        " table add M F T_${k}_$i >/dev/null || echo failed; done) & done; " +
        "for i in $(seq 30); do " + q + " model list >/dev/null || echo failed; done; wait";
    EXPECT_EQ(std::system(("(" + script + ") >'" + load + "' 2>&1").c_str()), 0);
    EXPECT_EQ(readText(load), "");
    const std::string db = dir.file("qms.db");
    EXPECT_EQ(arxtest::rawScalar(db,
                                 "SELECT count(*) || '/' || count(DISTINCT \"Name\") FROM "
                                 "\"T_M_EntityTable\" WHERE \"Name\" GLOB 'T_[1-4]_*'"),
              "100/100");
    EXPECT_EQ(arxtest::rawScalar(db, "PRAGMA integrity_check"), "ok");
    // Held past the busy timeout, the database is busy, not foreign.
    arxtest::RawConnection holder(db);
    ASSERT_TRUE(holder.execute("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE"));
    const Result busy = qms("model list");
    EXPECT_EQ(busy.code, 1);
    EXPECT_TRUE(oneErrorLine(busy.err) && busy.err.find(u8"请稍后重试") != npos) << busy.err;
}

// An instance file nobody may write (it and its folder read-only; qms run
// as another user when the test runs as root, for whom nothing is): it is
// checked and its migration planned as it is, the migration itself refused
// with the reason, and no file appears beside it.
TEST_F(QmsTest, AnInstanceFileThatCannotBeWrittenIsReadButNotChanged) {
    okEach({"init", "project create P", "model create P M", "folder add M F", "table add M F T",
            "column add M T Name --type text", "model instance M ro/v1.db", "model upgrade M",
            "column add M T Phone --type text"});
    const std::string ro = dir.file("ro"), v1 = dir.file("ro/v1.db");
    std::string as;
    if (geteuid() == 0) {
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        ASSERT_EQ(
            std::system(
                ("chown -R 65534:65534 '" + dir.path() + "' && chown -R 0:0 '" + ro + "'").c_str()),
            0);
    }
    const fs::perms readable =
        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const fs::perms passable =
        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(v1, readable);
    fs::permissions(ro, readable | passable);
    const std::string before = file("ro/v1.db");
    Result r = qms("data check ro/v1.db", as);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("no drift"), npos) << r.out;
    r = qms("data migrate ro/v1.db --to-version 2 --dry-run", as);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("add-column T_1.Phone_2"), npos) << r.out;
    r = qms("data migrate ro/v1.db --to-version 2", as);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(oneErrorLine(r.err) && r.err.find(u8"数据库文件不能写入") != npos) << r.err;
    EXPECT_TRUE(file("ro/v1.db") == before);
    EXPECT_FALSE(fs::exists(v1 + "-wal") || fs::exists(v1 + "-shm"));
    fs::permissions(ro, fs::perms::owner_all);
}

// What a migration says, a person reads: one UTF-8 line for a failure (a
// full disk too), a long value cut short with its length named, storage
// types as words.
TEST_F(QmsTest, MigrationMessagesAreOneReadableLineEach) {
    okEach({"init", "project create P", "model create P M", "folder add M F", "table add M F T",
            "column add M T Name --type text", "column add M T Age --type text",
            "model instance M v1.db", "model upgrade M", "column change M T Name --unique 1",
            "column change M T Age --type int"});
    const std::string v1 = dir.file("v1.db");
    ASSERT_TRUE(arxtest::rawExecute(
        v1,
        "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 6000) "
        "INSERT INTO T_1 (Name_1, Age_1) SELECT printf('%0100d', i), i FROM k"));
    // A file size limit of 100 KiB stops the rebuild's writes half-way.
    Result r = qms("data migrate v1.db --to-version 2", "ulimit -f 200 && ");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(oneErrorLine(r.err) && r.err.find(u8"迁移失败，实例数据未改变") != npos) << r.err;

    ASSERT_TRUE(arxtest::rawExecute(
        v1, "UPDATE T_1 SET Name_1 = printf('%.*c', 200000, 'x') WHERE id <= 2"));
    r = qms("data migrate v1.db --to-version 2");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(oneErrorLine(r.err) && r.err.size() < 400) << r.err.substr(0, 400);
    EXPECT_NE(
        r.err.find(u8"改为唯一后有1个值重复：'" + std::string(80, 'x') + u8"…（共200000字节）'"),
        npos)
        << r.err.substr(0, 400);

    ASSERT_TRUE(arxtest::rawExecute(
        v1,
        "CREATE TABLE X (id INTEGER PRIMARY KEY, Name_1 TEXT, Age_1 BLOB); INSERT INTO X "
        "SELECT * FROM T_1; DROP TABLE T_1; ALTER TABLE X RENAME TO T_1"));
    r = qms("data check v1.db");
    EXPECT_NE(
        r.out.find("type-changed    destructive    T.Age (T_1.Age_1)  StorageType: blob -> text"),
        npos)
        << r.out;
    r = qms("data migrate v1.db --to-version 2");
    EXPECT_TRUE(oneErrorLine(r.err) && r.err.find(u8"的存储类型是二进制数据，版本中是文本") != npos)
        << r.err;
}

}  // namespace
