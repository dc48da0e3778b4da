#include "DatabaseSwitch.h"

#include "MeridianNew.h"

namespace MeridianSpace {

DatabaseSwitch::DatabaseSwitch()
    : homeConfig_(MeridianNew::getCurrentMRDConfigDB()),
      homeWork_(MeridianNew::getCurrentWorkDB()) {}

DatabaseSwitch::~DatabaseSwitch() {
    // A failure here has nobody to report to; the log keeps it.
    ResultMsg rm = toHome();
    if (!rm.ok()) MeridianNew::LOGGER()->appendError("DatabaseSwitch::~DatabaseSwitch() ", rm.rMsg);
}

ResultMsg DatabaseSwitch::toFile(const std::string& file, int* failedStep, bool readOnly) {
    away_ = true;
    ResultMsg rm = MeridianNew::setCurrentWorkDB(file, 1, readOnly);
    if (rm.ok() && MeridianNew::getCurrPlatformStatus() != "OK")
        rm = MeridianNew::noCurrentDatabase();
    int step = 1;
    if (rm.ok()) {
        step = 2;
        rm = MeridianNew::setCurrMRDConfigDB(file, readOnly);
        if (rm.ok() && MeridianNew::getCurrPlatformStatus() != "OK")
            rm = MeridianNew::noCurrentDatabase();
    }
    if (!rm.ok()) {
        if (failedStep != nullptr) *failedStep = step;
        (void)toHome();  // the failed switch is the answer; a failed return is retried on leaving
    }
    return rm;
}

ResultMsg DatabaseSwitch::toHome() {
    if (!away_) return ResultMsg();
    ResultMsg rm = MeridianNew::setCurrentWorkDB(homeWork_, 1);
    ResultMsg config = MeridianNew::setCurrMRDConfigDB(homeConfig_);
    if (rm.ok()) rm = config;
    if (rm.ok()) away_ = false;
    return rm;
}

}  // namespace MeridianSpace
