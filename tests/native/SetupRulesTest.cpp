// Set-up files, the load preview, the command journal, the job record and
// the field trace.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/IniRules.h"
#include "core/logic/JobJournal.h"
#include "core/logic/SetupRules.h"
#include "core/logic/TraceRules.h"

using namespace kelvane;

namespace {

ParameterSet Defaults() {
    ParameterSet p{};
    SetDefaultParameters(p, BlockView());
    return p;
}

// Every set-up setting away from its default, each to a value of its own
// that is inside its drive range.
ParameterSet AwayFromDefaults() {
    ParameterSet p = Defaults();
    int32_t k = 0;
    for (const SetupSetting& s : SetupSettings()) {
        unsigned char* at = reinterpret_cast<unsigned char*>(&p) + s.member;
        ++k;
        if (s.unit == SetupUnit::Real) {
            float v;
            std::memcpy(&v, at, 4);
            v += 0.1f * static_cast<float>(k % 4 + 1);
            std::memcpy(at, &v, 4);
            continue;
        }
        int32_t v;
        std::memcpy(&v, at, 4);
        if (s.unit == SetupUnit::OnOff || s.unit == SetupUnit::Check) v = v ? 0 : 1;
        else if (s.unit == SetupUnit::Db && s.member != offsetof(ParameterSet, GainStep)) v = v == k % 60 - 20 ? 1 : k % 60 - 20;
        else v += 1 + k % 3;
        std::memcpy(at, &v, 4);
    }
    p.GainStep = 2;
    p.MonoSampleRate = 12;
    p.DipoleSampleRate = 48;
    p.MonoStackValue = 3;
    p.DipoleStackValue = 2;
    p.MonoWindowsEnd = 4000;
    p.DipoleWindowsEnd = 6000;
    return p;
}

bool SameSettings(const ParameterSet& a, const ParameterSet& b, std::string* which) {
    for (const SetupSetting& s : SetupSettings())
        if (std::memcmp(reinterpret_cast<const unsigned char*>(&a) + s.member,
                        reinterpret_cast<const unsigned char*>(&b) + s.member, 4) != 0) {
            *which = s.key;
            return false;
        }
    return true;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(SetupRules, EverySettingRoundTripsAndShowsInThePreview) {
    const ParameterSet saved = AwayFromDefaults();
    const std::string text = RenderSetup("12in sonic", "2026-12-08 10:00:00", saved);
    SetupFile read;
    std::string why;
    ASSERT_TRUE(ParseSetup(text, Defaults(), read, why)) << why;
    EXPECT_EQ(read.name, "12in sonic");
    EXPECT_EQ(read.saved, "2026-12-08 10:00:00");
    std::string which;
    EXPECT_TRUE(SameSettings(read.values, saved, &which)) << which;
    // One preview row per setting, all of them different.
    const std::vector<SetupChange> rows = DiffSetup(Defaults(), read.values);
    EXPECT_EQ(rows.size(), SetupSettings().size());
    for (size_t i = 0; i < rows.size() && i < SetupSettings().size(); ++i)
        ASSERT_EQ(rows[i].setting, SetupSettings()[i].label) << SetupSettings()[i].key;
    EXPECT_TRUE(DiffSetup(saved, read.values).empty());
    // The settings file's own sections and keys.
    EXPECT_NE(text.find("[MONOPOLE CONTROL]\r\nIsAuto="), std::string::npos);
    EXPECT_NE(text.find("\r\nGain Step=2\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nStackValue=3\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nMono Filter="), std::string::npos);
}

TEST(SetupRules, DamagedFilesAreRefusedNamingTheLineOrKey) {
    const std::string good = RenderSetup("a", "now", AwayFromDefaults());
    struct Case {
        const char* what;
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {"empty", "", "empty: not a set-up"},
        {"the settings file itself", "[GENERAL CONTROL]\r\nGain Step=3\r\n", "not a set-up: it has no [SET-UP]"},
        {"binary", std::string("[SET-UP]\r\nName=a\r\n\0\0", 20), "line 3: holds a zero byte"},
        {"garbage in a gain", Replace(good, "Ch3Gain=", "Ch3Gain=1x"), "key \"Ch3Gain\" of [DT GAIN CONTROL]: \"1x"},
        {"a real that is not one", Replace(good, "Coefficient=", "Coefficient=nan"),
         "key \"Coefficient\" of [ACOUSTIC PROCESS]: \"nan"},
        {"a gain step of 5", Replace(good, "Gain Step=2", "Gain Step=5"), "is not a gain step"},
        {"a key twice", Replace(good, "[DIPOLE CONTROL]\r\n", "[DIPOLE CONTROL]\r\nAllGain=1\r\n"),
         "key \"AllGain\" of [DIPOLE CONTROL]: given twice"},
        {"a key missing", Replace(good, "\r\nFirstWinLength=", "\r\nFirstWinLengthX="),
         "key \"FirstWinLength\" of [DT GAIN CONTROL] is missing"},
        {"a count that is off", Replace(good, "Keys=", "Keys=1"), "[SET-UP END] counts"},
        {"a stray line", Replace(good, "[DT GAIN CONTROL]", "[DT GAIN CONTROL]\r\nhello"),
         "\"hello\" is neither a section, a key nor a comment"},
        {"no Name", Replace(good, "Name=a", "Nom=a"), "has no Name"},
    };
    for (const Case& c : cases) {
        SetupFile out;
        std::string why;
        EXPECT_FALSE(ParseSetup(c.text, Defaults(), out, why)) << c.what;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.what << ": " << why;
    }
    // A file cut anywhere before its last key is refused.
    const size_t whole = good.size() - 2;  // the last line's CRLF may go
    for (size_t cut = 0; cut < whole; ++cut) {
        SetupFile out;
        std::string why;
        ASSERT_FALSE(ParseSetup(good.substr(0, cut), Defaults(), out, why)) << "cut at " << cut;
    }
}

TEST(SetupRules, NamesTheFileSystemCannotHoldOrThatLeaveTheFolder) {
    const struct {
        std::string name;
        bool ok;
    } cases[] = {
        {"12in sonic", true}, {"hole 2.5", true}, {"Job-7_b (x)", true}, {std::string(64, 'a'), true},
        {"", false}, {"   ", false}, {std::string(65, 'a'), false}, {"..\\evil", false}, {"../evil", false},
        {"a/b", false}, {"C:x", false}, {"a*", false}, {"a?", false}, {"\"q\"", false}, {"a|b", false},
        {"a\tb", false}, {" lead", false}, {"trail ", false}, {"dot.", false}, {".hidden", false}, {"..", false},
        {"CON", false}, {"con.txt", false}, {"Nul", false}, {"COM1", false}, {"lpt9.ini", false}, {"COM10", true},
    };
    for (const auto& c : cases) EXPECT_EQ(SetupNameProblem(c.name).empty(), c.ok) << "\"" << c.name << "\"";
}

TEST(SetupRules, PreviewShowsValuesAsSentAndLoadingLimitsThem) {
    const ParameterSet now = Defaults();
    ParameterSet setup = now;
    setup.MonoChGain[2] = 90;
    setup.MonoSampleRate = 12;
    setup.MonoWindowsEnd = 9000;  // above 360 x 12
    const std::vector<SetupChange> rows = DiffSetup(now, setup);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].page, "General Control");
    EXPECT_EQ(rows[0].setting, "Monopole sample interval");
    EXPECT_EQ(rows[1].setting, "CH3 gain");
    EXPECT_EQ(rows[1].now, "0 dB");
    EXPECT_EQ(rows[1].setup, "80 dB (limited from 90)");
    EXPECT_EQ(rows[2].setup, "4320 us (limited from 9000)");
    LimitSetup(setup);
    EXPECT_EQ(setup.MonoChGain[2], 80);
    EXPECT_EQ(setup.MonoWindowsEnd, 4320);
}

