#include "core/DeviceModel.h"

#include <gtest/gtest.h>

using namespace mimicbox;

TEST(DeviceModelTest, ChoosingAModelCarriesTheBaseNumberOver)
{
    struct Row {
        DeviceIdentity before;
        int nIndex;
        DeviceIdentity after;
    };
    const Row rows[] = {
        {{TYPE_THERMO, 7}, TYPE_INDEX_RELAY, {TYPE_RELAY, 1007}},
        {{TYPE_RELAY, 1007}, TYPE_INDEX_THERMO, {TYPE_THERMO, 7}},
        {{TYPE_RELAY, 1005}, TYPE_INDEX_RELAY, {TYPE_RELAY, 1005}},
        {{TYPE_THERMO, 16}, TYPE_INDEX_THERMO, {TYPE_THERMO, 16}},
        {{TYPE_RELAY, 1016}, -1, {TYPE_RELAY, 1016}},
        {{TYPE_THERMO, 3}, 2, {TYPE_THERMO, 3}},
    };
    for (const Row& row : rows) {
        const DeviceIdentity after = ChooseModel(row.before, row.nIndex);
        EXPECT_EQ(after.nDeviceType, row.after.nDeviceType) << "index " << row.nIndex;
        EXPECT_EQ(after.nSerial, row.after.nSerial) << "index " << row.nIndex;
    }
}

TEST(DeviceModelTest, ChoosingASerialFollowsTheListIndex)
{
    EXPECT_EQ(ChooseSerial(TYPE_THERMO, 1, 4), 5);
    EXPECT_EQ(ChooseSerial(TYPE_THERMO, 1, 15), 16);
    EXPECT_EQ(ChooseSerial(TYPE_RELAY, 1005, 15), 1016);
    EXPECT_EQ(ChooseSerial(TYPE_RELAY, 1005, 0), 1001);
    EXPECT_EQ(ChooseSerial(TYPE_THERMO, 9, -1), 9);
    EXPECT_EQ(ChooseSerial(TYPE_RELAY, 1009, -1), 1009);
}

TEST(DeviceModelTest, SerialListIndexIsTheSameForBothModels)
{
    EXPECT_EQ(SerialListIndex(5), 4);
    EXPECT_EQ(SerialListIndex(1005), 4);
    EXPECT_EQ(SerialListIndex(16), 15);
    EXPECT_EQ(SerialListIndex(1016), 15);
}

TEST(DeviceModelTest, StepButtonsLatchAtMostOneMode)
{
    EXPECT_EQ(ToggleStepMode(STEP_NONE, STEP_UP), STEP_UP);
    EXPECT_EQ(ToggleStepMode(STEP_UP, STEP_UP), STEP_NONE);
    EXPECT_EQ(ToggleStepMode(STEP_UP, STEP_DOWN_FAST), STEP_DOWN_FAST);
}

TEST(DeviceModelTest, TickStepsInSinglePrecisionThenClamps)
{
    EXPECT_EQ(StepTemperature(149.95f, STEP_UP_FAST), TEMP_MAX);
    EXPECT_EQ(StepTemperature(TEMP_MAX, STEP_UP_FAST), TEMP_MAX);
    EXPECT_EQ(StepTemperature(-29.995f, STEP_DOWN), TEMP_MIN);
    EXPECT_EQ(StepTemperature(20.0f, STEP_UP), 20.0f + 0.01f);
    EXPECT_EQ(StepTemperature(20.0f, STEP_DOWN_FAST), 20.0f - 0.1f);
    EXPECT_EQ(StepTemperature(21.5f, STEP_NONE), 21.5f);
    // The clamp runs in mode 0 too.
    EXPECT_EQ(StepTemperature(200.0f, STEP_NONE), TEMP_MAX);
    EXPECT_EQ(StepTemperature(-40.0f, STEP_NONE), TEMP_MIN);
}

TEST(DeviceModelTest, TemperatureRangeIncludesBothLimitsAndRefusesNaN)
{
    EXPECT_TRUE(IsTemperatureInRange(-30.0f));
    EXPECT_TRUE(IsTemperatureInRange(150.0f));
    EXPECT_FALSE(IsTemperatureInRange(-30.01f));
    EXPECT_FALSE(IsTemperatureInRange(150.01f));
    EXPECT_FALSE(IsTemperatureInRange(std::numeric_limits<float>::quiet_NaN()));
}

TEST(DeviceModelTest, ToggleFlipsTheSwitch)
{
    EXPECT_EQ(ToggleSwitch(0), 1);
    EXPECT_EQ(ToggleSwitch(1), 0);
}
