#pragma once

// Where the library's own diagnostic console lines go: the lines some
// helpers write as a side effect (GUIDs, path kinds, file sizes, folder
// deletions) and the traces of a few records. Standard output unless an
// application that keeps its standard output for its own results (a
// command-line tool printing JSON) sends them elsewhere.
#include <ostream>

#include "ArxExport.h"

namespace MeridianSpace {

/// The target may be changed from any thread; a line being written when it
/// changes goes to either stream.
class ARX ConsoleSink {
public:
    enum Target { Stdout, Stderr, Off };
    static void setTarget(Target target);
    static Target target();
    /// The stream the lines go to now; one that discards them when Off.
    static std::ostream& stream();
};

}  // namespace MeridianSpace
