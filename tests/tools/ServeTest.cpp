// qms serve as a browser, a script or a hostile client meets it: servers on
// free local ports over a configuration database made with qms, each
// request with the status and fields it must answer, writes that must be
// refused, clients that try to stall or exhaust the server, two servers on
// one database (and on one port), and the live event stream on both
// backends. Every wait has a deadline and looks whether the server still runs.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/HttpClient.h"
#include "support/RawDb.h"
#include "support/TempDir.h"

namespace {

using Json = nlohmann::json;
using arxtest::HttpConnection;
using arxtest::requestText;
using namespace std::chrono_literals;

// How long a server may take to start, answer or stop before the test fails.
constexpr auto kPatience = 30s;

// qms serve in `folder` (on a free port unless `options` name one): its
// address and token are read from its first lines; SIGTERM stops it, as
// Ctrl-C does.
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
            const std::string port = options.find("--port") == std::string::npos ? "--port 0 " : "";
            const std::string command = "cd '" + folder + "' && exec '" ARX_QMS_BINARY "' serve " +
                                        port + options + " 2>>serve.log";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
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
        const bool said = line() == "qms serve: stopped\n";
        return said && exitCode() == 0;
    }
    /// The exit code once the process ended (killed after kPatience), -1
    /// when a signal ended it.
    int exitCode() {
        int status = 0;
        const auto until = std::chrono::steady_clock::now() + kPatience;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                ADD_FAILURE() << "qms serve did not end; killed";
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        pid_ = 0;
        close(out_);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    /// True while the process runs.
    bool running() const {
        return pid_ > 0 && kill(pid_, 0) == 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
    }
    int port = 0;
    std::string token, banner;

private:
    // The next line of its standard output; "" when it ended or said
    // nothing within kPatience.
    std::string line() {
        const auto until = std::chrono::steady_clock::now() + kPatience;
        std::string text;
        char c = 0;
        while (std::chrono::steady_clock::now() < until) {
            pollfd readable{out_, POLLIN, 0};
            if (poll(&readable, 1, 100) == 0) continue;
            if (read(out_, &c, 1) != 1) return text;
            text += c;
            if (c == '\n') return text;
        }
        ADD_FAILURE() << "qms serve said nothing within the deadline";
        return text;
    }
    pid_t pid_ = 0;
    int out_ = -1;
};

// The JSON answer in `body`; adds a failure unless its field at `pointer`
// (a JSON pointer) holds `value` (in its text, or a number's digits).
Json expectField(const std::string& body, const std::string& pointer, const std::string& value,
                 const std::string& what) {
    Json answer = Json::parse(body, nullptr, false);
    const Json::json_pointer at(pointer);
    if (!answer.contains(at)) {
        ADD_FAILURE() << what << "\n" << body;
        return answer;
    }
    const Json& field = answer.at(at);
    EXPECT_NE((field.is_string() ? field.get<std::string>() : field.dump()).find(value),
              std::string::npos)
        << what << "\n"
        << body;
    return answer;
}

class ServeTest : public ::testing::Test {
protected:
    // The records every test starts with.
    static const std::vector<std::string>& madeByQms() {
        static const std::vector<std::string> commands = {
            "init",
            "project create Shop",
            "model create Shop Sales",
            "folder add Sales Orders",
            "table add Sales Orders Customer",
            "table add Sales Orders Order",
            "column add Sales Order customer --type int --references Customer"};
        return commands;
    }
    void SetUp() override {
        for (const std::string& args : madeByQms())
            qms(args);
        model = arxtest::rawScalar(db(), "select id from T_M_EntityModel where Name = 'Sales'");
        table = arxtest::rawScalar(db(), "select id from T_M_EntityTable where Name = 'Customer'");
    }
    std::string qms(const std::string& args) {
        const std::string command =
            "cd '" + dir.path() + "' && timeout 60 '" ARX_QMS_BINARY "' " + args + " 2>&1";
        std::string out;
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(popen(command.c_str(), "r"),
                                                                   &pclose);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
            out.append(buffer, n);
        return out;
    }
    std::string db() const { return dir.file("qms.db"); }
    // The configuration database of one run of a test on both backends:
    // qms.db, or a new server database `name` with the same records; ""
    // when there is no server to test.
    std::string configOf(bool onServer, const std::string& name) {
        if (!onServer) return "qms.db";
        if (!arxtest::serverUnderTest().unavailable().empty()) {
            if (arxtest::serverRequired())
                ADD_FAILURE() << arxtest::serverUnderTest().unavailable();
            std::cout << arxtest::serverUnderTest().name()
                      << " part skipped: " << arxtest::serverUnderTest().unavailable() << "\n";
            return "";
        }
        const std::string config = dir.serverDatabase(name);
        for (const std::string& args : madeByQms())
            qms("--config '" + config + "' " + args);
        return config;
    }
    std::string scenes() const {
        return arxtest::rawScalar(db(),
                                  "select group_concat(MDataObjectId_2 || ':' || MX_2 || ',' || "
                                  "MY_2 || ',' || MWidth_3 || ',' || MHeight_3, ' ') from "
                                  "(select * from T_M_SceneInfo_2 order by id)");
    }
    std::string boxPath() const { return "/api/models/" + model + "/tables/" + table + "/box"; }
    arxtest::HttpAnswer put(const ServeProcess& server, const std::string& body) {
        return arxtest::fetch(server.port, "PUT", boxPath(), {{"X-QMS-Token", server.token}}, body,
                              "application/json");
    }
    static std::string box(int x) {
        return R"({"x": )" + std::to_string(x) + R"(, "y": 5, "width": 150, "height": 60})";
    }

    arxtest::TempDir dir;
    std::string model, table;
};

