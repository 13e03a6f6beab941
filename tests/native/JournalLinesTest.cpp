#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/IniRules.h"
#include "core/logic/JournalLines.h"
#include "core/logic/ToolState.h"

using namespace kelvane;

namespace {

JournalLine Line(int32_t ms, const char* kind, std::vector<std::pair<std::string, std::string>> fields = {}) {
    return JournalLine{{20261209, ms}, kind, std::move(fields)};
}

std::string Text(const std::vector<JournalLine>& lines) {
    std::string text;
    for (const JournalLine& l : lines) text += EncodeJournalLine(l);
    return text;
}

}  // namespace

// Whatever a value holds, a line stays one line and reads back as written.
TEST(JournalLines, RoundTripKeepsEveryValueOnOneLine) {
    const std::string values[] = {"", "plain", "tab\there", "two\r\nlines", "back\\slash\\t", "=", "\xd0\x96\xd0\xb0"};
    for (const std::string& v : values) {
        SCOPED_TRACE(v);
        const std::string text = EncodeJournalLine(Line(45296789, "event", {{"what", v}, {"k=ey", "1"}}));
        EXPECT_EQ(text.find('\n'), text.size() - 1);
        JournalLine back;
        ASSERT_TRUE(DecodeJournalLine(text, back));
        EXPECT_EQ(back.at.date, 20261209);
        EXPECT_EQ(back.at.msOfDay, 45296789);
        EXPECT_EQ(back.kind, "event");
        EXPECT_EQ(back.Get("what"), v);
        EXPECT_EQ(back.GetInt("k_ey"), 1);
    }
}

