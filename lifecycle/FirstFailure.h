#pragma once

// The outcome of a run of reads that feed one operation: every failure is
// logged, the first one answers for the run (LevelDB keeps its first
// background error the same way). An operation that lost a read ends with
// that failure instead of writing a partial result. Internal to arx_qms.
#include <string>
#include <utility>

#include "ResultReturnCode.h"

namespace MeridianSpace {

class FirstFailure {
public:
    /// `position` is the log position of the operation, with its blank.
    explicit FirstFailure(std::string position) : position_(std::move(position)) {}

    /// Notes the outcome of a read of `what` (a record class): a failure
    /// is logged and, when it is the first, kept. Returns `rm.ok()`.
    bool read(const std::string& what, const ResultMsg& rm);
    bool ok() const { return first_.ok(); }
    /// Success, or the first failure noted.
    const ResultMsg& result() const { return first_; }

private:
    std::string position_;
    ResultMsg first_;
};

}  // namespace MeridianSpace
