// What the process holds now (private memory; GDI, USER and kernel handles),
// for leak detection by growth rate (harness/logic/GrowthRate.h). Shared by
// the cycle tests and the bench's soak.
#pragma once

#include "harness/logic/GrowthRate.h"

namespace harness {

// A sample after `cycle` cycles. Windows answers the handle counts directly;
// Wine leaves GetGuiResources and GetProcessHandleCount unimplemented (0), so
// there the live handles are found by asking the handle tables about every
// possible index (its user and GDI tables accept a handle's 16-bit index
// alone): a few hundred milliseconds.
kelvane::UsageSample MeasureUsage(int cycle);

}  // namespace harness