// A crash, a power cut or a full disk leaves a line cut short, zeros or a
// changed byte: each is passed over, never misread, and the lines around it kept.
TEST(JournalLines, DamagedAndTornLinesAreSkipped) {
    const std::string a = EncodeJournalLine(Line(1000, "load", {{"pid", "7"}}));
    const std::string b = EncodeJournalLine(Line(2000, "cmd", {{"code", "33281"}, {"sent", "12"}}));
    std::string flipped = b;
    flipped[30] = flipped[30] == '1' ? '2' : '1';
    const struct {
        const char* what;
        std::string text;
        size_t lines;
        size_t skipped;
        bool torn;
    } cases[] = {
        {"whole", a + b, 2, 0, false},
        {"last cut short", a + b.substr(0, 20), 1, 1, true},
        {"cut short, then a fresh start", a + b.substr(0, 20) + "\r\n" + b, 2, 1, false},
        {"a byte changed", a + flipped + a, 2, 1, false},
        {"zeros after a power cut", a + std::string(64, '\0'), 1, 1, true},
        {"checksum only", a + "\t#00000000\r\n", 1, 1, false},
        {"empty", "", 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const JournalRead read = ReadJournalText(c.text);
        EXPECT_EQ(read.lines.size(), c.lines);
        EXPECT_EQ(read.skipped, c.skipped);
        EXPECT_EQ(read.tornTail, c.torn);
    }
}

TEST(JournalLines, PartsAndNamesFromTypedText) {
    EXPECT_EQ(JournalPartName("Day 2026-12-09.journal", 1), "Day 2026-12-09.journal");
    EXPECT_EQ(JournalPartName("Day 2026-12-09.journal", 3), "Day 2026-12-09.3.journal");
    EXPECT_EQ(JournalNamePart(" A-12/b:c*? "), "A-12_b_c__");
    EXPECT_EQ(JournalNamePart("well."), "well");
    EXPECT_EQ(JournalNamePart(std::string(60, 'w')).size(), 40u);
}

// One job through two loads in one host process and a host that died: the
// loads are told apart, every command is kept with its action, and the CSV
// marks where each load began.
TEST(JournalLines, ReplayTellsReloadsAndRestartsAndKeepsEveryCommand) {
    JobIdentity id;
    id.well = "A-12";
    id.run = "3";
    id.company = "Acme";
    std::vector<JournalLine> lines = {
        IdentityLine({20261209, 500}, id),
        Line(1000, "load", {{"pid", "40"}, {"version", "1.0.0.0"}}),
        Line(1100, "cmd",
             {{"code", std::to_string(CMD_DT_CH1_GAIN)},
              {"asked", "12"},
              {"sent", "12"},
              {"action", "operator"},
              {"delivered", "1"}}),
        Line(1200, "unload"),
        Line(2000, "load", {{"pid", "40"}, {"version", "1.0.0.0"}}),
        Line(2100, "cmd",
             {{"code", std::to_string(CMD_MONO_CH3_GAIN)},
              {"asked", "90"},
              {"sent", "80"},
              {"action", "Send all settings"},
              {"delivered", "1"}}),
        Line(2200, "event", {{"what", "Frames resumed after 12.0 s"}, {"for", "12000"}}),
        Line(3000, "load", {{"pid", "41"}, {"version", "1.0.0.0"}}),  // no unload before: the host died
        Line(3100, "cmd",
             {{"code", std::to_string(CMD_DT_CH1_GAIN)},
              {"asked", "15"},
              {"sent", "15"},
              {"action", "operator"},
              {"delivered", "0"}}),
        Line(3200, "trend", {{"t", "1"}}),
    };
    JobReplay job;
    job.TakeAll(ReadJournalText(Text(lines)));
    EXPECT_EQ(job.Identity().well, "A-12");
    EXPECT_EQ(job.Identity().company, "Acme");
    ASSERT_EQ(job.Loads().size(), 3u);
    EXPECT_EQ(job.Loads()[0].how, "start");
    EXPECT_EQ(job.Loads()[1].how, "reload");
    EXPECT_FALSE(job.Loads()[1].endedUnseen);
    EXPECT_EQ(job.Loads()[2].how, "host restart");
    EXPECT_TRUE(job.Loads()[2].endedUnseen);
    EXPECT_EQ(job.Commands().Total(), 3u);
    EXPECT_EQ(job.LoadOf(0), 0u);
    EXPECT_EQ(job.LoadOf(1), 1u);
    EXPECT_EQ(job.LoadOf(2), 2u);
    ASSERT_NE(job.Commands().LastOf(CMD_DT_CH1_GAIN), nullptr);
    EXPECT_EQ(job.Commands().LastOf(CMD_DT_CH1_GAIN)->value, 15);
    EXPECT_EQ(job.Commands().ActionName(job.Commands().At(1).action), "Send all settings");
    // Events in time order: the loads, the unload, the stream's.
    ASSERT_EQ(job.Events().size(), 5u);
    EXPECT_EQ(job.Events()[3].forMs, 12000);
    EXPECT_NE(job.Events()[4].text.find("ended without an unload"), std::string::npos);

    const std::string csv = JobCsv(job);
    const size_t start = csv.find(",,plug-in start,");
    const size_t reload = csv.find(",,plug-in reload,");
    const size_t restart = csv.find(",,plug-in host restart,");
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(reload, std::string::npos);
    ASSERT_NE(restart, std::string::npos);
    EXPECT_LT(start, csv.find("CMD_DT_CH1_GAIN"));
    EXPECT_LT(csv.find("CMD_DT_CH1_GAIN"), reload);
    EXPECT_LT(reload, csv.find("CMD_MONO_CH3_GAIN"));
    EXPECT_LT(csv.find("CMD_MONO_CH3_GAIN"), restart);
    EXPECT_NE(csv.find(",from 90,"), std::string::npos) << "limited, with what was asked";
}

// Fed every 100 ms: frames stopping and coming back, and frames without
// readable gains, each told once with how long it lasted.
TEST(JournalLines, StreamEventsAreToldOnceWhenTheyChange) {
    StreamEvents s;
    std::vector<std::string> told;
    std::vector<int64_t> lengths;
    uint32_t frames = 0, usable = 0;
    auto run = [&](uint32_t from, uint32_t to, bool frame, bool readable) {
        for (uint32_t t = from; t < to; t += 100) {
            if (frame) ++frames;
            if (frame && readable) ++usable;
            for (const StreamEvent& e : s.Sample(t, frames, usable)) {
                told.push_back(e.what);
                lengths.push_back(e.forMs);
            }
        }
    };
    run(0, 5000, true, true);        // streaming
    run(5000, 15000, false, false);  // stopped
    run(15000, 20000, true, true);   // back
    run(20000, 25000, true, false);  // frames without readable gains
    run(25000, 26000, true, true);   // fresh again
    ASSERT_EQ(told.size(), 4u) << ::testing::PrintToString(told);
    EXPECT_EQ(told[0], "Frames stopped (none for 2 s)");
    EXPECT_EQ(told[1].rfind("Frames resumed after 10.", 0), 0u) << told[1];
    EXPECT_NEAR(static_cast<double>(lengths[1]), 10000.0, 200.0);
    EXPECT_EQ(told[2], "Read-back stale: frames come without readable gains");
    EXPECT_EQ(told[3], "Read-back fresh again");
    EXPECT_NEAR(static_cast<double>(lengths[3]), 5000.0, 200.0);
}

// The record of a job: who and where on top, names as the window shows
// them, no DSP lines before the tool sent any, every line within 80 columns.
TEST(JournalLines, RecordNamesTheJobAndKeepsItsLayout) {
    JobJournal j;
    JobRecordInput in;
    in.when = "2026-12-09 12:00:00";
    in.job = {{"Company", "Acme"}, {"Well", "A-12"}, {"Run", "3"}};
    in.journalPath = "D:\\work\\Jobs\\2026-12-09 120000 A-12 run 3.journal";
    in.loads = "3 loads of the plug-in: 1 reload, 1 host restart";
    SetDefaultParameters(in.settings, BlockView());
    in.settings.CurveSelect = 0;
    in.dspReport = "No report yet";
    in.notices = {"11:00:00 Two\r\nlines"};
    in.events = {"11:02:00 " + std::string(150, 'x') + " end"};
    const std::string record = FormatJobRecord(in, j);
    EXPECT_NE(record.find("Company      Acme\r\nWell         A-12\r\nRun          3\r\n"), std::string::npos) << record;
    EXPECT_NE(record.find("Loads        3 loads of the plug-in: 1 reload, 1 host restart"), std::string::npos);
    EXPECT_NE(record.find("First Wave Pick"), std::string::npos);
    EXPECT_NE(record.find("DSP STATUS (no report yet)"), std::string::npos);
    EXPECT_EQ(record.find("ERROR."), std::string::npos);
    EXPECT_NE(record.find("11:00:00 Two  lines"), std::string::npos);
    EXPECT_NE(record.find(" end\r\n"), std::string::npos) << "a long line wraps, nothing is cut";
    size_t start = 0;
    while (start < record.size()) {
        const size_t end = record.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 80u) << record.substr(start, end - start);
        start = end + 2;
    }
    JobRecordInput none = in;
    none.job.clear();
    EXPECT_NE(FormatJobRecord(none, j).find("Job          not identified"), std::string::npos);
}

