#pragma once

// What the connections of one WebServer share: the routes, the options and
// token, the I/O context and its threads, the library's thread and the
// event streams. Internal to the server. Routes are set before run() and
// only read afterwards; the rest says what it guards.
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "EventHub.h"
#include "HttpLimits.h"
#include "LibraryWorker.h"
#include "WebServer.h"

namespace qms::serve {

class ServerCore {
public:
    ServerCore(CommandSession& session, const ServeOptions& options);

    struct Route {
        std::string method;  // GET (and HEAD), or a write: PUT, POST, PATCH, DELETE
        bool write() const { return method != "GET"; }
        std::regex pattern;
        WebServer::Handler handler;
        WebServer::Quick quick;
    };
    /// The route of a GET/HEAD or write path, with its groups in `matches`; null for none.
    const Route* route(const std::string& method, const std::string& path,
                       std::vector<std::string>& matches) const;
    /// Whether a request naming `host` is answered (see WebServer.cpp).
    bool knownHost(const std::string& host) const;
    /// Throws the HttpError that refuses a write, if any.
    void refuseWrite(const std::string* token, const std::string& contentType) const;
    /// Runs `handler` on the library's thread's behalf: commits after a
    /// success, rolls back and throws HttpError after a failure.
    Reply answer(const WebServer::Handler& handler, const Request& request);
    /// One line on standard error: method, path, status.
    void log(const std::string& method, const std::string& path, int status) const;
    /// Takes connections until the acceptor closes.
    void accept();

    CommandSession& session;
    ServeOptions options;
    std::string token;
    int port = 0;
    std::vector<Route> routes;
    std::map<std::string, Reply> fixedAnswers;
    std::string eventsPath;

    std::atomic<int> connections{0};
    boost::asio::io_context io{kIoThreads};
    boost::asio::ip::tcp::acceptor acceptor{io};
    boost::asio::steady_timer acceptPause{io};  // after running out of file descriptors
    EventHub hub{io};
    LibraryWorker worker;
    std::vector<std::thread> threads;

private:
    /// Answers 503 and closes: the server has kMaxConnections already.
    void refuse(boost::asio::ip::tcp::socket socket);
};

/// The safeguard headers every answer carries.
const std::vector<std::pair<const char*, const char*>>& safeguardHeaders();

}  // namespace qms::serve
