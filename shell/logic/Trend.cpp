#include "shell/logic/Trend.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/logic/NumberText.h"

namespace kelvane {

const char* const kTrendSectionNames[kTrendSections] = {"DT", "Monopole", "Dipole"};

namespace {

constexpr int32_t kDayMs = 24 * 3600 * 1000;

// Signed distance b - a of two wrapping ticks.
int32_t TickDiff(uint32_t a, uint32_t b) { return static_cast<int32_t>(b - a); }

int SectionOf(int channel) { return channel < kTrendFirst[1] ? 0 : channel < kTrendFirst[2] ? 1 : 2; }

}  // namespace

// ---- series

TrendSeries::TrendSeries(const TrendRing& ring) : m_marks(ring.Marks()), m_markCount(ring.MarkCount()) {
    m_a = ring.FirstRun(&m_na);
    m_b = ring.SecondRun(&m_nb);
}

size_t TrendSeries::FirstWithin(uint32_t now, uint32_t ageMs) const {
    size_t lo = 0, hi = Size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (now - At(mid).tick > ageMs) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

void TrendJobSeries::Build(const TrendRing& ring, const TrendHistory& history, uint32_t nowTick, int64_t nowWallMs,
                           int32_t widthPx) {
    m_samples.clear();
    m_marks.clear();
    constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
    const int64_t oldest = nowWallMs - static_cast<int64_t>(kTrendWholeJobMaxMs);
    auto tickOf = [&](int64_t wallMs) {
        return nowTick -
               static_cast<uint32_t>(std::min<int64_t>(std::max<int64_t>(0, nowWallMs - wallMs), kTrendWholeJobMaxMs));
    };
    // Where the ring's samples begin, in wall time.
    int64_t ringStart = ring.Size() ? nowWallMs - static_cast<int64_t>(nowTick - ring.At(0).tick) : kNever;
    const int64_t start = std::max(oldest, history.Empty() ? ringStart : std::min(history.StartMs(), ringStart));
    const int64_t span = start == kNever ? 0 : nowWallMs - start;
    m_spanMs = static_cast<uint32_t>(std::min<int64_t>(std::max<int64_t>(60000, span), kTrendWholeJobMaxMs));
    // A long job: the ring's part is a few pixels, which its own intervals draw as well.
    const bool useRing = ring.Size() && span <= static_cast<int64_t>(kTrendWholeJobRingMs);
    if (!useRing) ringStart = kNever;
    // Intervals within one pixel column are drawn as one.
    const int64_t columnMs = widthPx > 0 ? m_spanMs / widthPx : 0;
    auto columnOf = [&](int64_t wallMs) { return columnMs > 0 ? (wallMs - start) / columnMs : wallMs; };

    const size_t total = history.Size() + (history.HasOpen() ? 1 : 0);
    m_samples.reserve(2 * total + (useRing ? ring.Size() : 0));
    TrendInterval acc{};
    bool open = false;
    bool gap = true;  // the first, and one after an interval left out, start after a gap
    auto emit = [&] {
        if (!open) return;
        TrendSample s{};
        s.tick = tickOf(acc.wallMs);
        std::copy(acc.min, acc.min + kTrendChannels, s.gain);
        std::copy(acc.set, acc.set + kTrendChannels, s.set);
        s.autoOn = acc.autoOn;
        s.gapBefore = acc.gapBefore;
        s.reduced = 1;
        m_samples.push_back(s);
        s.tick = tickOf(std::min(acc.wallMs + static_cast<int64_t>(acc.lengthMs), ringStart));
        std::copy(acc.max, acc.max + kTrendChannels, s.gain);
        s.gapBefore = 0;
        s.reduced = 2;
        m_samples.push_back(s);
        open = false;
    };
    for (size_t i = 0; i < total; ++i) {
        const TrendInterval& v = i < history.Size() ? history.At(i) : history.Open();
        // Up to the ring, and clear of it by a sample's spacing: the ring's
        // ticks and the history's wall times come from two clocks.
        if (v.wallMs + static_cast<int64_t>(v.lengthMs) >= ringStart - static_cast<int64_t>(kTrendMinSpacingMs)) break;
        if (v.wallMs < oldest) {
            gap = true;
            continue;
        }
        // A stop shorter than a column would show as a pixel-wide hole many
        // times its length: drawn on (the CSV still has it).
        const bool hidden = columnMs > 0 && open &&
                            v.wallMs - (acc.wallMs + static_cast<int64_t>(acc.lengthMs)) < columnMs;
        const bool gapBefore = (v.gapBefore && !hidden) || gap;
        gap = false;
        if (open && !gapBefore && columnMs > 0 && columnOf(v.wallMs) == columnOf(acc.wallMs)) {
            const int64_t end = std::max(acc.wallMs + static_cast<int64_t>(acc.lengthMs),
                                         v.wallMs + static_cast<int64_t>(v.lengthMs));
            acc.lengthMs = static_cast<uint32_t>(std::min<int64_t>(end - acc.wallMs, UINT32_MAX));
            for (int c = 0; c < kTrendChannels; ++c) {
                acc.min[c] = std::min(acc.min[c], v.min[c]);
                acc.max[c] = std::max(acc.max[c], v.max[c]);
                acc.set[c] = v.set[c];
            }
            acc.autoOn = static_cast<uint8_t>(acc.autoOn | v.autoOn);
            continue;
        }
        emit();
        acc = v;
        acc.gapBefore = gapBefore;
        open = true;
    }
    emit();
    if (useRing) {
        const size_t joined = m_samples.size();
        for (size_t i = 0; i < ring.Size(); ++i) m_samples.push_back(ring.At(i));
        // The ring's oldest follows the history as one line unless a gap lies between.
        if (joined > 0) {
            TrendSample& first = m_samples[joined];
            first.gapBefore = first.tick - m_samples[joined - 1].tick > kTrendGapMs + history.IntervalMs() ? 1 : 0;
        }
    }
    m_marks.reserve(history.MarkCount());
    for (size_t i = 0; i < history.MarkCount(); ++i) {
        const TrendWallMark& mark = history.MarkAt(i);
        if (mark.wallMs >= oldest && mark.wallMs <= nowWallMs) m_marks.push_back({tickOf(mark.wallMs), mark.kind});
    }
}

// ---- scale

int32_t TrendX(const TrendScale& s, uint32_t tick) {
    const int32_t age = TickDiff(tick, s.now);
    const int64_t w = s.right - s.left;
    const int64_t back = s.spanMs ? static_cast<int64_t>(std::max(0, age)) * w / s.spanMs : 0;
    // Far outside on the left stays a few widths out: GDI clips, and no coordinate overflows.
    return static_cast<int32_t>(std::max<int64_t>(s.right - back, static_cast<int64_t>(s.left) - 4 * w));
}

int32_t TrendY(const TrendScale& s, int32_t db) {
    const int32_t v = std::min(kTrendMaxDb, std::max(kTrendMinDb, db));
    return s.top + static_cast<int32_t>(static_cast<int64_t>(kTrendMaxDb - v) * (s.bottom - s.top) /
                                        (kTrendMaxDb - kTrendMinDb));
}

uint32_t TrendTickAt(const TrendScale& s, int32_t x) {
    const int32_t w = std::max(1, s.right - s.left);
    const int32_t cx = std::min(s.right, std::max(s.left, x));
    return s.now - static_cast<uint32_t>(static_cast<int64_t>(s.right - cx) * s.spanMs / w);
}

// ---- traces

namespace {

// Collects one run's points, a pixel column at a time.
class RunBuilder {
public:
    explicit RunBuilder(std::vector<std::vector<TrendPoint>>& runs) : m_runs(runs) {}
    void Add(int32_t x, int32_t y) {
        if (m_open && x == m_x) {
            m_min = std::min(m_min, y);
            m_max = std::max(m_max, y);
            m_last = y;
            return;
        }
        FlushColumn();
        m_open = true;
        m_x = x;
        m_first = m_min = m_max = m_last = y;
    }
    void Break() {
        FlushColumn();
        if (!m_run.empty()) m_runs.push_back(std::move(m_run));
        m_run.clear();
    }

private:
    void Put(int32_t y) {
        if (!m_run.empty() && m_run.back().x == m_x && m_run.back().y == y) return;
        // A level stretch is one segment however many columns it spans:
        // every point costs the drawing time.
        const size_t n = m_run.size();
        if (n >= 2 && m_run[n - 1].y == y && m_run[n - 2].y == y) {
            m_run[n - 1].x = m_x;
            return;
        }
        m_run.push_back({m_x, y});
    }
    void FlushColumn() {
        if (!m_open) return;
        m_open = false;
        // The column's extent, in the order the values went (first and last
        // lie within it, a pixel apart at most from where they would be).
        if (m_first <= m_last) {
            Put(m_min);
            Put(m_max);
        } else {
            Put(m_max);
            Put(m_min);
        }
    }
    std::vector<std::vector<TrendPoint>>& m_runs;
    std::vector<TrendPoint> m_run;
    bool m_open = false;
    int32_t m_x = 0, m_first = 0, m_min = 0, m_max = 0, m_last = 0;
};

}  // namespace

TrendLayout::TrendLayout(const TrendSeries& ring, const TrendScale& scale) : m_y{} {
    m_first = ring.FirstWithin(scale.now, scale.spanMs);
    // The sample before the span, when the line runs on from it, enters at the left edge.
    if (m_first > 0 && m_first < ring.Size() && !ring.At(m_first).gapBefore) --m_first;
    for (int v = -128; v < 128; ++v) m_y[static_cast<uint8_t>(v)] = TrendY(scale, v);
    m_x.resize(ring.Size() - m_first);
    // x = right - floor(age * width / span). Ages only fall from sample to
    // sample, so the pixels back from the right edge are counted down
    // instead of divided out for each of up to 18 000 samples.
    const int64_t w = std::max(0, scale.right - scale.left);
    if (m_x.empty() || !scale.spanMs || !w) {
        std::fill(m_x.begin(), m_x.end(), scale.right);
        return;
    }
    auto ageOf = [&](size_t i) { return static_cast<int64_t>(std::max(0, TickDiff(ring.At(i).tick, scale.now))); };
    // Never further back than a few widths: GDI clips, and no coordinate overflows.
    int64_t back = std::min<int64_t>(5 * w, ageOf(m_first) * w / scale.spanMs);
    int64_t least = (back * scale.spanMs + w - 1) / w;  // the youngest age that is back pixels back
    // Ten samples or more to a pixel (30 minutes on a chart of a normal
    // width): columns two pixels wide, half the points for GDI to draw,
    // no difference to see at 4 s a pixel.
    const int64_t column = static_cast<int64_t>(scale.spanMs) >= 10 * kTrendMinSpacingMs * w ? 2 : 1;
    for (size_t i = m_first; i < ring.Size(); ++i) {
        const int64_t age = ageOf(i);
        while (back > 0 && age < least) {
            --back;
            least = (back * scale.spanMs + w - 1) / w;
        }
        m_x[i - m_first] = static_cast<int32_t>(scale.right - back / column * column);
    }
}

std::vector<std::vector<TrendPoint>> TrendTrace(const TrendSeries& ring, const TrendLayout& layout, int channel,
                                                bool reference) {
    std::vector<std::vector<TrendPoint>> runs;
    if (channel < 0 || channel >= kTrendChannels) return runs;
    const uint8_t autoBit = static_cast<uint8_t>(1u << SectionOf(channel));
    RunBuilder run(runs);
    for (size_t i = layout.First(); i < ring.Size(); ++i) {
        const TrendSample& s = ring.At(i);
        if (s.gapBefore) run.Break();
        if (reference && (s.autoOn & autoBit)) {
            run.Break();
            continue;
        }
        run.Add(layout.X(i), layout.Y(reference ? s.set[channel] : s.gain[channel]));
    }
    run.Break();
    return runs;
}

// ---- axes

uint32_t TrendTimeStepMs(uint32_t spanMs, int32_t widthPx, int32_t minGapPx) {
    static const uint32_t kSteps[] = {5000,   10000,   15000,   30000,   60000,    120000,   300000,
                                      600000, 1800000, 3600000, 7200000, 10800000, 21600000, 43200000};
    for (uint32_t step : kSteps)
        if (spanMs && static_cast<int64_t>(step) * std::max(0, widthPx) >= static_cast<int64_t>(minGapPx) * spanMs)
            return step;
    return kSteps[sizeof kSteps / sizeof kSteps[0] - 1];
}

int32_t MsOfDayAgo(int32_t nowMsOfDay, uint32_t msAgo) {
    const int32_t back = static_cast<int32_t>(msAgo % static_cast<uint32_t>(kDayMs));
    return ((nowMsOfDay - back) % kDayMs + kDayMs) % kDayMs;
}

std::vector<TrendTimeTick> TrendTimeTicks(const TrendScale& scale, int32_t nowMsOfDay, int32_t minGapPx) {
    std::vector<TrendTimeTick> ticks;
    const uint32_t step = TrendTimeStepMs(scale.spanMs, scale.right - scale.left, minGapPx);
    const int32_t now = ((nowMsOfDay % kDayMs) + kDayMs) % kDayMs;
    uint32_t age = static_cast<uint32_t>(now) % step;  // back to the last whole step
    for (; age <= scale.spanMs; age += step) ticks.push_back({TrendX(scale, scale.now - age), MsOfDayAgo(now, age)});
    std::reverse(ticks.begin(), ticks.end());
    return ticks;
}

int32_t TrendDbStep(int32_t heightPx, int32_t minGapPx) {
    for (int32_t step : {10, 20, 40})
        if (static_cast<int64_t>(step) * std::max(0, heightPx) >=
            static_cast<int64_t>(minGapPx) * (kTrendMaxDb - kTrendMinDb))
            return step;
    return 40;
}

std::string FormatClockMs(int32_t msOfDay, bool tenths) {
    const int32_t ms = ((msOfDay % kDayMs) + kDayMs) % kDayMs;
    std::string text = FormatClock(ms / 1000);
    if (tenths) text += "." + FormatInt(ms / 100 % 10);
    return text;
}

// ---- inks

TrendInk TrendInkFor(const SchemeColours& scheme, int channel) {
    static const uint32_t kHues[8] = {Rgb(31, 119, 180),  Rgb(200, 82, 0),  Rgb(34, 139, 34),  Rgb(214, 39, 40),
                                      Rgb(148, 103, 189), Rgb(140, 86, 75), Rgb(190, 50, 150), Rgb(0, 128, 128)};
    const int c = ((channel % 8) + 8) % 8;
    if (!scheme.highContrast && ContrastRatio(kHues[c], scheme.window) >= kTrendMinLineContrast)
        return {kHues[c], c < 4 ? TrendPattern::Solid : TrendPattern::Dash};
    const bool selectionReads = ContrastRatio(scheme.highlight, scheme.window) >= kTrendMinLineContrast;
    const uint32_t colour = (c % 2 && selectionReads) ? scheme.highlight : scheme.windowText;
    return {colour, static_cast<TrendPattern>(c / 2)};
}

// ---- hover

size_t TrendSampleAt(const TrendSeries& ring, uint32_t now, uint32_t spanMs, uint32_t tick, uint32_t slackMs) {
    const size_t none = ring.Size();
    const uint32_t age = now - tick;
    if (age > spanMs) return none;
    // The first sample younger than tick; the one before it is at or before tick.
    const size_t next = age == 0 ? ring.Size() : ring.FirstWithin(now, age - 1);
    if (next == 0) return none;
    const size_t at = next - 1;
    const uint32_t after = tick - ring.At(at).tick;
    if (after <= slackMs) return at;
    if (next < ring.Size()) return ring.At(next).gapBefore ? none : at;
    // The newest: the line ends there once the frames stopped.
    return now - ring.At(at).tick < kTrendGapMs ? at : none;
}

// ---- CSV

namespace {

void AppendCells(std::string& row, int count) {
    for (int i = 0; i < count; ++i) row += ',';
}

}  // namespace

std::string TrendCsv(const TrendSeries& ring, uint32_t now, uint32_t spanMs, int32_t nowMsOfDay) {
    std::string csv = "Time,Event";
    for (int s = 0; s < kTrendSections; ++s)
        for (int c = 1; c <= kTrendCount[s]; ++c)
            csv += std::string(",") + kTrendSectionNames[s] + " CH" + FormatInt(c);
    for (int s = 0; s < kTrendSections; ++s) csv += std::string(",") + kTrendSectionNames[s] + " auto gain";
    for (int s = 0; s < kTrendSections; ++s)
        for (int c = 1; c <= kTrendCount[s]; ++c)
            csv += std::string(",") + kTrendSectionNames[s] + " CH" + FormatInt(c) + " set";
    csv += "\r\n";
    constexpr int kValueCells = 2 * kTrendChannels + kTrendSections;
    auto clock = [&](uint32_t tick) { return FormatClockMs(MsOfDayAgo(nowMsOfDay, now - tick), true); };
    auto eventRow = [&](uint32_t tick, const char* what) {
        csv += clock(tick) + "," + what;
        AppendCells(csv, kValueCells);
        csv += "\r\n";
    };
    size_t mark = 0;
    while (mark < ring.MarkCount() && now - ring.MarkAt(mark).tick > spanMs) ++mark;
    const size_t first = ring.FirstWithin(now, spanMs);
    for (size_t i = first; i < ring.Size(); ++i) {
        const TrendSample& s = ring.At(i);
        for (; mark < ring.MarkCount() && TickDiff(ring.MarkAt(mark).tick, s.tick) >= 0; ++mark)
            eventRow(ring.MarkAt(mark).tick, TrendMarkName(ring.MarkAt(mark).kind));
        if (s.gapBefore && i > first) eventRow(ring.At(i - 1).tick, "no usable frames");
        csv += clock(s.tick) + "," + (s.reduced == 1 ? "interval lowest" : s.reduced == 2 ? "interval highest" : "");
        for (int c = 0; c < kTrendChannels; ++c) csv += "," + FormatInt(s.gain[c]);
        for (int sec = 0; sec < kTrendSections; ++sec) csv += (s.autoOn >> sec & 1) ? ",on" : ",off";
        for (int c = 0; c < kTrendChannels; ++c) csv += "," + FormatInt(s.set[c]);
        csv += "\r\n";
    }
    // Frames stopped before now: the period ends in a gap.
    if (ring.Size() > first && now - ring.At(ring.Size() - 1).tick >= kTrendGapMs)
        eventRow(ring.At(ring.Size() - 1).tick, "no usable frames");
    for (; mark < ring.MarkCount(); ++mark) eventRow(ring.MarkAt(mark).tick, TrendMarkName(ring.MarkAt(mark).kind));
    return csv;
}

}  // namespace kelvane
