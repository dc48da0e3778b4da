#pragma once

// What an import checks of an export file before it reads a record of it
// or writes anything anywhere. Internal to arx_qms.
#include <string>

namespace MeridianSpace {

/// The first problem of the export file that is the current configuration
/// database (opened to be read only), or empty text when it is sound: a
/// table or column that the records read is missing; an integer column
/// holds something else; the platform's model "M_QMS" is missing (an
/// export that never finished); a reference does not resolve inside the
/// file (identifiers of 0 or below mean none where a reference is
/// optional); a column has an unknown data type.
std::string firstExportFileProblem();

}  // namespace MeridianSpace
