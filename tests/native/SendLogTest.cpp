#include "core/logic/SendLog.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

// What the status strip says was sent: one command with its value in its
// unit, or a Download's count (nested batches count for the outermost).
TEST(SendLog, SaysWhatWentOutLast) {
    auto command = [](int32_t code, int32_t value) {
        ToolCommand block{};
        block.CodeWord = code;
        block.ArgWord = ARG_VALUE;
        block.Payload[0] = value;
        return block;
    };
    struct Case {
        ToolCommand block;
        const char* want;
    } described[] = {
        {command(CMD_DT_CH1_GAIN, 12), "DT CH1 gain 12 dB"},
        {command(CMD_MONO_CH8_GAIN, -31), "Monopole CH8 gain -31 dB"},
        {command(CMD_DIPOLE_ALL_GAIN, 80), "Dipole ALL gain 80 dB"},
        {command(CMD_DIPOLE_WIN_END, 8640), "Dipole window end 8640 us"},
        {command(CMD_MONO_STACK, 3), "Monopole stack 3"},
        {command(CMD_DT_AUTO_GAIN, VALUE_ON), "DT auto gain on"},
        {command(CMD_MONO_DOWNHOLE_FILTER, VALUE_OFF), "Monopole downhole filter off"},
        {command(CMD_TOOL_RESET, 0), "Tool reset"},
        {command(0x82FE, 1), "command 0x82fe"},
    };
    for (const Case& c : described) EXPECT_EQ(c.want, DescribeCommand(c.block));

    SendLog log;
    EXPECT_EQ("Nothing sent yet", log.Line());
    log.Sent(command(CMD_DT_CH1_GAIN, 12), true, 3661);
    EXPECT_EQ("01:01:01 sent DT CH1 gain 12 dB", log.Line());
    log.Sent(command(CMD_DT_CH1_GAIN, 12), false, 3662);
    EXPECT_EQ("01:01:02 lost (no host window): DT CH1 gain 12 dB", log.Line());

    log.BeginBatch("Send all settings");
    log.BeginBatch("General Download");
    for (int i = 0; i < 8; ++i) log.Sent(command(CMD_DT_RXDELAY, 100), true, 7200);
    log.EndBatch(7200);
    EXPECT_EQ("01:01:02 lost (no host window): DT CH1 gain 12 dB", log.Line()) << "only the outermost reports";
    log.Sent(command(CMD_DT_CH1_GAIN, 1), false, 7201);
    log.EndBatch(7201);
    EXPECT_EQ("02:00:01 Send all settings: 8 commands sent, 1 lost (no host window)", log.Line());

    log.BeginBatch("General Download");
    log.EndBatch(7202);
    EXPECT_EQ("02:00:02 General Download: nothing sent", log.Line());
    log.BeginBatch("DT Download");
    log.Sent(command(CMD_DT_CH1_GAIN, 1), true, 7203);
    log.EndBatch(7203);
    EXPECT_EQ("02:00:03 DT Download: 1 command sent", log.Line());
    log.EndBatch(7204);  // an end without a beginning changes nothing
    EXPECT_EQ("02:00:03 DT Download: 1 command sent", log.Line());

    // What the tool may not hold: a code counts once a host window took it.
    SendLog fresh;
    fresh.Sent(command(CMD_MONO_STACK, 2), false, 0);
    fresh.Sent(command(CMD_DIPOLE_WIN_END, 8640), true, 0);
    EXPECT_FALSE(fresh.SentSinceStart(CMD_MONO_STACK)) << "lost: not sent";
    EXPECT_TRUE(fresh.SentSinceStart(CMD_DIPOLE_WIN_END));
    EXPECT_FALSE(fresh.SentSinceStart(CMD_MONO_WIN_END));
    fresh.Sent(command(0x1234, 0), true, 0);  // outside the tool's codes: never counted, never read out of bounds
    EXPECT_FALSE(fresh.SentSinceStart(0x1234));
    EXPECT_FALSE(fresh.SentSinceStart(-1));
}

}  // namespace
}  // namespace kelvane
