#pragma once

// The result record that every operation of the platform and of the library
// returns, and the constants that travel with it.
#include <string>
#include <utility>

#include "MeridianStd.h"

namespace MeridianSpace {

// Codes of every layer, in one list (each layer's header names its own):
//   0             RUN_SUCCESS
//   1             RUN_FAIL: the library's own checks
//   -1 .. 2       answers of DiskHelper (a path's kind, disk space), as its
//                 header says; they are values, not all of them failures
//   1001 - 1999   the data service: ServiceErrorCode.h (SRV_ERR_...)
//   2001 - 2999   the common library: CommonErrorCode.h (COM_ERR_...)

/// Success code of every operation.
constexpr int RUN_SUCCESS = 0;
/// Failure code of the library's own checks.
constexpr int RUN_FAIL = 1;

/// Commit type: commit the session at once. Commit type 0 joins the session's
/// open transaction, which the next commit() or immediate write commits.
constexpr int COMMIT_T_IMMEDIATELY = 1;
/// Commit type: leave the write in the session's open transaction.
constexpr int COMMIT_T_DEFERRED = 0;

/// Column types of a table row (ITableData::_colType) and of a column
/// description (MNormalColumn::_dataType).
constexpr int COL_TYPE_INT = 1;
constexpr int COL_TYPE_STRING = 2;
constexpr int COL_TYPE_DOUBLE = 3;
/// Blob column types: 4 characters, 5 doubles, 6 raw.
constexpr int COL_TYPE_BLOB_CHAR = 4;
constexpr int COL_TYPE_BLOB_DOUBLE = 5;
constexpr int COL_TYPE_BLOB = 6;

/// Outcome of an operation: rCode 0 is success, anything else a failure;
/// rMsg is GBK text, empty on a plain success. A plain value: copies are
/// independent, one object is used by one thread at a time. A result left
/// unused is a compiler warning; a call that passes one over on purpose
/// casts it to void and says why.
struct [[nodiscard]] ResultMsg {
    int rCode = RUN_SUCCESS;
    std::string rMsg;

    ResultMsg() = default;
    ResultMsg(int code, std::string msg) : rCode(code), rMsg(std::move(msg)) {}

    bool ok() const { return rCode == RUN_SUCCESS; }
};

}  // namespace MeridianSpace
