#include "ProjectStamp.h"

#include "StringHelper.h"

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

ProjectStampOutcome ProjectStamp::apply(int commitType) {
    Handler handler = installedHandler();
    if (handler == nullptr) return ProjectStampOutcome();
    return handler(StringHelper::currTimeStr(0), commitType);
}

}  // namespace MeridianSpace
