// The plug-in's own window messages, between its own windows; the host's
// are in KelvaneHost.h. Kept in one list so no two share a number.
#pragma once

namespace kelvane {

// Numeric edit -> its page: wParam = the typed value as float bits, lParam = the edit's id.
constexpr unsigned WM_EDITVALUE = 0x0590;
// Frame intake -> control window: new read-back gains (both parameters 0),
// posted from the host's frame thread, never more than one waiting.
constexpr unsigned WM_READBACKNOTICE = 0x8002;  // WM_APP + 2
// Control window -> itself: tell where the settings went (from its loop).
constexpr unsigned WM_SETTINGSNOTICE = 0x8001;  // WM_APP + 1

}  // namespace kelvane
