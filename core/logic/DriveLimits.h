// The last word on every value sent to the tool: the command list's drive
// limits (the host header's DRIVE_LIMITS), with the bounds that follow the
// current sample intervals.
#pragma once

#include <cstddef>
#include <cstdint>

#include "KelvaneHost.h"
#include "core/logic/ParameterSet.h"

namespace kelvane {

// The table's row for code, or nullptr for a command without a value.
const DriveLimit* FindDriveLimit(int32_t code);

// The sample interval a list shows for a stored one: the value itself when it
// is one of the list's entries, otherwise the last entry.
int32_t ListValue(const DriveLimit& row, int32_t value);

// The sample interval that bounds a window end (CMD_MONO_WIN_END or
// CMD_DIPOLE_WIN_END): the one the General page's list shows for p's.
int32_t WindowEndInterval(int32_t windowEndCode, const ParameterSet& p);

// The bounds code's value may take now (window ends follow the intervals in
// p). False for a code without a row.
bool DriveBounds(int32_t code, const ParameterSet& p, int32_t* min, int32_t* max);

// value limited by code's row; unchanged for a code without a row.
int32_t LimitDriveValue(int32_t code, int32_t value, const ParameterSet& p);

// Limits the value word of a command that carries one. True when it changed.
bool LimitCommand(ToolCommand& block, const ParameterSet& p);

// The typed integer fields of the acoustic page: within nine characters.
int32_t LimitTypedInt(int64_t value);
float LimitTypedReal(float value);
// Whether the ProcessPara field at byte offset is one of them.
bool IsTypedField(size_t offset);

}  // namespace kelvane
