#pragma once

// One transaction of the current configuration database around a whole
// lifecycle operation: a crash or a failed commit half-way leaves nothing of
// it, and its many small writes reach the disk once. Internal to arx_qms.
#include <memory>

#include "ResultReturnCode.h"

namespace MeridianSpace {

class Transaction;

class ConfigTransaction {
public:
    /// Opens the transaction on the current configuration database.
    ConfigTransaction();
    /// Rolls back unless finish() committed.
    ~ConfigTransaction();
    ConfigTransaction(const ConfigTransaction&) = delete;
    ConfigTransaction& operator=(const ConfigTransaction&) = delete;

    /// The outcome of opening it; nothing may be written when it failed.
    const ResultMsg& begun() const { return begun_; }
    /// Commits what the operation leaves, whether `outcome` is a success or
    /// a failure whose state is meant to stay. Returns `outcome`, or, when the
    /// commit fails (then nothing of the operation stays), a failure that
    /// says so after the outcome's message.
    ResultMsg finish(const ResultMsg& outcome);
    /// True once finish() committed.
    bool committed() const { return committed_; }

private:
    std::unique_ptr<Transaction> transaction_;
    ResultMsg begun_;
    bool committed_ = false;
};

}  // namespace MeridianSpace