TEST_F(ServeTest, RequestsGetTheirAnswersAndRefusedWritesWriteNothing) {
    ServeProcess server(dir.path(), ""), readOnly(dir.path(), "--read-only");
    ASSERT_GT(server.port, 0);
    ASSERT_EQ(server.token.size(), 32u);
    const std::string box = boxPath();
    std::string almost = server.token;  // wrong in its last character only
    almost.back() = almost.back() == '0' ? '1' : '0';
    const std::string right = server.token, wrong = std::string(32, '0'), json = "application/json";
    const std::string moved = R"({"x": 40, "y": -8, "width": 150, "height": 60})";
    const std::string chunked = "2c\r\n" + moved.substr(0, 44) + "\r\n0\r\n\r\n";
    const std::string padded = moved + std::string(5, ' ');  // 52 bytes
    std::string ranges = "bytes=0-";
    for (int i = 0; i < 2000; ++i)
        ranges += ",0-";
    const struct {
        bool readOnly;
        std::string method, path, token, type, body;
        int status;
        std::string pointer, value;  // a field of the JSON answer, or text in the answer
        std::string extra = "";      // header lines "Name: value"
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
        {false, "PUT", box, almost, json, moved, 403, "/error", "wrong write token"},
        {false, "PUT", box, right, "text/plain", moved, 415, "/error", "application/json"},
        {false, "PUT", box, right, json, std::string(20000, ' '), 413, "/error", "16384"},
        {false, "PUT", box, right, json, "{\"x\": 1", 400, "/error", "no JSON object"},
        {false, "PUT", box, right, json, R"({"x": 1, "y": 1, "width": 0, "height": 9})", 400,
         "/error", "width and height"},
        {false, "PUT", box, right, json, R"({"x": 1e9, "y": 1, "width": 9, "height": 9})", 400,
         "/error", "\"x\""},
        // An unsigned number beyond 63 bits is no -1.
        {false, "PUT", box, right, json,
         R"({"x": 18446744073709551615, "y": 1, "width": 9, "height": 9})", 400, "/error", "\"x\""},
        // Bodies the server cannot measure before it takes them.
        {false, "PUT", box, right, json, chunked, 411, "/error", "Content-Length",
         "Transfer-Encoding: chunked"},
        {false, "PUT", box, right, json, moved, 415, "/error", "Content-Encoding",
         "Content-Encoding: br"},
        {false, "PUT", box, right, json, padded, 400, "/error", "Content-Length",
         "Content-Length: +52"},
        {false, "PUT", box, right, json, padded, 400, "/error", "Content-Length",
         "Content-Length: 52abc"},
        {false, "PUT", box, right, json, padded, 400, "/error", "Content-Length",
         "Content-Length: 52\nContent-Length: 47"},
        {false, "PUT", box, right, json, padded, 400, "/error", "Content-Length",
         "Content-Length: 52, 52"},
        {false, "GET", "/api/info", "", "", "", 431, "/error", "16384",
         "X-Long: " + std::string(20 * 1024, 'a')},
        // Overlapping ranges get the whole file, once.
        {false, "GET", "/app.js", "", "", "", 200, "", "textContent", "Range: " + ranges},
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
        {false, "GET", "/api/models/" + model + "?compare=0", "", "", "", 400, "/error",
         "version number from 1"},
        {false, "GET", "/qms.db", "", "", "", 404, "/error", "no such resource"},
        {false, "GET", "/../qms.db", "", "", "", 404, "/error", "no such resource"},
        {false, "POST", "/api/project", right, json, "{}", 404, "/error", "no such resource"},
        {false, "GET", "/api/info", "", "", "", 403, "/error", "host", "Host: evil.example"},
    };
    const std::size_t appSize = arxtest::fetch(server.port, "GET", "/app.js").body.size();
    for (const auto& c : cases) {
        const std::string before = scenes();
        const int port = (c.readOnly ? readOnly : server).port;
        arxtest::Headers headers;
        for (std::size_t at = 0; at < c.extra.size();) {
            const std::size_t end = std::min(c.extra.find('\n', at), c.extra.size());
            const std::size_t colon = c.extra.find(": ", at);
            headers.emplace_back(c.extra.substr(at, colon - at),
                                 c.extra.substr(colon + 2, end - colon - 2));
            at = end + 1;
        }
        if (!c.token.empty()) headers.emplace_back("X-QMS-Token", c.token);
        const std::string what =
            c.method + " " + c.path + " " + c.body.substr(0, 60) + " " + c.extra.substr(0, 40);
        ASSERT_TRUE(server.running() && readOnly.running()) << what;
        HttpConnection connection(port);
        connection.send(requestText(port, c.method, c.path, headers, c.body, c.type));
        const arxtest::HttpAnswer r = connection.receive();
        EXPECT_EQ(r.status, c.status) << what << "\n" << r.body;
        if (r.status == 0) continue;
        EXPECT_NE(r.header("content-security-policy").find("script-src 'self';"), std::string::npos)
            << what;
        EXPECT_EQ(r.header("x-content-type-options"), "nosniff") << what;
        if (c.path == "/app.js") {
            EXPECT_EQ(r.body.size(), appSize) << what;
        }
        if (c.pointer.empty()) {
            EXPECT_NE(r.body.find(c.value), std::string::npos) << what << "\n" << r.body;
            continue;
        }
        expectField(r.body, c.pointer, c.value, what);
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
        // The lists leave out the platform's own project, as qms's do.
        {"/api/projects", "project list --json"},
        {"/api/projects/" + project, "project show Shop --json"},
        {"/api/models", "model list --json"},
        {"/api/models/" + model, "model show Sales --json"},
        {"/api/models/" + model + "/tables/" + table, "table show Sales Customer --json"},
        {"/api/models/" + model + "/diagram.svg", "diagram Sales"},
        {"/api/models/" + model + "/diff?from=1", "model diff Sales --from 1 --to 2 --json"},
        {"/api/models/" + model + "/diagram.svg?compare=1", "diagram Sales --diff 1"},
    };
    for (const auto& pair : pairs) {
        const arxtest::HttpAnswer r = arxtest::fetch(server.port, "GET", pair.path);
        ASSERT_EQ(r.status, 200) << pair.path;
        const std::string command = qms(pair.command);
        if (command.rfind("<?xml", 0) == 0) {
            EXPECT_EQ(r.body, command);
            continue;
        }
        // The API may add fields; every field of the command's answer is there, equal.
        const Json whole = Json::parse(r.body), cliWhole = Json::parse(command);
        if (cliWhole.is_array()) {
            EXPECT_EQ(whole.size(), cliWhole.size()) << pair.path;
        }
        const Json api = whole.flatten(), cli = cliWhole.flatten();
        for (const auto& [pointer, value] : cli.items())
            EXPECT_EQ(api.value(pointer, Json()), value) << pair.path << " " << pointer;
    }
    // The model's versions, lowest first.
    const Json versions =
        Json::parse(arxtest::fetch(server.port, "GET", "/api/models/" + model).body).at("versions");
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(versions[0].at("version"), 1);
    EXPECT_EQ(versions[1].at("version"), 2);
    EXPECT_EQ(versions[1].at("id").dump(), model);
}

// Two servers on one database move the same box at once: every write is
// answered, one record stays, and the later write wins.
TEST_F(ServeTest, TwoServersMovingOneBoxLeaveOneRecordAndTheLaterWins) {
    ServeProcess first(dir.path(), ""), second(dir.path(), "");
    std::vector<std::thread> writers;
    std::vector<int> statuses(40, 0);
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < 20; ++i)
                statuses[20 * w + i] = put(w == 0 ? first : second, box(100 * w + i)).status;
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 200), 40);
    // The first server has its own picture of the layout kept; the second
    // server's write reaches it through the event that drops it.
    HttpConnection events(first.port);
    events.send(requestText(first.port, "GET", "/api/events"));
    ASSERT_EQ(events.receive(10s, false, true).status, 200);
    ASSERT_EQ(arxtest::fetch(first.port, "GET", "/api/models/" + model + "/layout").status, 200);
    ASSERT_EQ(put(second, box(777)).status, 200);
    EXPECT_NE(events.readUntil("\"layout\": true}\n\n", kPatience), "") << "no event";
    const arxtest::HttpAnswer seen =
        arxtest::fetch(first.port, "GET", "/api/models/" + model + "/layout");
    ASSERT_EQ(seen.status, 200);
    EXPECT_EQ(Json::parse(seen.body).at("/boxes/0/x"_json_pointer), 777);
    EXPECT_EQ(scenes(), table + ":777,5,150,60");
    EXPECT_EQ(arxtest::rawScalar(db(), "PRAGMA integrity_check"), "ok");
}

