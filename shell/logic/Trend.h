// The read-back trend: the gains the tool reported over the last minutes,
// sampled from the window's timer (never per frame) into a bounded ring,
// and the arithmetic of drawing them (time and dB axes, traces with gaps,
// the value under the mouse, the CSV of a period).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/logic/CueColours.h"
#include "shell/logic/FrameWatch.h"

namespace kelvane {

// The twenty channels in snapshot order: DT 1-4, monopole 1-8, dipole 1-8.
constexpr int kTrendChannels = 20;
constexpr int kTrendSections = 3;
constexpr int kTrendFirst[kTrendSections] = {0, 4, 12};
constexpr int kTrendCount[kTrendSections] = {4, 8, 8};
extern const char* const kTrendSectionNames[kTrendSections];  // "DT", "Monopole", "Dipole"

// At most ten samples a second, kept for at most 30 minutes: the ring never
// holds more than kTrendCapacity samples.
constexpr uint32_t kTrendMinSpacingMs = 100;
constexpr uint32_t kTrendKeepMs = 30u * 60u * 1000u;
constexpr size_t kTrendCapacity = kTrendKeepMs / kTrendMinSpacingMs;
constexpr size_t kTrendMarkCapacity = 256;
// No usable frame for as long as the read-back takes to look old: a gap.
constexpr uint32_t kTrendGapMs = kStaleAfterMs;
// The drive range the dB axis shows.
constexpr int32_t kTrendMinDb = -31;
constexpr int32_t kTrendMaxDb = 80;

// One sample. Gains are whole dB; what the tool can apply (-31..80) fits a
// byte, a report beyond -128..127 is kept at that end.
struct TrendSample {
    uint32_t tick;                  // when the frame with these words came (ms, wraps)
    int8_t gain[kTrendChannels];    // reported
    int8_t set[kTrendChannels];     // last sent to the tool
    uint8_t autoOn;                 // bit s: section s in auto gain
    uint8_t gapBefore;              // no usable frame for kTrendGapMs before it
    uint8_t pad[2];
};
static_assert(sizeof(TrendSample) == 48, "the ring's size is counted from this");

enum class TrendMarkKind : uint8_t { ToolReset = 0, SendAll = 1, SetupLoad = 2, Health = 3 };
// "Tool Reset", "Send all", "Set-up load", "Health flag"
const char* TrendMarkName(TrendMarkKind kind);

struct TrendMark {
    uint32_t tick;
    TrendMarkKind kind;
};

// What the window's timer hands over at each tick.
struct TrendInput {
    uint32_t now;                    // the tick of this timer tick
    uint32_t usable;                 // usable frames counted so far
    uint32_t lastUsableTick;         // when the last of them came
    int32_t gain[kTrendChannels];    // the snapshot now
    int32_t set[kTrendChannels];     // the parameter set's gains now
    uint8_t autoOn;
};

class TrendRing {
public:
    // Bytes the ring holds at most (samples and marks).
    static constexpr size_t kMaxBytes = kTrendCapacity * sizeof(TrendSample) + kTrendMarkCapacity * sizeof(TrendMark);

    // The frames counted so far are old: only a frame after these is sampled.
    void Open(uint32_t usable);
    // Takes a sample when a usable frame came since the last one and the
    // last is at least kTrendMinSpacingMs older; drops what is older than
    // kTrendKeepMs. True when a sample was taken.
    bool Offer(const TrendInput& in);
    // Drops samples and marks older than kTrendKeepMs at now.
    void Prune(uint32_t now);
    // Kept in time order: a mark may name a moment a little in the past.
    void Mark(uint32_t tick, TrendMarkKind kind);

