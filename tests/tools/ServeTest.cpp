// qms serve as a browser or a script meets it: servers on free local ports
// over a configuration database made with qms, each request with the
// status and fields it must answer, writes that must be refused, and two
// servers moving one box at once.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/RawDb.h"
#include "support/TempDir.h"

namespace {

using Json = nlohmann::json;

// qms serve in `folder`, on a free port: its address and token are read
// from its first lines; SIGTERM stops it, as Ctrl-C does.
class ServeProcess {
public:
    ServeProcess(const std::string& folder, const std::string& options) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test that dies takes its servers along
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            const std::string command = "cd '" + folder +
                                        "' && exec '" ARX_QMS_BINARY "' serve --port 0 " + options +
                                        " 2>>serve.log";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        out_ = fdopen(out[0], "r");
        const std::string first = line(),
                          second = options.find("--read-only") == std::string::npos ? line() : "";
        banner = first + second;
        const std::size_t colon = first.find(':', first.find("127.0.0.1"));
        port = colon == std::string::npos ? 0 : std::stoi(first.substr(colon + 1));
        if (second.rfind("write token: ", 0) == 0) token = second.substr(13, 32);
    }
    ~ServeProcess() { stop(); }
    /// Stops the server: true when it ended on its own with exit code 0
    /// after saying so.
    bool stop() {
        if (pid_ <= 0) return false;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
        const bool said = line() == "qms serve: stopped\n";
        std::fclose(out_);
        return said && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    int port = 0;
    std::string token, banner;

private:
    std::string line() {
        char buffer[512] = "";
        return std::fgets(buffer, sizeof buffer, out_) != nullptr ? buffer : "";
    }
    pid_t pid_ = 0;
    std::FILE* out_ = nullptr;
};

class ServeTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string args :
             {"init", "project create Shop", "model create Shop Sales", "folder add Sales Orders",
              "table add Sales Orders Customer", "table add Sales Orders Order",
              "column add Sales Order customer --type int --references Customer"})
            qms(args);
        model = arxtest::rawScalar(db(), "select id from T_M_EntityModel where Name = 'Sales'");
        table = arxtest::rawScalar(db(), "select id from T_M_EntityTable where Name = 'Customer'");
    }
    std::string qms(const std::string& args) {
        const std::string command =
            "cd '" + dir.path() + "' && '" ARX_QMS_BINARY "' " + args + " 2>&1";
        std::string out;
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(popen(command.c_str(), "r"),
                                                                   &pclose);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
            out.append(buffer, n);
        return out;
    }
    std::string db() const { return dir.file("qms.db"); }
    std::string scenes() const {
        return arxtest::rawScalar(db(),
                                  "select group_concat(MDataObjectId_2 || ':' || MX_2 || ',' || "
                                  "MY_2 || ',' || MWidth_3 || ',' || MHeight_3, ' ') from "
                                  "(select * from T_M_SceneInfo_2 order by id)");
    }
    httplib::Result put(const ServeProcess& server, const std::string& body) {
        httplib::Client client("127.0.0.1", server.port);
        return client.Put(("/api/models/" + model + "/tables/" + table + "/box").c_str(),
                          {{"X-QMS-Token", server.token}}, body, "application/json");
    }

    arxtest::TempDir dir;
    std::string model, table;
};