// Clients that try to stall or exhaust the server: the others are still
// answered, each in turn.
TEST_F(ServeTest, ClientsThatStallOrCrowdTheServerHoldNobodyElseUp) {
    ServeProcess server(dir.path(), "");
    const int port = server.port;
    const std::string info = requestText(port, "GET", "/api/info");
    {
        // Pipelined requests: each answered, in order.
        HttpConnection connection(port);
        connection.send(requestText(port, "GET", "/api/projects") + info +
                        requestText(port, "GET", "/nope"));
        EXPECT_EQ(connection.receive().status, 200);
        EXPECT_NE(connection.receive().body.find("readOnly"), std::string::npos);
        EXPECT_EQ(connection.receive().status, 404);
    }
    {
        // Idle sockets and headers sent a byte at a time hold no thread.
        std::vector<std::unique_ptr<HttpConnection>> idle;
        for (int i = 0; i < 300; ++i)
            idle.push_back(std::make_unique<HttpConnection>(port));
        for (int i = 0; i < 100; ++i) {
            idle.push_back(std::make_unique<HttpConnection>(port));
            idle.back()->send("G");
        }
        HttpConnection connection(port);
        connection.send(info);
        EXPECT_EQ(connection.receive(3s).status, 200) << "a GET waited behind idle clients";
    }
    {
        // Many at once: every one answered (the listen backlog takes them).
        std::vector<std::unique_ptr<HttpConnection>> many;
        for (int i = 0; i < 200; ++i) {
            many.push_back(std::make_unique<HttpConnection>(port));
            many.back()->send(
                requestText(port, "GET", "/api/models/" + model + "/tables/" + table));
        }
        int answered = 0;
        for (auto& connection : many)
            answered += connection->receive(kPatience).status == 200;
        EXPECT_EQ(answered, 200);
    }
    {
        // A write waiting for a busy database holds no reader: the kept
        // model and the server's own answers come while it waits.
        ASSERT_EQ(arxtest::fetch(port, "GET", "/api/models/" + model).status, 200);
        arxtest::RawConnection lock(db());
        ASSERT_TRUE(lock.execute("BEGIN IMMEDIATE"));
        HttpConnection writer(port);
        writer.send(requestText(port, "PUT", boxPath(), {{"X-QMS-Token", server.token}}, box(3),
                                "application/json"));
        for (const std::string& path :
             {std::string("/api/info"), "/api/models/" + model, std::string("/app.js")}) {
            HttpConnection reader(port);
            reader.send(requestText(port, "GET", path));
            EXPECT_EQ(reader.receive(3s).status, 200) << path << " waited for the write";
        }
        ASSERT_TRUE(lock.execute("COMMIT"));
        EXPECT_EQ(writer.receive(kPatience).status, 200);
    }
    // No second server on the port: it ends with exit code 1 and says why.
    ServeProcess second(dir.path(), "--port " + std::to_string(port));
    EXPECT_EQ(second.port, 0);
    EXPECT_EQ(second.exitCode(), 1);
    std::ifstream log(dir.file("serve.log"));
    const std::string logged((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(
        logged.find("cannot listen on 127.0.0.1:" + std::to_string(port) + ": the port is in use"),
        std::string::npos)
        << logged;
    EXPECT_TRUE(server.stop());
}

// At most 1,024 connections are open; one more is answered 503. Deadlines
// end a header or a body that is never finished (10 s), and idle
// connections later (30 s), which frees their places.
TEST_F(ServeTest, ConnectionsAreLimitedInNumberAndEndAtTheirDeadlines) {
    ServeProcess server(dir.path(), "");
    const int port = server.port;
    const std::string info = requestText(port, "GET", "/api/info");
    const std::string write = requestText(port, "PUT", boxPath(), {{"X-QMS-Token", server.token}},
                                          box(1), "application/json");
    HttpConnection header(port), body(port), answered(port);
    ASSERT_TRUE(header.send(info.substr(0, 20)));
    ASSERT_TRUE(body.send(write.substr(0, write.size() - 10)));
    ASSERT_TRUE(answered.send(info));
    ASSERT_EQ(answered.receive().status, 200);
    std::vector<std::unique_ptr<HttpConnection>> crowd;
    while (crowd.size() < 1024 - 3)
        crowd.push_back(std::make_unique<HttpConnection>(port));
    HttpConnection oneMore(port);
    ASSERT_TRUE(oneMore.send(info));
    const arxtest::HttpAnswer refused = oneMore.receive();
    EXPECT_EQ(refused.status, 503) << refused.body;
    EXPECT_EQ(refused.header("x-frame-options"), "DENY");
    crowd.back()->send(info);
    EXPECT_EQ(crowd.back()->receive().status, 200) << "the 1,024th connection was refused";

    EXPECT_TRUE(header.closedWithin(25s)) << "an unfinished header kept its connection";
    EXPECT_TRUE(body.closedWithin(5s)) << "an unfinished body kept its connection";
    EXPECT_FALSE(answered.closedWithin(0ms) || crowd.front()->closedWithin(0ms))
        << "idle connections ended with the header's deadline";
    int status = 0;  // the places they held take new connections
    for (const auto until = std::chrono::steady_clock::now() + 5s;
         status != 200 && std::chrono::steady_clock::now() < until;)
        status = arxtest::fetch(port, "GET", "/api/info").status;
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(answered.closedWithin(kPatience)) << "an idle connection was kept";
    EXPECT_TRUE(crowd.front()->closedWithin(kPatience)) << "a silent connection was kept";
    EXPECT_EQ(scenes(), "") << "the unfinished write was stored";
    EXPECT_TRUE(server.stop());
}

// The event stream names each model that changed, whoever changed it: the
// qms tool in another process, or another server on the same database.
TEST_F(ServeTest, EventsNameTheModelsThatChangedOnBothBackends) {
    for (const bool onServer : {false, true}) {
        const std::string config = configOf(onServer, "events");
        if (config.empty()) continue;
        if (onServer) {
            model = arxtest::rawScalar(
                config, "select id from \"T_M_EntityModel\" where \"Name\" = 'Sales'");
            table = arxtest::rawScalar(
                config, "select id from \"T_M_EntityTable\" where \"Name\" = 'Customer'");
        }
        SCOPED_TRACE(config);
        const std::string options = "--config '" + config + "'";
        ServeProcess watching(dir.path(), options), writing(dir.path(), options);
        HttpConnection events(watching.port);
        events.send(requestText(watching.port, "GET", "/api/events"));
        const arxtest::HttpAnswer head = events.receive(kPatience, false, true);
        ASSERT_EQ(head.status, 200);
        EXPECT_EQ(head.header("content-type"), "text/event-stream");
        EXPECT_EQ(head.header("x-frame-options"), "DENY");
        // The model and its picture kept, then a table added by qms in
        // another process: the very next reads show it, before any event
        // of it could be awaited, and the event names the model's structure.
        const std::string modelPath = "/api/models/" + model;
        for (const std::string& path : {modelPath, modelPath, modelPath + "/diagram.svg"})
            ASSERT_EQ(arxtest::fetch(watching.port, "GET", path).status, 200);
        qms(options + " table add Sales Orders Invoice");
        EXPECT_NE(arxtest::fetch(watching.port, "GET", modelPath).body.find("Invoice"),
                  std::string::npos)
            << "the kept model was answered";
        EXPECT_NE(
            arxtest::fetch(watching.port, "GET", modelPath + "/diagram.svg").body.find("Invoice"),
            std::string::npos)
            << "the kept picture was answered";
        const std::string structure =
            events.readUntil("event: model\ndata: {\"model\": " + model +
                                 ", \"structure\": true, \"layout\": false}\n\n",
                             kPatience);
        EXPECT_NE(structure, "") << "no event of the added table";
        EXPECT_EQ(structure.find("Invoice"), std::string::npos) << "events carry no names";
        // A box moved through the other server: the model's layout.
        ASSERT_EQ(put(writing, box(12)).status, 200);
        EXPECT_NE(events.readUntil("data: {\"model\": " + model +
                                       ", \"structure\": false, \"layout\": true}\n\n",
                                   kPatience),
                  "")
            << "no event of the moved box";
        // A table added through the other server's API reaches this
        // server's stream and what it keeps of the model.
        ASSERT_EQ(arxtest::fetch(watching.port, "GET", modelPath).status, 200);
        int folder = 0;
        const Json tree = Json::parse(arxtest::fetch(writing.port, "GET", modelPath).body);
        for (const Json& f : tree.at("folders"))
            if (f.at("name") == "Orders") folder = f.at("id");
        const arxtest::HttpAnswer added = arxtest::fetch(
            writing.port, "POST", modelPath + "/tables", {{"X-QMS-Token", writing.token}},
            R"({"folder": )" + std::to_string(folder) + R"(, "name": "Refund"})",
            "application/json");
        ASSERT_EQ(added.status, 201) << added.body;
        EXPECT_NE(events.readUntil("data: {\"model\": " + model +
                                       ", \"structure\": true, \"layout\": false}\n\n",
                                   kPatience),
                  "")
            << "no event of the table added through the API";
        EXPECT_NE(arxtest::fetch(watching.port, "GET", modelPath).body.find("Refund"),
                  std::string::npos);
        EXPECT_TRUE(watching.running() && writing.running());
    }
}

// A server database's password reaches neither the page nor the log.
TEST_F(ServeTest, AServerDatabaseIsShownWithoutItsPassword) {
    if (!arxtest::serverUnderTest().unavailable().empty()) {
        if (arxtest::serverRequired()) FAIL() << arxtest::serverUnderTest().unavailable();
        GTEST_SKIP() << "no " << arxtest::serverUnderTest().name()
                     << " server: " << arxtest::serverUnderTest().unavailable();
    }
    const std::string uri = dir.serverDatabase("serve");
    const std::size_t user = uri.find("://") + 3, at = uri.find('@');
    const std::string password = uri.substr(uri.find(':', user) + 1, at - uri.find(':', user) - 1);
    ASSERT_FALSE(password.empty() || password.find('/') != std::string::npos) << uri;
    qms("--config '" + uri + "' init");
    {
        ServeProcess server(dir.path(), "--read-only --config '" + uri + "'");
        std::string seen = server.banner;
        for (const char* path : {"/", "/app.js", "/api/info", "/api/projects", "/nope"}) {
            const arxtest::HttpAnswer r = arxtest::fetch(server.port, "GET", path);
            ASSERT_NE(r.status, 0) << path;
            seen += r.body;
        }
        EXPECT_NE(seen.find(arxtest::serverUnderTest().scheme()), std::string::npos) << seen;
        EXPECT_EQ(seen.find(password), std::string::npos) << seen;
    }
    std::ifstream log(dir.file("serve.log"));
    const std::string logged((std::istreambuf_iterator<char>(log)), {});
    EXPECT_EQ(logged.find(password), std::string::npos) << logged;
}

}  // namespace

// Every edit of the API in turn, on both backends, each answered as it
// must be; every refused one writes nothing. Rows name records by
// placeholders ({folder}, ...) that earlier rows' answers fill.
TEST_F(ServeTest, EditsAreMadeThroughTheApiAndRefusedOnesWriteNothing) {
    for (const bool onServer : {false, true}) {
        const std::string config = configOf(onServer, "edits");
        if (config.empty()) continue;
        SCOPED_TRACE(config);
        const std::string options = "--config '" + config + "'";
        // Every row of the database: what a refused edit leaves as it was.
        const std::string location = onServer ? config : db();
        const auto stored = [&] { return arxtest::allRows(location); };
        ServeProcess server(dir.path(), options), readOnly(dir.path(), options + " --read-only");
        ASSERT_EQ(server.token.size(), 32u);
        std::map<std::string, std::string> ids;
        const Json projects = Json::parse(qms(options + " project show Shop --json"));
        ids["project"] = projects.at("id").dump();
        ids["model"] = projects.at("/models/0/id"_json_pointer).dump();
        const Json modelJson =
            Json::parse(arxtest::fetch(server.port, "GET", "/api/models/" + ids["model"]).body);
        for (const Json& folder : modelJson.at("folders"))
            if (folder.at("name") == "Orders") ids["folder"] = folder.at("id").dump();
        for (const Json& t : modelJson.at("/diagram/tables"_json_pointer)) {
            if (t.at("name") == "Customer") ids["customer"] = t.at("id").dump();
            if (t.at("name") != "Order") continue;
            ids["order"] = t.at("id").dump();
            ids["column"] = t.at("/columns/0/id"_json_pointer).dump();
        }
        ASSERT_EQ(ids.size(), 6u) << modelJson.dump();
        const std::string m = "/api/models/{model}", customer = m + "/tables/{customer}";
        const std::string column = m + "/tables/{order}/columns/{column}";
        enum Who { Token, NoToken, ReadOnly };
        const struct {
            std::string method, path, body;
            int status;
            std::string pointer, value;  // a field of the answer that must hold `value`
            std::string keep = "";       // keeps the answer's "id" (or ETag: "etag") as {keep}
            std::string ifMatch = "";
            Who who = Token;
        } rows[] = {
            {"GET", m, "", 200, "/name", "Sales", "etag"},
            {"GET", "/api/projects/{project}", "", 200, "/name", "Shop", "etagProject"},
            {"POST", "/api/projects", R"({"name": "Depot", "author": "Ann", "type": 1})", 201,
             "/author", "Ann", "depot"},
            {"GET", "/api/projects/{depot}", "", 200, "/type", "1"},
            {"POST", "/api/projects", R"({"name": "Yard"})", 201, "/type", "2", "yard"},
            {"POST", "/api/projects", R"({"name": "Depot"})", 409, "/field", "name"},
            {"POST", "/api/projects", R"({"name": "Shop"})", 409, "/error", "exists"},
            {"POST", "/api/projects", R"({})", 400, "/field", "name"},
            {"POST", "/api/projects", R"({"name": "a\nb"})", 400, "/field", "name"},
            {"POST", "/api/projects", R"({"name": "x", "type": 3})", 400, "/field", "type"},
            {"POST", "/api/projects", R"({"name": "x", "type": "2"})", 400, "/hint", "JSON number"},
            {"POST", "/api/projects", R"({"name": "x", "author": 5})", 400, "/field", "author"},
            {"POST", "/api/projects", R"({"name": "x", "owner": "Ann"})", 400, "/field", "owner"},
            {"POST", "/api/projects", R"({"name": "x"})", 401, "/error", "X-QMS-Token", "", "",
             NoToken},
            {"POST", "/api/projects", R"({"name": "x"})", 403, "/error", "read-only", "", "",
             ReadOnly},
            // A new project answers its tag as an empty one: its deletion
            // with that tag goes while it stays empty.
            {"DELETE", "/api/projects/{yard}?confirm=Yard", "", 200, "/deleted/project", "{yard}",
             "", "{etag:yard}"},
            {"POST", "/api/projects/{depot}/models", R"({"name": "Bin"})", 201, "/name", "Bin"},
            {"DELETE", "/api/projects/{depot}?confirm=Depot", "", 412, "/field", "If-Match", "",
             "{etag:depot}"},
            {"POST", m + "/folders", R"({"name": "Archive"})", 201, "/name", "Archive", "archive"},
            {"POST", m + "/folders", R"({"name": "Old", "parent": {archive}})", 201, "/parent",
             "{archive}", "old"},
            {"POST", m + "/folders", R"({"name": "Orders"})", 409, "/field", "name"},
            {"POST", m + "/folders", R"({"name": "a/b"})", 400, "/field", "name"},
            {"POST", m + "/folders", R"({"name": "x", "colour": 1})", 400, "/field", "colour"},
            {"POST", m + "/folders", R"({"name": "x", "parent": 99999})", 404, "/field", "parent"},
            {"POST", m + "/folders", R"({"name": "x"})", 401, "/error", "X-QMS-Token", "", "",
             NoToken},
            {"POST", m + "/folders", R"({"name": "x"})", 403, "/error", "read-only", "", "",
             ReadOnly},
            {"GET", m, "", 200, "/name", "Sales"},  // kept from here
            {"POST", m + "/tables", R"({"folder": {folder}, "name": "Invoice", "display": "Bill"})",
             201, "/display", "Bill", "invoice"},
            // The kept model is dropped before the answer.
            {"GET", m, "", 200, "", "\"name\":\"Invoice\""},
            {"POST", m + "/tables", R"({"folder": {folder}, "name": "invoice"})", 409, "/error",
             "exists"},
            {"POST", m + "/tables", R"({"folder": {folder}, "name": "a\tb"})", 400, "/field",
             "name"},
            {"POST", m + "/tables",
             R"({"folder": {folder}, "name": ")" + std::string(129, 'x') + "\"}", 400, "/error",
             "longer than 128"},
            {"POST", m + "/tables", R"({"folder": {folder}, "name": 5})", 400, "/field", "name"},
            {"POST", m + "/tables", R"({"folder": "1", "name": "x"})", 400, "/field", "folder"},
            // A field of another JSON type: the hint names the type to send.
            {"POST", m + "/tables", R"({"folder": "1", "name": "x"})", 400, "/hint", "JSON number"},
            {"POST", m + "/tables", R"({"folder": {folder}, "name": 5})", 400, "/hint",
             "JSON string"},
            {"POST", m + "/tables", R"({"folder": {folder}, "name": "\u00e9\ud83d\ude00"})", 400,
             "/error", "GBK"},
            {"POST", m + "/tables", R"(["name"])", 400, "/error", "no JSON object"},
            {"PATCH", customer, R"({"display": "Client"})", 200, "/display", "Client"},
            {"PATCH", customer, R"({"folder": {archive}})", 200, "/folders/0", "Archive"},
            {"PATCH", customer, R"({"name": "Other"})", 400, "/field", "name"},
            {"PATCH", m + "/tables/99999", R"({"display": "x"})", 404, "/field", "tid"},
            {"POST", m + "/tables/{order}/columns",
             R"({"name": "total", "type": "real", "default": "0", "index": true, "maxLength": 12,
                 "references": {customer}})",
             201, "/columns/1/references", "Customer", "total"},
            // Columns carry what an edit form and its undo need: id and maxLength.
            {"GET", m + "/tables/{order}", "", 200, "/columns/1/id", "{total}"},
            {"GET", m + "/tables/{order}", "", 200, "/columns/1/maxLength", "12"},
            {"POST", m + "/tables/{order}/columns", R"({"name": "x", "type": "money"})", 400,
             "/field", "type"},
            {"POST", m + "/tables/{order}/columns", R"({"name": "x"})", 400, "/field", "type"},
            {"POST", m + "/tables/{order}/columns",
             R"({"name": "x", "type": "int", "references": 99999})", 404, "/field", "references"},
            {"POST", m + "/tables/{order}/columns", R"({"name": "x", "type": "int", "index": 1})",
             400, "/field", "index"},
            {"POST", m + "/tables/{order}/columns", R"({"name": "x", "type": "int", "index": 1})",
             400, "/hint", "JSON boolean"},
            {"PATCH", column, R"({"display": "Client no", "unique": true})", 200,
             "/columns/0/display", "Client no"},
            {"PATCH", column, R"({"name": "y"})", 400, "/field", "name"},
            {"PATCH", m + "/tables/{order}/columns/99999", R"({"display": "y"})", 404, "/field",
             "cid"},
            {"DELETE", m + "/tables/{order}/columns/{total}", "", 200, "/columns/0/name",
             "customer"},
            // A tag read before the changes above is stale: nothing is written.
            {"PATCH", customer, R"({"display": "Late"})", 412, "/changed/tables", "{customer}", "",
             "{etag}"},
            {"GET", customer, "", 200, "/display", "Client", "etag"},
            {"PATCH", customer, R"({"display": "Buyer"})", 200, "/display", "Buyer", "", "{etag}"},
            // Another process's change just before a write with the tag read
            // before it: the write checks it, whether or not an event came.
            {"GET", m, "", 200, "/name", "Sales", "etag"},
            {"QMS", "table add Sales Orders Late", "", 0, "", ""},
            {"PATCH", customer, R"({"display": "Later"})", 412, "/field", "If-Match", "", "{etag}"},
            {"DELETE", m + "/tables/{invoice}", "", 200, "/deleted/table", "{invoice}"},
            {"DELETE", m + "/folders/{old}", "", 200, "/deleted/folder", "{old}"},
            {"POST", "/api/projects/{project}/models", R"({"name": "Stock"})", 201, "/name",
             "Stock", "stock"},
            {"POST", "/api/projects/{project}/models", R"({"name": "Stock"})", 409, "/field",
             "name"},
            // The project's tag read before Stock came is stale: nothing is
            // added, nothing deleted.
            {"POST", "/api/projects/{project}/models", R"({"name": "Late"})", 412, "/field",
             "If-Match", "", "{etagProject}"},
            {"DELETE", "/api/projects/{project}?confirm=Shop", "", 412, "/field", "If-Match", "",
             "{etagProject}"},
            {"GET", "/api/projects/{project}", "", 200, "/name", "Shop", "etagProject"},
            {"POST", "/api/projects/{project}/models", R"({"name": "Fresh"})", 201, "/name",
             "Fresh", "fresh", "{etagProject}"},
            // An upgrade taken back: the new version goes, the one before is
            // unlocked again; not twice, not a first version.
            {"POST", "/api/models/{fresh}/upgrade", "", 201, "/version", "2", "fresh2"},
            {"DELETE", "/api/models/{fresh}/upgrade", "", 409, "/error", "is locked"},
            {"DELETE", "/api/models/{fresh2}/upgrade", R"({"locked": 1})", 400, "/field", "locked"},
            {"DELETE", "/api/models/{fresh2}/upgrade", "", 200, "/locked", "false"},
            {"GET", "/api/models/{fresh}", "", 200, "/versions/0/locked", "false"},
            {"DELETE", "/api/models/{fresh}/upgrade", "", 409, "/error", "made by no upgrade"},
            // Records of another model are not this model's.
            {"PATCH", "/api/models/{stock}/tables/{customer}", R"({"display": "x"})", 404, "/field",
             "tid"},
            {"DELETE", "/api/models/{stock}/folders/{folder}", "", 404, "/field", "fid"},
            {"DELETE", "/api/models/{stock}", "", 409, "/field", "confirm"},
            {"DELETE", "/api/models/{stock}?confirm=Stock", "", 200, "/deleted/versions/0",
             "{stock}"},
            {"POST", m + "/lock", "", 200, "/locked", "true"},
            {"POST", m + "/lock", "", 409, "/error", "locked already"},
            {"POST", m + "/tables", R"({"folder": {folder}, "name": "Late"})", 409, "/error",
             "is locked"},
            {"POST", m + "/upgrade", "", 201, "/version", "2", "v2"},
            // Version 1 is locked; version 2 shares Customer's record with it,
            // so the display name stays in both.
            {"PATCH", customer, R"({"display": "Frozen"})", 409, "/error", "is locked"},
            {"PATCH", "/api/models/{v2}/tables/{customer}", R"({"display": "Shared"})", 409,
             "/field", "display"},
            {"PATCH", "/api/models/{v2}/tables/{customer}", R"({"display": "Shared"})", 409,
             "/error", "version 1, which is locked"},
            {"POST", m + "/upgrade", "", 409, "/error", "not its highest version"},
            // Version 1 was locked before the upgrade: taken back, it stays
            // locked; a version changed since, or whose lock another upgrade
            // did not set, is not taken back, nothing written.
            {"DELETE", m + "/upgrade", "", 409, "/error", "is locked"},
            {"DELETE", "/api/models/{v2}/upgrade", R"({"locked": true})", 200, "/locked", "true"},
            {"POST", m + "/upgrade", "", 201, "/version", "2", "v2"},
            {"DELETE", "/api/models/{v2}/upgrade", "", 409, "/error", "stays locked"},
            {"POST", "/api/models/{v2}/folders", R"({"name": "New"})", 201, "/name", "New"},
            {"DELETE", "/api/models/{v2}/upgrade", R"({"locked": true})", 409, "/error",
             "changed since the upgrade"},
            {"DELETE", "/api/projects/{project}", "", 409, "/goes/models/0/name", "Sales"},
        };
        const auto fill = [&ids](std::string text) {
            for (std::size_t open = 0; (open = text.find('{', open)) != std::string::npos;) {
                const std::size_t close = text.find('}', open);
                const auto id = ids.find(text.substr(open + 1, close - open - 1));
                if (close == std::string::npos || id == ids.end()) {
                    ++open;
                    continue;
                }
                text.replace(open, close - open + 1, id->second);
            }
            return text;
        };
        for (const auto& row : rows) {
            const std::string path = fill(row.path), body = fill(row.body);
            const std::string what = row.method + " " + path + " " + body.substr(0, 80);
            ASSERT_TRUE(server.running() && readOnly.running()) << what;
            if (row.method == "QMS") {
                qms(options + " " + path);
                continue;
            }
            const std::string before = row.status >= 400 ? stored() : "";
            arxtest::Headers headers;
            if (row.who != NoToken) headers.emplace_back("X-QMS-Token", server.token);
            if (!row.ifMatch.empty()) headers.emplace_back("If-Match", fill(row.ifMatch));
            const arxtest::HttpAnswer r =
                arxtest::fetch((row.who == ReadOnly ? readOnly : server).port, row.method, path,
                               headers, body, row.method == "GET" ? "" : "application/json");
            EXPECT_EQ(r.status, row.status) << what << "\n" << r.body;
            if (row.pointer.empty()) {
                EXPECT_NE(r.body.find(row.value), std::string::npos) << what << "\n" << r.body;
                continue;
            }
            const Json answer = expectField(r.body, row.pointer, fill(row.value), what);
            // Answers about the model carry its tag.
            if (r.status < 300 && path.rfind(fill(m), 0) == 0) {
                EXPECT_EQ(r.header("etag").size(), 18u) << what;
            }
            if (row.keep.rfind("etag", 0) == 0) {
                ids[row.keep] = r.header("etag");
            } else if (!row.keep.empty()) {
                ids[row.keep] =
                    answer.value(answer.contains("column") ? "column" : "id", Json()).dump();
                ids["etag:" + row.keep] = r.header("etag");
            }
            if (r.status >= 400) {
                EXPECT_EQ(stored(), before) << what;
                if (row.who == Token) {
                    EXPECT_TRUE(answer.contains("field") && answer.contains("hint")) << what;
                    EXPECT_NE(answer.value("hint", ""), "") << what;
                }
            }
        }
        // What the edits made, as qms shows it.
        const std::string v1 = qms(options + " model show Sales --version 1");
        EXPECT_NE(v1.find("locked:  yes"), std::string::npos) << v1;
        EXPECT_NE(v1.find("Archive"), std::string::npos) << v1;
        EXPECT_NE(v1.find("Customer (Buyer)"), std::string::npos) << v1;
        const std::string columns = qms(options + " table show Sales Order --json");
        EXPECT_NE(columns.find("Client no"), std::string::npos) << columns;
        EXPECT_EQ(columns.find("total"), std::string::npos) << columns;
        EXPECT_EQ(qms(options + " model show Stock").find("version"), std::string::npos);
        const Json depot = Json::parse(qms(options + " project show Depot --json"));
        EXPECT_EQ(depot.at("author"), "Ann") << depot.dump();
        EXPECT_EQ(depot.at("/models/0/name"_json_pointer), "Bin") << depot.dump();
        EXPECT_EQ(qms(options + " project list").find("Yard"), std::string::npos);
        // The upgrade of Fresh taken back: version 1 alone, unlocked.
        const Json fresh = Json::parse(qms(options + " model list --json"));
        int freshVersions = 0;
        for (const Json& m : fresh)
            if (m.at("name") == "Fresh") {
                ++freshVersions;
                EXPECT_FALSE(m.at("locked").get<bool>()) << m.dump();
            }
        EXPECT_EQ(freshVersions, 1) << fresh.dump();
        EXPECT_TRUE(server.stop());
    }
}

