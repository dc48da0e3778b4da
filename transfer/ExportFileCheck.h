#pragma once

// What an import checks of an export file before it writes anything
// anywhere: that the file is one, and a sound and complete one. Internal
// to arx_qms.
#include <string>

namespace MeridianSpace {

class MRDService;

/// What the check of an export file found: both texts are empty when the
/// file may be imported.
struct ExportFileVerdict {
    /// Why the file is no export file: it is no sound instance file (the
    /// engine's own check of every page included), or one of another model
    /// than "M_QMS".
    std::string notExportFile;
    /// The first problem of an export file: a table or column that the
    /// records read is missing; an integer column holds something else;
    /// the platform's model "M_QMS" is missing (an export that never
    /// finished); a reference does not resolve inside the file (identifiers
    /// of 0 or below mean none where a reference is optional); a column has
    /// an unknown data type.
    std::string problem;
};

/// Checks the export file at `path` through read-only connections of its
/// own, never through the current databases, so that it may run on another
/// thread while this one reads the file.
ExportFileVerdict checkExportFile(MRDService& service, const std::string& path);

}  // namespace MeridianSpace
