// Kelvane.dll host interface: window messages, the command block, the two
// shared records, command codes, read-back word offsets and the exports.
// Free of <windows.h> so hosts, the bench and the platform-free code share it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvane {

// Window messages (WM_USER + n range the host already uses). The plug-in's
// own, between its windows, are not the host's business and are kept apart.
constexpr unsigned WM_TOOLCONTROL = 0x0591;  // command to host: wParam control window, lParam ToolCommand*
constexpr unsigned WM_HOSTSTATE = 0x0594;    // host -> control window: wParam = state
constexpr unsigned WM_DSPSTATUS = 0x0595;    // host -> control window: wParam = DspStatusReport*

// One tool command: 130 little-endian int32 words, always sent whole.
struct ToolCommand {
    int32_t CodeWord;  // 0x82nn
    int32_t ArgWord;   // 1 when Payload[0] carries a value
    int32_t Payload[128];
};
static_assert(sizeof(ToolCommand) == 520, "ToolCommand is 520 bytes");
static_assert(offsetof(ToolCommand, CodeWord) == 0, "CodeWord at 0");
static_assert(offsetof(ToolCommand, ArgWord) == 4, "ArgWord at 4");
static_assert(offsetof(ToolCommand, Payload) == 8, "Payload at 8");

constexpr int32_t ARG_VALUE = 1;
constexpr int32_t ARG_STATUS_CHECK = 0x00100100;
constexpr int32_t VALUE_ON = 0x88;
constexpr int32_t VALUE_OFF = 0xFF;

// Shared block "ToolControlPara": acquisition windows, microseconds.
struct ToolControlPara {
    int32_t MonoWinStart;    // 0
    int32_t MonoWinEnd;      // 4
    int32_t DipoleWinStart;  // 8
    int32_t DipoleWinEnd;    // 12
    int32_t DtWinStart[4];   // 16..28
    int32_t DtWinEnd[4];     // 32..44
};
static_assert(sizeof(ToolControlPara) == 48, "ToolControlPara is 48 bytes");
static_assert(offsetof(ToolControlPara, MonoWinStart) == 0, "layout");
static_assert(offsetof(ToolControlPara, MonoWinEnd) == 4, "layout");
static_assert(offsetof(ToolControlPara, DipoleWinStart) == 8, "layout");
static_assert(offsetof(ToolControlPara, DipoleWinEnd) == 12, "layout");
static_assert(offsetof(ToolControlPara, DtWinStart) == 16, "layout");
static_assert(offsetof(ToolControlPara, DtWinEnd) == 32, "layout");

// Shared block "VarroProcessPara": the host's acoustic-processing parameters.
struct ProcessPara {
    int32_t CurveSelect;      // 0: 0 first-wave pick, 1 correlation
    int32_t FilterType;       // 4: 0 none, 1 DT FIR, 2 band-pass
    float LowCut;             // 8
    float HighCut;            // 12
    int32_t DtMin;            // 16
    int32_t DtMax;            // 20
    int32_t CorWinLength;     // 24
    float Coefficient;        // 28
    int32_t ThresholdType;    // 32: 0 manual, 1 auto
    int32_t T01RStart[4];     // 36..48
    int32_t SearchWinLength;  // 52
    float ThresholdMin[4];    // 56..68
    float ThresholdFactor;    // 72
};
static_assert(sizeof(ProcessPara) == 76, "ProcessPara is 76 bytes");
static_assert(offsetof(ProcessPara, CurveSelect) == 0, "layout");
static_assert(offsetof(ProcessPara, FilterType) == 4, "layout");
static_assert(offsetof(ProcessPara, LowCut) == 8, "layout");
static_assert(offsetof(ProcessPara, HighCut) == 12, "layout");
static_assert(offsetof(ProcessPara, DtMin) == 16, "layout");
static_assert(offsetof(ProcessPara, DtMax) == 20, "layout");
static_assert(offsetof(ProcessPara, CorWinLength) == 24, "layout");
static_assert(offsetof(ProcessPara, Coefficient) == 28, "layout");
static_assert(offsetof(ProcessPara, ThresholdType) == 32, "layout");
static_assert(offsetof(ProcessPara, T01RStart) == 36, "layout");
static_assert(offsetof(ProcessPara, SearchWinLength) == 52, "layout");
static_assert(offsetof(ProcessPara, ThresholdMin) == 56, "layout");
static_assert(offsetof(ProcessPara, ThresholdFactor) == 72, "layout");

