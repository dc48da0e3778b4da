#pragma once

// The factories of the library's record classes, registered in one call.
#include "ArxExport.h"

namespace MeridianSpace {

/// Called by the thread that sets up the platform, before start-up (so that
/// start-up creates the records' tables); calling it again changes nothing.
class ARX QmsRecordClasses {
public:
    /// Registers every record class under its class-name string.
    static void registerAll();
};

}  // namespace MeridianSpace
