// Thin stateless helpers over the common controls the pages use.
#pragma once

#include <windows.h>

#include <string>

// Thin stateless helpers over the common controls.
namespace ctl {
void TrackSetup(HWND slider, int lo, int hi, int lineStep, int pageStep);  // steps <= 0 keep the defaults
void TrackSetPos(HWND slider, int pos);
int TrackPos(HWND slider);
void ComboFill(HWND combo, const char* const* items, int count);
int ComboSel(HWND combo);
bool ComboSetSel(HWND combo, int index);  // false (and no change) when out of range
void ListReplace(HWND list, const std::string* lines, int count);
}  // namespace ctl