// Whether segment p-q runs through the inside of `b`.
bool throughInside(const Json& b, const Json& p, const Json& q) {
    const int x = b.at("x"), y = b.at("y"), right = x + b.at("width").get<int>(),
              bottom = y + b.at("height").get<int>();
    const int px = p[0], py = p[1], qx = q[0], qy = q[1];
    return std::min(px, qx) < right && std::max(px, qx) > x && std::min(py, qy) < bottom &&
           std::max(py, qy) > y && (py == qy ? py > y && py < bottom : px > x && px < right);
}

// Adds a failure unless the layout `kept` has the frames, boxes and arrows
// of `fresh`, each arrow routed as validly: from its column's line on its
// table's side to its target's name line, at right angles, through no box
// the fresh route goes around.
void expectLayoutAsFresh(const Json& kept, const Json& fresh, const std::string& what) {
    EXPECT_EQ(kept.at("frames"), fresh.at("frames")) << what;
    EXPECT_EQ(kept.at("boxes"), fresh.at("boxes")) << what;
    const Json& arrows = kept.at("arrows");
    ASSERT_EQ(arrows.size(), fresh.at("arrows").size()) << what;
    std::map<int, Json> boxes;
    for (const Json& box : kept.at("boxes"))
        boxes[box.at("table")] = box;
    for (std::size_t i = 0; i < arrows.size(); ++i) {
        const Json &arrow = arrows[i], &other = fresh.at("arrows")[i];
        const std::string shown = what + ": " + arrow.dump() + " (fresh " + other.dump() + ")";
        ASSERT_EQ(arrow.at("table"), other.at("table")) << shown;
        ASSERT_EQ(arrow.at("row"), other.at("row")) << shown;
        ASSERT_EQ(arrow.at("to"), other.at("to")) << shown;
        const Json &from = boxes.at(arrow.at("table")), &to = boxes.at(arrow.at("to"));
        const Json &points = arrow.at("points"), &first = points.front(), &last = points.back();
        const auto onSide = [](const Json& box, const Json& point) {
            const int x = box.at("x");
            return point[0] == x || point[0] == x + box.at("width").get<int>();
        };
        EXPECT_TRUE(onSide(from, first)) << shown;
        EXPECT_EQ(first[1], other.at("points").front()[1]) << shown;
        EXPECT_TRUE(onSide(to, last)) << shown;
        EXPECT_EQ(last[1], other.at("points").back()[1]) << shown;
        for (std::size_t k = 0; k + 1 < points.size(); ++k) {
            EXPECT_TRUE(points[k][0] == points[k + 1][0] || points[k][1] == points[k + 1][1])
                << shown;
            for (const auto& [id, box] : boxes) {
                bool freshThrough = false;
                for (std::size_t f = 0; f + 1 < other.at("points").size(); ++f)
                    freshThrough = freshThrough || throughInside(box, other.at("points")[f],
                                                                 other.at("points")[f + 1]);
                if (!freshThrough) {
                    EXPECT_FALSE(throughInside(box, points[k], points[k + 1]))
                        << shown << " through the box of " << id;
                }
            }
        }
    }
}

