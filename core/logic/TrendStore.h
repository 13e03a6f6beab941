// The read-back trend's samples for the whole job: the last 30 minutes at
// full rate in a ring, and the whole job reduced to the lowest and highest
// gain per interval (10 s, coarser as the job grows), which the journal
// keeps on disk. Fed from a sampler thread, read by the window's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/logic/ParameterSet.h"

namespace kelvane {

// The twenty channels in snapshot order: DT 1-4, monopole 1-8, dipole 1-8.
constexpr int kTrendChannels = 20;
constexpr int kTrendSections = 3;
constexpr int kTrendFirst[kTrendSections] = {0, 4, 12};
constexpr int kTrendCount[kTrendSections] = {4, 8, 8};

// At most ten samples a second, kept for at most 30 minutes: the ring never
// holds more than kTrendCapacity samples.
constexpr uint32_t kTrendMinSpacingMs = 100;
constexpr uint32_t kTrendKeepMs = 30u * 60u * 1000u;
constexpr size_t kTrendCapacity = kTrendKeepMs / kTrendMinSpacingMs;
constexpr size_t kTrendMarkCapacity = 256;
// No usable frame for as long as the read-back takes to look old: a gap.
constexpr uint32_t kTrendGapMs = 2000;

// The job's history: intervals of kTrendIntervalMs at first; when it holds
// kTrendHistoryCapacity of them, neighbours are merged (the interval
// doubles), so any job length fits.
constexpr uint32_t kTrendIntervalMs = 10000;
constexpr size_t kTrendHistoryCapacity = 16384;  // 45 hours at 10 s
constexpr size_t kTrendHistoryMarkCapacity = 4096;

// One sample. Gains are whole dB; what the tool can apply (-31..80) fits a
// byte, a report beyond -128..127 is kept at that end.
struct TrendSample {
    uint32_t tick;                // when the frame with these words came (ms, wraps)
    int8_t gain[kTrendChannels];  // reported
    int8_t set[kTrendChannels];   // last sent to the tool
    uint8_t autoOn;               // bit s: section s in auto gain
    uint8_t gapBefore;            // no usable frame for kTrendGapMs before it
    uint8_t reduced;              // a history interval's 1: lowest, 2: highest gains (0: a sample)
    uint8_t pad;
};
static_assert(sizeof(TrendSample) == 48, "the ring's size is counted from this");

enum class TrendMarkKind : uint8_t { ToolReset = 0, SendAll = 1, SetupLoad = 2, Health = 3 };
constexpr int kTrendMarkKinds = 4;
// "Tool Reset", "Send all", "Set-up load", "Health flag"
const char* TrendMarkName(TrendMarkKind kind);

struct TrendMark {
    uint32_t tick;
    TrendMarkKind kind;
};

// A mark of the job's history: local wall time, survives restarts.
struct TrendWallMark {
    int64_t wallMs;
    TrendMarkKind kind;
};

// What the sampler hands over at each tick.
struct TrendInput {
    uint32_t now;                  // the tick of this sampler tick
    int64_t wallMs;                // local wall clock at now (ms, any fixed epoch)
    uint32_t usable;               // usable frames counted so far
    uint32_t lastUsableTick;       // when the last of them came
    int32_t gain[kTrendChannels];  // the snapshot now
    int32_t set[kTrendChannels];   // the parameter set's gains now
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
    const TrendMark* Marks() const { return m_marks.data(); }
    // The samples, oldest first, as two runs of memory (the second may be empty).
    const TrendSample* FirstRun(size_t* n) const;
    const TrendSample* SecondRun(size_t* n) const;
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

// The lowest and highest of every channel over an interval of the job.
struct TrendInterval {
    int64_t wallMs;              // the first sample's local wall time
    uint32_t lengthMs;           // to the last sample's (0: one sample)
    int8_t min[kTrendChannels];  // reported
    int8_t max[kTrendChannels];
    int8_t set[kTrendChannels];  // last sent, at the interval's end
    uint8_t autoOn;              // bit s: section s in auto gain at any time of it
    uint8_t gapBefore;           // no usable frame for kTrendGapMs (or a restart) before it
};

// One line of text per interval, tab-free: the journal's field.
std::string TrendIntervalText(const TrendInterval& interval);
// False (out untouched) unless text is whole and every value in range.
bool ParseTrendInterval(const std::string& text, TrendInterval& out);

// The job's intervals, oldest first, and the marks with their wall times.
class TrendHistory {
public:
    // Intervals and marks held at most.
    static constexpr size_t kMaxBytes = kTrendHistoryCapacity * sizeof(TrendInterval) +
                                        kTrendHistoryMarkCapacity * sizeof(TrendWallMark);

