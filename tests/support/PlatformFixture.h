#pragma once

// A started platform on a fresh configuration and work database for each test.
#include <gtest/gtest.h>

#include "MeridianNew.h"
#include "support/SampleRecords.h"
#include "support/TempDir.h"

namespace arxtest {

class PlatformFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ARX_REQUIRE_BACKEND();
        registerSampleRecords();
        configPath = dir.database("config.db");
        workPath = dir.database("work.db");
        ResultMsg rm = MeridianNew::startup(configPath, workPath);
        ASSERT_EQ(rm.rCode, RUN_SUCCESS) << rm.rMsg;
    }
    void TearDown() override {
        if (IsSkipped()) return;
        EXPECT_TRUE(MeridianNew::shutdown().ok());
    }

    TempDir dir;
    std::string configPath;
    std::string workPath;
};

}  // namespace arxtest
