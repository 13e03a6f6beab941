// Shortens a failing replay: the soak's steps are cut down to a few that
// still fail the same way, so a failing seed leaves a script a person reads.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kelvane {

// True when a run of these steps fails as the original did.
using StillFails = std::function<bool(const std::vector<std::string>& steps)>;

// The first `keep` steps stay (the "check" that turns the invariants on).
// Tries the last 1, 2, 4... steps alone first (a failure usually needs only
// the recent past), then removes ever smaller chunks while the run still
// fails (delta debugging). Stops asking once goOn() is false (a time bound)
// and returns the shortest list seen to fail; the original if none did.
std::vector<std::string> ShrinkSteps(const std::vector<std::string>& steps, size_t keep, const StillFails& fails,
                                     const std::function<bool()>& goOn);

}  // namespace kelvane
