#include "core/logic/SaveRules.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "KelvaneHost.h"

using namespace kelvane;

namespace {

// When a save falls due: kSettleMs after the last change, never while the
// settings are what the file holds.
TEST(SaveRules, ScheduleWaitsForTheChangesToSettle) {
    const SavedKeys file{{"S", "K", "1"}}, a{{"S", "K", "2"}}, b{{"S", "K", "3"}};
    struct Tick {
        const SavedKeys* current;
        uint32_t ms;
        bool due;
    };
    const struct {
        const char* what;
        std::vector<Tick> ticks;
    } cases[] = {
        {"nothing changed", {{&file, 0, false}, {&file, 60000, false}}},
        {"one change", {{&a, 100, false}, {&a, 2099, false}, {&a, 2100, true}}},
        {"a burst of changes counts from the last",
         {{&a, 0, false}, {&b, 1500, false}, {&b, 3000, false}, {&b, 3500, true}}},
        {"changed back to the file's", {{&a, 0, false}, {&file, 100, false}, {&file, 9000, false}}},
        {"across the tick count's wrap", {{&a, 0xFFFFFF00u, false}, {&a, 0x600, false}, {&a, 0x800, true}}},
    };
    for (const auto& c : cases) {
        SaveSchedule schedule;
        schedule.Written(file);
        for (const Tick& t : c.ticks) EXPECT_EQ(t.due, schedule.Due(*t.current, t.ms)) << c.what << " at " << t.ms;
    }
    SaveSchedule schedule;
    schedule.Written(file);
    EXPECT_FALSE(schedule.Due(a, 0));
    schedule.Written(a);
    EXPECT_FALSE(schedule.Due(a, 5000)) << "due again once written";
    EXPECT_FALSE(schedule.Unwritten(a));
    EXPECT_TRUE(schedule.Unwritten(b));
}

// What the platform's writer makes of a file, as its reader lists it: the
// check that a file written short never replaces a good one relies on it.
TEST(SaveRules, ListingAfterWritesFollowsTheProfileWriter) {
    using Lines = std::vector<std::vector<std::string>>;
    const struct {
        const char* what;
        ProfileListing before;
        SavedKeys writes;
        ProfileListing after;
    } cases[] = {
        {"a new file: sections and keys in write order",
         {},
         {{"GENERAL CONTROL", "Gain Step", "3"},
          {"DT GAIN CONTROL", "IsAuto", "1"},
          {"GENERAL CONTROL", "DT DELAY", "80"}},
         {{"GENERAL CONTROL", "DT GAIN CONTROL"}, Lines{{"Gain Step=3", "DT DELAY=80"}, {"IsAuto=1"}}}},
        {"a key in any case keeps the file's spelling, others stay",
         {{"dt gain control"}, Lines{{"allgain=12", "ch1gain=5"}}},
         {{"DT GAIN CONTROL", "Ch1Gain", "0"}},
         {{"dt gain control"}, Lines{{"allgain=12", "ch1gain=0"}}}},
        {"a key without a value gets one; a missing key goes last",
         {{"S"}, Lines{{"Ch1Gain", "Other=x"}}},
         {{"S", "Ch1Gain", "0"}, {"S", "Ch2Gain", "1"}},
         {{"S"}, Lines{{"Ch1Gain=0", "Other=x", "Ch2Gain=1"}}}},
        {"the first of repeated keys and sections",
         {{"S", "T", "s"}, Lines{{"K=1", "K=2"}, {}}},
         {{"S", "K", "9"}},
         {{"S", "T", "s"}, Lines{{"K=9", "K=2"}, {}}}},
        {"a missing section goes last, the others untouched",
         {{"OTHER"}, Lines{{"Gain Step=9"}}},
         {{"GENERAL CONTROL", "Gain Step", "3"}},
         {{"OTHER", "GENERAL CONTROL"}, Lines{{"Gain Step=9"}, {"Gain Step=3"}}}},
    };
    for (const auto& c : cases) EXPECT_TRUE(ListingAfterWrites(c.before, c.writes) == c.after) << c.what;
}

// Which keys a save writes into a file that other programs share: what the
// session changed since it last read or wrote the file, and what the file
// lacks; never a key only another program changed.
TEST(SaveRules, ASaveWritesWhatTheSessionChanged) {
    using Lines = std::vector<std::vector<std::string>>;
    const ProfileListing read{{"S"}, Lines{{"A=1", "B=2", "C=3"}}};
    const SavedKeys held{{"S", "A", "1"}, {"S", "B", "2"}, {"S", "C", "3"}};
    const SavedKeys changedA{{"S", "A", "7"}, {"S", "B", "2"}, {"S", "C", "3"}};
    const struct {
        const char* what;
        ProfileListing atRead;
        SavedKeys now;
        ProfileListing fileNow;
        SavedKeys writes;
        SavedKeys conflicts;
    } cases[] = {
        {"nothing changed anywhere", read, held, read, {}, {}},
        {"changed here: that key alone", read, changedA, read, {{"S", "A", "7"}}, {}},
        {"changed elsewhere only: the file's text stays", read, held, {{"S"}, Lines{{"A=1", "B=42", "C=3"}}}, {}, {}},
        {"each side a different key", read, changedA, {{"S"}, Lines{{"A=1", "B=42", "C=3"}}}, {{"S", "A", "7"}}, {}},
        {"the same key both sides: ours, the other noted",
         read,
         changedA,
         {{"S"}, Lines{{"A=5", "B=2", "C=3"}}},
         {{"S", "A", "7"}},
         {{"S", "A", "5"}}},
        {"the same value both sides: nothing to write", read, changedA, {{"S"}, Lines{{"A=7", "B=2", "C=3"}}}, {}, {}},
        {"a key the file lacks, or a file gone", read, held, {{"S"}, Lines{{"A=1", "C=3"}}}, {{"S", "B", "2"}}, {}},
        {"no file at all: every key in order", {}, held, {}, held, {}},
        {"the file read otherwise than it loads: written while unchanged",
         {{"S"}, Lines{{"A=01", "B=2", "C=3"}}},
         held,
         {{"S"}, Lines{{"A=01", "B=2", "C=3"}}},
         {{"S", "A", "1"}},
         {}},
        {"...but not over another program's change",
         {{"S"}, Lines{{"A=01", "B=2", "C=3"}}},
         held,
         {{"S"}, Lines{{"A=9", "B=2", "C=3"}}},
         {},
         {}},
        {"no file when read, written elsewhere since: only our change",
         {},
         changedA,
         {{"S"}, Lines{{"A=1", "B=2", "C=3"}}},
         {{"S", "A", "7"}},
         {}},
        {"names without case, blanks trimmed",
         read,
         changedA,
         {{"s"}, Lines{{" a = 1 ", "b=2", "c=3"}}},
         {{"S", "A", "7"}},
         {}},
    };
    for (const auto& c : cases) {
        SaveBasis basis;
        basis.Read(held, c.atRead);
        const SavePlan plan = basis.Plan(c.now, c.fileNow);
        EXPECT_EQ(c.writes, plan.writes) << c.what;
        EXPECT_EQ(c.conflicts, plan.conflicts) << c.what;
    }

    // Once written, the basis is what was written: a later change elsewhere
    // is kept, and an operator change after it is no conflict with our own.
    SaveBasis basis;
    basis.Read(held, read);
    const SavePlan first = basis.Plan(changedA, read);
    basis.Settled(first.settled);
    const ProfileListing written{{"S"}, Lines{{"A=7", "B=2", "C=3"}}};
    EXPECT_TRUE(basis.Plan(changedA, written).writes.empty());
    EXPECT_TRUE(basis.Plan(changedA, {{"S"}, Lines{{"A=8", "B=2", "C=3"}}}).writes.empty());
    const SavedKeys again{{"S", "A", "9"}, {"S", "B", "2"}, {"S", "C", "3"}};
    const SavePlan second = basis.Plan(again, written);
    EXPECT_EQ(SavedKeys{again[0]}, second.writes);
    EXPECT_TRUE(second.conflicts.empty());
}

// The copy's name stands for one settings file; temporary names give their
// process back; both fit wherever the settings file's own name fits.
TEST(SaveRules, CopyAndTemporaryNames) {
    const std::string a = SettingsCopyName("D:\\work\\A\\KelvaneCtrl.ini");
    EXPECT_EQ(a, SettingsCopyName("d:\\WORK\\a\\kelvanectrl.INI")) << "paths compare without case";
    EXPECT_NE(a, SettingsCopyName("D:\\work\\B\\KelvaneCtrl.ini"));
    EXPECT_LE(a.size(), std::strlen(SETTINGS_FILE_NAME));
    for (uint32_t pid : {0u, 4u, 123456u, 0xFFFFFFFFu}) {
        const std::string name = SaveTempName(pid);
        EXPECT_LE(name.size(), std::strlen(SETTINGS_FILE_NAME));
        uint32_t back = 1;
        EXPECT_TRUE(SaveTempProcess(name, &back)) << name;
        EXPECT_EQ(pid, back);
    }
    uint32_t pid = 0;
    for (const char* other : {"KelvaneCtrl.ini", "KC1234567.tmp", "KC12345678.ini", "KC1234567G.tmp", "XX12345678.tmp"})
        EXPECT_FALSE(SaveTempProcess(other, &pid)) << other;
}

}  // namespace
