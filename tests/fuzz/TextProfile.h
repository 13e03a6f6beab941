// The fuzzer reads and writes whole INI texts through the product's own
// in-memory profile reader (core/logic/ProfileText.h), which keeps the
// platform's rules and is checked against the platform under Wine.
#pragma once

#include "core/logic/ProfileText.h"

namespace kelvane {
namespace fuzz {
using TextProfile = ProfileText;
}  // namespace fuzz
}  // namespace kelvane
