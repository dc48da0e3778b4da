#pragma once

// Failure codes of the data service (the range 1001-1999, see
// ResultReturnCode.h). Callers pass them on unchanged.
namespace MeridianSpace {

/// An argument was refused: identifier, operation, column count, blob size,
/// an empty or special database path.
constexpr int SRV_ERR_ARGUMENT = 1001;
/// The database file does not exist or is no database.
constexpr int SRV_ERR_NO_FILE = 1002;
/// The session has been closed.
constexpr int SRV_ERR_CLOSED = 1003;
/// The table does not exist.
constexpr int SRV_ERR_NO_TABLE = 1004;
/// A column does not exist.
constexpr int SRV_ERR_NO_COLUMN = 1005;
/// The row does not exist.
constexpr int SRV_ERR_NO_ROW = 1006;
/// A table or column to be created exists already.
constexpr int SRV_ERR_EXISTS = 1007;
/// The database engine refused the statement; the message carries its text.
constexpr int SRV_ERR_ENGINE = 1008;
/// Another connection held a lock for longer than the busy timeout. Nothing
/// of the refused call was written; the caller may try again.
constexpr int SRV_ERR_BUSY = 1009;
/// A transaction or savepoint was used out of turn: it has already ended,
/// the session rolled it back, or an inner one is still open.
constexpr int SRV_ERR_TRANSACTION = 1010;
/// Committing failed; what the message says was not made durable.
constexpr int SRV_ERR_COMMIT = 1011;
/// The database server cannot be reached, refused the login, or went away
/// during the call; what was not committed has been rolled back. The
/// session connects again on its next call once the server is back.
constexpr int SRV_ERR_SERVER = 1012;

}  // namespace MeridianSpace
