#include "support/HttpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <boost/beast/http.hpp>
#include <cctype>
#include <stdexcept>

namespace arxtest {

namespace http = boost::beast::http;

namespace {

int msLeft(std::chrono::steady_clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string HttpAnswer::header(const std::string& lowerCaseName) const {
    const auto found = headers.find(lowerCaseName);
    return found == headers.end() ? "" : found->second;
}

std::string requestText(int port, const std::string& method, const std::string& target,
                        const Headers& headers, const std::string& body, const std::string& type) {
    std::string text = method + " " + target + " HTTP/1.1\r\n";
    bool host = false, length = false;
    for (const auto& [name, value] : headers) {
        host = host || lower(name) == "host";
        length = length || lower(name) == "content-length" || lower(name) == "transfer-encoding";
    }
    if (!host) text += "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    for (const auto& [name, value] : headers)
        text += name + ": " + value + "\r\n";
    if (!type.empty()) text += "Content-Type: " + type + "\r\n";
    if (!length && (!body.empty() || method == "PUT" || method == "POST"))
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body;
}

HttpConnection::HttpConnection(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (fd_ >= 0) close(fd_);
        throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
    }
}

HttpConnection::~HttpConnection() {
    close(fd_);
}

bool HttpConnection::send(std::string_view bytes, std::chrono::milliseconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!bytes.empty()) {
        pollfd writable{fd_, POLLOUT, 0};
        if (poll(&writable, 1, msLeft(until)) <= 0) return false;
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (sent > 0) bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool HttpConnection::readMore(std::chrono::steady_clock::time_point until) {
    pollfd readable{fd_, POLLIN, 0};
    if (poll(&readable, 1, msLeft(until)) <= 0) return false;
    char buffer[65536];
    const ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got <= 0) return got < 0 && (errno == EAGAIN || errno == EINTR);
    received_.append(buffer, static_cast<std::size_t>(got));
    return true;
}

HttpAnswer HttpConnection::receive(std::chrono::milliseconds deadline, bool head, bool headerOnly) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    http::response_parser<http::string_body> parser;
    parser.body_limit(boost::none);
    parser.skip(head);
    parser.eager(!headerOnly);
    HttpAnswer answer;
    for (;;) {
        boost::beast::error_code error;
        if (!received_.empty()) {
            const std::size_t used =
                parser.put(boost::asio::buffer(received_.data(), received_.size()), error);
            received_.erase(0, used);
        }
        if (parser.is_done() || (headerOnly && parser.is_header_done())) break;
        if (error && error != http::error::need_more) return answer;
        if (std::chrono::steady_clock::now() >= until) return answer;
        const bool more = readMore(until);
        if (!more && received_.empty()) {
            // The end of a body that runs to the end of the connection.
            if (msLeft(until) > 0 && !parser.is_done() && parser.is_header_done()) {
                parser.put_eof(error);
                if (!error) break;
            }
            return answer;
        }
    }
    const auto& message = parser.get();
    answer.status = static_cast<int>(message.result_int());
    for (const auto& field : message)
        answer.headers[lower(std::string(field.name_string()))] = std::string(field.value());
    answer.body = message.body();
    return answer;
}

std::string HttpConnection::readUntil(std::string_view marker, std::chrono::milliseconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const std::size_t at = received_.find(marker);
        if (at != std::string::npos) {
            std::string taken = received_.substr(0, at + marker.size());
            received_.erase(0, at + marker.size());
            return taken;
        }
        if (!readMore(until)) return "";
    }
}

bool HttpConnection::closedWithin(std::chrono::milliseconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        pollfd readable{fd_, POLLIN, 0};
        if (poll(&readable, 1, msLeft(until)) <= 0) return false;
        char buffer[65536];
        const ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return true;
    }
}

HttpAnswer fetch(int port, const std::string& method, const std::string& target,
                 const Headers& headers, const std::string& body, const std::string& type) {
    HttpConnection connection(port);
    if (!connection.send(requestText(port, method, target, headers, body, type))) return {};
    return connection.receive(30s, method == "HEAD");
}

}  // namespace arxtest