TEST_F(ServeTest, RequestsGetTheirAnswersAndRefusedWritesWriteNothing) {
    ServeProcess server(dir.path(), ""), readOnly(dir.path(), "--read-only");
    ASSERT_GT(server.port, 0);
    ASSERT_EQ(server.token.size(), 32u);
    const std::string box = "/api/models/" + model + "/tables/" + table + "/box";
    const std::string right = server.token, wrong = std::string(32, '0'), json = "application/json";
    const std::string moved = R"({"x": 40, "y": -8, "width": 150, "height": 60})";
    const struct {
        bool readOnly;
        std::string method, path, token, type, body;
        int status;
        std::string pointer, value;  // a field of the JSON answer, or text in the answer
    } cases[] = {
        {false, "GET", "/", "", "", "", 200, "", "<script type=\"module\" src=\"/app.js\">"},
        {false, "GET", "/app.js", "", "", "", 200, "", "textContent"},
        {false, "GET", "/api/projects", "", "", "", 200, "/0/name", "Shop"},
        {false, "GET", "/api/models/" + model, "", "", "", 200, "/diagram/tables/0/name",
         "Customer"},
        {false, "GET", "/api/models/" + model + "/tables/" + table, "", "", "", 200, "/folders/0",
         "Orders"},
        {false, "PUT", box, right, json, moved, 200, "/x", "40"},
        {true, "PUT", box, right, json, moved, 403, "/error", "read-only"},
        {false, "PUT", box, "", json, moved, 401, "/error", "X-QMS-Token"},
        {false, "PUT", box, wrong, json, moved, 403, "/error", "wrong write token"},
        {false, "PUT", box, right, "text/plain", moved, 415, "/error", "application/json"},
        {false, "PUT", box, right, json, std::string(20000, ' '), 413, "/error", "16384"},
        {false, "PUT", box, right, json, "{\"x\": 1", 400, "/error", "no JSON object"},
        {false, "PUT", box, right, json, R"({"x": 1, "y": 1, "width": 0, "height": 9})", 400,
         "/error", "width and height"},
        {false, "PUT", box, right, json, R"({"x": 1e9, "y": 1, "width": 9, "height": 9})", 400,
         "/error", "\"x\""},
        {false, "PUT", "/api/models/" + model + "/tables/99999/box", right, json, moved, 404,
         "/error", "no table with id 99999"},
        {false, "PUT", "/api/models/99999/tables/" + table + "/box", right, json, moved, 404,
         "/error", "no model with id 99999"},
        {false, "GET", "/api/models/" + model + "/tables/99999", "", "", "", 404, "/error",
         "no table"},
        {false, "GET", "/api/models/" + model + "/diff?from=9", "", "", "", 404, "/error",
         "has no version 9"},
        {false, "GET", "/api/models/" + model + "/diff", "", "", "", 400, "/error", "?from="},
        {false, "GET", "/api/models/" + model + "/layout?compare=x", "", "", "", 400, "/error",
         "version number"},
        {false, "GET", "/qms.db", "", "", "", 404, "/error", "no such resource"},
        {false, "GET", "/../qms.db", "", "", "", 404, "/error", "no such resource"},
        {false, "POST", "/api/projects", right, json, "{}", 404, "/error", "no such resource"},
        {false, "GET", "/api/info", "", "", "", 403, "/error", "host"},  // Host: evil.example
    };
    for (const auto& c : cases) {
        const std::string before = scenes();
        httplib::Client client("127.0.0.1", (c.readOnly ? readOnly : server).port);
        httplib::Headers headers;
        if (!c.token.empty()) headers.emplace("X-QMS-Token", c.token);
        if (c.status == 403 && c.value == "host") headers.emplace("Host", "evil.example");
        const httplib::Result r = c.method == "GET" ? client.Get(c.path.c_str(), headers)
                                  : c.method == "POST"
                                      ? client.Post(c.path.c_str(), headers, c.body, c.type.c_str())
                                      : client.Put(c.path.c_str(), headers, c.body, c.type.c_str());
        const std::string what = c.method + " " + c.path + " " + c.body.substr(0, 60);
        ASSERT_TRUE(r) << what;
        EXPECT_EQ(r->status, c.status) << what << "\n" << r->body;
        EXPECT_NE(r->get_header_value("Content-Security-Policy").find("script-src 'self';"),
                  std::string::npos)
            << what;
        EXPECT_EQ(r->get_header_value("X-Content-Type-Options"), "nosniff") << what;
        if (c.pointer.empty()) {
            EXPECT_NE(r->body.find(c.value), std::string::npos) << what << "\n" << r->body;
            continue;
        }
        const Json answer = Json::parse(r->body, nullptr, false);
        const Json::json_pointer at(c.pointer);
        ASSERT_TRUE(answer.contains(at)) << what << "\n" << r->body;
        const Json& field = answer.at(at);
        EXPECT_NE((field.is_string() ? field.get<std::string>() : field.dump()).find(c.value),
                  std::string::npos)
            << what << "\n"
            << r->body;
        if (c.status >= 400) {
            EXPECT_EQ(scenes(), before) << what;
        }
    }
    // The stored box, once, where qms diagram draws it too.
    EXPECT_EQ(scenes(), table + ":40,-8,150,60");
    EXPECT_NE(qms("diagram Sales").find("<rect x=\"40\" y=\"-8\" width=\"150\" height=\"60\""),
              std::string::npos);
    EXPECT_TRUE(server.stop());
    EXPECT_TRUE(readOnly.stop());
}