constexpr const char* TOOL_CONTROL_BLOCK_NAME = "ToolControlPara";
constexpr const char* PROCESS_BLOCK_NAME = "VarroProcessPara";

// The host installation names the work folder that holds the plug-in's
// settings file: HOST_CONFIG_PATH, section HOST_CONFIG_SECTION, key
// HOST_CONFIG_WORK_KEY; the file is that folder + "\\" + SETTINGS_FILE_NAME.
constexpr const char* HOST_CONFIG_PATH = "D:\\pellora_project\\pellora\\Config.ini";
constexpr const char* HOST_CONFIG_SECTION = "WORK FOLDER";
constexpr const char* HOST_CONFIG_WORK_KEY = "WorkSpace";
constexpr const char* SETTINGS_FILE_NAME = "KelvaneCtrl.ini";
// Beside it (or in the user's local application data, "Kelvane" folder), a
// copy "KCxxxxxxxx.ini" named after the file's full path holds what the
// plug-in could not write to the file itself, or another program's values
// of keys that the plug-in's save changed too (section "UNSAVED SETTINGS"
// says which file, why, and whether the operator has been told).

// The auto-gain windows every start publishes in ToolControlPara, us. A
// window end is never before its window's start.
constexpr int32_t MONO_WINDOW_START = 80;
constexpr int32_t DIPOLE_WINDOW_START = 240;
constexpr int32_t MONO_WINDOW_END_AT_START = 2960;
constexpr int32_t DIPOLE_WINDOW_END_AT_START = 8880;

// The host's DSP status report; only StatusWord (byte 8) is read.
struct DspStatusReport {
    int32_t Reserved[2];
    uint16_t StatusWord;  // bit i set = DSP line i in error
    uint16_t Reserved2;
};
static_assert(offsetof(DspStatusReport, StatusWord) == 8, "status word at byte 8");

// Read-back gains in each data frame (signed 16-bit word offsets).
constexpr int READBACK_MONO_WORD = 2898;    // 8 words
constexpr int READBACK_DT_WORD = 4352;      // 4 words
constexpr int READBACK_DIPOLE_WORD = 7246;  // 8 words
constexpr int FRAME_MIN_WORDS = 7254;
constexpr int TOOL_SUBSET_ID = 130;  // first argument of GetToolSubsetPtr
constexpr int TOOL_SUBSET_ARG = 4;   // second argument

