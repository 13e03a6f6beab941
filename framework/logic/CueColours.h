// Colours of the operator cues, chosen from the system's colour scheme so
// that they read in the default scheme and in a high-contrast one alike.
#pragma once

#include <cstdint>

namespace kelvane {

// Colours as the platform stores them: 0x00BBGGRR.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

struct ColourPair {
    uint32_t text;
    uint32_t back;
};

// The system colours the choice is made from.
struct SchemeColours {
    uint32_t windowText;     // text in edits
    uint32_t window;         // background of edits
    uint32_t highlightText;  // selected text
    uint32_t highlight;      // selection background
    bool highContrast;       // the user asked for a high-contrast scheme
    uint32_t grayText;       // text of disabled controls
    uint32_t face;           // background of dialogs and static boxes
};

// The warning background tried first: dark orange, unmistakable beside the
// grey of dialogs and the white of edits.
constexpr uint32_t kWarningBack = Rgb(255, 140, 0);
// Text against background at least this (WCAG AA for normal text).
constexpr double kMinContrast = 4.5;

// WCAG contrast ratio, 1 (same luminance) to 21 (black on white).
double ContrastRatio(uint32_t a, uint32_t b);
// a moved toward b by weight (0 to 1), channel by channel, rounded.
uint32_t Blend(uint32_t a, uint32_t b, double weight);

// An edit whose typed text is not committed: the edit's own text on its
// background moved a quarter of the way toward the selection colour, when
// that is readable and stands apart from the plain background; otherwise the
// selection pair, which every scheme keeps readable. (The tooltip colours
// are no choice: Wine's default scheme paints tooltips window white.)
ColourPair TintColours(const SchemeColours& s);

// A read-back that disagrees with its setting: the window text on dark
// orange when that pair is readable and no high-contrast scheme is on;
// otherwise the selection pair, so a high-contrast scheme keeps its colours.
ColourPair WarningColours(const SchemeColours& s);

// A read-back the tool has not refreshed for a while: dark amber text on the
// dialog background, so old numbers read as old, not as a disabled box (the
// scheme's grey). The amber is moved toward the window text until it reads.
// A high-contrast scheme keeps its own grey, moved likewise; where neither
// would both read and stand apart from plain text, the window pair inverted.
ColourPair StaleColours(const SchemeColours& s);

// A channel the health rules flag in auto gain: the window text on violet
// (light, or dark under light text), apart from the mismatch's orange and
// the stale amber; a high-contrast scheme gets the first pair of its own
// colours that reads and is none of the other looks (the grey as a
// background, then the window pair inverted).
ColourPair HealthColours(const SchemeColours& s);

// A value the tool may not hold (nothing sent since start): the control's
// own text on its background (back: the window colour of edits, the face of
// buttons) tinted pale yellow, like a note stuck on it: no text colour of
// its own, so it does not read as a link (less of the tint on a dark
// background). Where no tint both shows and reads, and in a high-contrast
// scheme, the selection colour as text on the plain background, moved toward
// the window text until it reads; where that fails too, the selection pair.
ColourPair UnknownColours(const SchemeColours& s, uint32_t back);

}  // namespace kelvane
