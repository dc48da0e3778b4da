#include "ProjectStamp.h"

namespace MeridianSpace {

namespace {

ProjectStamp::Handler& installedHandler() {
    static ProjectStamp::Handler handler = nullptr;
    return handler;
}

}  // namespace

ProjectStamp::Handler ProjectStamp::install(Handler handler) {
    Handler previous = installedHandler();
    installedHandler() = handler;
    return previous;
}

ProjectStampOutcome ProjectStamp::apply(const std::string& updateTime, int commitType) {
    Handler handler = installedHandler();
    return handler != nullptr ? handler(updateTime, commitType) : ProjectStampOutcome();
}

}  // namespace MeridianSpace