// Command codes.
constexpr int32_t CMD_STATUS_CHECK = 0x8201;
constexpr int32_t CMD_MONO_CH1_GAIN = 0x8221;  // .. CH8 = 0x8228
constexpr int32_t CMD_MONO_CH2_GAIN = 0x8222;
constexpr int32_t CMD_MONO_CH3_GAIN = 0x8223;
constexpr int32_t CMD_MONO_CH4_GAIN = 0x8224;
constexpr int32_t CMD_MONO_CH5_GAIN = 0x8225;
constexpr int32_t CMD_MONO_CH6_GAIN = 0x8226;
constexpr int32_t CMD_MONO_CH7_GAIN = 0x8227;
constexpr int32_t CMD_MONO_CH8_GAIN = 0x8228;
constexpr int32_t CMD_MONO_ALL_GAIN = 0x8229;
constexpr int32_t CMD_MONO_STACK = 0x822A;
constexpr int32_t CMD_MONO_AUTO_GAIN = 0x822B;
constexpr int32_t CMD_MONO_WIN_END = 0x822C;
constexpr int32_t CMD_MONO_DOWNHOLE_FILTER = 0x822D;
constexpr int32_t CMD_MONO_SAMPLERATE = 0x822E;
constexpr int32_t CMD_DIPOLE_CH1_GAIN = 0x8231;  // .. CH8 = 0x8238
constexpr int32_t CMD_DIPOLE_CH2_GAIN = 0x8232;
constexpr int32_t CMD_DIPOLE_CH3_GAIN = 0x8233;
constexpr int32_t CMD_DIPOLE_CH4_GAIN = 0x8234;
constexpr int32_t CMD_DIPOLE_CH5_GAIN = 0x8235;
constexpr int32_t CMD_DIPOLE_CH6_GAIN = 0x8236;
constexpr int32_t CMD_DIPOLE_CH7_GAIN = 0x8237;
constexpr int32_t CMD_DIPOLE_CH8_GAIN = 0x8238;
constexpr int32_t CMD_DIPOLE_ALL_GAIN = 0x8239;
constexpr int32_t CMD_DIPOLE_STACK = 0x823A;
constexpr int32_t CMD_DIPOLE_AUTO_GAIN = 0x823B;
constexpr int32_t CMD_DIPOLE_DOWNHOLE_FILTER = 0x823C;
constexpr int32_t CMD_DIPOLE_WIN_END = 0x823D;
constexpr int32_t CMD_DIPOLE_SAMPLERATE = 0x823E;
constexpr int32_t CMD_DT_CH1_GAIN = 0x8251;
constexpr int32_t CMD_DT_CH2_GAIN = 0x8252;
constexpr int32_t CMD_DT_CH3_GAIN = 0x8253;
constexpr int32_t CMD_DT_CH4_GAIN = 0x8254;
constexpr int32_t CMD_DT_ALL_GAIN = 0x8255;
constexpr int32_t CMD_DT_WIN_START = 0x8256;
constexpr int32_t CMD_DT_WIN_END = 0x8257;
constexpr int32_t CMD_DT_TOTAL_OFFSET = 0x8258;
constexpr int32_t CMD_DT_AUTO_GAIN = 0x825B;
constexpr int32_t CMD_DT_DOWNHOLE_FILTER = 0x825C;
constexpr int32_t CMD_GAIN_STEP_1DB = 0x8261;
constexpr int32_t CMD_GAIN_STEP_2DB = 0x8262;
constexpr int32_t CMD_GAIN_STEP_3DB = 0x8263;
constexpr int32_t CMD_DSP_RESET = 0x8264;
constexpr int32_t CMD_TOOL_RESET = 0x8265;
constexpr int32_t CMD_DT_RXDELAY = 0x8271;
constexpr int32_t CMD_DT_RXDELAY_STEP = 0x8272;
constexpr int32_t CMD_MONO_RXDELAY = 0x8273;
constexpr int32_t CMD_MONO_RXDELAY_STEP = 0x8274;
constexpr int32_t CMD_DIPOLE_RXDELAY = 0x8275;
constexpr int32_t CMD_DIPOLE_RXDELAY_STEP = 0x8276;

// The CMD_ name of a code, or nullptr for an unknown code (journals, tests).
const char* CommandName(int32_t code);

// Drive limits: the range of every value the plug-in sends. Each path limits
// its value before it sends (what the box, the parameter set, the block and
// the settings file hold is the value sent), and the send path itself limits
// once more, so no value outside this table reaches the host window.
constexpr int32_t GAIN_MIN_DB = -31;
constexpr int32_t GAIN_MAX_DB = 80;
constexpr int32_t WINDOW_END_SAMPLES = 360;  // a window end spans at most 360 samples

enum DriveRule : int32_t {
    DRIVE_RANGE,       // Min..Max
    DRIVE_LIST,        // Min, Min + Step, .., Max; any other value counts as Max
    DRIVE_ON_OFF,      // VALUE_ON or VALUE_OFF; any other value counts as VALUE_OFF
    DRIVE_WINDOW_END,  // Min..WINDOW_END_SAMPLES x the section's sample interval
                       // (its list value, as the General page shows it); Max
                       // is the bound at the list's largest interval
};

struct DriveLimit {
    int32_t Code;
    DriveRule Rule;
    int32_t Min;
    int32_t Max;
    int32_t Step;  // DRIVE_LIST only
};