    size_t Size() const { return m_intervals.size(); }
    const TrendInterval& At(size_t i) const { return m_intervals[i]; }
    // The interval still gathering samples (none before the first sample).
    bool HasOpen() const { return m_hasOpen; }
    const TrendInterval& Open() const { return m_open; }
    size_t MarkCount() const { return m_marks.size(); }
    const TrendWallMark& MarkAt(size_t i) const { return m_marks[i]; }
    uint32_t IntervalMs() const { return m_intervalMs; }
    // Where the job began (the first interval or mark; the open one's time when alone).
    bool Empty() const { return m_intervals.empty() && !m_hasOpen && m_marks.empty(); }
    int64_t StartMs() const;
    size_t Bytes() const {
        return m_intervals.capacity() * sizeof(TrendInterval) + m_marks.capacity() * sizeof(TrendWallMark);
    }

    // Folds a sample taken at wallMs in; an interval it closes goes to closed.
    void Fold(const TrendSample& s, int64_t wallMs, std::vector<TrendInterval>& closed);
    // Closes the open interval once wallMs is past its end.
    void Age(int64_t wallMs, std::vector<TrendInterval>& closed);
    void Mark(int64_t wallMs, TrendMarkKind kind);
    // Older intervals (from the journal) before the ones held.
    void Restore(const std::vector<TrendInterval>& intervals);

private:
    void CloseOpen(std::vector<TrendInterval>& closed);
    void Push(const TrendInterval& interval);
    void Merge();
    int64_t BucketOf(int64_t wallMs) const;
    std::vector<TrendInterval> m_intervals;
    std::vector<TrendWallMark> m_marks;
    TrendInterval m_open{};
    bool m_hasOpen = false;
    uint32_t m_intervalMs = kTrendIntervalMs;
};

// The ring and the history behind one lock: the sampler offers, the window
// reads. Bytes() never exceeds kMaxBytes (2.3 MB), whatever the job's length.
class TrendStore {
public:
    static constexpr size_t kClosedCapacity = 4096;  // intervals waiting for the journal
    static constexpr size_t kMaxBytes = TrendRing::kMaxBytes + TrendHistory::kMaxBytes +
                                        kClosedCapacity * sizeof(TrendInterval);

    void Open(uint32_t usable);
    bool Offer(const TrendInput& in);
    void Mark(int64_t wallMs, uint32_t tick, TrendMarkKind kind);
    // A mark restored from the journal (no tick: the whole-job view only).
    void MarkAt(int64_t wallMs, TrendMarkKind kind);
    // History intervals closed since the last call, oldest first, for the
    // journal (at most kClosedCapacity: the oldest go when nobody takes them).
    std::vector<TrendInterval> TakeClosed();
    // At load, the job's older history from the journal.
    void Restore(const std::vector<TrendInterval>& intervals);
    template <class F>
    void Read(F f) const {
        std::lock_guard<std::mutex> lock(m_lock);
        f(static_cast<const TrendRing&>(m_ring), static_cast<const TrendHistory&>(m_history));
    }
    size_t Bytes() const;
    // The set gains and the sections in auto gain, as the thread that owns
    // the parameter set last handed them over: what samples are taken with.
    void SetReference(const int32_t (&set)[kTrendChannels], uint8_t autoOn);
    void Reference(int32_t (&set)[kTrendChannels], uint8_t& autoOn) const;

private:
    mutable std::mutex m_lock;
    int32_t m_set[kTrendChannels] = {};
    uint8_t m_autoOn = 0;
    TrendRing m_ring;
    TrendHistory m_history;
    std::vector<TrendInterval> m_closed;
};

// The parameter set's channel gains and auto states as the trend's reference.
void PublishTrendReference(const ParameterSet& p, TrendStore& trend);

}  // namespace kelvane
