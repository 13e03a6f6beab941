#include "framework/logic/CueColours.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace kelvane {

namespace {

double Linear(uint32_t channel) {
    const double c = static_cast<double>(channel & 0xFF) / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(uint32_t colour) {
    return 0.2126 * Linear(colour) + 0.7152 * Linear(colour >> 8) + 0.0722 * Linear(colour >> 16);
}

// Sum of the channel differences: 0 for the same colour, 765 at most.
int Distance(uint32_t a, uint32_t b) {
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8)
        d += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    return d;
}

// How far the tint moves the background toward the selection colour: far
// enough to see at a glance, near enough not to pass for selected text.
constexpr double kTintWeight = 0.25;
// Below this a tinted edit looks like any other.
constexpr int kMinTintDistance = 48;
// Old read-back: amber darkened until it reads on a dialog face (5.2:1 on
// the usual light grey), far from both the disabled grey and plain text.
constexpr uint32_t kStaleText = Rgb(138, 82, 0);
// Not sent since start: a yellow of which this share over the control's own
// background shows as a pale note colour, apart from the selection's blue
// (typed text), the warning's orange and the face's grey.
constexpr uint32_t kUnknownTint = Rgb(255, 214, 0);
constexpr double kUnknownWeight = 0.4;

}  // namespace

double ContrastRatio(uint32_t a, uint32_t b) {
    double la = Luminance(a);
    double lb = Luminance(b);
    if (la < lb) {
        const double t = la;
        la = lb;
        lb = t;
    }
    return (la + 0.05) / (lb + 0.05);
}

uint32_t Blend(uint32_t a, uint32_t b, double weight) {
    if (!(weight > 0.0)) weight = 0.0;  // NaN too
    if (weight > 1.0) weight = 1.0;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double ca = static_cast<double>((a >> shift) & 0xFF);
        const double cb = static_cast<double>((b >> shift) & 0xFF);
        out |= static_cast<uint32_t>(ca + (cb - ca) * weight + 0.5) << shift;
    }
    return out;
}

ColourPair TintColours(const SchemeColours& s) {
    const uint32_t back = Blend(s.window, s.highlight, kTintWeight);
    if (Distance(back, s.window) >= kMinTintDistance && ContrastRatio(s.windowText, back) >= kMinContrast)
        return {s.windowText, back};
    return {s.highlightText, s.highlight};
}

ColourPair WarningColours(const SchemeColours& s) {
    if (!s.highContrast && ContrastRatio(s.windowText, kWarningBack) >= kMinContrast)
        return {s.windowText, kWarningBack};
    return {s.highlightText, s.highlight};
}

ColourPair StaleColours(const SchemeColours& s) {
    const uint32_t from = s.highContrast ? s.grayText : kStaleText;
    for (int step = 0; step <= 10; ++step) {
        const uint32_t text = Blend(from, s.windowText, step / 10.0);
        if (ContrastRatio(text, s.face) < kMinContrast) continue;
        if (Distance(text, s.windowText) >= kMinTintDistance) return {text, s.face};
        break;
    }
    return {s.window, s.windowText};
}

ColourPair UnknownColours(const SchemeColours& s, uint32_t back) {
    // Less of the yellow on a dark background, where much of it would take
    // the light text's contrast.
    for (int step = 0; !s.highContrast && step < 5; ++step) {
        const uint32_t tinted = Blend(back, kUnknownTint, kUnknownWeight - step * 0.05);
        if (Distance(tinted, back) >= kMinTintDistance && ContrastRatio(s.windowText, tinted) >= kMinContrast)
            return {s.windowText, tinted};
    }
    for (int step = 0; step <= 10; ++step) {
        const uint32_t text = Blend(s.highlight, s.windowText, step / 10.0);
        if (ContrastRatio(text, back) < kMinContrast) continue;
        if (Distance(text, s.windowText) >= kMinTintDistance) return {text, back};
        break;
    }
    return {s.highlightText, s.highlight};
}

ColourPair HealthColours(const SchemeColours& s) {
    const auto same = [](const ColourPair& a, const ColourPair& b) { return a.text == b.text && a.back == b.back; };
    const ColourPair taken[] = {WarningColours(s),         StaleColours(s),          UnknownColours(s, s.window),
                                UnknownColours(s, s.face), {s.windowText, s.window}, {s.windowText, s.face}};
    const auto usable = [&](const ColourPair& p) {
        if (ContrastRatio(p.text, p.back) < kMinContrast) return false;
        for (const ColourPair& t : taken)
            if (same(p, t)) return false;
        return true;
    };
    if (!s.highContrast) {
        for (const ColourPair& p :
             {ColourPair{s.windowText, Rgb(200, 160, 255)}, ColourPair{s.windowText, Rgb(80, 30, 130)}})
            if (Distance(p.back, s.window) >= kMinTintDistance && usable(p)) return p;
    }
    for (const ColourPair& p : {ColourPair{s.window, s.grayText}, ColourPair{s.window, s.windowText},
                                ColourPair{s.highlightText, s.windowText}, ColourPair{s.highlight, s.windowText}})
        if (usable(p)) return p;
    // The selection colour darkened (or lightened) toward the text, under the window colour.
    for (int step = 3; step <= 10; ++step) {
        const ColourPair p{s.window, Blend(s.highlight, s.windowText, step / 10.0)};
        if (usable(p)) return p;
    }
    return {s.window, s.windowText};
}

}  // namespace kelvane
