#include "core/logic/TrendStore.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kelvane {

namespace {

int8_t GainByte(int32_t v) { return static_cast<int8_t>(std::min(127, std::max(-128, v))); }

// Signed distance b - a of two wrapping ticks.
int32_t TickDiff(uint32_t a, uint32_t b) { return static_cast<int32_t>(b - a); }

int64_t EndOf(const TrendInterval& i) { return i.wallMs + static_cast<int64_t>(i.lengthMs); }

uint32_t Span(int64_t from, int64_t to) {
    return static_cast<uint32_t>(
        std::min<int64_t>(std::max<int64_t>(0, to - from), std::numeric_limits<uint32_t>::max()));
}

// b folded into a (b after a).
void Absorb(TrendInterval& a, const TrendInterval& b) {
    a.lengthMs = Span(a.wallMs, std::max(EndOf(a), EndOf(b)));
    for (int c = 0; c < kTrendChannels; ++c) {
        a.min[c] = std::min(a.min[c], b.min[c]);
        a.max[c] = std::max(a.max[c], b.max[c]);
        a.set[c] = b.set[c];
    }
    a.autoOn = static_cast<uint8_t>(a.autoOn | b.autoOn);
}

}  // namespace

const char* TrendMarkName(TrendMarkKind kind) {
    switch (kind) {
    case TrendMarkKind::ToolReset: return "Tool Reset";
    case TrendMarkKind::SendAll: return "Send all";
    case TrendMarkKind::SetupLoad: return "Set-up load";
    case TrendMarkKind::Health: return "Health flag";
    }
    return "";
}

// ---- the ring

void TrendRing::Open(uint32_t usable) { m_sampledUsable = usable; }

bool TrendRing::Offer(const TrendInput& in) {
    Prune(in.now);
    if (in.usable == m_sampledUsable) return false;
    // The frame came before this tick; a count read after the clock may
    // show one a moment younger than now.
    const uint32_t tick = TickDiff(in.now, in.lastUsableTick) > 0 ? in.now : in.lastUsableTick;
    if (m_size) {
        const uint32_t last = At(m_size - 1).tick;
        if (TickDiff(last, tick) < static_cast<int32_t>(kTrendMinSpacingMs)) return false;  // taken at a later tick
    }
    TrendSample s{};
    s.tick = tick;
    for (int c = 0; c < kTrendChannels; ++c) {
        s.gain[c] = GainByte(in.gain[c]);
        s.set[c] = GainByte(in.set[c]);
    }
    s.autoOn = in.autoOn;
    s.gapBefore = !m_size || TickDiff(At(m_size - 1).tick, tick) > static_cast<int32_t>(kTrendGapMs);
    PushSample(s);
    m_sampledUsable = in.usable;
    return true;
}

void TrendRing::PushSample(const TrendSample& s) {
    if (m_samples.empty()) m_samples.resize(kTrendCapacity);
    if (m_size == kTrendCapacity) {
        m_head = (m_head + 1) % kTrendCapacity;
        --m_size;
    }
    m_samples[(m_head + m_size) % kTrendCapacity] = s;
    ++m_size;
}

void TrendRing::Prune(uint32_t now) {
    // Unsigned ages: a sample from the future (it cannot be) counts as old.
    while (m_size && now - At(0).tick > kTrendKeepMs) {
        m_head = (m_head + 1) % kTrendCapacity;
        --m_size;
    }
    while (!m_marks.empty() && now - m_marks.front().tick > kTrendKeepMs) m_marks.erase(m_marks.begin());
}

void TrendRing::Mark(uint32_t tick, TrendMarkKind kind) {
    if (m_marks.empty()) m_marks.reserve(kTrendMarkCapacity);
    if (m_marks.size() == kTrendMarkCapacity) m_marks.erase(m_marks.begin());
    auto at = m_marks.end();
    while (at != m_marks.begin() && static_cast<int32_t>((at - 1)->tick - tick) > 0) --at;
    m_marks.insert(at, {tick, kind});
}

const TrendSample* TrendRing::FirstRun(size_t* n) const {
    *n = std::min(m_size, kTrendCapacity - m_head);
    return m_size ? &m_samples[m_head] : nullptr;
}