// Commands that carry no value (0x8201, 0x8261..0x8265) have no row.
constexpr DriveLimit DRIVE_LIMITS[] = {
    // gains, dB (channels and ALL)
    {CMD_MONO_CH1_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_MONO_CH2_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_MONO_CH3_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_MONO_CH4_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_MONO_CH5_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_MONO_CH6_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_MONO_CH7_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_MONO_CH8_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_MONO_ALL_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_CH1_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_CH2_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_CH3_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_CH4_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_CH5_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_CH6_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_CH7_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_CH8_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DIPOLE_ALL_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DT_CH1_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DT_CH2_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DT_CH3_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DT_CH4_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    {CMD_DT_ALL_GAIN, DRIVE_RANGE, GAIN_MIN_DB, GAIN_MAX_DB, 0},
    // stack counts
    {CMD_MONO_STACK, DRIVE_RANGE, 1, 4, 0},
    {CMD_DIPOLE_STACK, DRIVE_RANGE, 1, 4, 0},
    // on/off codes
    {CMD_MONO_AUTO_GAIN, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0},
    {CMD_MONO_DOWNHOLE_FILTER, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0},
    {CMD_DIPOLE_AUTO_GAIN, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0},
    {CMD_DIPOLE_DOWNHOLE_FILTER, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0},
    {CMD_DT_AUTO_GAIN, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0},
    {CMD_DT_DOWNHOLE_FILTER, DRIVE_ON_OFF, VALUE_ON, VALUE_OFF, 0},
    // auto-gain window ends, us
    {CMD_MONO_WIN_END, DRIVE_WINDOW_END, MONO_WINDOW_START, WINDOW_END_SAMPLES * 36, 0},
    {CMD_DIPOLE_WIN_END, DRIVE_WINDOW_END, DIPOLE_WINDOW_START, WINDOW_END_SAMPLES * 48, 0},
    // sample intervals, us
    {CMD_MONO_SAMPLERATE, DRIVE_LIST, 12, 36, 12},
    {CMD_DIPOLE_SAMPLERATE, DRIVE_LIST, 24, 48, 12},
    // DT auto-gain window, us: the sliders' ranges (start 80..2000, length
    // 200..1200, offset 0..100); the end is start + length
    {CMD_DT_WIN_START, DRIVE_RANGE, 80, 2000, 0},
    {CMD_DT_WIN_END, DRIVE_RANGE, 80 + 200, 2000 + 1200, 0},
    {CMD_DT_TOTAL_OFFSET, DRIVE_RANGE, 0, 100, 0},
    // receiver delays and delay steps, us (the Delta-T delay is sent at most 200)
    {CMD_DT_RXDELAY, DRIVE_RANGE, 80, 200, 0},
    {CMD_DT_RXDELAY_STEP, DRIVE_RANGE, 0, 125, 0},
    {CMD_MONO_RXDELAY, DRIVE_RANGE, 80, 400, 0},
    {CMD_MONO_RXDELAY_STEP, DRIVE_RANGE, 0, 125, 0},
    {CMD_DIPOLE_RXDELAY, DRIVE_RANGE, 240, 800, 0},
    {CMD_DIPOLE_RXDELAY_STEP, DRIVE_RANGE, 0, 300, 0},
};

// Limits of the integer VarroProcessPara fields the operator types: every
// value fits the nine characters the settings file gives back. LowCut and
// HighCut are floats in the block, limited to the same range.
struct FieldLimit {
    uint32_t Offset;  // byte offset in ProcessPara
    int32_t Min;
    int32_t Max;
};
constexpr int32_t TYPED_FIELD_MIN = -99999999;
constexpr int32_t TYPED_FIELD_MAX = 999999999;
constexpr FieldLimit PROCESS_FIELD_LIMITS[] = {
    {offsetof(ProcessPara, LowCut), TYPED_FIELD_MIN, TYPED_FIELD_MAX},
    {offsetof(ProcessPara, HighCut), TYPED_FIELD_MIN, TYPED_FIELD_MAX},
    {offsetof(ProcessPara, DtMin), TYPED_FIELD_MIN, TYPED_FIELD_MAX},
    {offsetof(ProcessPara, DtMax), TYPED_FIELD_MIN, TYPED_FIELD_MAX},
    {offsetof(ProcessPara, CorWinLength), TYPED_FIELD_MIN, TYPED_FIELD_MAX},
};

}  // namespace kelvane

// Exports of Kelvane.dll: C linkage, caller cleans the stack, undecorated.
// Handles are 32-bit values on the target; they are passed as void*.
#if defined(_WIN32)
#define KELVANE_CDECL __cdecl
#else
#define KELVANE_CDECL
#endif
extern "C" {
typedef void(KELVANE_CDECL* ToolControlInitFn)(uint32_t unused1, uint32_t unused2, void* hostWindow);
typedef void*(KELVANE_CDECL* ToolControlShowFn)(uint32_t unused);
typedef void(KELVANE_CDECL* ToolControlProcessFn)(uint32_t a, uint32_t b);
// Imported from Tamsil.dll: the current data frame (int16 words) or null.
typedef const int16_t*(KELVANE_CDECL* GetToolSubsetPtrFn)(int32_t id, int32_t arg, uint32_t a, uint32_t b);
}
