// Job set-ups and the job record through the real DLL: the File menu's
// dialogs answered as an operator answers them.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "HostHarness.h"
#include "Operator.h"
#include "resource.h"
#include "TestSupport.h"

using namespace kelvane;
using namespace kelvane::testsupport;
using harness::CodeValue;
using harness::HostHarness;
using harness::IniValue;
using harness::Operator;

namespace {

// Every key of the settings file away from its default (one-decimal reals,
// which the settings file writes as the set-up does).
const char kEveryKey[] =
    "[GENERAL CONTROL]\r\nGain Step=2\r\nDT DELAY=120\r\nDT DELAY STEP=5\r\nDT SAMPLERATE=16\r\nMono DELAY=200\r\n"
    "Mono DELAY STEP=10\r\nMono SAMPLERATE=12\r\nDipole DELAY=400\r\nDipole DELAY STEP=20\r\nDipole SAMPLERATE=48\r\n"
    "[DT GAIN CONTROL]\r\nIsAuto=0\r\nCh1Gain=4\r\nCh2Gain=6\r\nCh3Gain=8\r\nCh4Gain=10\r\nFirstStartTime=400\r\n"
    "FirstWinLength=800\r\nTotal Offset=50\r\n"
    "[MONOPOLE CONTROL]\r\nIsAuto=0\r\nCh1Gain=2\r\nCh2Gain=4\r\nCh3Gain=6\r\nCh4Gain=8\r\nCh5Gain=10\r\n"
    "Ch6Gain=12\r\nCh7Gain=14\r\nCh8Gain=16\r\nAllGain=12\r\n"
    "[DIPOLE CONTROL]\r\nIsAuto=0\r\nCh1Gain=-2\r\nCh2Gain=-4\r\nCh3Gain=-6\r\nCh4Gain=-8\r\nCh5Gain=20\r\n"
    "Ch6Gain=22\r\nCh7Gain=24\r\nCh8Gain=26\r\nAllGain=-8\r\n"
    "[ACOUSTIC PROCESS]\r\nT01R1Start=200\r\nT01R2Start=208\r\nT01R3Start=216\r\nT01R4Start=224\r\n"
    "ThresholdMin1=0.5\r\nThresholdMin2=0.6\r\nThresholdMin3=0.7\r\nThresholdMin4=0.8\r\nDtMin=50\r\nDtMax=170\r\n"
    "CorWinLength=300\r\nCoefficient=1.5\r\nThresholdFactor=0.4\r\nSearchWinLength=600\r\nFilterType=2\r\n"
    "HighCut=5000\r\nLowCut=500\r\n";

// Set-ups of an earlier run go: every test starts without any.
void ClearSetups(const std::string& folder) {
    const std::wstring setups = harness::WideOfUtf8(folder + "\\Setups\\");
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((setups + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((setups + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

class SetupTest : public ::testing::Test {
protected:
    HostHarness host;
    void SetUp() override {
        ClearSetups(TestFolder());
        ClearSetups(TestFolder() + "-fresh");
        host.PrepareWorkFolder(TestFolder());
    }
    std::string SetupPath(const std::string& name) const { return host.WorkFolder() + "\\Setups\\" + name + ".ini"; }
};

void PutFile(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

int32_t BlockInt(const char* name, size_t size, size_t offset) {
    unsigned char block[76] = {};
    if (!harness::ReadBlock(name, block, size)) return INT32_MIN;
    int32_t v;
    std::memcpy(&v, block + offset, 4);
    return v;
}

// The CSV journal's commands: code and value of each line after the header.
std::vector<CodeValue> JournalCommands(const std::string& csv) {
    std::vector<CodeValue> out;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        // time,page,action,command,code,value,...: the action may be quoted.
        std::vector<std::string> f(1);
        bool quoted = false;
        for (char c : line) {
            if (c == '"') quoted = !quoted;
            else if (c == ',' && !quoted) f.emplace_back();
            else f.back() += c;
        }
        if (f.size() < 6 || f[4].empty()) continue;  // a row where the plug-in was loaded
        const int32_t value = f[5] == "on" ? VALUE_ON : f[5] == "off" ? VALUE_OFF : std::atoi(f[5].c_str());
        out.push_back({static_cast<int32_t>(std::strtol(f[4].c_str(), nullptr, 16)), value});
    }
    return out;
}

}  // namespace

TEST_F(SetupTest, SavedSetupRestoresEveryPageAfterARestartAndTheRecordListsEveryCommand) {
    Operator op = harness::OpenOnPage(host, harness::kMonopole, kEveryKey);
    // What the settings file does not keep: stacks, window ends, filters, the curve.
    op.SelectCombo(harness::kMonopole, IDC_MONO_STACK, 2);
    op.TypeAndEnter(harness::kMonopole, IDC_MONO_WIN_END, "3000");
    op.Click(harness::kMonopole, IDC_MONO_FILTER);
    op.SelectCombo(harness::kDipole, IDC_DIP_STACK, 1);
    op.TypeAndEnter(harness::kDipole, IDC_DIP_WIN_END, "9000");
    op.Click(harness::kDipole, IDC_DIP_FILTER);
    op.Click(harness::kDtGain, IDC_DT_FILTER);
    op.SelectCombo(harness::kAcoustic, IDC_AP_CURVE, 1);
    harness::DialogRun saved = harness::SaveSetup(op.Frame(), "every setting");
    EXPECT_TRUE(saved.messages.empty());
    const std::string setup = ReadRaw(SetupPath("every setting"));
    ASSERT_FALSE(setup.empty());

    // A fresh start in a fresh folder: the defaults, and the set-up file.
    harness::TakeCommands(host);
    harness::RestartIn(host, TestFolder() + "-fresh");
    harness::MakeFolders(host.WorkFolder() + "\\Setups");
    PutFile(SetupPath("every setting"), setup);
    op = harness::OpenOnPage(host, harness::kMonopole);
    std::vector<CodeValue> all = harness::TakeCommands(host);
    const std::string startEnd = op.Text(harness::kMonopole, IDC_MONO_WIN_END);

    // The preview names every setting; Cancel sends and changes nothing.
    const harness::DialogRun cancelled = harness::LoadSetup(op.Frame(), "every setting", false);
    EXPECT_TRUE(cancelled.messages.empty());
    EXPECT_EQ(cancelled.previewRows.size(), 63u);
    EXPECT_TRUE(harness::TakeCommands(host).empty());
    EXPECT_EQ(op.Text(harness::kMonopole, IDC_MONO_WIN_END), startEnd);

    const harness::DialogRun loaded = harness::LoadSetup(op.Frame(), "every setting", true);
    EXPECT_TRUE(loaded.messages.empty());
    const std::vector<CodeValue> sent = harness::TakeCommands(host);
    const std::vector<CodeValue> want = {
        {0x8262, 0},    {0x8271, 120},  {0x8272, 5},    {0x8273, 200},  {0x8274, 10}, {0x822E, 12},   {0x8275, 400},
        {0x8276, 20},   {0x823E, 48},   {0x8251, 4},    {0x8252, 6},    {0x8253, 8},  {0x8254, 10},   {0x825C, 0x88},
        {0x825B, 0xFF}, {0x8256, 400},  {0x8257, 1200}, {0x8258, 50},   {0x8221, 2},  {0x8222, 4},    {0x8223, 6},
        {0x8224, 8},    {0x8225, 10},   {0x8226, 12},   {0x8227, 14},   {0x8228, 16}, {0x822D, 0x88}, {0x822A, 3},
        {0x822B, 0xFF}, {0x822C, 3000}, {0x8231, -2},   {0x8232, -4},   {0x8233, -6}, {0x8234, -8},   {0x8235, 20},
        {0x8236, 22},   {0x8237, 24},   {0x8238, 26},   {0x823C, 0x88}, {0x823A, 2},  {0x823B, 0xFF}, {0x823D, 9000},
    };
    EXPECT_EQ(sent, want);
    all.insert(all.end(), sent.begin(), sent.end());

    // Every page shows it, and both blocks hold it.
    EXPECT_EQ(op.Text(harness::kGeneral, IDC_GEN_DT_DELAY), "120");
    EXPECT_TRUE(op.Checked(harness::kGeneral, IDC_GEN_STEP2));
    EXPECT_EQ(op.Text(harness::kDtGain, IDC_DT_CH1), "4");
    EXPECT_TRUE(op.Checked(harness::kDtGain, IDC_DT_FILTER));
    EXPECT_TRUE(op.Checked(harness::kDtGain, IDC_DT_AUTO_OFF));
    EXPECT_EQ(op.Text(harness::kMonopole, IDC_MONO_WIN_END), "3000");
    EXPECT_EQ(op.ComboSel(harness::kMonopole, IDC_MONO_STACK), 2);
    EXPECT_TRUE(op.Checked(harness::kMonopole, IDC_MONO_FILTER));
    EXPECT_EQ(op.Text(harness::kMonopole, IDC_MONO_ALL), "12");
    EXPECT_EQ(op.ComboSel(harness::kDipole, IDC_DIP_STACK), 1);
    EXPECT_EQ(op.Text(harness::kDipole, IDC_DIP_WIN_END), "9000");
    EXPECT_EQ(op.ComboSel(harness::kAcoustic, IDC_AP_CURVE), 1);
    EXPECT_EQ(op.Text(harness::kAcoustic, IDC_AP_DT_MIN), "50");
    EXPECT_NE(op.StripText(2).find("Set-up \"every setting\" loaded: 42 commands sent"), std::string::npos)
        << op.StripText(2);
    EXPECT_EQ(BlockInt(TOOL_CONTROL_BLOCK_NAME, sizeof(ToolControlPara), offsetof(ToolControlPara, MonoWinEnd)), 3000);
    EXPECT_EQ(BlockInt(TOOL_CONTROL_BLOCK_NAME, sizeof(ToolControlPara), offsetof(ToolControlPara, DipoleWinEnd)),
              9000);
    EXPECT_EQ(BlockInt(TOOL_CONTROL_BLOCK_NAME, sizeof(ToolControlPara), offsetof(ToolControlPara, DtWinEnd) + 4),
              1250);
    EXPECT_EQ(BlockInt(PROCESS_BLOCK_NAME, sizeof(ProcessPara), offsetof(ProcessPara, CorWinLength)), 300);
    EXPECT_EQ(BlockInt(PROCESS_BLOCK_NAME, sizeof(ProcessPara), offsetof(ProcessPara, CurveSelect)), 1);

    // The job record's journal is the host's, command for command.
    const std::string record = host.WorkFolder() + "\\record.txt";
    DeleteFileA(record.c_str());
    DeleteFileA((host.WorkFolder() + "\\record.csv").c_str());
    EXPECT_TRUE(harness::SaveJobRecord(op.Frame(), record).messages.empty());
    EXPECT_EQ(JournalCommands(ReadRaw(host.WorkFolder() + "\\record.csv")), all);
    EXPECT_NE(ReadRaw(record).find("every setting (loaded "), std::string::npos);

    // The parameter set: what the settings file is given at unload.
    host.Unload();
    const std::string ini = host.ReadIni();
    std::istringstream lines(setup);
    std::string line, section;
    int compared = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') section = line.substr(1, line.size() - 2);
        const size_t eq = line.find('=');
        if (eq == std::string::npos || section.rfind("SET-UP", 0) == 0) continue;
        EXPECT_EQ(IniValue(ini, section, line.substr(0, eq)), line.substr(eq + 1)) << section << " " << line;
        ++compared;
    }
    EXPECT_EQ(compared, 59);
}

TEST_F(SetupTest, DamagedSetupFilesChangeNothingAndSayWhy) {
    Operator op = harness::OpenOnPage(host, harness::kMonopole);
    const std::string startEnd = op.Text(harness::kMonopole, IDC_MONO_WIN_END);
    ASSERT_TRUE(harness::SaveSetup(op.Frame(), "good").messages.empty());
    const std::string good = ReadRaw(SetupPath("good"));
    ASSERT_FALSE(good.empty());
    const size_t at = good.find("Ch3Gain=");
    const struct {
        const char* name;
        std::string text;
        const char* why;
    } cases[] = {
        {"empty", "", "the file is empty"},
        {"settings", kEveryKey, "not a set-up"},
        {"garbage", good.substr(0, at) + "Ch3Gain=1x2" + good.substr(good.find("\r\n", at)), "\"Ch3Gain\""},
        {"truncated", good.substr(0, good.size() / 2), "cut short"},
    };
    harness::TakeCommands(host);
    for (const auto& c : cases) {
        PutFile(SetupPath(c.name), c.text);
        const harness::DialogRun run = harness::LoadSetup(op.Frame(), c.name, true);
        ASSERT_EQ(run.messages.size(), 1u) << c.name;
        EXPECT_NE(run.messages[0].find("Setups\\" + std::string(c.name) + ".ini"), std::string::npos)
            << run.messages[0];
        EXPECT_NE(run.messages[0].find(c.why), std::string::npos) << run.messages[0];
        EXPECT_TRUE(run.previewRows.empty()) << c.name;
    }
    // Locked by another program, and gone between the list and the load.
    PutFile(SetupPath("locked"), good);
    HANDLE lock = CreateFileA(SetupPath("locked").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    harness::DialogRun run = harness::LoadSetup(op.Frame(), "locked", true);
    CloseHandle(lock);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_NE(run.messages[0].find("locked"), std::string::npos) << run.messages[0];
    PutFile(SetupPath("gone"), good);
    run = harness::RunWithDialogs([&] { SendMessageA(op.Frame(), WM_COMMAND, ID_FILE_LOAD_SETUP, 0); },
                                  [&](HWND dialog, const std::string&) {
                                      if (harness::ChooseListRow(dialog, IDC_SETUP_LIST, "gone"))
                                          DeleteFileA(SetupPath("gone").c_str());
                                      harness::PushDialogButton(dialog,
                                                                GetDlgItem(dialog, IDC_SETUP_LIST) ? IDOK : IDCANCEL);
                                  });
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_NE(run.messages[0].find("missing"), std::string::npos) << run.messages[0];
    EXPECT_TRUE(harness::TakeCommands(host).empty());
    EXPECT_EQ(op.Text(harness::kMonopole, IDC_MONO_WIN_END), startEnd);
}

// A hand-edited set-up: what it holds out of range goes out limited, the
// preview says so, and the pages and blocks hold what was sent.
TEST_F(SetupTest, OutOfRangeValuesAreLimitedBeforeThePreviewAndTheLoad) {
    Operator op = harness::OpenOnPage(host, harness::kAcoustic);
    ASSERT_TRUE(harness::SaveSetup(op.Frame(), "edited").messages.empty());
    std::string text = ReadRaw(SetupPath("edited"));
    const struct {
        const char* key;
        const char* value;
        const char* setting;
        const char* shown;
    } edits[] = {
        {"FirstWinLength=", "99999", "Window length", "3000 us (limited from 99999)"},
        {"FilterType=", "7", "Filter type", "2 (limited from 7)"},
        {"Curve Select=", "9", "DT curve", "1 (limited from 9)"},
    };
    for (const auto& e : edits) {
        const size_t at = text.find(std::string("\n") + e.key);
        ASSERT_NE(at, std::string::npos) << e.key;
        const size_t from = at + 1 + std::strlen(e.key);
        text.replace(from, text.find('\r', from) - from, e.value);
    }
    PutFile(SetupPath("edited"), text);
    harness::TakeCommands(host);

    const harness::DialogRun run = harness::LoadSetup(op.Frame(), "edited", true);
    EXPECT_TRUE(run.messages.empty());
    ASSERT_EQ(run.previewRows.size(), std::size(edits));
    for (size_t i = 0; i < std::size(edits); ++i) {
        EXPECT_EQ(run.previewRows[i][1], edits[i].setting);
        EXPECT_EQ(run.previewRows[i][3], edits[i].shown);
    }
    int32_t windowEnd = 0;
    for (const CodeValue& c : harness::TakeCommands(host))
        if (c.code == CMD_DT_WIN_END) windowEnd = c.value;
    EXPECT_EQ(windowEnd, 3200);
    EXPECT_EQ(BlockInt(TOOL_CONTROL_BLOCK_NAME, sizeof(ToolControlPara), offsetof(ToolControlPara, DtWinEnd)), 3200);
    EXPECT_EQ(BlockInt(PROCESS_BLOCK_NAME, sizeof(ProcessPara), offsetof(ProcessPara, CurveSelect)), 1);
    EXPECT_EQ(BlockInt(PROCESS_BLOCK_NAME, sizeof(ProcessPara), offsetof(ProcessPara, FilterType)), 2);
    EXPECT_EQ(op.ComboSel(harness::kAcoustic, IDC_AP_CURVE), 1);
    EXPECT_EQ(op.ComboSel(harness::kAcoustic, IDC_AP_FILTER_TYPE), 2);
    EXPECT_EQ(op.Text(harness::kDtGain, IDC_DT_WIN_LENGTH_VALUE), "3000");
}

TEST_F(SetupTest, NamesThatCannotBeFilesOrLeaveTheFolderAreRefused) {
    Operator op = harness::OpenOnPage(host, harness::kGeneral);
    const struct {
        const char* name;
        const char* why;
    } cases[] = {
        {"..\\escape", "cannot hold"},  {"a/b", "cannot hold"},
        {"what?", "cannot hold"},       {"CON", "device name"},
        {"COM0", "device name"},        {"LPT0.txt", "device name"},
        {"COM\xC2\xB9", "device name"}, {"lpt\xC2\xB3.ini", "device name"},
        {"CONOUT$", "device name"},     {"conin$.log", "device name"},
    };
    for (const auto& c : cases) {
        const harness::DialogRun run = harness::SaveSetup(op.Frame(), c.name);
        ASSERT_EQ(run.messages.size(), 1u) << c.name;
        EXPECT_NE(run.messages[0].find("cannot be a set-up's name"), std::string::npos) << run.messages[0];
        EXPECT_NE(run.messages[0].find(c.why), std::string::npos) << run.messages[0];
        EXPECT_NE(run.messages[0].find(std::string("\"") + c.name + "\""), std::string::npos) << run.messages[0];
    }
    EXPECT_FALSE(IsFile(host.WorkFolder() + "\\escape.ini"));
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((host.WorkFolder() + "\\Setups\\*.ini").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// A name in another script is the file's name and the list's, whatever the
// host's code page.
TEST_F(SetupTest, ACyrillicNameIsSavedListedAndLoadedAsItIs) {
    Operator op = harness::OpenOnPage(host, harness::kGeneral);
    const std::string name = "\xD0\xA1\xD0\xBA\xD0\xB2\xD0\xB0\xD0\xB6\xD0\xB8\xD0\xBD\xD0\xB0 12";  // "Скважина 12"
    const harness::DialogRun saved = harness::SaveSetup(op.Frame(), name);
    EXPECT_TRUE(saved.messages.empty()) << saved.messages[0];
    const std::wstring path = std::wstring(harness::WideOfUtf8(SetupPath(name)));
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    std::vector<std::string> listed;
    const harness::DialogRun loaded = harness::RunWithDialogs(
        [&] { SendMessageA(op.Frame(), WM_COMMAND, ID_FILE_LOAD_SETUP, 0); },
        [&](HWND dialog, const std::string&) {
            if (GetDlgItem(dialog, IDC_SETUP_LIST)) {
                for (const auto& row : harness::ListRows(dialog, IDC_SETUP_LIST)) listed.push_back(row[0]);
                harness::PushDialogButton(dialog,
                                          harness::ChooseListRow(dialog, IDC_SETUP_LIST, name) ? IDOK : IDCANCEL);
            } else {
                harness::PushDialogButton(dialog, IDOK);
            }
        });
    EXPECT_TRUE(loaded.messages.empty()) << loaded.messages[0];
    EXPECT_EQ(listed, std::vector<std::string>{name});
    EXPECT_NE(op.StripText(2).find("loaded"), std::string::npos) << op.StripText(2);
}

// The list shows its names at once and reads the files on another thread:
// a file another program holds shows as "in use" while the list is already
// up, and its details come once it is free. Large files read there too.
TEST_F(SetupTest, TheListShowsAtOnceAndAHeldFileAsInUse) {
    Operator op = harness::OpenOnPage(host, harness::kGeneral);
    ASSERT_TRUE(harness::SaveSetup(op.Frame(), "held").messages.empty());
    const std::string good = ReadRaw(SetupPath("held"));
    std::string large = good;
    while (large.size() < 60 * 1024) large.insert(good.find("[GENERAL"), "; " + std::string(77, '-') + "\r\n");
    for (const char* name : {"large 1", "large 2", "large 3"}) PutFile(SetupPath(name), large);
    HANDLE lock = CreateFileA(SetupPath("held").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    auto summaryOf = [](HWND dialog, const std::string& name) {
        for (const auto& row : harness::ListRows(dialog, IDC_SETUP_LIST))
            if (row[0] == name) return row[2];
        return std::string();
    };
    auto waitFor = [&](HWND dialog, const std::string& name, const char* text) {
        for (int i = 0; i < 500 && summaryOf(dialog, name).find(text) == std::string::npos; ++i) {
            Operator::Pump();
            Sleep(10);
        }
        return summaryOf(dialog, name);
    };
    std::string heldWhileHeld, heldAfter, largeSummary;
    harness::RunWithDialogs([&] { SendMessageA(op.Frame(), WM_COMMAND, ID_FILE_LOAD_SETUP, 0); },
                            [&](HWND dialog, const std::string&) {
                                if (!GetDlgItem(dialog, IDC_SETUP_LIST)) return;
                                heldWhileHeld = waitFor(dialog, "held", "in use");
                                CloseHandle(lock);
                                lock = INVALID_HANDLE_VALUE;
                                heldAfter = waitFor(dialog, "held", "Step ");
                                largeSummary = waitFor(dialog, "large 3", "Step ");
                                harness::PushDialogButton(dialog, IDCANCEL);
                            });
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    EXPECT_NE(heldWhileHeld.find("in use"), std::string::npos) << heldWhileHeld;
    EXPECT_EQ(heldAfter.rfind("Step ", 0), 0u) << heldAfter;
    EXPECT_EQ(largeSummary.rfind("Step ", 0), 0u) << largeSummary;
}

// The record never replaces a file unasked (No keeps it byte for byte, the
// settings file too) and writes both its files or neither.
TEST_F(SetupTest, TheRecordAsksBeforeReplacingAndWritesBothFilesOrNeither) {
    Operator op = harness::OpenOnPage(host, harness::kGeneral);
    const std::string dir = host.WorkFolder() + "\\records";
    harness::MakeFolders(dir);
    for (const char* f :
         {"\\kept.txt", "\\kept.csv", "\\folder.txt", "\\ro.txt", "\\ro.csv", "\\KelvaneCtrl.ini.csv"}) {
        SetFileAttributesA((dir + f).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((dir + f).c_str());
    }
    RemoveDirectoryA((dir + "\\folder.csv").c_str());
    PutFile(dir + "\\kept.txt", "another program's report");
    PutFile(dir + "\\kept.csv", "another program's table");
    host.Unload();  // the settings file as it is now stays so
    op = harness::OpenOnPage(host, harness::kGeneral);
    const std::string ini = ReadRaw(host.IniPath());
    ASSERT_FALSE(ini.empty());

    // Asked, and No: nothing changes.
    const struct {
        std::string path;
        const char* asked;
    } kept[] = {
        {dir + "\\kept.txt", " exist. Replace them?"},
        {host.IniPath(), " exists. Replace it?"},
    };
    for (const auto& k : kept) {
        const harness::DialogRun run = harness::SaveJobRecord(op.Frame(), k.path, false);
        ASSERT_EQ(run.messages.size(), 1u) << k.path;
        EXPECT_NE(run.messages[0].find("\"" + k.path + "\""), std::string::npos) << run.messages[0];
        EXPECT_NE(run.messages[0].find(k.asked), std::string::npos) << run.messages[0];
    }
    EXPECT_EQ(ReadRaw(dir + "\\kept.txt"), "another program's report");
    EXPECT_EQ(ReadRaw(dir + "\\kept.csv"), "another program's table");
    EXPECT_EQ(ReadRaw(host.IniPath()), ini);
    EXPECT_FALSE(IsFile(host.IniPath() + ".csv"));

    // Yes replaces both.
    EXPECT_EQ(harness::SaveJobRecord(op.Frame(), dir + "\\kept.txt", true).messages.size(), 1u);
    EXPECT_EQ(ReadRaw(dir + "\\kept.txt").rfind("KELVANE JOB RECORD", 0), 0u);
    EXPECT_EQ(ReadRaw(dir + "\\kept.csv").rfind("time,", 0), 0u) << ReadRaw(dir + "\\kept.csv").substr(0, 40);

    // The journal's place taken by a folder, or by a read-only file: no
    // report is left without its journal.
    CreateDirectoryA((dir + "\\folder.csv").c_str(), nullptr);
    PutFile(dir + "\\ro.csv", "read-only table");
    SetFileAttributesA((dir + "\\ro.csv").c_str(), FILE_ATTRIBUTE_READONLY);
    const struct {
        const char* name;
        const char* why;
    } refused[] = {{"folder", "a folder has that name"}, {"ro", "read-only"}};
    for (const auto& r : refused) {
        const harness::DialogRun run = harness::SaveJobRecord(op.Frame(), dir + "\\" + r.name + ".txt", true);
        ASSERT_FALSE(run.messages.empty()) << r.name;
        EXPECT_NE(run.messages.back().find("was not saved"), std::string::npos) << run.messages.back();
        EXPECT_NE(run.messages.back().find(r.why), std::string::npos) << run.messages.back();
        EXPECT_FALSE(IsFile(dir + "\\" + r.name + ".txt")) << r.name;
    }
    EXPECT_EQ(ReadRaw(dir + "\\ro.csv"), "read-only table");
    SetFileAttributesA((dir + "\\ro.csv").c_str(), FILE_ATTRIBUTE_NORMAL);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*.tmp").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "a temporary file was left: " << found.cFileName;
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// A relative work folder is resolved when the library loads, as the settings
// file's is: the record is offered there even after the host's current
// folder moved.
TEST_F(SetupTest, TheRecordIsOfferedInTheWorkFolderAsResolvedAtLoad) {
    char oldDir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, oldDir);
    ASSERT_TRUE(SetCurrentDirectoryA(TestFolder().c_str()));
    harness::SetHostWorkSpace("relative work");
    Operator op = harness::OpenOnPage(host, harness::kGeneral);
    SetCurrentDirectoryA("C:\\windows");
    std::string offered;
    const harness::DialogRun run = harness::SaveJobRecord(op.Frame(), "", true, &offered);
    host.Unload();
    SetCurrentDirectoryA(oldDir);
    host.PrepareWorkFolder(TestFolder());
    const std::string folder = TestFolder() + "\\relative work\\";
    EXPECT_TRUE(run.messages.empty()) << run.messages[0];
    EXPECT_EQ(offered.rfind(folder + "JobRecord-", 0), 0u) << offered;
    EXPECT_TRUE(IsFile(offered)) << offered;
    EXPECT_TRUE(IsFile(offered.substr(0, offered.size() - 4) + ".csv")) << offered;
    EXPECT_NE(ReadRaw(offered).find(TestFolder() + "\\relative work"), std::string::npos);
}

TEST_F(SetupTest, ListRenamesAndDeletes) {
    Operator op = harness::OpenOnPage(host, harness::kGeneral);
    ASSERT_TRUE(harness::SaveSetup(op.Frame(), "first").messages.empty());
    int turn = 0;
    std::vector<std::vector<std::string>> seen;
    const harness::DialogRun run = harness::RunWithDialogs(
        [&] { SendMessageA(op.Frame(), WM_COMMAND, ID_FILE_LOAD_SETUP, 0); },
        [&](HWND dialog, const std::string&) {
            if (GetDlgItem(dialog, IDC_SETUP_NAME)) {  // the new name
                harness::SetDialogText(dialog, IDC_SETUP_NAME, "second");
                harness::PushDialogButton(dialog, IDOK);
                return;
            }
            std::vector<std::string> names;
            for (const auto& row : harness::ListRows(dialog, IDC_SETUP_LIST)) names.push_back(row[0]);
            seen.push_back(names);
            const int t = turn++;
            if (t == 0 && harness::ChooseListRow(dialog, IDC_SETUP_LIST, "first"))
                harness::PushDialogButton(dialog, IDC_SETUP_RENAME);
            else if (t == 1 && harness::ChooseListRow(dialog, IDC_SETUP_LIST, "second"))
                harness::PushDialogButton(dialog, IDC_SETUP_DELETE);  // asks, answered Yes
            else harness::PushDialogButton(dialog, IDCANCEL);
        });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::vector<std::string>{"first"});
    EXPECT_EQ(seen[1], std::vector<std::string>{"second"});
    EXPECT_TRUE(seen[2].empty());
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_NE(run.messages[0].find("Delete the set-up \"second\"?"), std::string::npos);
    EXPECT_FALSE(IsFile(SetupPath("first")));
    EXPECT_FALSE(IsFile(SetupPath("second")));
}

// After a reload the pages start from fixed values (stack, window end,
// filters): Send all shows what it would change from what the tool was last
// sent before the reload; Cancel sends nothing, OK sends what it showed.
TEST_F(SetupTest, SendAllShowsWhatItWouldChangeFromTheToolFirst) {
    {
        Operator op = harness::OpenOnPage(host, harness::kMonopole);
        op.SelectCombo(harness::kMonopole, IDC_MONO_STACK, 2);
        op.TypeAndEnter(harness::kMonopole, IDC_MONO_WIN_END, "4000");
        op.Click(harness::kMonopole, IDC_MONO_FILTER);
        op.TypeAndEnter(harness::kMonopole, IDC_MONO_CH1, "12");
        host.Unload();
    }
    // The settings file gives CH1 a value the tool was not last sent.
    WritePrivateProfileStringA("MONOPOLE CONTROL", "Ch1Gain", "30", host.IniPath().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, host.IniPath().c_str());
    Operator op = harness::OpenOnPage(host, harness::kMonopole);
    ASSERT_EQ(op.ComboSel(harness::kMonopole, IDC_MONO_STACK), 0);
    EXPECT_EQ(op.Text(harness::kMonopole, IDC_MONO_CH1), "30");
    const std::string ch1Tip = harness::TipText(op.Control(harness::kMonopole, IDC_MONO_CH1));
    EXPECT_NE(ch1Tip.find("tool: Monopole CH1 gain 12 dB, sent "), std::string::npos) << ch1Tip;
    // Shown in force, with what the tool was last sent and when.
    const std::string stackTip = harness::TipText(op.Control(harness::kMonopole, IDC_MONO_STACK));
    EXPECT_NE(stackTip.find("tool: Monopole stack 3, sent "), std::string::npos) << stackTip;
    EXPECT_NE(stackTip.find(" before the reload"), std::string::npos) << stackTip;
    const std::string endTip = harness::TipText(op.Control(harness::kMonopole, IDC_MONO_WIN_END));
    EXPECT_NE(endTip.find("tool: Monopole window end 4000 us"), std::string::npos) << endTip;
    auto row = [](const std::vector<std::vector<std::string>>& rows, const std::string& setting) {
        for (const auto& r : rows)
            if (r.size() == 4 && r[0] == "Monopole Control/Full wave" && r[1] == setting) return r;
        return std::vector<std::string>();
    };
    std::vector<std::vector<std::string>> rows;
    host.ClearCommands();
    harness::SendAllAnswering(op.Frame(), false, &rows);
    EXPECT_TRUE(host.Commands().empty()) << "Cancel sends nothing";
    const std::vector<std::string> stack = row(rows, "Stack");
    ASSERT_EQ(stack.size(), 4u) << ::testing::PrintToString(rows);
    EXPECT_EQ(stack[2].rfind("3, sent ", 0), 0u) << stack[2];
    EXPECT_NE(stack[2].find("before the reload"), std::string::npos) << stack[2];
    EXPECT_EQ(stack[3], "1");
    EXPECT_EQ(row(rows, "Window end")[2].rfind("4000 us, sent ", 0), 0u) << ::testing::PrintToString(rows);
    EXPECT_EQ(row(rows, "Downhole filter")[3], "off");

    harness::SendAllAnswering(op.Frame(), true, &rows);
    EXPECT_EQ(host.Commands().size(), 41u);
    int32_t sentStack = -1;
    for (const auto& c : host.Commands())
        if (c.Code() == CMD_MONO_STACK) sentStack = c.Value();
    EXPECT_EQ(sentStack, 1);
    // Sent now: a second Send all changes nothing the tool holds.
    harness::SendAllAnswering(op.Frame(), false, &rows);
    EXPECT_TRUE(rows.empty()) << ::testing::PrintToString(rows);
    host.Unload();
}
