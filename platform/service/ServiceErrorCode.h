#pragma once

// Failure codes of the data service. Callers pass them on unchanged.
namespace MeridianSpace {

/// An argument was refused: identifier, operation, column count, blob size.
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

}  // namespace MeridianSpace
