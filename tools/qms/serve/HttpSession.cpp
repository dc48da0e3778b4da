#include "HttpSession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <cctype>

#include "ServerCore.h"

namespace qms::serve {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using asio::ip::tcp;

namespace {

// Room for the largest header and body, and for the start of a pipelined
// request behind them.
constexpr std::size_t kBufferLimit = 64 * 1024;
// After a refusal the client may still be sending: that much is read and
// dropped, for that long, before the connection closes, so that the answer
// is not lost in a reset.
constexpr std::size_t kDrainBytes = 256 * 1024;
constexpr std::chrono::seconds kDrainTime{2};

bool allDigits(beast::string_view text) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A query parameter's name or value: %XX and '+' decoded.
std::string decoded(beast::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The parameters of a query "a=1&b=2"; the first value of a name counts.
std::map<std::string, std::string> parseQuery(beast::string_view query) {
    std::map<std::string, std::string> out;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const beast::string_view pair = query.substr(0, amp);
        const std::size_t eq = pair.find('=');
        out.emplace(decoded(pair.substr(0, eq)),
                    eq == beast::string_view::npos ? "" : decoded(pair.substr(eq + 1)));
        query = amp == beast::string_view::npos ? beast::string_view() : query.substr(amp + 1);
    }
    return out;
}

}  // namespace

HttpSession::HttpSession(tcp::socket socket, ServerCore& core)
    : stream_(std::move(socket)), core_(core), buffer_(kBufferLimit) {
    ++core_.connections;
}

HttpSession::~HttpSession() {
    --core_.connections;
}

void HttpSession::start() {
    awaitRequest();
}

void HttpSession::awaitRequest() {
    method_ = path_ = "-";
    head_ = false;
    if (buffer_.size() > 0) return readHeader();  // pipelined
    stream_.expires_after(kIdleTime);
    stream_.async_read_some(
        buffer_.prepare(512),
        [self = shared_from_this()](const beast::error_code& error, std::size_t bytes) {
            if (error) return self->drop();
            self->buffer_.commit(bytes);
            self->readHeader();
        });
}

void HttpSession::readHeader() {
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(kMaxHeader));
    parser_->body_limit(kMaxBody);
    stream_.expires_after(kHeaderTime);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](const beast::error_code& error,
                                                        std::size_t) { self->onHeader(error); });
}

void HttpSession::onHeader(const beast::error_code& error) {
    if (error == http::error::header_limit || error == http::error::buffer_overflow)
        return sendError(
            431, "the request header is larger than " + std::to_string(kMaxHeader) + " bytes",
            true);
    if (error == http::error::bad_content_length)
        return sendError(400, "Content-Length must be one whole number", true);
    if (error == http::error::body_limit) return tooLarge();
    if (error == beast::error::timeout || error == http::error::end_of_stream ||
        error == http::error::partial_message || error == asio::error::eof ||
        error == asio::error::operation_aborted || error == asio::error::connection_reset)
        return drop();
    if (error) return sendError(400, "the request is no valid HTTP/1.1 request", true);
    const auto& request = parser_->get();
    method_ = std::string(request.method_string());
    const beast::string_view target = request.target();
    path_ = std::string(target.substr(0, target.find('?')));
    head_ = request.method() == http::verb::head;
    if (!checkHeader()) return;
    if (parser_->is_done()) return dispatch();
    stream_.expires_after(kBodyTime);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](const beast::error_code& e, std::size_t) { self->onBody(e); });
}

bool HttpSession::checkHeader() {
    const auto& request = parser_->get();
    const bool bodyLeft = !parser_->is_done();
    if (request.count(http::field::host) > 1) {
        sendError(400, "a request names one host", true);
    } else if (!core_.knownHost(std::string(request[http::field::host]))) {
        sendError(403, "requests must name this server as their host", bodyLeft);
    } else if (request.count(http::field::transfer_encoding) != 0) {
        // A body without a length could be of any size.
        sendError(411, "a request body needs a Content-Length", true);
    } else if (request.count(http::field::content_encoding) != 0) {
        sendError(415, "a request body is taken as it is, without Content-Encoding", true);
    } else if (request.count(http::field::content_length) > 1 ||
               (request.count(http::field::content_length) == 1 &&
                !allDigits(request[http::field::content_length]))) {
        sendError(400, "Content-Length must be one whole number", true);
    } else if (parser_->content_length().value_or(0) > kMaxBody) {
        tooLarge();
    } else {
        return true;
    }
    return false;
}

void HttpSession::tooLarge() {
    sendError(413, "the request body is larger than " + std::to_string(kMaxBody) + " bytes", true);
}

void HttpSession::onBody(const beast::error_code& error) {
    if (error == http::error::body_limit) return tooLarge();
    if (error) return drop();
    dispatch();
}