// What a page that holds the full answer `held` makes of `answer`, an
// answer ?since= its snapshot: what differs applied, or the full answer.
Json applied(const Json& held, Json answer) {
    if (!answer.contains("since")) return answer;
    answer.erase("since");
    const auto merge = [](const Json& items, Json& changed, const Json& removed, auto key) {
        std::map<Json, Json> byKey;
        for (const Json& item : items)
            byKey[key(item)] = item;
        for (const Json& gone : removed)
            byKey.erase(gone);
        for (const Json& item : changed)
            byKey[key(item)] = item;
        changed = Json::array();
        for (const auto& [k, item] : byKey)
            changed.push_back(item);
    };
    if (answer.contains("diagram")) {
        Json& picture = answer["diagram"];
        merge(held.at("/diagram/tables"_json_pointer), picture["tables"], picture.at("removed"),
              [](const Json& t) { return t.at("id"); });
        picture.erase("removed");
        return answer;
    }
    merge(held.at("boxes"), answer["boxes"], answer.at("removedBoxes"),
          [](const Json& b) { return b.at("table"); });
    merge(held.at("arrows"), answer["arrows"], answer.at("removedArrows"), [](const Json& a) {
        return Json::array({a.at("table"), a.at("row")});
    });
    answer.erase("removedBoxes");
    answer.erase("removedArrows");
    return answer;
}