TEST(JobJournal, KeepsTheNewestAndSaysHowManyWentAndWhatEachActionWas) {
    JobJournal j(3);
    j.Record({20261208, 1000}, CMD_DT_CH1_GAIN, 12, 12, true);
    j.BeginAction("Send all settings");
    j.BeginAction("DT Download");  // nested: the outer action names it
    j.Record({20261208, 2000}, CMD_MONO_CH3_GAIN, 90, 80, true);
    j.EndAction();
    j.Record({20261208, 3000}, CMD_MONO_AUTO_GAIN, VALUE_ON, VALUE_ON, true);
    j.EndAction();
    j.Record({20261208, 45296789}, CMD_DT_CH1_GAIN, 15, 15, false);
    ASSERT_EQ(j.Size(), 3u);
    EXPECT_EQ(j.Total(), 4u);
    EXPECT_EQ(j.Dropped(), 1u);
    EXPECT_EQ(j.At(0).code, CMD_MONO_CH3_GAIN);
    EXPECT_EQ(j.ActionName(j.At(0).action), "Send all settings");
    EXPECT_EQ(j.ActionName(j.At(2).action), "operator");
    ASSERT_NE(j.LastOf(CMD_DT_CH1_GAIN), nullptr);
    EXPECT_EQ(j.LastOf(CMD_DT_CH1_GAIN)->value, 15);

    std::istringstream csv(JournalCsv(j));
    std::string header, a, b, c;
    std::getline(csv, header);
    std::getline(csv, a);
    std::getline(csv, b);
    std::getline(csv, c);
    EXPECT_EQ(header, "time,page,action,command,code,value,unit,limited,delivered\r");
    EXPECT_EQ(a, "2026-12-08 00:00:02.000,Monopole,Send all settings,CMD_MONO_CH3_GAIN,0x8223,80,dB,from 90,yes\r");
    EXPECT_EQ(b, "2026-12-08 00:00:03.000,Monopole,Send all settings,CMD_MONO_AUTO_GAIN,0x822B,on,on/off,no,yes\r");
    EXPECT_EQ(c, "2026-12-08 12:34:56.789,DT,operator,CMD_DT_CH1_GAIN,0x8251,15,dB,no,no\r");
}

