// The drive table: every value a command may carry, and the limit each path
// and the send path apply.
#include "core/logic/DriveLimits.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <set>

#include "base/logic/Saturate.h"
#include "core/logic/SendLog.h"

namespace kelvane {
namespace {

TEST(DriveLimits, EachRuleLimitsItsValue) {
    struct Case {
        int32_t code, value, monoInterval, dipoleInterval, want;
    } cases[] = {
        {CMD_DT_CH1_GAIN, 500, 24, 36, 80},
        {CMD_MONO_CH8_GAIN, -32, 24, 36, -31},
        {CMD_DIPOLE_ALL_GAIN, 79, 24, 36, 79},  // in range: untouched, not quantised
        {CMD_MONO_STACK, 0, 24, 36, 1},
        {CMD_DIPOLE_STACK, 9, 24, 36, 4},
        {CMD_DT_AUTO_GAIN, VALUE_ON, 24, 36, VALUE_ON},
        {CMD_MONO_DOWNHOLE_FILTER, 1, 24, 36, VALUE_OFF},  // not on is off
        {CMD_MONO_SAMPLERATE, 24, 24, 36, 24},
        {CMD_MONO_SAMPLERATE, 0, 24, 36, 36},  // not a list entry: the one the list shows
        {CMD_MONO_SAMPLERATE, 30, 24, 36, 36},
        {CMD_DIPOLE_SAMPLERATE, 12, 24, 36, 48},
        {CMD_MONO_WIN_END, 0, 0, 36, 80},  // missing "Mono SAMPLERATE" counts as 36
        {CMD_MONO_WIN_END, 20000, 0, 36, 12960},
        {CMD_MONO_WIN_END, 20000, 12, 36, 4320},
        {CMD_DIPOLE_WIN_END, 0, 24, 0, 240},
        {CMD_DIPOLE_WIN_END, 20000, 24, 24, 8640},
        {CMD_DT_RXDELAY, 300, 24, 36, 200},
        {CMD_DT_RXDELAY_STEP, 500, 24, 36, 125},
        {CMD_DIPOLE_RXDELAY, 100, 24, 36, 240},
        {CMD_DIPOLE_RXDELAY_STEP, 301, 24, 36, 300},
        {CMD_DT_WIN_START, 50, 24, 36, 80},
        {CMD_DT_WIN_END, 3700, 24, 36, 3200},
        {CMD_DT_TOTAL_OFFSET, -1, 24, 36, 0},
        {CMD_DT_CH2_GAIN, kInt32Min, 24, 36, -31},
        {0x82FF, 12345, 24, 36, 12345},  // no row: passed on as it is
    };
    for (const auto& c : cases) {
        ParameterSet p{};
        p.MonoSampleRate = c.monoInterval;
        p.DipoleSampleRate = c.dipoleInterval;
        EXPECT_EQ(c.want, LimitDriveValue(c.code, c.value, p)) << std::hex << c.code << std::dec << " " << c.value;
    }
}

TEST(DriveLimits, SendGuardLimitsOnlyValueCommands) {
    const ParameterSet p{};
    ToolCommand gain{};
    gain.CodeWord = CMD_MONO_CH3_GAIN;
    gain.ArgWord = ARG_VALUE;
    gain.Payload[0] = 500;
    gain.Payload[1] = 77;
    EXPECT_TRUE(LimitCommand(gain, p));
    EXPECT_EQ(80, gain.Payload[0]);
    EXPECT_EQ(77, gain.Payload[1]);
    EXPECT_FALSE(LimitCommand(gain, p));  // already within: untouched

    ToolCommand check{};
    check.CodeWord = CMD_STATUS_CHECK;
    check.ArgWord = ARG_STATUS_CHECK;
    check.Payload[0] = 500;
    EXPECT_FALSE(LimitCommand(check, p));
    EXPECT_EQ(500, check.Payload[0]);
}

TEST(DriveLimits, TypedFieldsFitNineCharacters) {
    struct Case {
        int64_t value;
        int32_t want;
    } ints[] = {
        {0, 0},
        {999999999, 999999999},
        {1000000000, 999999999},
        {kInt32Max, 999999999},
        {-99999999, -99999999},
        {-100000000, -99999999},
        {kInt32Min, -99999999},
    };
    for (const auto& c : ints) EXPECT_EQ(c.want, LimitTypedInt(c.value)) << c.value;
    EXPECT_EQ(static_cast<float>(TYPED_FIELD_MAX), LimitTypedReal(FLT_MAX));
    EXPECT_EQ(static_cast<float>(TYPED_FIELD_MIN), LimitTypedReal(-FLT_MAX));
    EXPECT_EQ(3500.7f, LimitTypedReal(3500.7f));
}

}  // namespace
}  // namespace kelvane
