#pragma once

// The page's files, compiled into qms from serve/assets/ (see
// embed-assets.cmake): nothing is read from disk at run time.
#include <string_view>
#include <vector>

namespace qms::serve {

struct Asset {
    std::string_view name;  // "app.js"
    std::string_view body;
};

const std::vector<Asset>& assets();

}  // namespace qms::serve