// What the tool holds from the commands it last took: switches and filters
// as on/off, the latest of the three gain step commands, the DT window's
// length from the end sent and the start; Send all's preview lists what
// differs or is not known, never the gain step or an ALL gain.
TEST(ToolState, HoldsWhatWasLastSentAndSendAllListsWhatDiffers) {
    ParameterSet base{};
    SetDefaultParameters(base, BlockView());
    base.MonoStackValue = 1;
    base.MonoIsAuto = 0;
    base.DtFirstStartTime = 200;
    const std::map<int32_t, SentValue> sent = {
        {CMD_MONO_STACK, {3, {20261208, 1000}, false}},
        {CMD_MONO_AUTO_GAIN, {VALUE_ON, {20261209, 2000}, true}},
        {CMD_GAIN_STEP_3DB, {0, {20261209, 3000}, true}},
        {CMD_GAIN_STEP_1DB, {0, {20261209, 4000}, true}},  // the latest
        {CMD_DT_WIN_END, {1400, {20261209, 5000}, true}},
        {CMD_MONO_ALL_GAIN, {30, {20261209, 6000}, true}},
    };
    const ToolView tool = ToolHolds(base, [&](int32_t code, SentValue* v) {
        const auto it = sent.find(code);
        if (it == sent.end()) return false;
        *v = it->second;
        return true;
    });
    EXPECT_EQ(tool.values.MonoStackValue, 3);
    EXPECT_EQ(tool.values.MonoIsAuto, 1);
    EXPECT_EQ(tool.values.GainStep, 1);
    EXPECT_EQ(tool.values.DtFirstWinLength, 1200);
    const std::vector<SetupChange> rows = DiffSendAll(base, tool, 20261209);
    auto find = [&](const std::string& page, const std::string& setting) -> const SetupChange* {
        for (const SetupChange& r : rows)
            if (r.page == page && r.setting == setting) return &r;
        return nullptr;
    };
    const SetupChange* stack = find("Monopole Control/Full wave", "Stack");
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->now, "3, sent 2026-12-08 00:00:01 before the reload");
    EXPECT_EQ(stack->setup, "1");
    const SetupChange* autoGain = find("Monopole Control/Full wave", "Auto gain");
    ASSERT_NE(autoGain, nullptr);
    EXPECT_EQ(autoGain->now, "on, sent 00:00:02");
    const SetupChange* ch1 = find("Dipole Control/Full wave", "CH1 gain");
    ASSERT_NE(ch1, nullptr);
    EXPECT_EQ(ch1->now, "not known");
    EXPECT_EQ(find("General Control", "Gain step"), nullptr);
    EXPECT_EQ(find("Monopole Control/Full wave", "ALL gain"), nullptr);
}