// What a server keeps of a model after each change, by its own edits, by
// another process or by a box moved, answers what a server started afresh
// reads: the same model, frames and boxes, and arrows routed as validly
// (only the arrows a change touched are routed again). A page that holds
// what it read before and reads ?since= its snapshots (X-QMS-Snapshot)
// ends with the same answers; a snapshot the server no longer holds is
// answered in full.
TEST_F(ServeTest, KeptAnswersAfterEachChangeAreThoseOfAFreshServer) {
    for (const bool onServer : {false, true}) {
        const std::string config = configOf(onServer, "kept");
        if (config.empty()) continue;
        SCOPED_TRACE(config);
        const std::string options = "--config '" + config + "'";
        ServeProcess server(dir.path(), options);
        std::map<std::string, std::string> ids;
        ids["model"] = Json::parse(qms(options + " project show Shop --json"))
                           .at("/models/0/id"_json_pointer)
                           .dump();
        const std::string m = "/api/models/" + ids["model"];
        const auto read = [&](const ServeProcess& from) {
            return std::pair{
                Json::parse(arxtest::fetch(from.port, "GET", m).body, nullptr, false),
                Json::parse(arxtest::fetch(from.port, "GET", m + "/layout").body, nullptr, false)};
        };
        const auto [model, layout] = read(server);
        // What the page holds: the answer and the snapshot of each path.
        std::map<std::string, std::pair<Json, std::string>> held;
        const auto readSince = [&](const std::string& path) {
            auto& [before, snapshot] = held[path];
            const std::string since = snapshot.empty() ? "" : "?since=" + snapshot;
            const arxtest::HttpAnswer r = arxtest::fetch(server.port, "GET", path + since);
            EXPECT_EQ(r.status, 200) << path + since;
            before = applied(before, Json::parse(r.body, nullptr, false));
            snapshot = r.header("x-qms-snapshot");
            return std::pair{Json::parse(r.body, nullptr, false).contains("since"), before};
        };
        for (const std::string& path : {m, m + "/layout"})
            readSince(path);
        for (const Json& folder : model.at("folders"))
            if (folder.at("name") == "Orders") ids["folder"] = folder.at("id").dump();
        for (const Json& t : model.at("/diagram/tables"_json_pointer))
            ids[t.at("name") == "Customer" ? "customer" : "order"] = t.at("id").dump();
        ASSERT_EQ(ids.size(), 4u) << model.dump();
        // A box across the arrow from Order to Customer: the middle of its
        // longest segment.
        const auto across = [&]() -> std::string {
            const Json now = read(server).second;
            for (const Json& arrow : now.at("arrows")) {
                if (arrow.at("table").dump() != ids["order"]) continue;
                const Json& p = arrow.at("points");
                std::size_t longest = 0;
                int length = -1;
                for (std::size_t k = 0; k + 1 < p.size(); ++k) {
                    const int l = std::abs(p[k][0].get<int>() - p[k + 1][0].get<int>()) +
                                  std::abs(p[k][1].get<int>() - p[k + 1][1].get<int>());
                    if (l > length) length = l, longest = k;
                }
                const int x = (p[longest][0].get<int>() + p[longest + 1][0].get<int>()) / 2;
                const int y = (p[longest][1].get<int>() + p[longest + 1][1].get<int>()) / 2;
                return R"({"x": )" + std::to_string(x - 20) + R"(, "y": )" +
                       std::to_string(y - 20) + R"(, "width": 40, "height": 40})";
            }
            return "";
        };
        const struct {
            std::string method, path, body;  // a method "qms": a command in another process
            std::string keep = "";           // keeps the answer's "column" (else "id") as {keep}
        } steps[] = {
            {"POST", "/folders", R"({"name": "Archive"})", "archive"},
            {"POST", "/tables", R"({"folder": {folder}, "name": "Invoice", "display": "Bill"})",
             "invoice"},
            {"POST", "/tables/{invoice}/columns",
             R"({"name": "buyer", "type": "int", "references": {customer}})", "buyer"},
            {"PATCH", "/tables/{invoice}/columns/{buyer}", R"({"references": {order}})"},
            {"PATCH", "/tables/{customer}", R"({"display": "Client"})"},
            {"PATCH", "/tables/{order}", R"({"folder": {archive}})"},
            {"PUT", "/tables/{customer}/box",
             R"({"x": 420, "y": 300, "width": 150, "height": 80})"},
            {"PUT", "/tables/{invoice}/box", "across"},
            {"qms", "column add Sales Invoice seller --type int --references Order", ""},
            {"PUT", "/tables/{order}/box", R"({"x": 40, "y": 500, "width": 150, "height": 80})"},
            {"PUT", "/tables/{order}/box", R"({"x": 40, "y": 500, "width": 60, "height": 80})"},
            {"DELETE", "/tables/{customer}", ""},
            // A table changed, then the model record (all read anew), unread between.
            {"qms", "column add Sales Invoice total --type int", "", "-"},
            {"POST", "/lock", "{}"},
        };
        const auto fill = [&ids](std::string text) {
            for (const auto& [name, id] : ids) {
                for (std::size_t at; (at = text.find("{" + name + "}")) != std::string::npos;)
                    text.replace(at, name.size() + 2, id);
            }
            return text;
        };
        for (const auto& step : steps) {
            const std::string what = step.method + " " + step.path + " " + step.body;
            if (step.method == "qms") {
                qms(options + " " + step.path);
            } else if (!step.method.empty()) {
                const std::string body = step.body == "across" ? across() : fill(step.body);
                const arxtest::HttpAnswer r =
                    arxtest::fetch(server.port, step.method, m + fill(step.path),
                                   {{"X-QMS-Token", server.token}}, body, "application/json");
                ASSERT_LT(r.status, 300) << what << "\n" << r.body;
                if (!step.keep.empty()) {
                    const Json answer = Json::parse(r.body);
                    ids[step.keep] = answer.value("column", answer.at("id")).dump();
                }
            }
            ASSERT_TRUE(server.running()) << what;
            // An empty folder, or "-": the next step shows it.
            if (step.keep == "archive" || step.keep == "-") continue;
            const auto [keptModel, keptLayout] = read(server);
            for (const auto& [path, kept] :
                 {std::pair{m, keptModel}, {m + "/layout", keptLayout}}) {
                const auto [since, now] = readSince(path);
                EXPECT_TRUE(since) << what << " " << path;
                EXPECT_EQ(now, kept) << what << " " << path;
            }
            ServeProcess fresh(dir.path(), options);
            const auto [freshModel, freshLayout] = read(fresh);
            EXPECT_EQ(keptModel, freshModel) << what;
            expectLayoutAsFresh(keptLayout, freshLayout, what);
        }
        // A snapshot the server does not hold: the answers are whole.
        const auto [lastModel, lastLayout] = read(server);
        for (const auto& [path, now] : {std::pair{m, lastModel}, {m + "/layout", lastLayout}}) {
            held[path].second = "1";
            EXPECT_EQ(readSince(path), std::pair(false, now)) << path;
        }
        EXPECT_TRUE(server.stop());
    }
}