const TrendSample* TrendRing::SecondRun(size_t* n) const {
    const size_t first = std::min(m_size, kTrendCapacity - m_head);
    *n = m_size - first;
    return *n ? m_samples.data() : nullptr;
}

size_t TrendRing::FirstWithin(uint32_t now, uint32_t ageMs) const {
    size_t lo = 0, hi = m_size;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (now - At(mid).tick > ageMs) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

// ---- interval text

std::string TrendIntervalText(const TrendInterval& v) {
    std::string text = std::to_string(v.wallMs) + " " + std::to_string(v.lengthMs) + " " +
                       std::to_string(static_cast<unsigned>(v.autoOn)) + " " + (v.gapBefore ? "1" : "0");
    for (const int8_t* values : {v.min, v.max, v.set}) {
        for (int c = 0; c < kTrendChannels; ++c) {
            text += c ? ',' : ' ';
            text += std::to_string(static_cast<int>(values[c]));
        }
    }
    return text;
}

namespace {

// Reads an integer in [lo, hi] at p up to the next separator (or the end);
// no sign but '-', no spaces, no leading zeros beyond a single 0.
template <class T>
bool ReadField(const char*& p, const char* end, char separator, T lo, T hi, T& out) {
    const char* stop = std::find(p, end, separator);
    if (stop == p) return false;
    long long v = 0;
    const auto [ptr, ec] = std::from_chars(p, stop, v);
    if (ec != std::errc() || ptr != stop || v < static_cast<long long>(lo) || v > static_cast<long long>(hi))
        return false;
    out = static_cast<T>(v);
    p = stop == end ? end : stop + 1;
    return true;
}

}  // namespace

bool ParseTrendInterval(const std::string& text, TrendInterval& out) {
    TrendInterval v{};
    const char* p = text.data();
    const char* const end = p + text.size();
    int64_t wall = 0;
    uint32_t length = 0;
    int autoOn = 0, gap = 0;
    if (!ReadField<int64_t>(p, end, ' ', std::numeric_limits<int64_t>::min() / 2,
                            std::numeric_limits<int64_t>::max() / 2, wall) ||
        !ReadField<uint32_t>(p, end, ' ', 0, std::numeric_limits<uint32_t>::max(), length) ||
        !ReadField<int>(p, end, ' ', 0, 7, autoOn) || !ReadField<int>(p, end, ' ', 0, 1, gap))
        return false;
    int8_t* const lists[3] = {v.min, v.max, v.set};
    for (int l = 0; l < 3; ++l) {
        for (int c = 0; c < kTrendChannels; ++c) {
            const bool last = c == kTrendChannels - 1;
            if (last && l == 2 && std::find(p, end, ' ') != end) return false;
            int value = 0;
            if (!ReadField<int>(p, end, last ? ' ' : ',', -128, 127, value)) return false;
            lists[l][c] = static_cast<int8_t>(value);
        }
    }
    // The text must end after the last list, with nothing torn off or added.
    if (p != end || text.back() == ' ' || text.back() == ',') return false;
    for (int c = 0; c < kTrendChannels; ++c)
        if (v.min[c] > v.max[c]) return false;
    v.wallMs = wall;
    v.lengthMs = length;
    v.autoOn = static_cast<uint8_t>(autoOn);
    v.gapBefore = static_cast<uint8_t>(gap);
    out = v;
    return true;
}

// ---- the job's history

int64_t TrendHistory::StartMs() const {
    int64_t start = std::numeric_limits<int64_t>::max();
    if (!m_intervals.empty()) start = m_intervals.front().wallMs;
    else if (m_hasOpen) start = m_open.wallMs;
    if (!m_marks.empty()) start = std::min(start, m_marks.front().wallMs);
    return start == std::numeric_limits<int64_t>::max() ? 0 : start;
}

int64_t TrendHistory::BucketOf(int64_t wallMs) const {
    const int64_t len = m_intervalMs;
    const int64_t q = wallMs / len - (wallMs % len < 0 ? 1 : 0);
    return q * len;
}

void TrendHistory::Fold(const TrendSample& s, int64_t wallMs, std::vector<TrendInterval>& closed) {
    // A clock set back keeps the history in order: the sample counts as now.
    if (m_hasOpen) wallMs = std::max(wallMs, EndOf(m_open));
    else if (!m_intervals.empty()) wallMs = std::max(wallMs, EndOf(m_intervals.back()));
    TrendInterval one{};
    one.wallMs = wallMs;
    std::copy(s.gain, s.gain + kTrendChannels, one.min);
    std::copy(s.gain, s.gain + kTrendChannels, one.max);
    std::copy(s.set, s.set + kTrendChannels, one.set);
    one.autoOn = s.autoOn;
    one.gapBefore = s.gapBefore;
    if (m_hasOpen && !s.gapBefore && BucketOf(wallMs) == BucketOf(m_open.wallMs)) {
        Absorb(m_open, one);
        return;
    }
    CloseOpen(closed);
    m_open = one;
    m_hasOpen = true;
}

void TrendHistory::Age(int64_t wallMs, std::vector<TrendInterval>& closed) {
    if (m_hasOpen && wallMs >= BucketOf(m_open.wallMs) + m_intervalMs) CloseOpen(closed);
}

void TrendHistory::CloseOpen(std::vector<TrendInterval>& closed) {
    if (!m_hasOpen) return;
    m_hasOpen = false;
    closed.push_back(m_open);
    Push(m_open);
}

void TrendHistory::Push(const TrendInterval& interval) {
    if (m_intervals.size() >= kTrendHistoryCapacity) Merge();
    if (m_intervals.capacity() < kTrendHistoryCapacity) m_intervals.reserve(kTrendHistoryCapacity);
    m_intervals.push_back(interval);
}

// Twice the interval: neighbours in the same longer interval become one,
// unless a gap lies between them. Where gaps leave too many apart (frames
// that came only every few seconds) they are merged in pairs all the same,
// the gap between them no longer shown: the history stays bounded.
void TrendHistory::Merge() {
    while (m_intervals.size() > kTrendHistoryCapacity * 3 / 4) {
        if (m_intervalMs <= std::numeric_limits<uint32_t>::max() / 2) m_intervalMs *= 2;
        const bool force = m_intervalMs > std::numeric_limits<uint32_t>::max() / 2;
        size_t out = 0;
        for (size_t i = 0; i < m_intervals.size(); ++out) {
            TrendInterval merged = m_intervals[i++];
            while (i < m_intervals.size() && !m_intervals[i].gapBefore &&
                   BucketOf(m_intervals[i].wallMs) == BucketOf(merged.wallMs))
                Absorb(merged, m_intervals[i++]);
            m_intervals[out] = merged;
        }
        const size_t before = m_intervals.size();
        m_intervals.resize(out);
        if (!force && out * 8 < before * 7) continue;
        // Gaps kept most of them apart: pairs, whatever lies between.
        size_t pairs = 0;
        for (size_t i = 0; i < m_intervals.size(); i += 2, ++pairs) {
            TrendInterval merged = m_intervals[i];
            if (i + 1 < m_intervals.size()) Absorb(merged, m_intervals[i + 1]);
            m_intervals[pairs] = merged;
        }
        m_intervals.resize(pairs);
    }
}

void TrendHistory::Mark(int64_t wallMs, TrendMarkKind kind) {
    if (m_marks.empty()) m_marks.reserve(kTrendHistoryMarkCapacity);
    if (m_marks.size() >= kTrendHistoryMarkCapacity) m_marks.erase(m_marks.begin());
    auto at = m_marks.end();
    while (at != m_marks.begin() && (at - 1)->wallMs > wallMs) --at;
    m_marks.insert(at, {wallMs, kind});
}

void TrendHistory::Restore(const std::vector<TrendInterval>& intervals) {
    // Only what ended before the history held now, in time order, none
    // overlapping the one before (a clock set back in an earlier run).
    int64_t limit = std::numeric_limits<int64_t>::max();
    if (!m_intervals.empty()) limit = m_intervals.front().wallMs;
    else if (m_hasOpen) limit = m_open.wallMs;
    std::vector<TrendInterval> older;
    older.reserve(std::min(intervals.size(), kTrendHistoryCapacity));
    for (const TrendInterval& v : intervals) {
        if (EndOf(v) > limit) continue;
        if (!older.empty() && v.wallMs < EndOf(older.back())) continue;
        older.push_back(v);
        if (older.size() > kTrendHistoryCapacity * 4) {  // a huge journal: reduce as we go
            std::swap(older, m_intervals);
            Merge();
            std::swap(older, m_intervals);
        }
    }
    if (older.empty()) return;
    // What came after the restore began after a restart.
    if (!m_intervals.empty()) m_intervals.front().gapBefore = 1;
    else if (m_hasOpen) m_open.gapBefore = 1;
    older.front().gapBefore = 1;
    older.insert(older.end(), m_intervals.begin(), m_intervals.end());
    m_intervals.swap(older);
    Merge();
    if (m_intervals.capacity() > kTrendHistoryCapacity) m_intervals.shrink_to_fit();
    if (m_intervals.capacity() < kTrendHistoryCapacity) m_intervals.reserve(kTrendHistoryCapacity);
}

// ---- the store

void TrendStore::Open(uint32_t usable) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_ring.Open(usable);
}

