#pragma once

// The HTTP side of qms serve: one server on one address, answering only
// the routes given to it (everything else is 404, and no file is ever
// read), with the same safeguards on every answer. Writes need the token
// made at start (in the X-QMS-Token header) and a JSON body, and are
// refused on a read-only server. Handlers run one at a time (the library
// serves one thread at a time); what they leave pending is committed
// after each success and rolled back after each failure.
#include <httplib.h>

#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>

#include "Output.h"
#include "Session.h"

namespace qms::serve {

struct ServeOptions {
    std::string bind = "127.0.0.1";
    int port = 8080;  // 0: any free port
    bool readOnly = false;
};

/// What a handler answers.
struct Reply {
    std::string body;
    std::string contentType = "application/json; charset=utf-8";
};
Reply jsonReply(const Json& json);

/// A refusal with its HTTP status; the message is UTF-8.
struct HttpError : std::runtime_error {
    HttpError(int status, const std::string& message)
        : std::runtime_error(message), status(status) {}
    int status;
};

/// The largest request body taken (a box's position is far smaller).
constexpr std::size_t kMaxBody = 16 * 1024;
/// The header that carries the write token.
constexpr const char* kTokenHeader = "X-QMS-Token";

class WebServer {
public:
    using Handler = std::function<Reply(const httplib::Request&)>;

    WebServer(Session& session, const ServeOptions& options);
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    /// Routes: `pattern` is a regular expression of the whole path.
    void get(const std::string& pattern, Handler handler);
    /// A write: refused unless the server writes, the token matches and
    /// the body is JSON.
    void put(const std::string& pattern, Handler handler);

    /// Binds to the address; the port taken. Throws Failure when it cannot.
    int bind();
    /// Answers requests until stop(); throws Failure when it cannot.
    void run();
    /// Safe from any thread.
    void stop();

    const std::string& token() const { return token_; }
    const ServeOptions& options() const { return options_; }

private:
    Reply answer(const Handler& handler, const httplib::Request& request);
    void refuseWrite(const httplib::Request& request) const;
    bool knownHost(const httplib::Request& request) const;

    Session& session_;
    ServeOptions options_;
    std::string token_;
    int port_ = 0;
    httplib::Server server_;
    std::mutex library_;
};

}  // namespace qms::serve
