#pragma once

// What qms serve allows a client (docs/serve-http.md lists them for users).
#include <chrono>
#include <cstddef>

namespace qms::serve {

/// The request line and header fields together.
constexpr std::size_t kMaxHeader = 16 * 1024;
/// A request body (a box's position is far smaller).
constexpr std::size_t kMaxBody = 16 * 1024;
/// Connections open at once; one more is answered 503 and closed.
constexpr int kMaxConnections = 1024;
/// From the first byte of a request until its header is complete.
constexpr std::chrono::seconds kHeaderTime{10};
/// From the end of the header until the body is complete.
constexpr std::chrono::seconds kBodyTime{10};
/// How long a connection waits for the first byte of its next request.
constexpr std::chrono::seconds kIdleTime{30};
/// How long the writing of one answer or event may take.
constexpr std::chrono::seconds kWriteTime{30};
/// Events waiting for a stream that does not read; beyond it the stream ends.
constexpr std::size_t kMaxStreamBacklog = 256 * 1024;
/// A comment on every event stream this often, so that idle streams stay open.
constexpr std::chrono::seconds kHeartbeat{15};
/// The threads that read and write connections.
constexpr int kIoThreads = 2;

}  // namespace qms::serve
