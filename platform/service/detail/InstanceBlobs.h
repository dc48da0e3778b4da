#pragma once

// Stores and reads arrays of doubles as the blob of one column of a row.
#include <string>

#include "ResultReturnCode.h"

namespace MeridianSpace {
namespace detail {

class Connection;

/// The blob operations InstanceDataManager forwards, on its connection.
/// Used by the thread that uses the session.
class InstanceBlobs {
public:
    explicit InstanceBlobs(Connection& conn) : conn_(conn) {}

    ResultMsg updateIBlobTableData(const std::string& table, const std::string& column,
                                   const double* data, int count, int id, int commitType);
    ResultMsg getIBlobTableData(const std::string& table, const std::string& column, int id,
                                double*& data, int& count);

private:
    Connection& conn_;
};

}  // namespace detail
}  // namespace MeridianSpace