bool TrendStore::Offer(const TrendInput& in) {
    std::vector<TrendInterval> closed;
    std::lock_guard<std::mutex> lock(m_lock);
    m_history.Age(in.wallMs, closed);
    const bool taken = m_ring.Offer(in);
    if (taken) m_history.Fold(m_ring.At(m_ring.Size() - 1), in.wallMs, closed);
    if (!closed.empty()) {
        if (m_closed.capacity() < kClosedCapacity) m_closed.reserve(kClosedCapacity);
        for (const TrendInterval& v : closed) {
            // Nobody takes them: the oldest quarter goes at once, not one by one.
            if (m_closed.size() >= kClosedCapacity)
                m_closed.erase(m_closed.begin(), m_closed.begin() + kClosedCapacity / 4);
            m_closed.push_back(v);
        }
    }
    return taken;
}

void TrendStore::Mark(int64_t wallMs, uint32_t tick, TrendMarkKind kind) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_ring.Mark(tick, kind);
    m_history.Mark(wallMs, kind);
}

void TrendStore::MarkAt(int64_t wallMs, TrendMarkKind kind) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_history.Mark(wallMs, kind);
}

std::vector<TrendInterval> TrendStore::TakeClosed() {
    std::vector<TrendInterval> taken;
    std::lock_guard<std::mutex> lock(m_lock);
    taken.assign(m_closed.begin(), m_closed.end());
    m_closed.clear();
    return taken;
}