// The write token is kept in a file only its owner reads, so a restarted
// server takes the same one; --new-token replaces it; a file others could
// read or that is a symbolic link is refused, and the server does not start.
TEST_F(ServeTest, TheWriteTokenIsKeptAcrossRestarts) {
    const std::string file = dir.file("qms.db.token");
    const auto kept = [&] {
        std::ifstream in(file);
        std::string token;
        std::getline(in, token);
        return token;
    };
    std::string first;
    const struct {
        std::string options, prepare;  // qms serve's options; a shell command before it
        bool starts;
        std::string logged;  // what the log says; for a server that starts: "same", "new"
    } rows[] = {
        {"", "", true, "new"},
        {"", "", true, "same"},
        {"--new-token", "", true, "new"},
        {"", "chmod 640 qms.db.token", false, "may be read by others (mode 0640)"},
        {"--new-token", "", false, "may be read by others"},
        {"", "rm qms.db.token && ln -s elsewhere qms.db.token", false, "no regular file"},
        {"", "rm qms.db.token && echo nonsense > qms.db.token && chmod 600 qms.db.token", false,
         "holds no token"},
        {"--token-file own.token", "", true, "new"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options + " / " + row.prepare);
        if (!row.prepare.empty()) {
            ASSERT_EQ(std::system(("cd '" + dir.path() + "' && " + row.prepare).c_str()), 0);
        }
        std::ofstream(dir.file("serve.log"), std::ios::trunc).close();
        const std::string before = kept();
        ServeProcess server(dir.path(), row.options);
        std::ifstream log(dir.file("serve.log"));
        const std::string logged((std::istreambuf_iterator<char>(log)), {});
        if (!row.starts) {
            EXPECT_EQ(server.port, 0);
            EXPECT_EQ(server.exitCode(), 1);
            EXPECT_NE(logged.find(row.logged), std::string::npos) << logged;
            continue;
        }
        ASSERT_EQ(server.token.size(), 32u);
        EXPECT_EQ(logged.find(server.token), std::string::npos) << "the log shows the token";
        if (row.options.find("--token-file") != std::string::npos) {
            EXPECT_EQ(kept(), before) << "another file was named";
            continue;
        }
        struct stat status {};
        ASSERT_EQ(lstat(file.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u);
        EXPECT_EQ(kept(), server.token);
        EXPECT_EQ(server.token == before, row.logged == "same");
        EXPECT_EQ(arxtest::fetch(server.port, "PUT", boxPath(), {{"X-QMS-Token", server.token}},
                                 box(1), "application/json")
                      .status,
                  200);
    }
}
