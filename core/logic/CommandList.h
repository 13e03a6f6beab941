// Every command the plug-in sends, one row each: its CMD_ name, code, the
// section of the tool it sets, the operator's label, the unit of its value
// and its drive limits. The names (CommandName), the send log's labels and
// units (DescribeCommand, CommandUnit) and the drive table (DriveLimits) all
// come from here; the host header keeps its public CMD_ constants and
// DRIVE_LIMITS, and CommandNames.cpp asserts them equal to these rows.
//
// An X-macro list, unlike the settings list: each row's name has to be an
// identifier (to assert the host header's constant against the row's code)
// and a string (the name the journals print) at once, which only the
// preprocessor gives.
#pragma once

#include <cstddef>
#include <cstdint>

#include "KelvaneHost.h"

// KELVANE_COMMANDS(PLAIN, VALUE): PLAIN(name, code, section, label) for a
// command without a value, VALUE(name, code, section, label, unit, rule,
// min, max, step) for one that carries a value within its drive limits.
// Rows in code order; channel gains are one row per channel.
#define KELVANE_COMMANDS(PLAIN, VALUE)                                                                             \
    PLAIN(CMD_STATUS_CHECK, 0x8201, Tool, "Status check")                                                          \
    VALUE(CMD_MONO_CH1_GAIN, 0x8221, Monopole, "Monopole CH1 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_CH2_GAIN, 0x8222, Monopole, "Monopole CH2 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_CH3_GAIN, 0x8223, Monopole, "Monopole CH3 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_CH4_GAIN, 0x8224, Monopole, "Monopole CH4 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_CH5_GAIN, 0x8225, Monopole, "Monopole CH5 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_CH6_GAIN, 0x8226, Monopole, "Monopole CH6 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_CH7_GAIN, 0x8227, Monopole, "Monopole CH7 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_CH8_GAIN, 0x8228, Monopole, "Monopole CH8 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_ALL_GAIN, 0x8229, Monopole, "Monopole ALL gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)  \
    VALUE(CMD_MONO_STACK, 0x822A, Monopole, "Monopole stack", Count, DRIVE_RANGE, 1, 4, 0)                         \
    VALUE(CMD_MONO_AUTO_GAIN, 0x822B, Monopole, "Monopole auto gain", OnOff, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0) \
    VALUE(CMD_MONO_WIN_END, 0x822C, Monopole, "Monopole window end", Us, DRIVE_WINDOW_END, MONO_WINDOW_START,      \
          WINDOW_END_SAMPLES * 36, 0)                                                                              \
    VALUE(CMD_MONO_DOWNHOLE_FILTER, 0x822D, Monopole, "Monopole downhole filter", OnOff, DRIVE_ON_OFF, VALUE_ON,   \
          VALUE_OFF, 0)                                                                                            \
    VALUE(CMD_MONO_SAMPLERATE, 0x822E, Monopole, "Monopole sample interval", Us, DRIVE_LIST, 12, 36, 12)           \
    VALUE(CMD_DIPOLE_CH1_GAIN, 0x8231, Dipole, "Dipole CH1 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_CH2_GAIN, 0x8232, Dipole, "Dipole CH2 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_CH3_GAIN, 0x8233, Dipole, "Dipole CH3 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_CH4_GAIN, 0x8234, Dipole, "Dipole CH4 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_CH5_GAIN, 0x8235, Dipole, "Dipole CH5 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_CH6_GAIN, 0x8236, Dipole, "Dipole CH6 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_CH7_GAIN, 0x8237, Dipole, "Dipole CH7 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_CH8_GAIN, 0x8238, Dipole, "Dipole CH8 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_ALL_GAIN, 0x8239, Dipole, "Dipole ALL gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)    \
    VALUE(CMD_DIPOLE_STACK, 0x823A, Dipole, "Dipole stack", Count, DRIVE_RANGE, 1, 4, 0)                           \
    VALUE(CMD_DIPOLE_AUTO_GAIN, 0x823B, Dipole, "Dipole auto gain", OnOff, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0)   \
    VALUE(CMD_DIPOLE_DOWNHOLE_FILTER, 0x823C, Dipole, "Dipole downhole filter", OnOff, DRIVE_ON_OFF, VALUE_ON,     \
          VALUE_OFF, 0)                                                                                            \
    VALUE(CMD_DIPOLE_WIN_END, 0x823D, Dipole, "Dipole window end", Us, DRIVE_WINDOW_END, DIPOLE_WINDOW_START,      \
          WINDOW_END_SAMPLES * 48, 0)                                                                              \
    VALUE(CMD_DIPOLE_SAMPLERATE, 0x823E, Dipole, "Dipole sample interval", Us, DRIVE_LIST, 24, 48, 12)             \
    VALUE(CMD_DT_CH1_GAIN, 0x8251, Dt, "DT CH1 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)                \
    VALUE(CMD_DT_CH2_GAIN, 0x8252, Dt, "DT CH2 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)                \
    VALUE(CMD_DT_CH3_GAIN, 0x8253, Dt, "DT CH3 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)                \
    VALUE(CMD_DT_CH4_GAIN, 0x8254, Dt, "DT CH4 gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)                \
    VALUE(CMD_DT_ALL_GAIN, 0x8255, Dt, "DT ALL gain", Db, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0)                \
    /* the DT window: the sliders' ranges (start 80..2000, length 200..1200,  */                                   \
    /* offset 0..100); the end is start + length                              */                                   \
    VALUE(CMD_DT_WIN_START, 0x8256, Dt, "DT window start", Us, DRIVE_RANGE, 80, 2000, 0)                           \
    VALUE(CMD_DT_WIN_END, 0x8257, Dt, "DT window end", Us, DRIVE_RANGE, 80 + 200, 2000 + 1200, 0)                  \
    VALUE(CMD_DT_TOTAL_OFFSET, 0x8258, Dt, "DT window offset", Us, DRIVE_RANGE, 0, 100, 0)                         \
    VALUE(CMD_DT_AUTO_GAIN, 0x825B, Dt, "DT auto gain", OnOff, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0)               \
    VALUE(CMD_DT_DOWNHOLE_FILTER, 0x825C, Dt, "DT downhole filter", OnOff, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0)   \
    PLAIN(CMD_GAIN_STEP_1DB, 0x8261, General, "Gain step 1 dB")                                                    \
    PLAIN(CMD_GAIN_STEP_2DB, 0x8262, General, "Gain step 2 dB")                                                    \
    PLAIN(CMD_GAIN_STEP_3DB, 0x8263, General, "Gain step 3 dB")                                                    \
    PLAIN(CMD_DSP_RESET, 0x8264, Tool, "DSP reset")                                                                \
    PLAIN(CMD_TOOL_RESET, 0x8265, Tool, "Tool reset")                                                              \
    /* receiver delays and steps (the Delta-T delay is sent at most 200)       */                                  \
    VALUE(CMD_DT_RXDELAY, 0x8271, General, "DT receiver delay", Us, DRIVE_RANGE, 80, 200, 0)                       \
    VALUE(CMD_DT_RXDELAY_STEP, 0x8272, General, "DT receiver delay step", Us, DRIVE_RANGE, 0, 125, 0)              \
    VALUE(CMD_MONO_RXDELAY, 0x8273, General, "Monopole receiver delay", Us, DRIVE_RANGE, 80, 400, 0)               \
    VALUE(CMD_MONO_RXDELAY_STEP, 0x8274, General, "Monopole receiver delay step", Us, DRIVE_RANGE, 0, 125, 0)      \
    VALUE(CMD_DIPOLE_RXDELAY, 0x8275, General, "Dipole receiver delay", Us, DRIVE_RANGE, 240, 800, 0)              \
    VALUE(CMD_DIPOLE_RXDELAY_STEP, 0x8276, General, "Dipole receiver delay step", Us, DRIVE_RANGE, 0, 300, 0)