void HttpSession::dispatch() {
    auto& message = parser_->get();
    const bool close = !message.keep_alive();
    Request request;
    request.method = method_;
    request.path = path_;
    const beast::string_view target = message.target();
    const std::size_t question = target.find('?');
    if (question != beast::string_view::npos)
        request.query = parseQuery(target.substr(question + 1));
    request.body = std::move(message.body());
    const auto token = message.find(kTokenHeader);
    const std::string given = token == message.end() ? std::string() : std::string(token->value());
    const bool hasToken = token != message.end();
    const std::string contentType(message[http::field::content_type]);
    if (message.count(http::field::if_match) != 0)
        request.ifMatch = std::string(message[http::field::if_match]);
    parser_.reset();

    const bool reads = method_ == "GET" || method_ == "HEAD";
    if (reads && path_ == core_.eventsPath && !core_.eventsPath.empty()) return openStream();
    if (reads) {
        const auto fixed = core_.fixedAnswers.find(path_);
        if (fixed != core_.fixedAnswers.end()) return send(200, fixed->second, close);
    }
    const ServerCore::Route* route = core_.route(method_, path_, request.matches);
    if (route == nullptr) return sendError(404, "no such resource", close);
    try {
        if (route->write()) core_.refuseWrite(hasToken ? &given : nullptr, contentType);
        if (route->quick) {
            if (std::optional<Reply> reply = route->quick(request)) return send(200, *reply, close);
        }
    } catch (const HttpError& e) {
        return sendError(e.status, e.what(), close);
    }
    core_.worker.post([self = shared_from_this(), route, request = std::move(request), close] {
        Reply reply;
        try {
            reply = self->core_.answer(route->handler, request);
        } catch (const HttpError& e) {
            reply = errorReply(e);
        }
        asio::post(self->stream_.get_executor(),
                   [self, reply, close] { self->send(reply.status, reply, close); });
    });
}

void HttpSession::sendError(int status, const std::string& message, bool close) {
    send(status, errorReply(HttpError(status, message)), close);
}

void HttpSession::send(int status, const Reply& reply, bool close) {
    core_.log(method_, path_, status);
    static const auto nothing = std::make_shared<const std::string>();
    body_ = reply.body ? reply.body : nothing;
    response_ = {};
    response_.version(11);
    response_.result(static_cast<unsigned>(status));
    for (const auto& [name, value] : safeguardHeaders())
        response_.set(name, value);
    response_.set(http::field::content_type, reply.contentType);
    if (!reply.etag.empty()) response_.set(http::field::etag, reply.etag);
    if (reply.snapshot != 0) response_.set(kSnapshotHeader, std::to_string(reply.snapshot));
    if (close) response_.set(http::field::connection, "close");
    response_.content_length(body_->size());
    // No ranges: every answer is whole.
    if (!head_) response_.body() = {body_->data(), body_->size()};
    stream_.expires_after(kWriteTime);
    http::async_write(
        stream_, response_,
        [self = shared_from_this(), close](const beast::error_code& error, std::size_t) {
            self->onSent(close, error);
        });
}

void HttpSession::onSent(bool close, const beast::error_code& error) {
    response_ = {};
    body_.reset();
    if (error) return drop();
    if (close) return linger();
    awaitRequest();
}

void HttpSession::linger() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kDrainTime);
    drain(kDrainBytes);
}

void HttpSession::drain(std::size_t left) {
    stream_.async_read_some(
        asio::buffer(probe_),
        [self = shared_from_this(), left](const beast::error_code& error, std::size_t bytes) {
            if (error || bytes >= left) return self->drop();
            self->drain(left - bytes);
        });
}

void HttpSession::drop() {
    closed_ = true;
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
}

void HttpSession::openStream() {
    core_.log(method_, path_, 200);
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n";
    for (const auto& [name, value] : safeguardHeaders())
        head += std::string(name) + ": " + value + "\r\n";
    // The stream's body runs until one side closes the connection.
    head += "Connection: close\r\n\r\n";
    buffer_.consume(buffer_.size());
    buffer_.shrink_to_fit();
    if (head_) {
        enqueue(std::make_shared<const std::string>(head));
        return;
    }
    enqueue(std::make_shared<const std::string>(head + ": qms serve events\nretry: 3000\n\n"));
    core_.hub.add(weak_from_this());
    watchClose();
}

void HttpSession::push(std::shared_ptr<const std::string> text) {
    asio::post(stream_.get_executor(),
               [self = shared_from_this(), text = std::move(text)] { self->enqueue(text); });
}

void HttpSession::enqueue(const std::shared_ptr<const std::string>& text) {
    if (closed_) return;
    // A client that does not read its stream is not kept in memory.
    if (backlogBytes_ + text->size() > kMaxStreamBacklog) return drop();
    backlog_.push_back(text);
    backlogBytes_ += text->size();
    if (!writing_) writeNext();
}

void HttpSession::writeNext() {
    writing_ = true;
    stream_.expires_after(kWriteTime);
    asio::async_write(stream_, asio::buffer(*backlog_.front()),
                      [self = shared_from_this()](const beast::error_code& error, std::size_t) {
                          if (error) return self->drop();
                          self->backlogBytes_ -= self->backlog_.front()->size();
                          self->backlog_.pop_front();
                          if (!self->backlog_.empty()) return self->writeNext();
                          self->writing_ = false;
                          self->stream_.expires_never();
                          if (self->head_) self->linger();
                      });
}

void HttpSession::watchClose() {
    // A stream's client sends nothing more; its end (or anything it sends)
    // ends the stream.
    stream_.socket().async_read_some(
        asio::buffer(probe_),
        [self = shared_from_this()](const beast::error_code&, std::size_t) { self->drop(); });
}

}  // namespace qms::serve
