#pragma once

// One connection of qms serve: requests read one after the other (a
// pipelined one waits in the buffer until the one before it is answered),
// each within its deadlines and limits (HttpLimits.h), checked, and
// answered from a fixed answer, from what is kept, or by the library's
// thread; or, for the event path, an event stream until either side ends
// it. Everything runs on the connection's strand; push() may be called
// from any thread. Internal to the server.
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/span_body.hpp>
#include <boost/beast/http/string_body.hpp>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "EventHub.h"
#include "WebServer.h"

namespace qms::serve {

class ServerCore;

class HttpSession : public EventSink, public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(boost::asio::ip::tcp::socket socket, ServerCore& core);
    ~HttpSession() override;
    /// Begins reading the first request.
    void start();
    void push(std::shared_ptr<const std::string> text) override;

private:
    using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;

    void awaitRequest();
    void readHeader();
    void onHeader(const boost::system::error_code& error);
    void onBody(const boost::system::error_code& error);
    /// The header's checks that need no route; false when it was answered.
    bool checkHeader();
    /// 413: the body is larger than kMaxBody.
    void tooLarge();
    void dispatch();
    /// Answers and, unless `close`, goes on with the next request.
    void send(int status, const Reply& reply, bool close);
    void sendError(int status, const std::string& message, bool close);
    void onSent(bool close, const boost::system::error_code& error);
    /// Closes after an answer: what the client still sends is read and
    /// dropped for a moment first, so that the answer is not lost in a reset.
    void linger();
    void drain(std::size_t left);
    /// Closes at once.
    void drop();

    // The event stream.
    void openStream();
    void enqueue(const std::shared_ptr<const std::string>& text);
    void writeNext();
    void watchClose();

    boost::beast::tcp_stream stream_;
    ServerCore& core_;
    boost::beast::flat_buffer buffer_;
    std::optional<Parser> parser_;
    std::string method_ = "-", path_ = "-";
    bool head_ = false;
    /// The answer being written, and the body it points into.
    boost::beast::http::response<boost::beast::http::span_body<const char>> response_;
    std::shared_ptr<const std::string> body_;
    // The event stream: texts waiting to be written, their size, and the
    // one being written.
    std::deque<std::shared_ptr<const std::string>> backlog_;
    std::size_t backlogBytes_ = 0;
    bool writing_ = false, closed_ = false;
    char probe_[1024];  // what is read only to be dropped
};

}  // namespace qms::serve
