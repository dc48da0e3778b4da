#include "ServerCore.h"

#include <algorithm>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <cctype>
#include <cstdio>
#include <iostream>

#include "HttpSession.h"
#include "M_ProjectDAO.h"
#include "TokenFile.h"

namespace qms::serve {

namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

// Compares in a time that does not tell how much of `given` was right.
bool sameToken(const std::string& given, const std::string& token) {
    if (given.size() != token.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < token.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ token[i]);
    return difference == 0;
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

const std::vector<std::pair<const char*, const char*>>& safeguardHeaders() {
    // No script but the page's own files, no frames, no guessing of types.
    static const std::vector<std::pair<const char*, const char*>> headers = {
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
         "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Cross-Origin-Resource-Policy", "same-origin"},
        {"Cache-Control", "no-store"}};
    return headers;
}

ServerCore::ServerCore(CommandSession& session, const ServeOptions& options)
    : session(session),
      options(options),
      token(options.token.empty() ? newToken() : options.token) {}

const ServerCore::Route* ServerCore::route(const std::string& method, const std::string& path,
                                           std::vector<std::string>& matches) const {
    const std::string wanted = method == "HEAD" ? "GET" : method;
    std::smatch match;
    for (const Route& candidate : routes) {
        if (candidate.method != wanted || !std::regex_match(path, match, candidate.pattern))
            continue;
        matches.assign(match.begin(), match.end());
        return &candidate;
    }
    return nullptr;
}

// A server on this machine only answers requests made to it by a loopback
// name, so that a web site whose name is made to point here cannot read it.
bool ServerCore::knownHost(const std::string& host) const {
    if (!isLoopback(options.bind)) return true;
    const std::string suffix = ":" + std::to_string(port);
    for (const std::string& name : {options.bind, std::string("localhost"), std::string("[::1]")})
        if (host == name + suffix) return true;
    return false;
}

void ServerCore::refuseWrite(const std::string* given, const std::string& contentType) const {
    if (options.readOnly) throw HttpError(403, "the server is read-only (qms serve --read-only)");
    if (given == nullptr)
        throw HttpError(401,
                        std::string("a write needs the token that qms serve printed, in the ") +
                            kTokenHeader + " header");
    if (!sameToken(*given, token)) throw HttpError(403, "wrong write token");
    std::string type = contentType.substr(0, contentType.find(';'));
    type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (type != "application/json")
        throw HttpError(415, "a write takes a JSON body (Content-Type: application/json)");
}

Reply ServerCore::answer(const WebServer::Handler& handler, const Request& request) {
    std::exception_ptr failed;
    Reply reply;
    try {
        reply = handler(request);
        session.commit();
    } catch (...) {
        failed = std::current_exception();
    }
    M_ProjectDAO::setCurrProjectID(-1);  // writes set the project they stamp
    if (!failed) return reply;
    try {
        session.rollback();
    } catch (const std::exception& e) {
        std::cerr << "qms serve: " + printable(e.what()) + "\n";
    }
    throw asHttpError(failed);
}

void ServerCore::log(const std::string& method, const std::string& path, int status) const {
    // One write per line: the lines of several threads do not mix.
    const std::string line =
        printable(method) + " " + printable(path) + " " + std::to_string(status) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void ServerCore::accept() {
    acceptor.async_accept(
        asio::make_strand(io), [this](const boost::system::error_code& error, tcp::socket socket) {
            if (!acceptor.is_open()) return;
            if (error) {
                // Out of file descriptors, most likely: taking the next one at
                // once would only spin.
                acceptPause.expires_after(std::chrono::milliseconds(100));
                acceptPause.async_wait([this](const boost::system::error_code& e) {
                    if (!e) accept();
                });
                return;
            }
            if (connections.load() >= kMaxConnections)
                refuse(std::move(socket));
            else
                std::make_shared<HttpSession>(std::move(socket), *this)->start();
            accept();
        });
}

void ServerCore::refuse(tcp::socket socket) {
    static const std::string answer = [] {
        const std::string body =
            jsonText({{"error", "the server has as many connections as it takes; try again"}});
        std::string text = "HTTP/1.1 503 Service Unavailable\r\n";
        for (const auto& [name, value] : safeguardHeaders())
            text += std::string(name) + ": " + value + "\r\n";
        return text +
               "Content-Type: application/json; charset=utf-8\r\nRetry-After: 1\r\n"
               "Connection: close\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body;
    }();
    log("-", "-", 503);
    auto refused = std::make_shared<tcp::socket>(std::move(socket));
    asio::async_write(*refused, asio::buffer(answer),
                      [refused](const boost::system::error_code&, std::size_t) {
                          boost::system::error_code ignored;
                          refused->shutdown(tcp::socket::shutdown_both, ignored);
                          refused->close(ignored);
                      });
}

}  // namespace qms::serve
