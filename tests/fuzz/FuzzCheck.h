#pragma once

// What the fuzz targets share: a broken promise ends the run the way a
// sanitizer's report does, so that libFuzzer keeps the input that broke it.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace arxfuzz {

/// Stops the run with `what` when `holds` is false.
inline void expect(bool holds, const std::string& what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

}  // namespace arxfuzz
