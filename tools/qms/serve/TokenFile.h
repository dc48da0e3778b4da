#pragma once

// The write token of qms serve, kept in a file that only its owner may
// read, so that a restarted server takes the same token and nobody who
// holds it is locked out. Used by one thread at start.
#include <string>

namespace qms::serve {

/// 128 bits from the system's random source, as 32 hex digits.
std::string newToken();

/// Where the token of the configuration database `config` is kept when
/// no file is named: beside a database file (its name + ".token"), in the
/// current folder for a server database ("qms-serve.token").
std::string tokenFileFor(const std::string& config);

/// The token kept in `path`: read when the file is there, else made and
/// written (mode 0600; two servers starting at once keep one). `renew`: a
/// new token replaces the kept one. Throws Failure, touching nothing, when
/// the file is no regular file (a symbolic link), may be read or written
/// by others than its owner, belongs to another user or holds no token.
std::string keptToken(const std::string& path, bool renew);

}  // namespace qms::serve