TEST_F(ServeTest, AnswersHaveTheShapesOfTheCommandsJson) {
    for (const char* args : {"model upgrade Sales", "table add Sales Orders Invoice",
                             "column delete Sales Order customer"})
        qms(args);
    model = arxtest::rawScalar(db(), "select id from T_M_EntityModel where Version = 2");
    ServeProcess server(dir.path(), "--read-only");
    const std::string project =
        arxtest::rawScalar(db(), "select id from T_M_Project where Name = 'Shop'");
    const struct {
        std::string path, command;
    } pairs[] = {
        // The page lists the platform's own project too.
        {"/api/projects", "project list --all --json"},
        {"/api/projects/" + project, "project show Shop --json"},
        {"/api/models", "model list --all --json"},
        {"/api/models/" + model, "model show Sales --json"},
        {"/api/models/" + model + "/tables/" + table, "table show Sales Customer --json"},
        {"/api/models/" + model + "/diagram.svg", "diagram Sales"},
        {"/api/models/" + model + "/diff?from=1", "model diff Sales --from 1 --to 2 --json"},
        {"/api/models/" + model + "/diagram.svg?compare=1", "diagram Sales --diff 1"},
    };
    httplib::Client client("127.0.0.1", server.port);
    for (const auto& pair : pairs) {
        const httplib::Result r = client.Get(pair.path.c_str());
        ASSERT_TRUE(r && r->status == 200) << pair.path;
        const std::string command = qms(pair.command);
        if (command.rfind("<?xml", 0) == 0) {
            EXPECT_EQ(r->body, command);
            continue;
        }
        // The API may add fields; every field of the command's answer is there, equal.
        const Json api = Json::parse(r->body).flatten(), cli = Json::parse(command).flatten();
        for (const auto& [pointer, value] : cli.items())
            EXPECT_EQ(api.value(pointer, Json()), value) << pair.path << " " << pointer;
    }
}

// Two servers on one database move the same box at once: every write is
// answered, one record stays, and the later write wins.
TEST_F(ServeTest, TwoServersMovingOneBoxLeaveOneRecordAndTheLaterWins) {
    ServeProcess first(dir.path(), ""), second(dir.path(), "");
    std::vector<std::thread> writers;
    std::vector<int> statuses(40, 0);
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < 20; ++i) {
                const auto r =
                    put(w == 0 ? first : second, R"({"x": )" + std::to_string(100 * w + i) +
                                                     R"(, "y": 5, "width": 150, "height": 60})");
                statuses[20 * w + i] = r ? r->status : -1;
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 200), 40);
    const auto last = put(second, R"({"x": 777, "y": 5, "width": 150, "height": 60})");
    ASSERT_TRUE(last && last->status == 200);
    httplib::Client client("127.0.0.1", first.port);
    const auto seen = client.Get(("/api/models/" + model + "/layout").c_str());
    ASSERT_TRUE(seen);
    EXPECT_EQ(Json::parse(seen->body).at("/boxes/0/x"_json_pointer), 777);
    EXPECT_EQ(scenes(), table + ":777,5,150,60");
    EXPECT_EQ(arxtest::rawScalar(db(), "PRAGMA integrity_check"), "ok");
}

// A server database's password reaches neither the page nor the log.
TEST_F(ServeTest, AServerDatabaseIsShownWithoutItsPassword) {
    if (!arxtest::postgresUnavailable().empty()) {
        if (arxtest::postgresRequired()) FAIL() << arxtest::postgresUnavailable();
        GTEST_SKIP() << "no PostgreSQL server: " << arxtest::postgresUnavailable();
    }
    std::string schema;
    const std::string uri = arxtest::newServerDatabase("serve", schema);
    const std::size_t user = uri.find("://") + 3, at = uri.find('@');
    const std::string password = uri.substr(uri.find(':', user) + 1, at - uri.find(':', user) - 1);
    ASSERT_FALSE(password.empty() || password.find('/') != std::string::npos) << uri;
    qms("--config '" + uri + "' init");
    {
        ServeProcess server(dir.path(), "--read-only --config '" + uri + "'");
        httplib::Client client("127.0.0.1", server.port);
        std::string seen = server.banner;
        for (const char* path : {"/", "/app.js", "/api/info", "/api/projects", "/nope"}) {
            const httplib::Result r = client.Get(path);
            ASSERT_TRUE(r) << path;
            seen += r->body;
        }
        EXPECT_NE(seen.find("postgresql://"), std::string::npos) << seen;
        EXPECT_EQ(seen.find(password), std::string::npos) << seen;
    }
    std::ifstream log(dir.file("serve.log"));
    const std::string logged((std::istreambuf_iterator<char>(log)), {});
    EXPECT_EQ(logged.find(password), std::string::npos) << logged;
    arxtest::pgExecute(arxtest::pgServerUri(), "DROP SCHEMA \"" + schema + "\" CASCADE");
}

}  // namespace
