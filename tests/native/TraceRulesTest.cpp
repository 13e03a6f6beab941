// The field trace: its lines, its bound, its counts and its queue.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/TraceRules.h"

using namespace kelvane;

namespace {

// Each line of a take's text, without its CR LF.
std::vector<std::string> TraceLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

}  // namespace

TEST(FieldTrace, LinesAreOneEventEachWithTimePidAndKind) {
    const JournalTime t{20261208, 45296789};
    struct Case {
        TraceKind kind;
        std::string detail;
        std::string line;
    } cases[] = {
        {TraceKind::BoundaryException, "std::bad_alloc",
         "2026-12-08 12:34:56.789 pid 4242 exception stopped: std::bad_alloc"},
        {TraceKind::LastGuardLimit, "Monopole stack 0, sent as 1",
         "2026-12-08 12:34:56.789 pid 4242 last guard limited: Monopole stack 0, sent as 1"},
        {TraceKind::SaveFallback, "Not saved.\r\nKept in\tD:\\KC.ini",  // line ends inside: still one line
         "2026-12-08 12:34:56.789 pid 4242 save fell back: Not saved.  Kept in D:\\KC.ini"},
        {TraceKind::CommandLost, "", "2026-12-08 12:34:56.789 pid 4242 command lost: "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatTraceLine(t, 4242, c.kind, c.detail.c_str()), c.line + "\r\n");
    }
    const std::string longDetail(3 * kTraceDetailChars, 'x');
    const std::string cut = FormatTraceLine(t, 1, TraceKind::BoundaryException, longDetail.c_str());
    EXPECT_EQ(cut.substr(cut.size() - 2), "\r\n");
    EXPECT_EQ(cut.substr(cut.find(": ") + 2), std::string(kTraceDetailChars, 'x') + "\r\n");

    ToolCommand asked{}, sent{};
    asked.CodeWord = sent.CodeWord = CMD_MONO_STACK;
    asked.ArgWord = sent.ArgWord = ARG_VALUE;
    sent.Payload[0] = 1;
    EXPECT_EQ(TraceCommandDetail(asked, sent), "Monopole stack 0, sent as 1");
    EXPECT_EQ(TraceCommandDetail(sent, sent), "Monopole stack 1");
}

TEST(FieldTrace, LogPassesToTheOlderGenerationAtItsBound) {
    struct Case {
        uint64_t size;
        size_t adding;
        bool rotates;
    } cases[] = {
        {0, 0, false},
        {0, 10 * kTraceBoundBytes, false},  // an empty log takes any line whole
        {1, 10 * kTraceBoundBytes, true},
        {kTraceBoundBytes - 100, 100, false},  // exactly full
        {kTraceBoundBytes - 100, 101, true},
        {kTraceBoundBytes, 0, true},
        {kTraceBoundBytes + 5000, 1, true},  // another writer went past it
        {UINT64_MAX, SIZE_MAX, true},
    };
    for (const Case& c : cases) EXPECT_EQ(TraceRotates(c.size, c.adding), c.rotates) << c.size << " + " << c.adding;
}

TEST(FieldTrace, CountsSayWhatWasAbsorbedSinceStart) {
    const uint32_t none[kTraceKinds] = {};
    EXPECT_EQ(TraceCountsText(none, "D:\\w\\Kelvane.log"), "");
    const uint32_t some[kTraceKinds] = {1, 2, 0, 1, 3, 0};
    EXPECT_EQ(TraceCountsText(some, "D:\\w\\Kelvane.log"),
              "Absorbed since start: 1 exception stopped at the boundary, 2 values limited by the last guard, "
              "1 save that went to the copy, 3 commands lost (no host window).\r\nDetails in D:\\w\\Kelvane.log");
    const uint32_t frames[kTraceKinds] = {0, 0, 4000000000u, 0, 0, 0};
    EXPECT_EQ(TraceCountsText(frames, "L"), "Absorbed since start: 2147483647 unreadable frames.\r\nDetails in L");
}