TEST(JobJournal, RecordFitsTwoPagesAndNamesEverySettingWithItsLastSend) {
    JobJournal j(2);
    j.Record({20261208, 1000}, CMD_GAIN_STEP_2DB, 0, 0, true);
    j.Record({20261208, 2000}, CMD_MONO_CH3_GAIN, 78, 78, true);
    j.Record({20261207, 3000}, CMD_GAIN_STEP_1DB, 0, 0, true);  // the day before: older than the 2 dB step
    JobRecordInput in;
    in.when = "2026-12-08 12:00:00";
    in.workFolder = "D:\\bench";
    in.version = "1.0.0.0";
    in.settings = Defaults();
    in.dspReport = "No report yet";
    in.dspLines.assign(16, "MASTER PANEL DSP#1: ERROR.");
    in.notices = {"11:00:00 The settings were saved to a copy"};
    const std::string record = FormatJobRecord(in, j);
    std::istringstream lines(record);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_LE(line.size(), 81u) << line;  // 80 and the CR
    }
    EXPECT_LE(count, 2 * 66);
    for (const SetupSetting& s : SetupSettings()) EXPECT_NE(record.find(s.label), std::string::npos) << s.label;
    EXPECT_NE(record.find("Gain step                 3 dB       2 dB at 00:00:01.000"), std::string::npos) << record;
    EXPECT_NE(record.find("CH3 gain                  0 dB       78 dB at 00:00:02.000"), std::string::npos);
    EXPECT_NE(record.find("CH1 gain                  0 dB       not sent since start"), std::string::npos);
    EXPECT_NE(record.find("The oldest 1 were dropped from memory, 2 kept."), std::string::npos);
    EXPECT_NE(record.find("no frame with read-back since start"), std::string::npos);
    EXPECT_NE(record.find("11:00:00 The settings were saved to a copy"), std::string::npos);
}

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
    const uint32_t some[kTraceKinds] = {1, 2, 0, 1, 3};
    EXPECT_EQ(TraceCountsText(some, "D:\\w\\Kelvane.log"),
              "Absorbed since start: 1 exception stopped at the boundary, 2 values limited by the last guard, "
              "1 save that went to the copy, 3 commands lost (no host window).\r\nDetails in D:\\w\\Kelvane.log");
    const uint32_t frames[kTraceKinds] = {0, 0, 4000000000u, 0, 0};
    EXPECT_EQ(TraceCountsText(frames, "L"), "Absorbed since start: 2147483647 unreadable frames.\r\nDetails in L");
}

// The queue is bounded; what does not fit is counted and said; a log that
// could not be written gets the same lines again; what came after a take
// stays for the next one.
TEST(FieldTrace, QueueIsBoundedAndLinesWaitUntilWritten) {
    TraceRecorder r;
    const JournalTime t{20261208, 1000};
    EXPECT_FALSE(r.Due(0, true));
    for (size_t i = 0; i < kTraceQueued + 3; ++i) r.Note(TraceKind::CommandLost, t, ("cmd " + std::to_string(i)).c_str());
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
            if (line.find("more, not itemised") != std::string::npos)
                written += std::stoul(line.substr(more + 2));
            else if (line.find("exception stopped") != std::string::npos)
                ++written;
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
