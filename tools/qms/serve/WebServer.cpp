#include "WebServer.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>

#include "ServerCore.h"

namespace qms::serve {

namespace asio = boost::asio;
using asio::ip::tcp;

std::string Request::param(const std::string& name) const {
    const auto found = query.find(name);
    return found == query.end() ? "" : found->second;
}

Reply jsonReply(const Json& json) {
    return {jsonText(json)};
}

Reply errorReply(const HttpError& error) {
    Json body = {{"error", error.what()}};
    if (error.detail.is_object())
        for (const auto& [name, value] : error.detail.items())
            body[name] = value;
    Reply reply = jsonReply(body);
    reply.status = error.status;
    return reply;
}

WebServer::WebServer(CommandSession& session, const ServeOptions& options)
    : core_(std::make_unique<ServerCore>(session, options)) {}

WebServer::~WebServer() = default;

void WebServer::get(const std::string& pattern, Handler handler, Quick quick) {
    core_->routes.push_back({"GET", std::regex(pattern), std::move(handler), std::move(quick)});
}

void WebServer::write(const std::string& method, const std::string& pattern, Handler handler) {
    core_->routes.push_back({method, std::regex(pattern), std::move(handler), {}});
}

void WebServer::fixed(const std::string& path, const Reply& reply) {
    core_->fixedAnswers[path] = reply;
}

void WebServer::eventStream(const std::string& path) {
    core_->eventsPath = path;
}

EventHub& WebServer::events() {
    return core_->hub;
}

LibraryWorker& WebServer::library() {
    return core_->worker;
}

const std::string& WebServer::token() const {
    return core_->token;
}

const ServeOptions& WebServer::options() const {
    return core_->options;
}

int WebServer::bind() {
    ServerCore& core = *core_;
    const std::string where = core.options.bind + ":" + std::to_string(core.options.port);
    boost::system::error_code error;
    tcp::resolver resolver(core.io);
    const auto found =
        resolver.resolve(core.options.bind, std::to_string(core.options.port),
                         tcp::resolver::passive | tcp::resolver::numeric_service, error);
    if (error || found.empty())
        throw Failure("cannot listen on " + where + ": " + core.options.bind +
                      " is not an address here");
    const tcp::endpoint endpoint = found.begin()->endpoint();
    core.acceptor.open(endpoint.protocol(), error);
    // SO_REUSEADDR only: a restarted server need not wait for old
    // connections to time out, and Linux still lets no second server listen
    // on the port (SO_REUSEPORT, which would, is never set).
    if (!error) core.acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    if (!error) core.acceptor.bind(endpoint, error);
    if (error == asio::error::address_in_use)
        throw Failure("cannot listen on " + where + ": the port is in use");
    if (!error) core.acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) throw Failure("cannot listen on " + where + ": " + error.message());
    core.port = core.acceptor.local_endpoint().port();
    return core.port;
}

void WebServer::run() {
    ServerCore& core = *core_;
    core.worker.start();
    core.hub.start();
    core.accept();
    for (int i = 1; i < kIoThreads; ++i)
        core.threads.emplace_back([&core] { core.io.run(); });
    core.io.run();
    for (std::thread& thread : core.threads)
        thread.join();
    core.threads.clear();
    core.worker.stop();
}

void WebServer::stop() {
    ServerCore& core = *core_;
    asio::post(core.io, [&core] {
        boost::system::error_code ignored;
        core.acceptor.close(ignored);
        core.io.stop();
    });
}

}  // namespace qms::serve
