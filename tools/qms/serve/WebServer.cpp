#include "WebServer.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <random>

#include "M_ProjectDAO.h"

namespace qms::serve {

namespace {

using httplib::Server;

// 128 bits from the system's random source, as hex digits.
std::string newToken() {
    std::random_device random;
    std::string token;
    for (int word = 0; word < 4; ++word) {
        const unsigned bits = random();
        for (int digit = 0; digit < 8; ++digit)
            token += "0123456789abcdef"[(bits >> (4 * digit)) & 0xF];
    }
    return token;
}

// Compares in a time that does not tell how much of `given` was right.
bool sameToken(const std::string& given, const std::string& token) {
    if (given.size() != token.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < token.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ token[i]);
    return difference == 0;
}

void setError(httplib::Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_content(jsonText({{"error", message}}), "application/json; charset=utf-8");
}

// The errors that the HTTP library answers by itself, given a message.
std::string statusMessage(int status) {
    switch (status) {
        case 404:
            return "no such resource";
        case 413:
            return "the request body is larger than " + std::to_string(kMaxBody) + " bytes";
        case 414:
            return "the request line is too long";
        default:
            return "bad request";
    }
}

bool isLoopback(const std::string& address) {
    return address.rfind("127.", 0) == 0 || address == "::1" || address == "localhost";
}

// What a failed handler threw, as an HTTP refusal.
HttpError asHttpError(const std::exception_ptr& thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const HttpError& e) {
        return e;
    } catch (const NotFound& e) {
        return {404, e.what()};
    } catch (const UsageError& e) {
        return {400, e.what()};
    } catch (const Unavailable& e) {
        return {503, e.what()};
    } catch (const std::exception& e) {
        return {500, e.what()};
    }
}

}  // namespace

Reply jsonReply(const Json& json) {
    return {jsonText(json)};
}

WebServer::WebServer(Session& session, const ServeOptions& options)
    : session_(session), options_(options), token_(newToken()) {
    server_.set_payload_max_length(kMaxBody);
    // No script but the page's own files, no frames, no guessing of types.
    server_.set_default_headers(
        {{"Content-Security-Policy",
          "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
          "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
         {"X-Content-Type-Options", "nosniff"},
         {"X-Frame-Options", "DENY"},
         {"Referrer-Policy", "no-referrer"},
         {"Cross-Origin-Resource-Policy", "same-origin"},
         {"Cache-Control", "no-store"}});
    server_.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            if (!knownHost(request)) {
                setError(response, 403, "requests must name this server as their host");
                return Server::HandlerResponse::Handled;
            }
            // A body without a length could be of any size.
            if (request.has_header("Transfer-Encoding")) {
                setError(response, 411, "a request body needs a Content-Length");
                response.set_header("Connection", "close");
                return Server::HandlerResponse::Handled;
            }
            return Server::HandlerResponse::Unhandled;
        });
    server_.set_error_handler(
        Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty()) return Server::HandlerResponse::Unhandled;
            setError(response, response.status, statusMessage(response.status));
            return Server::HandlerResponse::Handled;
        }));
    server_.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::cerr << request.method + " " + printable(request.path) + " " +
                         std::to_string(response.status) + "\n";
    });
}

void WebServer::get(const std::string& pattern, Handler handler) {
    server_.Get(pattern,
                [this, handler](const httplib::Request& request, httplib::Response& response) {
                    try {
                        const Reply reply = answer(handler, request);
                        response.set_content(reply.body, reply.contentType);
                    } catch (const HttpError& e) {
                        setError(response, e.status, e.what());
                    }
                });
}

void WebServer::put(const std::string& pattern, Handler handler) {
    server_.Put(pattern,
                [this, handler](const httplib::Request& request, httplib::Response& response) {
                    try {
                        refuseWrite(request);
                        const Reply reply = answer(handler, request);
                        response.set_content(reply.body, reply.contentType);
                    } catch (const HttpError& e) {
                        setError(response, e.status, e.what());
                    }
                });
}

Reply WebServer::answer(const Handler& handler, const httplib::Request& request) {
    const std::lock_guard<std::mutex> lock(library_);
    std::exception_ptr failed;
    Reply reply;
    try {
        reply = handler(request);
        session_.commit();
    } catch (...) {
        failed = std::current_exception();
    }
    M_ProjectDAO::setCurrProjectID(-1);  // writes set the project they stamp
    if (!failed) return reply;
    try {
        session_.rollback();
    } catch (const std::exception& e) {
        std::cerr << "qms serve: " + printable(e.what()) + "\n";
    }
    throw asHttpError(failed);
}

void WebServer::refuseWrite(const httplib::Request& request) const {
    if (options_.readOnly) throw HttpError(403, "the server is read-only (qms serve --read-only)");
    if (!request.has_header(kTokenHeader))
        throw HttpError(401,
                        std::string("a write needs the token that qms serve printed, in the ") +
                            kTokenHeader + " header");
    if (!sameToken(request.get_header_value(kTokenHeader), token_))
        throw HttpError(403, "wrong write token");
    std::string type = request.get_header_value("Content-Type");
    type = type.substr(0, type.find(';'));
    type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (type != "application/json")
        throw HttpError(415, "a write takes a JSON body (Content-Type: application/json)");
}

// A server on this machine only answers requests made to it by a loopback
// name, so that a web site whose name is made to point here cannot read it.
bool WebServer::knownHost(const httplib::Request& request) const {
    if (!isLoopback(options_.bind)) return true;
    const std::string host = request.get_header_value("Host");
    const std::string port = ":" + std::to_string(port_);
    for (const std::string& name : {options_.bind, std::string("localhost"), std::string("[::1]")})
        if (host == name + port) return true;
    return false;
}

int WebServer::bind() {
    const std::string where = options_.bind + ":" + std::to_string(options_.port);
    port_ = options_.port == 0 ? server_.bind_to_any_port(options_.bind)
            : server_.bind_to_port(options_.bind, options_.port) ? options_.port
                                                                 : -1;
    if (port_ <= 0)
        throw Failure("cannot listen on " + where + " (in use, or not an address here)");
    return port_;
}

void WebServer::run() {
    if (!server_.listen_after_bind()) throw Failure("the server failed to accept connections");
}

void WebServer::stop() {
    server_.stop();
}

}  // namespace qms::serve
