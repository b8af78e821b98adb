// The shared plant harness as a test fixture: the names the tests of the plant use for its parts.
#pragma once

#include <gtest/gtest.h>

#include "tools/testing/PlantHarness.h"

class PlantFixture : public ::testing::Test {
protected:
    mimicbox::testing::PlantHarness harness_;
    mimicbox::testing::ManualScheduler& scheduler_ = harness_.scheduler;
    mimicbox::testing::FakeNetwork& network_ = harness_.network;
    mimicbox::testing::RecordingSink& recorded_ = harness_.recorded;
    std::unique_ptr<mimicbox::sim::Summary>& summary_ = harness_.summary;
    std::unique_ptr<mimicbox::sim::Plant>& plant_ = harness_.plant;
    bool& finished_ = harness_.finished;
};
