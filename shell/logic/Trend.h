// The read-back trend's drawing arithmetic: the series a chart shows (the
// ring, or the whole job), time and dB axes, traces with gaps, the value
// under the mouse, the CSV of a period. The samples are kept by TrendStore.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/logic/TrendStore.h"
#include "framework/logic/CueColours.h"
#include "shell/logic/FrameWatch.h"

namespace kelvane {

extern const char* const kTrendSectionNames[kTrendSections];  // "DT", "Monopole", "Dipole"
static_assert(kTrendGapMs == kStaleAfterMs, "a gap in the trend is the read-back looking old");
// The drive range the dB axis shows.
constexpr int32_t kTrendMinDb = -31;
constexpr int32_t kTrendMaxDb = 80;

// The samples and marks a chart draws, oldest first: the ring as it lies in
// memory (two runs), or the whole job built for a paint (one).
class TrendSeries {
public:
    TrendSeries(const TrendRing& ring);  // NOLINT(google-explicit-constructor): a ring is a series
    TrendSeries(const TrendSample* samples, size_t count, const TrendMark* marks, size_t markCount)
        : m_a(samples), m_na(count), m_marks(marks), m_markCount(markCount) {}
    size_t Size() const { return m_na + m_nb; }
    const TrendSample& At(size_t i) const { return i < m_na ? m_a[i] : m_b[i - m_na]; }
    size_t MarkCount() const { return m_markCount; }
    const TrendMark& MarkAt(size_t i) const { return m_marks[i]; }
    // The first sample no older than ageMs at now (Size() when none is).
    size_t FirstWithin(uint32_t now, uint32_t ageMs) const;

private:
    const TrendSample* m_a = nullptr;
    size_t m_na = 0;
    const TrendSample* m_b = nullptr;
    size_t m_nb = 0;
    const TrendMark* m_marks = nullptr;
    size_t m_markCount = 0;
};

// The whole job as the charts draw it, in ticks back from nowTick: the
// history's intervals (each as two samples, its lowest gains at its start
// and its highest at its end), those within one of widthPx columns as one
// (0: every interval), up to where the ring begins, then the ring's own
// samples while the job is at most kTrendWholeJobRingMs long (longer, the
// ring is a few pixels its intervals draw as well); the marks from the
// history's wall times. At most kTrendWholeJobMaxMs back (ticks wrap).
constexpr uint32_t kTrendWholeJobMaxMs = 0x7FFFFFFFu;
constexpr uint32_t kTrendWholeJobRingMs = 4 * kTrendKeepMs;
class TrendJobSeries {
public:
    void Build(const TrendRing& ring, const TrendHistory& history, uint32_t nowTick, int64_t nowWallMs,
               int32_t widthPx = 0);
    TrendSeries Series() const { return {m_samples.data(), m_samples.size(), m_marks.data(), m_marks.size()}; }
    // From the job's start to now, at least a minute.
    uint32_t SpanMs() const { return m_spanMs; }

private:
    std::vector<TrendSample> m_samples;
    std::vector<TrendMark> m_marks;
    uint32_t m_spanMs = 60000;
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
    TrendLayout(const TrendSeries& ring, const TrendScale& scale);
    size_t First() const { return m_first; }  // ring index of the first sample laid out
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
std::vector<std::vector<TrendPoint>> TrendTrace(const TrendSeries& ring, const TrendLayout& layout, int channel,
                                                bool reference);

// Where the clock labels go: a step of 5 s to 12 h, the smallest that
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
size_t TrendSampleAt(const TrendSeries& ring, uint32_t now, uint32_t spanMs, uint32_t tick, uint32_t slackMs);

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
std::string TrendCsv(const TrendSeries& ring, uint32_t now, uint32_t spanMs, int32_t nowMsOfDay);

}  // namespace kelvane