// The queue is bounded; what does not fit is counted and said; a log that
// could not be written gets the same lines again; what came after a take
// stays for the next one.
TEST(FieldTrace, QueueIsBoundedAndLinesWaitUntilWritten) {
    TraceRecorder r;
    const JournalTime t{20261208, 1000};
    EXPECT_FALSE(r.Due(0, true));
    for (size_t i = 0; i < kTraceQueued + 3; ++i)
        r.Note(TraceKind::CommandLost, t, ("cmd " + std::to_string(i)).c_str());
    r.Note(TraceKind::LastGuardLimit, t, "late");
    uint32_t counts[kTraceKinds];
    r.Counts(counts);
    EXPECT_EQ(counts[static_cast<int>(TraceKind::CommandLost)], kTraceQueued + 3);
    EXPECT_EQ(counts[static_cast<int>(TraceKind::LastGuardLimit)], 1u);

    TraceRecorder::Take first = r.Lines(t, 0, 7, false);
    std::vector<std::string> lines = TraceLines(first.text);
    ASSERT_EQ(lines.size(), kTraceQueued + 2);
    EXPECT_EQ(lines.front(), "2026-12-08 00:00:01.000 pid 7 command lost: cmd 0");
    EXPECT_EQ(lines[kTraceQueued], "2026-12-08 00:00:01.000 pid 7 last guard limited: 1 more, not itemised");
    EXPECT_EQ(lines[kTraceQueued + 1], "2026-12-08 00:00:01.000 pid 7 command lost: 3 more, not itemised");
    EXPECT_EQ(r.Lines(t, 0, 7, false).text, first.text) << "not written: offered again";

    r.Note(TraceKind::SaveFallback, t, "queue still full");
    r.Commit(first, 0);
    r.Note(TraceKind::SaveFallback, t, "after the take");
    lines = TraceLines(r.Lines(t, 0, 7, false).text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "2026-12-08 00:00:01.000 pid 7 save fell back: after the take");
    EXPECT_EQ(lines[1], "2026-12-08 00:00:01.000 pid 7 save fell back: 1 more, not itemised");
    r.Commit(r.Lines(t, 0, 7, false), 0);
    EXPECT_FALSE(r.Due(0, true));
}

// Unreadable frames are only counted where they happen; a line sums them at
// most once a minute (at once the first time, and when forced at unload).
TEST(FieldTrace, UnreadableFramesAreSummedAtMostOnceAMinute) {
    TraceRecorder r;
    const JournalTime t{20261208, 0};
    for (int i = 0; i < 5; ++i) r.CountUnreadableFrame();
    auto frameLines = [&](uint32_t tick, bool force) {
        TraceRecorder::Take take = r.Lines(t, tick, 1, force);
        r.Commit(take, tick);
        return TraceLines(take.text);
    };
    std::vector<std::string> lines = frameLines(1000, false);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("unreadable frames: 5 skipped"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("(5 since start)"), std::string::npos) << lines[0];
    r.CountUnreadableFrame();
    r.CountUnreadableFrame();
    EXPECT_FALSE(r.Due(1000 + kFrameLineEveryMs - 1, false));
    EXPECT_TRUE(r.Due(1000 + kFrameLineEveryMs, false));
    EXPECT_TRUE(r.Due(2000, true));
    lines = frameLines(2000, true);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("2 skipped, their read-back words not readable (7 since start)"), std::string::npos);
    EXPECT_FALSE(r.Due(UINT32_MAX, true)) << "nothing new";
    // The tick wraps after 49.7 days: still a minute later, not never.
    r.CountUnreadableFrame();
    EXPECT_TRUE(r.Due(2000 + kFrameLineEveryMs, false));
}

// Noters on several threads (the frame thread among them) while the writer
// takes and commits: every event is counted, and each is written once,
// itemised or as part of a "more" line.
TEST(FieldTrace, NotingFromManyThreadsLosesNoCount) {
    TraceRecorder r;
    const JournalTime t{20261208, 0};
    constexpr int kThreads = 4, kEach = 2000;
    std::vector<std::thread> noters;
    noters.reserve(kThreads);
    for (int n = 0; n < kThreads; ++n)
        noters.emplace_back([&r, &t, n] {
            for (int i = 0; i < kEach; ++i) {
                if (n == 0) r.CountUnreadableFrame();
                else r.Note(TraceKind::BoundaryException, t, "thrown");
            }
        });
    uint64_t written = 0;
    auto take = [&](bool force) {
        TraceRecorder::Take tk = r.Lines(t, 0, 1, force);
        for (const std::string& line : TraceLines(tk.text)) {
            const size_t more = line.find(": ");
            if (line.find("more, not itemised") != std::string::npos) written += std::stoul(line.substr(more + 2));
            else if (line.find("exception stopped") != std::string::npos) ++written;
        }
        r.Commit(tk, 0);
    };
    for (int i = 0; i < 200; ++i) take(false);
    for (std::thread& th : noters) th.join();
    take(true);
    uint32_t counts[kTraceKinds];
    r.Counts(counts);
    EXPECT_EQ(counts[static_cast<int>(TraceKind::BoundaryException)], uint32_t{(kThreads - 1) * kEach});
    EXPECT_EQ(counts[static_cast<int>(TraceKind::UnreadableFrame)], uint32_t{kEach});
    EXPECT_EQ(written, uint64_t{(kThreads - 1) * kEach});
    EXPECT_FALSE(r.Due(0, true));
}
