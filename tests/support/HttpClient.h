#pragma once

// HTTP/1.1 as the tests and benchmarks speak it to qms serve: the bytes of
// a request are sent as they are (a malformed or hostile one too), answers
// are read by Boost.Beast's parser, and every wait has a deadline.
#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace arxtest {

using Headers = std::vector<std::pair<std::string, std::string>>;
using std::chrono_literals::operator""ms;
using std::chrono_literals::operator""s;

struct HttpAnswer {
    int status = 0;  ///< 0: no answer (the connection ended or the time ran out)
    std::map<std::string, std::string> headers;  ///< by lower-case name
    std::string body;
    /// The header's value, "" when absent.
    std::string header(const std::string& lowerCaseName) const;
};

/// The text of a request: the request line, Host: 127.0.0.1:port (unless
/// `headers` name a host), `headers`, and Content-Type (when `type` is
/// given) and Content-Length for a body (unless `headers` give a length or
/// a Transfer-Encoding).
std::string requestText(int port, const std::string& method, const std::string& target,
                        const Headers& headers = {}, const std::string& body = "",
                        const std::string& type = "");

/// One TCP connection to 127.0.0.1:port.
class HttpConnection {
public:
    /// Connects; throws std::runtime_error when it cannot.
    explicit HttpConnection(int port);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    /// Sends `bytes`; false when not all of them were taken within `deadline`.
    bool send(std::string_view bytes, std::chrono::milliseconds deadline = 10s);
    /// The next answer, read within `deadline` (status 0 when none came).
    /// `head`: the answer to a HEAD request, which has no body. `headerOnly`:
    /// stops after the header (an event stream), leaving the body to readUntil().
    HttpAnswer receive(std::chrono::milliseconds deadline = 10s, bool head = false,
                       bool headerOnly = false);
    /// What arrives up to and including the first `marker`, within
    /// `deadline`; "" when it did not come.
    std::string readUntil(std::string_view marker, std::chrono::milliseconds deadline = 10s);
    /// True when the server closes the connection within `deadline`
    /// (anything it sends meanwhile is dropped).
    bool closedWithin(std::chrono::milliseconds deadline);
    int fd() const { return fd_; }

private:
    /// Appends what one read brings before `until`; false at the end or the deadline.
    bool readMore(std::chrono::steady_clock::time_point until);

    int fd_ = -1;
    std::string received_;  // read but not yet taken
};

/// One request on a connection of its own.
HttpAnswer fetch(int port, const std::string& method, const std::string& target,
                 const Headers& headers = {}, const std::string& body = "",
                 const std::string& type = "");

}  // namespace arxtest