namespace kelvane {

// The part of the tool a command sets: the page that sends it.
enum class CommandSection { Tool, General, Dt, Monopole, Dipole };
// The unit of a command's value.
enum class ValueUnit { None, Db, Us, OnOff, Count };

struct CommandRow {
    const char* name;  // "CMD_MONO_STACK"
    int32_t code;
    CommandSection section;
    const char* label;  // "Monopole stack"
    ValueUnit unit;
    bool carriesValue;
    DriveLimit limit;  // carriesValue only: its row of the drive table
};

#define KELVANE_PLAIN_ROW(NAME, CODE, SECTION, LABEL) \
    {#NAME, CODE, CommandSection::SECTION, LABEL, ValueUnit::None, false, {CODE, DRIVE_RANGE, 0, 0, 0}},
#define KELVANE_VALUE_ROW(NAME, CODE, SECTION, LABEL, UNIT, RULE, MIN, MAX, STEP) \
    {#NAME, CODE, CommandSection::SECTION, LABEL, ValueUnit::UNIT, true, {CODE, RULE, MIN, MAX, STEP}},
inline constexpr CommandRow kCommands[] = {KELVANE_COMMANDS(KELVANE_PLAIN_ROW, KELVANE_VALUE_ROW)};
#undef KELVANE_PLAIN_ROW
#undef KELVANE_VALUE_ROW

// The index of code's row, or -1 for a code the plug-in never sends.
constexpr int CommandIndex(int32_t code) {
    for (size_t i = 0; i < sizeof(kCommands) / sizeof(kCommands[0]); ++i)
        if (kCommands[i].code == code) return static_cast<int>(i);
    return -1;
}

// The row of code, or nullptr for a code the plug-in never sends.
inline const CommandRow* FindCommand(int32_t code) {
    const int i = CommandIndex(code);
    return i < 0 ? nullptr : &kCommands[i];
}

}  // namespace kelvane
