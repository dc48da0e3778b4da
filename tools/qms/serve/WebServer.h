#pragma once

// The HTTP side of qms serve: one server on one address (Boost.Beast over
// Asio: a few I/O threads serve every connection, with the deadlines and
// limits of HttpLimits.h), answering only the routes given to it
// (everything else is 404, and no file is ever read), with the same
// safeguards on every answer. Writes need the token made at start (in the
// X-QMS-Token header) and a JSON body, and are refused on a read-only
// server. Handlers run on the library's own thread, one at a time; what
// they leave pending is committed after each success and rolled back after
// each failure. A route may also answer from what is kept, on an I/O
// thread, without waiting for the library.
//
// Set up (routes, events) from one thread before run(); stop() from any
// thread; the rest is internal to the server's threads.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandSession.h"
#include "Output.h"

namespace qms::serve {

class EventHub;
class LibraryWorker;
class ServerCore;

struct ServeOptions {
    std::string bind = "127.0.0.1";
    int port = 8080;  // 0: any free port
    bool readOnly = false;
    std::string token;  // the write token; empty: a new one
};

/// A request as a handler sees it.
struct Request {
    std::string method, path;
    std::map<std::string, std::string> query;  // the first value of each name
    std::vector<std::string> matches;          // [0] the path, then the pattern's groups
    std::string body;
    std::optional<std::string> ifMatch;  // the If-Match header
    bool hasParam(const std::string& name) const { return query.count(name) != 0; }
    std::string param(const std::string& name) const;
};

/// What a handler answers; the body may be shared with what is kept.
struct Reply {
    Reply() = default;
    Reply(std::string text, std::string type = "application/json; charset=utf-8")
        : body(std::make_shared<const std::string>(std::move(text))),
          contentType(std::move(type)) {}
    Reply(std::shared_ptr<const std::string> text, std::string type)
        : body(std::move(text)), contentType(std::move(type)) {}
    std::shared_ptr<const std::string> body;
    std::string contentType = "application/json; charset=utf-8";
    int status = 200;
    std::string etag;  // the ETag header, when not empty
    /// The serial of the picture or layout kept that the answer shows
    /// (ModelCache; the X-QMS-Snapshot header), when not 0.
    std::uint64_t snapshot = 0;
};
Reply jsonReply(const Json& json);

/// A refusal with its HTTP status; the message is UTF-8. The answer is
/// {"error": message} and the fields of `detail` (an object) after it.
struct HttpError : std::runtime_error {
    HttpError(int status, const std::string& message, Json detail = nullptr)
        : std::runtime_error(message), status(status), detail(std::move(detail)) {}
    int status;
    Json detail;
};
/// The answer of a refusal.
Reply errorReply(const HttpError& error);

/// The header that carries the write token.
constexpr const char* kTokenHeader = "X-QMS-Token";
/// The header that names the snapshot an answer shows, for reads ?since= it.
constexpr const char* kSnapshotHeader = "X-QMS-Snapshot";

class WebServer {
public:
    /// Runs on the library's thread.
    using Handler = std::function<Reply(const Request&)>;
    /// Runs on an I/O thread without the library: an answer, or none to
    /// hand the request to the handler.
    using Quick = std::function<std::optional<Reply>(const Request&)>;

    WebServer(CommandSession& session, const ServeOptions& options);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    /// Routes: `pattern` is a regular expression of the whole path.
    void get(const std::string& pattern, Handler handler, Quick quick = {});
    /// A write (PUT, POST, PATCH or DELETE): refused unless the server
    /// writes, the token matches and the body is JSON.
    void write(const std::string& method, const std::string& pattern, Handler handler);
    void put(const std::string& pattern, Handler handler) { write("PUT", pattern, handler); }
    /// The same answer every time, given on an I/O thread.
    void fixed(const std::string& path, const Reply& reply);
    /// A stream of the events published to events() (text/event-stream).
    void eventStream(const std::string& path);
    EventHub& events();
    /// The library's thread: anything that uses the library while the
    /// server runs goes through it.
    LibraryWorker& library();

    /// Binds to the address; the port taken. Throws Failure when it cannot
    /// (a port in use among them: no two servers share one).
    int bind();
    /// Answers requests until stop(); throws Failure when it cannot.
    void run();
    /// Safe from any thread.
    void stop();

    const std::string& token() const;
    const ServeOptions& options() const;

private:
    std::unique_ptr<ServerCore> core_;
};

}  // namespace qms::serve