    size_t Size() const { return m_size; }
    const TrendSample& At(size_t i) const { return m_samples[(m_head + i) % kTrendCapacity]; }  // 0: oldest
    size_t MarkCount() const { return m_marks.size(); }
    const TrendMark& MarkAt(size_t i) const { return m_marks[i]; }
    // The first sample no older than ageMs at now (Size() when none is).
    size_t FirstWithin(uint32_t now, uint32_t ageMs) const;
    // Bytes in use now (never above kMaxBytes).
    size_t Bytes() const { return m_samples.capacity() * sizeof(TrendSample) + m_marks.capacity() * sizeof(TrendMark); }

private:
    void PushSample(const TrendSample& s);
    std::vector<TrendSample> m_samples;  // kTrendCapacity once the first sample comes
    size_t m_head = 0;
    size_t m_size = 0;
    std::vector<TrendMark> m_marks;
    uint32_t m_sampledUsable = 0;
};

// ---- drawing arithmetic

struct TrendPoint {
    int32_t x;
    int32_t y;
};

// Maps ticks and dB to pixels of a plot area: now at the right edge, now -
// spanMs at the left, kTrendMaxDb at the top, kTrendMinDb at the bottom.
struct TrendScale {
    int32_t left, top, right, bottom;
    uint32_t now;
    uint32_t spanMs;
};
int32_t TrendX(const TrendScale& scale, uint32_t tick);
int32_t TrendY(const TrendScale& scale, int32_t db);
// The tick at x (clamped to the span).
uint32_t TrendTickAt(const TrendScale& scale, int32_t x);

// Where the shown samples go, worked out once for all the lines of a chart:
// the x of every sample from the one before the span on (TrendX, in columns
// two pixels wide where ten samples or more fall on a pixel), and the y of
// every gain a sample can hold.
class TrendLayout {
public:
    TrendLayout(const TrendRing& ring, const TrendScale& scale);
    size_t First() const { return m_first; }         // ring index of the first sample laid out
    int32_t X(size_t ringIndex) const { return m_x[ringIndex - m_first]; }
    int32_t Y(int8_t gain) const { return m_y[static_cast<uint8_t>(gain)]; }

private:
    size_t m_first;
    std::vector<int32_t> m_x;
    int32_t m_y[256];
};

// One channel's line over the span, as runs of points (a gap ends a run),
// thinned to the lowest and highest value per pixel column, so a full ring
// draws as fast as a screen of points.
// reference: the set gain instead of the report, only while the section's
// auto gain is off (an auto period ends a run).
std::vector<std::vector<TrendPoint>> TrendTrace(const TrendRing& ring, const TrendLayout& layout, int channel,
                                                bool reference);

// Where the clock labels go: a step of 5 s to 10 min, the smallest that
// leaves minGapPx between labels; the ticks (newest last) on whole steps of
// local time. nowMsOfDay: the local time at scale.now.
struct TrendTimeTick {
    int32_t x;
    int32_t msOfDay;
};
uint32_t TrendTimeStepMs(uint32_t spanMs, int32_t widthPx, int32_t minGapPx);
std::vector<TrendTimeTick> TrendTimeTicks(const TrendScale& scale, int32_t nowMsOfDay, int32_t minGapPx);
// The dB grid: 10 or 20 dB steps that leave minGapPx between lines.
int32_t TrendDbStep(int32_t heightPx, int32_t minGapPx);
// "HH:MM:SS" or "HH:MM" of a time of day in ms; with tenths "HH:MM:SS.s".
std::string FormatClockMs(int32_t msOfDay, bool tenths);
// The local time of day msAgo before nowMsOfDay.
int32_t MsOfDayAgo(int32_t nowMsOfDay, uint32_t msAgo);

// The sample shown under the mouse at tick: the last one at or before it
// where its line is drawn: up to the next sample unless a gap follows, else
// within slackMs (a pixel or two) of it; the newest while frames still come.
// None in a gap, before the first or outside the span: Size().
size_t TrendSampleAt(const TrendRing& ring, uint32_t now, uint32_t spanMs, uint32_t tick, uint32_t slackMs);

// How channel c of a chart is drawn: eight hues told apart also by their
// pattern (channels 5-8 dashed); where a hue does not read on the window
// colour, or a high-contrast scheme is on, the scheme's text and selection
// colours in four patterns. Every line also carries its number at its end.
enum class TrendPattern : uint8_t { Solid, Dash, Dot, DashDot };
struct TrendInk {
    uint32_t colour;
    TrendPattern pattern;
};
// Lines and marks read against the background at least this (WCAG, graphics).
constexpr double kTrendMinLineContrast = 3.0;
TrendInk TrendInkFor(const SchemeColours& scheme, int channel);

// The shown period as CSV: a header, then one row per sample (local time,
// the twenty reported gains, the three auto states, the twenty set gains);
// a gap is a row "no usable frames" and a mark a row with its name.
std::string TrendCsv(const TrendRing& ring, uint32_t now, uint32_t spanMs, int32_t nowMsOfDay);

}  // namespace kelvane
