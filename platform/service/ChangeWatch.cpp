#include "ChangeWatch.h"

#include "backend/BackendRegistry.h"

namespace MeridianSpace {

ChangeWatch::~ChangeWatch() = default;

ResultMsg ChangeWatch::open(const std::string& location, const std::vector<std::string>& tables,
                            std::unique_ptr<ChangeWatch>& out) {
    return detail::backendFor(location).watchChanges(location, tables, out);
}

}  // namespace MeridianSpace
