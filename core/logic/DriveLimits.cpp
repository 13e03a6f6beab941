#include "core/logic/DriveLimits.h"

#include <cmath>

#include "base/logic/Saturate.h"
#include "core/logic/CommandList.h"

namespace kelvane {

namespace {

int32_t Clamp(int64_t v, int32_t lo, int32_t hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t WindowEndInterval(int32_t windowEndCode, const ParameterSet& p) {
    const bool mono = windowEndCode == CMD_MONO_WIN_END;
    const DriveLimit* list = FindDriveLimit(mono ? CMD_MONO_SAMPLERATE : CMD_DIPOLE_SAMPLERATE);
    return ListValue(*list, mono ? p.MonoSampleRate : p.DipoleSampleRate);
}

const DriveLimit* FindDriveLimit(int32_t code) {
    const CommandRow* row = FindCommand(code);
    return row && row->carriesValue ? &row->limit : nullptr;
}

int32_t ListValue(const DriveLimit& row, int32_t value) {
    if (value < row.Min || value > row.Max || row.Step <= 0) return row.Max;
    return (value - row.Min) % row.Step == 0 ? value : row.Max;
}

bool DriveBounds(int32_t code, const ParameterSet& p, int32_t* min, int32_t* max) {
    const DriveLimit* row = FindDriveLimit(code);
    if (!row) return false;
    *min = row->Min;
    *max = row->Max;
    if (row->Rule == DRIVE_WINDOW_END) *max = MulSat(WINDOW_END_SAMPLES, WindowEndInterval(code, p));
    return true;
}

int32_t LimitDriveValue(int32_t code, int32_t value, const ParameterSet& p) {
    const DriveLimit* row = FindDriveLimit(code);
    if (!row) return value;
    switch (row->Rule) {
    case DRIVE_LIST: return ListValue(*row, value);
    case DRIVE_ON_OFF: return value == VALUE_ON ? VALUE_ON : VALUE_OFF;
    case DRIVE_WINDOW_END: {
        // The interval cap first, then the lower bound, which then always holds.
        int32_t lo = 0, hi = 0;
        DriveBounds(code, p, &lo, &hi);
        return value > hi ? hi : value < lo ? lo : value;
    }
    case DRIVE_RANGE:
    default: return Clamp(value, row->Min, row->Max);
    }
}

bool LimitCommand(ToolCommand& block, const ParameterSet& p) {
    if (block.ArgWord != ARG_VALUE) return false;
    const int32_t limited = LimitDriveValue(block.CodeWord, block.Payload[0], p);
    if (limited == block.Payload[0]) return false;
    block.Payload[0] = limited;
    return true;
}

bool IsTypedField(size_t offset) {
    for (const FieldLimit& row : PROCESS_FIELD_LIMITS)
        if (row.Offset == offset) return true;
    return false;
}

int32_t LimitTypedInt(int64_t value) { return Clamp(value, TYPED_FIELD_MIN, TYPED_FIELD_MAX); }

float LimitTypedReal(float value) {
    if (std::isnan(value)) return 0.0f;
    if (value < static_cast<float>(TYPED_FIELD_MIN)) return static_cast<float>(TYPED_FIELD_MIN);
    if (value > static_cast<float>(TYPED_FIELD_MAX)) return static_cast<float>(TYPED_FIELD_MAX);
    return value;
}

}  // namespace kelvane