void TrendStore::Restore(const std::vector<TrendInterval>& intervals) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_history.Restore(intervals);
}

size_t TrendStore::Bytes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_ring.Bytes() + m_history.Bytes() + m_closed.capacity() * sizeof(TrendInterval);
}

void TrendStore::SetReference(const int32_t (&set)[kTrendChannels], uint8_t autoOn) {
    std::lock_guard<std::mutex> lock(m_lock);
    for (int c = 0; c < kTrendChannels; ++c) m_set[c] = set[c];
    m_autoOn = autoOn;
}

void TrendStore::Reference(int32_t (&set)[kTrendChannels], uint8_t& autoOn) const {
    std::lock_guard<std::mutex> lock(m_lock);
    for (int c = 0; c < kTrendChannels; ++c) set[c] = m_set[c];
    autoOn = m_autoOn;
}

// What the trend samples are taken with: the set gains and auto states.
void PublishTrendReference(const ParameterSet& p, TrendStore& trend) {
    int32_t set[kTrendChannels] = {};
    const int32_t* const gains[kTrendSections] = {p.DtChGain, p.MonoChGain, p.DipoleChGain};
    const int32_t isAuto[kTrendSections] = {p.DtIsAuto, p.MonoIsAuto, p.DipoleIsAuto};
    uint8_t autoOn = 0;
    for (int s = 0; s < kTrendSections; ++s) {
        for (int c = 0; c < kTrendCount[s]; ++c) set[kTrendFirst[s] + c] = gains[s][c];
        if (isAuto[s]) autoOn = static_cast<uint8_t>(autoOn | 1u << s);
    }
    trend.SetReference(set, autoOn);
}

}  // namespace kelvane
