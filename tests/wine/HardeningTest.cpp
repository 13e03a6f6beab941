// The real DLL against damaged files and a hostile host: random and mutated
// INI and host configuration files, frame floods from another thread, bad
// status report and frame addresses, tiny host-made blocks, a vanished host
// window, ToolControlShow and FreeLibrary under a modal box, unloading with
// the window open, and the field trace of what the plug-in absorbed.
#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "DialogDriver.h"
#include "bench/tamsil/Tamsil.h"
#include "HostHarness.h"
#include "framework/PrivateMessages.h"
#include "Operator.h"
#include "core/logic/IniRules.h"
#include "core/PlatformListing.h"
#include "core/logic/ProfileText.h"
#include "core/logic/ReadBack.h"
#include "core/logic/TraceRules.h"
#include "resource.h"
#include "shell/TrendWindow.h"
#include "TestSupport.h"

using namespace kelvane;
using namespace harness;
using namespace testsupport;

namespace {

// ---------------------------------------------------------------------------
// Files

// Removes a file or a folder tree, read-only or not.
void RemovePath(const std::string& path) {
    const DWORD attr = GetFileAttributesA(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attr & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (std::strcmp(fd.cFileName, ".") && std::strcmp(fd.cFileName, ".."))
                    RemovePath(path + "\\" + fd.cFileName);
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(path.c_str());
    } else {
        DeleteFileA(path.c_str());
    }
}

// Writes bytes as the whole file and gives it a write time of its own: the
// profile functions cache a file until its write time changes, and two
// rewrites within one clock tick would otherwise look unchanged.
void WriteRaw(const std::string& path, const std::string& bytes) {
    static LONGLONG stamp = 132000000000000000LL;  // 2019, then one second per file
    RemovePath(path);
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f) << path;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    stamp += 10000000;
    FILETIME ft{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
    SetFileTime(f, nullptr, nullptr, &ft);
    CloseHandle(f);
}

bool IsFolder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// ---------------------------------------------------------------------------
// What the rules give: the parameter set, both blocks and the saved keys.

using Saved = std::vector<std::array<std::string, 3>>;  // section, key, text

// Reads through the platform's profile functions, as the plug-in does; the
// saves are only recorded.
class PlatformProfile : public ProfileStore {
public:
    explicit PlatformProfile(std::string path) : m_path(std::move(path)) {}
    std::string Read(const char* section, const char* key, const char* def, size_t n) override {
        std::vector<char> buf(n + 1, '\0');
        GetPrivateProfileStringA(section, key, def, buf.data(), static_cast<DWORD>(n), m_path.c_str());
        return buf.data();
    }
    void Write(const char* section, const char* key, const std::string& value) override {
        saved.push_back({section, key, value});
    }
    Saved saved;

private:
    std::string m_path;
};

// The generated file's own content: what a correct reader must see.
class ModelProfile : public ProfileStore {
public:
    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<std::pair<std::string, std::string>> reads;
    std::string Read(const char* section, const char* key, const char* def, size_t n) override {
        reads.emplace_back(section, key);
        auto it = values.find({section, key});
        return (it == values.end() ? std::string(def) : it->second).substr(0, n - 1);
    }
    void Write(const char*, const char*, const std::string&) override {}
};

struct Expected {
    ParameterSet p{};
    ToolControlPara tc{};
    ProcessPara pp{};
};

// ini null: no file at start-up (defaults).
Expected RulesGive(ProfileStore* ini, Saved* saved = nullptr) {
    Expected e;
    BlockView tv(&e.tc, sizeof e.tc), pv(&e.pp, sizeof e.pp);
    if (ini) {
        LoadGeneralControl(e.p, *ini);
        LoadDtGainControl(e.p, *ini);
        LoadDipoleControl(e.p, *ini);
        LoadMonopoleControl(e.p, *ini);
        LoadAcousticProcess(e.p, *ini, pv);
    } else {
        SetDefaultParameters(e.p, pv);
    }
    PublishParameters(e.p, tv, pv);
    if (saved) {
        PlatformProfile rec("");
        SaveGeneralControl(e.p, rec);
        SaveDtGainControl(e.p, rec);
        SaveMonopoleControl(e.p, rec);
        SaveDipoleControl(e.p, rec);
        SaveAcousticProcess(e.p, rec);
        *saved = rec.saved;
    }
    return e;
}

std::string WordDiff(const char* what, const void* got, const void* want, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; i += 4) {
        int32_t g, w;
        std::memcpy(&g, static_cast<const char*>(got) + i, 4);
        std::memcpy(&w, static_cast<const char*>(want) + i, 4);
        if (g != w)
            out += std::string(what) + "@" + std::to_string(i) + " " + std::to_string(g) + "!=" + std::to_string(w) +
                   "; ";
    }
    return out;
}

// ---------------------------------------------------------------------------
// Generated files

class FileMaker {
public:
    explicit FileMaker(uint32_t seed) : m_rng(seed) {
        // The keys the load rules ask for, section by section.
        ModelProfile probe;
        RulesGive(&probe);
        m_keys = probe.reads;
    }

    int Below(int n) { return static_cast<int>(m_rng() % static_cast<uint32_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

    std::string Value() {
        static const char* const kTexts[] = {"0",           "1",
                                             "2",           "3",
                                             "5",           "-1",
                                             "12",          "78",
                                             "-31",         "80",
                                             "100",         "1200",
                                             "999999999",   "1234567890123",
                                             "-2147483648", "2147483647",
                                             "2147483648",  "+17",
                                             "-0",          "N/A",
                                             "n/a",         "",
                                             "abc",         "12abc",
                                             "3500.7",      "-0.05",
                                             "0.3",         "1e39",
                                             "-1e39",       "1e-50",
                                             "nan",         "inf",
                                             "0x10",        "9."};
        if (Chance(60)) return kTexts[Below(sizeof kTexts / sizeof *kTexts)];
        std::string s = Chance(20) ? "-" : "";
        const int digits = 1 + Below(14);
        for (int i = 0; i < digits; ++i) s += static_cast<char>('0' + Below(10));
        if (Chance(30)) s += "." + std::to_string(Below(1000));
        return s;
    }

    // A well-formed file: known sections and keys with random values, some
    // noise lines, and the model of what it holds.
    std::string Decodable(ModelProfile& model) {
        std::map<std::string, std::vector<std::pair<std::string, std::string>>> sections;
        std::vector<std::string> order;
        for (const auto& sk : m_keys) {
            if (!sections.count(sk.first)) {
                order.push_back(sk.first);
                sections[sk.first];
            }
            if (Chance(70)) sections[sk.first].push_back({sk.second, Value()});
        }
        std::shuffle(order.begin(), order.end(), m_rng);
        const char* eol = Chance(50) ? "\r\n" : "\n";
        std::string text = Chance(30) ? std::string("; written by hand") + eol : "";
        for (const std::string& name : order) {
            if (!Chance(85)) continue;
            auto& keys = sections[name];
            std::shuffle(keys.begin(), keys.end(), m_rng);
            text += "[" + name + "]" + eol;
            for (const auto& kv : keys) {
                if (Chance(5)) text += std::string("Unrelated Key=7") + eol;
                text += kv.first + "=" + kv.second + eol;
                model.values[{name, kv.first}] = kv.second;
            }
        }
        if (Chance(30)) text += std::string("[OTHER]") + eol + "Gain Step=9" + eol;
        return text;
    }

    std::string Garbage(size_t maxLen) {
        std::string s(static_cast<size_t>(Below(static_cast<int>(maxLen) + 1)), '\0');
        for (char& c : s) c = static_cast<char>(m_rng());
        static const char* const kBoms[] = {"\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"};
        if (Chance(25)) s = kBoms[Below(3)] + s;
        return s;
    }

    std::string Mutate(std::string s) {
        const int n = 1 + Below(8);
        for (int i = 0; i < n; ++i) {
            const size_t at = s.empty() ? 0 : static_cast<size_t>(Below(static_cast<int>(s.size())));
            switch (Below(9)) {
            case 0:
                if (!s.empty()) s[at] = static_cast<char>(m_rng());
                break;
            case 1: s.insert(at, 1 + Below(4), static_cast<char>(m_rng())); break;
            case 2: s.erase(at, 1 + Below(16)); break;
            case 3: {  // duplicate the line at 'at'
                const size_t b = s.rfind('\n', at) == std::string::npos ? 0 : s.rfind('\n', at) + 1;
                const size_t e = s.find('\n', at);
                s.insert(b, s.substr(b, e == std::string::npos ? std::string::npos : e + 1 - b));
                break;
            }
            case 4: {
                const size_t p = s.find(Chance(50) ? '[' : ']', at);
                if (p != std::string::npos) s.erase(p, 1);
                break;
            }
            case 5: s.insert(at, 1, '\0'); break;
            case 6:
                for (size_t k = at; k < std::min(s.size(), at + 12); ++k)
                    if (std::isalpha(static_cast<unsigned char>(s[k]))) s[k] ^= 0x20;
                break;
            case 7: s.insert(at, Chance(50) ? "\r" : "\n"); break;
            default: s = (Chance(50) ? "\xFF\xFE" : "\xEF\xBB\xBF") + s; break;
            }
        }
        return s;
    }

    std::string LongLine(std::string base) {
        const std::string big(65536 + Below(100), static_cast<char>('0' + Below(10)));
        switch (Below(4)) {
        case 0: return "[GENERAL CONTROL]\r\nGain Step=" + big + "\r\n" + base;
        case 1: return "[" + big + "]\r\nx=1\r\n" + base;
        case 2: return base + big + "=5\r\n[ACOUSTIC PROCESS]\r\nDtMin=" + big + "\r\n";
        default: return big + base;  // no line end before the first header
        }
    }

    std::string ManySections(std::string base) {
        std::string s;
        const int n = 2000 + Below(2000);
        const bool repeats = Chance(50);
        for (int i = 0; i < n; ++i) {
            s += repeats && i % 2 ? "[DT GAIN CONTROL]\r\nFirstStartTime=" + std::to_string(i) + "\r\n"
                                  : "[S" + std::to_string(i) + "]\r\nCh1Gain=" + std::to_string(i) + "\r\n";
        }
        return Chance(50) ? s + base : base + s;
    }

    std::string NoBrackets(std::string s) {
        for (size_t p = 0; (p = s.find('[', p)) != std::string::npos; ++p) {
            const int how = Below(3);
            const size_t close = s.find(']', p);
            if (how == 0) s.erase(p, 1);
            else if (how == 1 && close != std::string::npos) s.erase(close, 1);
            else if (close != std::string::npos) s.erase(close, 1), s.erase(p, 1);
        }
        return s;
    }

private:
    std::mt19937 m_rng;
    std::vector<std::pair<std::string, std::string>> m_keys;
};

// ---------------------------------------------------------------------------

struct Hardening : ::testing::Test {
    HostHarness host;
    void SetUp() override { host.PrepareWorkFolder(TestFolder()); }
};

enum class IniKind { Decodable, Mutated, Garbage, LongLine, ManySections, NoBrackets, Directory, ReadOnly, Missing };
enum class ConfigKind {
    Valid,
    Missing,
    Directory,
    Garbage,
    LongWorkSpace,
    NoSuchFolder,
    FileAsFolder,
    Quoted,
    TrailingBackslash,
    Mutated
};

struct FileCase {
    IniKind ini;
    ConfigKind config;
    int count;
    const char* name;
};

// 200 start-ups (scripts/soak.sh; the test command runs a fifth of each kind,
// 43): the plug-in's INI and the host's Config.ini damaged in every way a
// disk, an editor or an installer manages. Each: start-up
// completes and the blocks hold what the rules give for the file as the
// platform reads it (and, for the well-formed files, as it was written);
// shut-down leaves a file whose every saved key reads back, or no file where
// none can be written.
TEST_F(Hardening, DamagedIniAndConfigFiles) {
    const FileCase plan[] = {
        {IniKind::Decodable, ConfigKind::Valid, 60, "well-formed"},
        {IniKind::Mutated, ConfigKind::Valid, 40, "mutated"},
        {IniKind::Garbage, ConfigKind::Valid, 20, "binary garbage"},
        {IniKind::LongLine, ConfigKind::Valid, 8, "64 KiB line"},
        {IniKind::ManySections, ConfigKind::Valid, 4, "thousands of sections"},
        {IniKind::NoBrackets, ConfigKind::Valid, 10, "missing brackets"},
        {IniKind::Directory, ConfigKind::Valid, 3, "INI is a directory"},
        {IniKind::ReadOnly, ConfigKind::Valid, 5, "read-only INI"},
        {IniKind::Decodable, ConfigKind::Missing, 4, "no Config.ini"},
        {IniKind::Decodable, ConfigKind::Directory, 2, "Config.ini is a directory"},
        {IniKind::Decodable, ConfigKind::Garbage, 10, "Config.ini garbage"},
        {IniKind::Decodable, ConfigKind::LongWorkSpace, 4, "64 KiB work folder"},
        {IniKind::Missing, ConfigKind::NoSuchFolder, 4, "work folder missing"},
        {IniKind::Missing, ConfigKind::FileAsFolder, 4, "work folder is a file"},
        {IniKind::Decodable, ConfigKind::Quoted, 4, "quoted work folder"},
        {IniKind::Decodable, ConfigKind::TrailingBackslash, 4, "work folder with trailing backslash"},
        {IniKind::Decodable, ConfigKind::Mutated, 14, "Config.ini mutated"},
    };
    // Another seed (KELVANE_HARDENING_SEED) gives another 200 files.
    uint32_t seed = 20261207;
    if (const char* s = std::getenv("KELVANE_HARDENING_SEED"))
        seed = static_cast<uint32_t>(std::strtoul(s, nullptr, 10));
    FileMaker make(seed);

    // A work folder left empty puts the INI at the root of the current drive:
    // D: while this runs. Whatever happens, the host's files are put back.
    const std::string rootIni = "D:\\KelvaneCtrl.ini";
    struct PutBack {
        HostHarness& host;
        std::string rootIni;
        char dir[MAX_PATH] = {};
        ~PutBack() {
            RemovePath(rootIni);
            RemovePath(HOST_CONFIG_PATH);
            host.PrepareWorkFolder(TestFolder());
            SetCurrentDirectoryA(dir);
        }
    } putBack{host, rootIni};
    GetCurrentDirectoryA(MAX_PATH, putBack.dir);
    ASSERT_TRUE(SetCurrentDirectoryA(TestFolder().c_str()));

    int cases = 0, failedCases = 0, written = 0;
    const double start = Now();
    const int fraction = SlowRun() ? 1 : 5;
    for (const FileCase& fc : plan) {
        const int count = (fc.count + fraction - 1) / fraction;
        for (int rep = 0; rep < count && failedCases < 3; ++rep, ++cases) {
            const std::string folder = TestFolder() + "\\c" + std::to_string(cases);
            RemovePath(folder);
            CreateDirectoryA(folder.c_str(), nullptr);
            RemovePath(rootIni);

            // The host's configuration.
            const std::string valid = "[WORK FOLDER]\r\nWorkSpace=" + folder + "\r\n";
            std::string config;
            switch (fc.config) {
            case ConfigKind::Valid: config = valid; break;
            case ConfigKind::Missing: break;
            case ConfigKind::Directory: break;
            case ConfigKind::Garbage:
                config = make.Garbage(4096) + (make.Chance(50) ? "\r\n" + valid : std::string());
                break;
            case ConfigKind::LongWorkSpace:
                config = "[WORK FOLDER]\r\nWorkSpace=" + folder + "\\" + std::string(65536, 'x') + "\r\n";
                break;
            case ConfigKind::NoSuchFolder: config = "[WORK FOLDER]\r\nWorkSpace=" + folder + "\\missing\r\n"; break;
            case ConfigKind::FileAsFolder:
                WriteRaw(folder + "\\plain", "not a folder");
                config = "[WORK FOLDER]\r\nWorkSpace=" + folder + "\\plain\r\n";
                break;
            case ConfigKind::Quoted: config = "[WORK FOLDER]\r\nWorkSpace=\"" + folder + "\"\r\n"; break;
            case ConfigKind::TrailingBackslash: config = "[WORK FOLDER]\r\nWorkSpace=" + folder + "\\\r\n"; break;
            case ConfigKind::Mutated: {
                // Damage around the key's line only: a mangled path could point anywhere.
                config = make.Mutate("; Pellora\r\n[WORK FOLDER]\r\n") + "WorkSpace=" + folder + "\r\n" +
                         make.Mutate("[OTHER]\r\nKey=1\r\n");
                break;
            }
            }
            RemovePath(HOST_CONFIG_PATH);
            if (fc.config == ConfigKind::Directory) CreateDirectoryA(HOST_CONFIG_PATH, nullptr);
            else if (fc.config != ConfigKind::Missing) WriteRaw(HOST_CONFIG_PATH, config);

            // Where the plug-in will look, read as it reads it.
            char work[256] = {};
            GetPrivateProfileStringA(HOST_CONFIG_SECTION, HOST_CONFIG_WORK_KEY, "", work, sizeof work,
                                     HOST_CONFIG_PATH);
            const std::string iniPath = std::string(work) + "\\KelvaneCtrl.ini";
            const bool atRoot = work[0] == '\0';
            const bool ours = atRoot || _strnicmp(work, folder.c_str(), folder.size()) == 0;
            ASSERT_TRUE(ours) << "case " << cases << ": work folder '" << work << "' outside the test folder";
            const std::string where = atRoot ? rootIni : iniPath;

            // The plug-in's INI.
            ModelProfile model;
            std::string ini;
            switch (fc.ini) {
            case IniKind::Decodable:
            case IniKind::ReadOnly: ini = make.Decodable(model); break;
            case IniKind::Mutated: ini = make.Mutate(make.Decodable(model)); break;
            case IniKind::Garbage: ini = make.Garbage(16384); break;
            case IniKind::LongLine: ini = make.LongLine(make.Decodable(model)); break;
            case IniKind::ManySections: ini = make.ManySections(make.Decodable(model)); break;
            case IniKind::NoBrackets: ini = make.NoBrackets(make.Decodable(model)); break;
            case IniKind::Directory:
            case IniKind::Missing: break;
            }
            const bool folderExists = atRoot || IsFolder(std::string(work));
            if (folderExists && fc.ini == IniKind::Directory) CreateDirectoryA(where.c_str(), nullptr);
            else if (folderExists && fc.ini != IniKind::Missing) WriteRaw(where, ini);
            if (fc.ini == IniKind::ReadOnly) SetFileAttributesA(where.c_str(), FILE_ATTRIBUTE_READONLY);
            const std::string before = ReadRaw(where);

            // What the rules give for the file as the platform reads it. A
            // directory in its place cannot be read: defaults, as for no file.
            Saved saved;
            PlatformProfile platform(where);
            const Expected want = RulesGive(IsFile(where) ? &platform : nullptr, &saved);

            std::string err;
            if (!host.Load()) err += "start-up failed; ";
            ToolControlPara tc{};
            ProcessPara pp{};
            if (!host.ReadToolControl(&tc) || !host.ReadProcess(&pp)) err += "a block is missing; ";
            err += WordDiff("ToolControlPara", &tc, &want.tc, sizeof tc);
            err += WordDiff("ProcessPara", &pp, &want.pp, sizeof pp);
            if (fc.ini == IniKind::Decodable && folderExists) {
                const Expected asWritten = RulesGive(&model);
                err += WordDiff("(as written) ToolControlPara", &tc, &asWritten.tc, sizeof tc);
                err += WordDiff("(as written) ProcessPara", &pp, &asWritten.pp, sizeof pp);
            }
            host.Unload();

            // After shut-down.
            if (fc.ini == IniKind::Directory && folderExists) {
                if (!IsFolder(where)) err += "the directory in the INI's place is gone; ";
            } else if (!folderExists) {
                if (GetFileAttributesA(where.c_str()) != INVALID_FILE_ATTRIBUTES) err += "an INI appeared; ";
            } else if (!IsFile(where)) {
                err += "no INI after shut-down; ";
            } else if (fc.ini == IniKind::ReadOnly && ReadRaw(where) == before) {
                // The platform refused the write: the file is as it was.
            } else {
                // Read a copy: the profile cache must not stand in for the disk.
                const std::string copy = folder + "\\readback.ini";
                RemovePath(copy);
                CopyFileA(where.c_str(), copy.c_str(), FALSE);
                for (const auto& s : saved) {
                    char buf[64] = {};
                    GetPrivateProfileStringA(s[0].c_str(), s[1].c_str(), "(missing)", buf, sizeof buf, copy.c_str());
                    if (s[2] != buf) err += "[" + s[0] + "] " + s[1] + " reads '" + buf + "', saved '" + s[2] + "'; ";
                }
                ++written;
            }
            if (fc.ini == IniKind::ReadOnly) SetFileAttributesA(where.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!err.empty()) ++failedCases;
            EXPECT_TRUE(err.empty()) << "case " << cases << " (" << fc.name << ", seed " << seed << "): " << err;
        }
    }
    EXPECT_EQ(SlowRun() ? 200 : 43, cases);
    std::printf("[ figures  ] %d damaged start-ups in %.1f s, %d INI files written back and read\n", cases,
                Now() - start, written);
}

// The in-memory reader the start-up loads through (core/logic/ProfileText)
// against the platform's GetPrivateProfileStringA, for every read the settings
// table makes (its default text and buffer) and once more with a wide buffer:
// over the fuzz corpus, the damaged files above and hand-written awkward
// files. Files of single-byte text must read alike; a file the reader calls
// exact must be one of them, and a file it lists itself (the start-up's
// listing) must list as the platform's section functions list it. Each
// hand-written and corpus file is also loaded by the real plug-in, whose
// blocks must hold what the platform's reads give.
// No other encoding and no byte beyond ASCII (whose meaning depends on the
// code page): a UTF-8 mark before ASCII text is still single-byte text.
bool SingleByteText(const std::string& bytes) {
    const size_t from = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t i = from; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
    return true;
}

std::string PlatformRead(const std::string& path, const ProfileRead& r) {
    std::vector<char> buf(r.bufferSize + 1, '\0');
    GetPrivateProfileStringA(r.section.c_str(), r.key.c_str(), r.defaultText.c_str(), buf.data(),
                             static_cast<DWORD>(r.bufferSize), path.c_str());
    return buf.data();
}

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

TEST_F(Hardening, InMemoryReaderReadsAsThePlatform) {
    struct Awkward {
        const char* name;
        std::string text;
        bool exact;
    };
    const std::string full =
        "[GENERAL CONTROL]\r\nGain Step=2\r\nDT DELAY=90\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n"
        "Ch1Gain=12\r\n[MONOPOLE CONTROL]\r\nCh3Gain=-6\r\n[DIPOLE CONTROL]\r\nAllGain=9\r\n"
        "[ACOUSTIC PROCESS]\r\nDtMin=50\r\nLowCut=3500.7\r\nThresholdMin2=0.4\r\nT01R1Start=N/A\r\n";
    const std::string big(70000, '7');
    const Awkward awkward[] = {
        {"as a save writes it", full, true},
        {"empty file", "", true},
        {"spaces around keys and values",
         "[GENERAL CONTROL]\r\n  Gain Step  =  2  \r\n\tDT DELAY\t=\t90\t\r\n [DT GAIN CONTROL]\t\r\n Ch1Gain= 7\r\n",
         true},
        {"line feeds only", "[GENERAL CONTROL]\nGain Step=2\n\n\n[ACOUSTIC PROCESS]\nDtMin=41\n", true},
        {"no final line break", "[GENERAL CONTROL]\r\nGain Step=2\r\nDT DELAY=90", true},
        {"comment lines",
         "; by hand\r\n[GENERAL CONTROL]\r\n;Gain Step=9\r\n; Gain Step\r\nGain Step=2\r\n# DT DELAY=1\r\n", true},
        {"names in other case", "[general control]\r\ngain step=2\r\n[Acoustic Process]\r\nDTMIN=33\r\n", true},
        {"repeated keys",
         "[GENERAL CONTROL]\r\nGain Step=2\r\nGain Step=3\r\n[ACOUSTIC PROCESS]\r\nDtMin=5\r\ndtmin=6\r\n", true},
        {"keys before the first section", "Gain Step=5\r\n[GENERAL CONTROL]\r\nDT DELAY=1\r\n", true},
        {"empty values, '=' in a value, N/A with blanks",
         "[GENERAL CONTROL]\r\nGain Step=\r\nDT DELAY=2=3\r\n[ACOUSTIC PROCESS]\r\nT01R1Start=N/A   \r\nDtMin=\r\n",
         true},
        {"values of nine, ten and more characters",
         "[GENERAL CONTROL]\r\nGain Step=123456789\r\nDT DELAY=1234567890\r\nMono DELAY=-12345678901234\r\n", true},
        {"very long lines",
         "[GENERAL CONTROL]\r\nGain Step=" + big + "\r\n" + big + "=5\r\n[" + big +
             "]\r\nDT DELAY=4\r\n"
             "[ACOUSTIC PROCESS]\r\nDtMin=" +
             big,
         true},
        {"repeated sections",
         "[GENERAL CONTROL]\r\nGain Step=2\r\n[DT GAIN CONTROL]\r\nCh1Gain=4\r\n[general control]\r\nDT DELAY=99\r\n",
         false},
        {"keys without '='", "[GENERAL CONTROL]\r\nGain Step\r\nGain Step=2\r\nDT DELAY\r\n", false},
        {"quotes",
         "[ACOUSTIC PROCESS]\r\nDtMin=\"55\"\r\nDtMax='66'\r\nCorWinLength=\"77'\r\nT01R1Start=\"\"\r\nT01R2Start=\"\r\n"
         "Coefficient=\"123456789\"\r\nThresholdFactor=\"12345678\"\r\nT01R3Start=\"N/A\"\r\n"
         "SearchWinLength=\"1234567890\"\r\n",
         false},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + full, false},
        {"UTF-8 byte-order mark before a key", "\xEF\xBB\xBFGain Step=1\r\n" + full, false},
        {"UTF-16 with its mark", Utf16(full), false},
        {"carriage return alone", "[GENERAL CONTROL]\rGain Step=2\r\nDT DELAY=3\rMono DELAY=4\r\n", false},
        {"Ctrl-Z and a NUL", "[GENERAL CONTROL]\r\nGain Step=2\x1a\r\nDT DELAY=7" + std::string(1, '\0') + "8\r\n\x1a",
         false},
        {"header with text after it", "[GENERAL CONTROL] ; main\r\nGain Step=2\r\n[DT GAIN CONTROL]]\r\nIsAuto=0\r\n",
         false},
        {"blanks inside the brackets", "[ GENERAL CONTROL ]\r\nGain Step=2\r\n", false},
        {"header without ']'", "[GENERAL CONTROL\r\nGain Step=2\r\n", false},
        {"empty header", "[GENERAL CONTROL]\r\nGain Step=2\r\n[]\r\nDT DELAY=5\r\n", false},
        {"empty key name", "[GENERAL CONTROL]\r\n=5\r\n= 6\r\nGain Step=2\r\n", false},
        {"a byte beyond ASCII",
         "; Gr\xF6\xDF"
         "e\r\n[GENERAL CONTROL]\r\nGain Step=2\xA0\r\n",
         false},
    };

    // Every read the load makes; for the files written here, each key once
    // more into a wide buffer.
    const std::vector<ProfileRead> load = LoadReads();
    std::vector<ProfileRead> wide = load;
    for (const ProfileRead& r : load) wide.push_back({r.section, r.key, "N/A", 64});

    struct Source {
        std::string name, bytes;
        int exact;  // 1, 0, or -1 when not stated
        bool load;  // also loaded by the plug-in
    };
    std::vector<Source> sources;
    for (const Awkward& a : awkward) sources.push_back({a.name, a.text, a.exact ? 1 : 0, true});
    // The fuzzer's seeds: two bytes choose its block sizes, the rest is the
    // file. They are in the source tree (through Wine's Z:), which the
    // verification kit on Windows does not carry; the path is not compiled
    // in, so the test program is the same bytes whatever folder built it.
    const char* source = std::getenv("KELVANE_SOURCE_DIR");
    if (!source || !*source) GTEST_SKIP() << "KELVANE_SOURCE_DIR (the source tree, for the fuzz corpus) is not set";
    std::string corpus = std::string("Z:") + source + "\\tests\\fuzz\\corpus";
    std::replace(corpus.begin(), corpus.end(), '/', '\\');
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((corpus + "\\*.seed").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << corpus;
    do {
        const std::string seed = ReadRaw(corpus + "\\" + found.cFileName);
        sources.push_back({found.cFileName, seed.size() > 2 ? seed.substr(2) : std::string(), -1, true});
    } while (FindNextFileA(find, &found));
    FindClose(find);
    // The damaged files of DamagedIniAndConfigFiles, made the same ways.
    FileMaker make(20261207);
    for (int i = 0; i < 142; ++i) {
        ModelProfile model;
        std::string bytes = i >= 100 && i < 120 ? make.Garbage(16384) : make.Decodable(model);
        if (i >= 60 && i < 100) bytes = make.Mutate(bytes);
        else if (i >= 120 && i < 128) bytes = make.LongLine(bytes);
        else if (i >= 128 && i < 132) bytes = make.ManySections(bytes);
        else if (i >= 132) bytes = make.NoBrackets(bytes);
        sources.push_back({"damaged " + std::to_string(i), bytes, -1, false});
    }

    const std::string path = host.IniPath();
    EXPECT_TRUE(ProfileText(full).ListsExact());
    int exactFiles = 0, compared = 0, loaded = 0, listed = 0;
    const double start = Now();
    for (const Source& s : sources) {
        WriteRaw(path, s.bytes);
        ProfileText text(s.bytes);
        if (s.exact >= 0) {
            EXPECT_EQ(s.exact == 1, text.Exact()) << s.name;
        }
        const bool single = SingleByteText(s.bytes);
        EXPECT_TRUE(single || !text.Exact()) << s.name << ": called exact, but not single-byte text";
        exactFiles += text.Exact();
        if (single) {
            ++compared;
            std::string diff;
            for (const ProfileRead& r : s.load ? wide : load) {
                const std::string platform = PlatformRead(path, r),
                                  memory = text.Read(r.section.c_str(), r.key.c_str(), r.defaultText.c_str(),
                                                     r.bufferSize);
                if (platform != memory)
                    diff += "[" + r.section + "] " + r.key + " (" + std::to_string(r.bufferSize) + "): platform '" +
                            platform.substr(0, 40) + "', in memory '" + memory.substr(0, 40) + "'; ";
            }
            EXPECT_TRUE(diff.empty()) << s.name << ": " << diff;
        }
        if (text.ListsExact()) {
            ++listed;
            EXPECT_TRUE(kelvane::ListProfile(path) == text.Listing()) << s.name << ": listed otherwise";
        }
        if (!s.load) continue;
        PlatformProfile platform(path);
        const Expected want = RulesGive(&platform);
        ASSERT_TRUE(host.Load()) << s.name;
        ToolControlPara tc{};
        ProcessPara pp{};
        EXPECT_TRUE(host.ReadToolControl(&tc) && host.ReadProcess(&pp)) << s.name;
        EXPECT_EQ("", WordDiff("ToolControlPara", &tc, &want.tc, sizeof tc) +
                          WordDiff("ProcessPara", &pp, &want.pp, sizeof pp))
            << s.name;
        host.Unload();
        ++loaded;
    }
    std::printf(
        "[ figures  ] %zu files (%d exact, %d listed in memory, %d read alike key by key, %d loaded by the "
        "plug-in) in %.1f s\n",
        sources.size(), exactFiles, listed, compared, loaded, Now() - start);
}

// ---------------------------------------------------------------------------
// Hostile host input

// Frames from another host thread at 10 kHz, every other one dropped (null),
// while the operator types gains and switches pages: every command arrives
// as typed, the window lives, and the display ends on the last frame.
TEST_F(Hardening, FrameFloodWithDroppedFramesWhileOperated) {
    Operator op = OpenOnPage(host, kMonopole);
    TakeCommands(host);
    std::vector<int16_t> frame(FRAME_MIN_WORDS, 0), last(FRAME_MIN_WORDS, 0);
    for (int i = 0; i < 8; ++i) last[READBACK_MONO_WORD + i] = static_cast<int16_t>(-10 - i);
    for (int i = 0; i < 4; ++i) last[READBACK_DT_WORD + i] = static_cast<int16_t>(20 + i);
    for (int i = 0; i < 8; ++i) last[READBACK_DIPOLE_WORD + i] = static_cast<int16_t>(40 + i);

    const double seconds = SlowRun() ? 10.0 : 3.0;
    std::atomic<bool> stop{false};
    long calls = 0;
    double flooded = 0;
    std::thread flood([&] {
        const double t0 = Now();
        while (!stop.load()) {
            const long due = static_cast<long>((Now() - t0) * 10000.0);
            for (; calls < due; ++calls) {
                // Gains move now and then, as the tool's auto gain does.
                if (calls % 64 == 0) frame[READBACK_MONO_WORD + calls / 64 % 8] = static_cast<int16_t>(calls / 64);
                host.SetFrame(calls % 2 ? nullptr : frame.data());
                host.Process();
            }
            Sleep(1);
        }
        flooded = Now() - t0;
        host.SetFrame(last.data());
        host.Process();
    });

    struct Action {
        int page, id;
        const char* typed;
        CodeValue want;
    };
    const Action actions[] = {
        {kMonopole, IDC_MONO_CH3, "100", {CMD_MONO_CH3_GAIN, 78}},
        {kDtGain, IDC_DT_CH1, "-40", {CMD_DT_CH1_GAIN, -30}},
        {kDipole, IDC_DIP_CH2, "7", {CMD_DIPOLE_CH2_GAIN, 6}},
        {kDipole, IDC_DIP_ALL, "12", {CMD_DIPOLE_ALL_GAIN, 12}},
    };
    std::vector<CodeValue> want;
    const double t0 = Now();
    int rounds = 0;
    while (Now() - t0 < seconds) {
        const Action& a = actions[rounds++ % 4];
        op.ClickPageItem(kGeneral);
        op.ClickPageItem(kAcoustic);
        op.ClickPageItem(a.page);
        EXPECT_EQ(a.page, op.ShownPage());
        op.TypeAndEnter(a.page, a.id, a.typed);
        want.push_back(a.want);
        Operator::Pump();
    }
    stop = true;
    flood.join();
    Operator::Pump();
    const double rate = calls / flooded;
    std::printf("[ figures  ] %ld frames in %.1f s (%.0f per second, half of them null), %d operator rounds\n",
                calls + 1, flooded, rate, rounds);
    EXPECT_GT(rate, 5000.0) << "the flood did not reach the window's thread at speed";
    ASSERT_TRUE(IsWindow(op.Frame()));
    EXPECT_EQ(want, TakeCommands(host));
    EXPECT_EQ("-10", op.Text(kMonopole, IDC_MONO_READBACK1));
    EXPECT_EQ("-17", op.Text(kMonopole, IDC_MONO_READBACK8));
    EXPECT_EQ("23", op.Text(kDtGain, IDC_DT_READBACK4));
    EXPECT_EQ("47", op.Text(kDipole, IDC_DIP_READBACK8));
    host.SetFrame(nullptr);
}

// While frames stream, a read-back notice that finds a key or click waiting
// is shown after it: the display of changing words cannot hold a click up.
// The notice stays the one pending (frames meanwhile post no other) and the
// latest words appear within a timer tick. Without input waiting, or after a
// quiet spell, a notice is shown at once.
TEST_F(Hardening, ReadBackNoticeWaitsOnceBehindInputWhileStreaming) {
    Operator op = OpenOnPage(host, kMonopole);
    SetForegroundWindow(op.Frame());  // the keys go to this thread
    Operator::Pump();
    Sleep(50);
    Operator::Pump();
    std::vector<int16_t> frame(FRAME_MIN_WORDS, 0);
    host.SetFrame(frame.data());
    int16_t word = -5;
    MSG msg;
    // One frame and its notice handled straight away; true if it was shown then.
    auto frameShownAtOnce = [&] {
        frame[READBACK_MONO_WORD] = --word;
        host.Process();
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_READBACKNOTICE, WM_READBACKNOTICE, PM_REMOVE));
        DispatchMessageA(&msg);
        return op.Text(kMonopole, IDC_MONO_READBACK1) == std::to_string(word);
    };
    // A key (Shift) pressed on the window's thread and not yet taken from the queue.
    auto queueKey = [&] {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = VK_SHIFT;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof in[0]);
        const double until = Now() + 2.0;
        while (!GetInputState() && Now() < until) Sleep(1);
        return GetInputState() != FALSE;
    };

    // No input waiting: every notice is shown at once.
    EXPECT_TRUE(frameShownAtOnce());
    EXPECT_TRUE(frameShownAtOnce());
    // Input waiting after a quiet spell: the first notice is shown at once...
    Sleep(200);
    ASSERT_TRUE(queueKey()) << "the key never reached the queue";
    EXPECT_TRUE(frameShownAtOnce());
    // ...the next, moments later (a stream), waits behind the input, and the
    // frames that come meanwhile add no notice.
    EXPECT_FALSE(frameShownAtOnce());
    host.Process();
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_READBACKNOTICE, WM_READBACKNOTICE, PM_NOREMOVE));
    const std::string want = std::to_string(word);
    const double until = Now() + 1.0;
    while (op.Text(kMonopole, IDC_MONO_READBACK1) != want && Now() < until) Operator::Pump(1);
    EXPECT_EQ(want, op.Text(kMonopole, IDC_MONO_READBACK1));
    host.SetFrame(nullptr);
}

// Real clicks while the tool streams changing gains at 1 and 10 kHz: every
// click brings its command (a display of changing words cannot shut the
// operator out), and the display still follows the stream.
TEST_F(Hardening, ClicksGetThroughAStreamOfChangingWords) {
    Operator op = OpenOnPage(host, kMonopole);
    SetForegroundWindow(op.Frame());
    HWND filter = op.Control(kMonopole, IDC_MONO_FILTER);
    TakeCommands(host);
    int clicks = 0;
    for (double rate : {1000.0, 10000.0}) {
        FrameStream stream(host, rate, true);
        for (int i = 0; i < 10; ++i, ++clicks) {
            EXPECT_GE(ClickToCommand(host, filter, 3000), 0.0) << rate << " frames/s, click " << i << ": no command";
            const double until = Now() + 0.005;
            while (Now() < until) Operator::Pump(1);
        }
        EXPECT_GT(stream.Sent(), 0);
    }
    Operator::Pump();
    // Each click turns the filter over: one command each, alternating.
    const std::vector<CodeValue> got = TakeCommands(host);
    ASSERT_EQ(static_cast<size_t>(clicks), got.size());
    EXPECT_EQ(CMD_MONO_DOWNHOLE_FILTER, got[0].code);
    EXPECT_NE(got[0].value, got[1].value);
    for (int i = 2; i < clicks; ++i) EXPECT_EQ(got[i - 2], got[i]) << "click " << i;
    EXPECT_NE("", op.Text(kMonopole, IDC_MONO_READBACK1));
    host.SetFrame(nullptr);
}

// Memory the plug-in must not read, at addresses a host might hand over: a
// run of readable pages that ends in an unreadable one, a reserved page, a
// freed one, a guard page.
struct BadMemory {
    static constexpr size_t kReadablePages = 3;
    size_t page = 0;
    char* run = nullptr;  // kReadablePages readable pages, then an unreadable one
    void* reserved = nullptr;
    void* freed = nullptr;
    void* guard = nullptr;

    BadMemory() {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        page = si.dwPageSize;
        run = static_cast<char*>(
            VirtualAlloc(nullptr, (kReadablePages + 1) * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        std::memset(run, 0xFF, (kReadablePages + 1) * page);
        DWORD old;
        VirtualProtect(Unreadable(), page, PAGE_NOACCESS, &old);
        reserved = VirtualAlloc(nullptr, page, MEM_RESERVE, PAGE_READWRITE);
        freed = VirtualAlloc(nullptr, page, MEM_COMMIT, PAGE_READWRITE);
        VirtualFree(freed, 0, MEM_RELEASE);
        guard = VirtualAlloc(nullptr, page, MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD);
    }
    ~BadMemory() {
        VirtualFree(run, 0, MEM_RELEASE);
        VirtualFree(reserved, 0, MEM_RELEASE);
        VirtualFree(guard, 0, MEM_RELEASE);
    }
    char* Unreadable() const { return run + kReadablePages * page; }

    struct Place {
        const char* what;
        uintptr_t at;
    };
    // Where n bytes cannot all be read.
    std::vector<Place> BadPlaces(size_t n) const {
        auto at = [](const void* p) { return reinterpret_cast<uintptr_t>(p); };
        return {{"address 1", 1},
                {"unreadable page", at(Unreadable())},
                {"last two bytes in an unreadable page", at(Unreadable()) - n + 2},
                {"reserved, not committed", at(reserved)},
                {"freed", at(freed)},
                {"guard page", at(guard)},
                {"top of the address space", ~uintptr_t{0} - 3}};
    }
    // Where n bytes end exactly at the end of readable memory.
    uintptr_t EdgeFor(size_t n) const { return reinterpret_cast<uintptr_t>(Unreadable()) - n; }
};

// A status report at an address the plug-in cannot read changes nothing; a
// report that ends exactly where readable memory ends is read.
TEST_F(Hardening, DspStatusFromBadAddressesIsIgnored) {
    Operator op = OpenOnPage(host, kGeneral);
    auto lines = [&] {
        std::vector<std::string> l = op.ListLines(kGeneral, IDC_GEN_LIST_LEFT);
        for (const std::string& s : op.ListLines(kGeneral, IDC_GEN_LIST_RIGHT)) l.push_back(s);
        return l;
    };
    const auto initial = lines();
    ASSERT_EQ(16u, initial.size());

    const BadMemory memory;
    const size_t report = offsetof(DspStatusReport, StatusWord) + 2;
    std::vector<BadMemory::Place> bad = memory.BadPlaces(report);
    bad.push_back({"null", 0});
    for (const BadMemory::Place& b : bad) {
        SendMessageA(op.Frame(), WM_DSPSTATUS, b.at, 0);
        PostMessageA(op.Frame(), WM_DSPSTATUS, b.at, 0);
        Operator::Pump();
        ASSERT_TRUE(IsWindow(op.Frame())) << b.what;
        EXPECT_EQ(initial, lines()) << b.what;
    }
    // The last two bytes of the readable memory are the status word: read.
    char* edge = reinterpret_cast<char*>(memory.EdgeFor(report));
    std::memset(edge, 0, report);
    edge[8] = 0x05;  // DSP lines 1 and 3 in error
    SendMessageA(op.Frame(), WM_DSPSTATUS, reinterpret_cast<WPARAM>(edge), 0);
    Operator::Pump();
    EXPECT_NE(initial, lines());
}

// A data frame whose read-back words cannot all be read is skipped like a
// missing one: the host's acquisition thread does not fault, the display
// stays. A frame whose last read-back word ends where readable memory ends
// is read.
TEST_F(Hardening, UnreadableFramesAreSkipped) {
    Operator op = OpenOnPage(host, kMonopole);
    std::vector<int16_t> shown(FRAME_MIN_WORDS, 0);
    shown[READBACK_MONO_WORD] = -7;
    host.SetFrame(shown.data());
    host.Process();
    Operator::Pump();
    ASSERT_EQ("-7", op.Text(kMonopole, IDC_MONO_READBACK1));

    const BadMemory memory;
    const size_t span = kReadBackSpan.end - kReadBackSpan.begin;
    // The frame whose read-back words start at a place.
    auto frameAt = [](uintptr_t spanStart) {
        return reinterpret_cast<const int16_t*>(spanStart - kReadBackSpan.begin);
    };
    for (const BadMemory::Place& b : memory.BadPlaces(span)) {
        host.SetFrame(frameAt(b.at));
        std::thread acquisition([&] { host.Process(); });  // the host's acquisition thread
        acquisition.join();
        Operator::Pump();
        ASSERT_TRUE(IsWindow(op.Frame())) << b.what;
        EXPECT_EQ("-7", op.Text(kMonopole, IDC_MONO_READBACK1)) << b.what;
    }
    const uintptr_t edge = memory.EdgeFor(span);
    const int16_t word = 42;
    std::memcpy(reinterpret_cast<void*>(edge + 2 * READBACK_MONO_WORD - kReadBackSpan.begin), &word, 2);
    host.SetFrame(frameAt(edge));
    host.Process();
    Operator::Pump();
    EXPECT_EQ("42", op.Text(kMonopole, IDC_MONO_READBACK1));
    host.SetFrame(nullptr);
}

// The host created both blocks first, over files of 4 and 16 bytes, so the
// platform reports exactly that size. Start-up and every page that writes a
// block touch nothing past it, seen through the host's own view.
TEST_F(Hardening, TinyHostBlocksAreNeverWrittenPastTheirSize) {
    for (DWORD size : {4u, 16u}) {
        SCOPED_TRACE(size);
        struct Held {
            HANDLE file, mapping;
            unsigned char* view;
        } held[2];
        const char* names[2] = {TOOL_CONTROL_BLOCK_NAME, PROCESS_BLOCK_NAME};
        for (int b = 0; b < 2; ++b) {
            const std::string path = host.WorkFolder() + "\\block" + std::to_string(b) + ".bin";
            held[b].file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, held[b].file);
            const std::string zeros(size, '\0');
            DWORD n;
            WriteFile(held[b].file, zeros.data(), size, &n, nullptr);
            held[b].mapping = CreateFileMappingA(held[b].file, nullptr, PAGE_READWRITE, 0, size, names[b]);
            ASSERT_NE(nullptr, held[b].mapping);
            held[b].view = static_cast<unsigned char*>(MapViewOfFile(held[b].mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
            ASSERT_NE(nullptr, held[b].view);
            std::memset(held[b].view, 0xAB, 4096);  // the page past the file's end
            std::memset(held[b].view, 0, size);
        }
        auto untouchedPast = [&](int b) {
            for (size_t i = size; i < 4096; ++i)
                if (held[b].view[i] != 0xAB) return false;
            return true;
        };

        Operator op = OpenOnPage(host, kDtGain);
        op.DragSlider(kDtGain, IDC_DT_START_TIME, {400});
        op.ClickPageItem(kMonopole);
        op.TypeAndEnter(kMonopole, IDC_MONO_WIN_END, "3000");
        op.ClickPageItem(kDipole);
        op.TypeAndEnter(kDipole, IDC_DIP_WIN_END, "9000");
        op.ClickPageItem(kAcoustic);
        op.SelectCombo(kAcoustic, IDC_AP_CURVE, 1);
        op.SelectCombo(kAcoustic, IDC_AP_FILTER_TYPE, 2);
        op.TypeAndEnter(kAcoustic, IDC_AP_DT_MIN, "12");
        op.DragSlider(kAcoustic, IDC_AP_START1, {300});
        op.DragSlider(kAcoustic, IDC_AP_MIN4, {5});
        op.DragSlider(kAcoustic, IDC_AP_THRES_FACTOR, {5});

        int32_t first[4] = {};
        std::memcpy(first, held[0].view, std::min<size_t>(size, sizeof first));
        EXPECT_EQ(80, first[0]);  // written at start-up
        if (size == 16) {
            EXPECT_EQ(240, first[2]);
        }
        EXPECT_TRUE(untouchedPast(0)) << "ToolControlPara written past " << size << " bytes";
        std::memcpy(first, held[1].view, std::min<size_t>(size, sizeof first));
        EXPECT_EQ(1, first[0]) << "CurveSelect";
        if (size == 16) {
            EXPECT_EQ(2, first[1]) << "FilterType";
        }
        EXPECT_TRUE(untouchedPast(1)) << "VarroProcessPara written past " << size << " bytes";

        host.Unload();
        for (Held& h : held) {
            UnmapViewOfFile(h.view);
            CloseHandle(h.mapping);
            CloseHandle(h.file);
        }
    }
}

// The host window went away: commands are lost, the operator's values stay,
// and a new host window gets the next command.
TEST_F(Hardening, HostWindowDestroyedBeforeACommand) {
    ASSERT_TRUE(host.Load());
    HWND doomed = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    host.InitWith(doomed);
    Operator op(host.Show());
    DestroyWindow(doomed);
    op.ClickPageItem(kMonopole);
    op.TypeAndEnter(kMonopole, IDC_MONO_CH3, "100");
    op.Click(kMonopole, IDC_MONO_FILTER);
    EXPECT_EQ("78", op.Text(kMonopole, IDC_MONO_CH3));
    EXPECT_TRUE(host.Commands().empty());
    host.Init();
    op.TypeAndEnter(kMonopole, IDC_MONO_CH5, "9");
    EXPECT_EQ((std::vector<CodeValue>{{CMD_MONO_CH5_GAIN, 9}}), TakeCommands(host));
    host.Unload();
    EXPECT_EQ("78", IniValue(host.ReadIni(), "MONOPOLE CONTROL", "Ch3Gain"));
}

// The plug-in's next allocation fails once armed: its import of the
// runtime's malloc is pointed here. (One only: the runtime itself allocates
// to throw and to catch.)
struct FailingAllocations {
    static std::atomic<bool> armed;
    static void*(__cdecl* real)(size_t);
    static void* __cdecl Malloc(size_t n) { return armed.exchange(false) ? nullptr : real(n); }
    void** slot = nullptr;

    explicit FailingAllocations(HMODULE dll) {
        auto* base = reinterpret_cast<unsigned char*>(dll);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base +
                                                                   reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), "msvcrt.dll") != 0) continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(name->Name), "malloc") == 0)
                    slot = reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
        if (!slot) return;
        real = reinterpret_cast<void*(__cdecl*)(size_t)>(*slot);
        Set(reinterpret_cast<void*>(&Malloc));
    }
    ~FailingAllocations() {
        armed = false;
        if (slot) Set(reinterpret_cast<void*>(real));
    }
    void Set(void* f) {
        DWORD old;
        VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
        *slot = f;
        VirtualProtect(slot, sizeof *slot, old, &old);
    }
};
std::atomic<bool> FailingAllocations::armed{false};
void*(__cdecl* FailingAllocations::real)(size_t) = nullptr;

// What the plug-in absorbed is counted (the strip's tip) and written to
// Kelvane.log beside the settings file, one line each: a command lost for
// want of a host window, an unreadable frame, a value the last guard had to
// limit (the stack list left with no selection by another program: the page
// sends it unlimited), an exception stopped at the boundary (the host's DSP
// report handled while allocations fail) and a save that went to the copy
// (a read-only settings file at unload), after a line with the version. A
// full log passes to Kelvane.log.1.
// A log that cannot be written (read-only, locked) changes nothing else: the
// same commands, blocks, tip, settings file and copy.
TEST_F(Hardening, FieldTraceRecordsWhatWasAbsorbed) {
    const std::string log = host.WorkFolder() + "\\" + kTraceFileName;
    const std::string older = log + kTraceOlderSuffix;
    enum class LogState { Writable, Full, ReadOnly, Locked };
    struct Outcome {
        std::vector<CodeValue> commands;
        std::string tip, ini, copy;
        ToolControlPara tool{};
        ProcessPara process{};
    };
    struct Case {
        LogState state;
        const char* what;
    } cases[] = {{LogState::Writable, "writable"},
                 {LogState::Full, "full"},
                 {LogState::ReadOnly, "read-only"},
                 {LogState::Locked, "locked"}};
    const std::string kept = "2026-01-01 00:00:00.000 pid 1 command lost: from before\r\n";
    Outcome first;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.PrepareWorkFolder(host.WorkFolder());  // no settings file, copy or log
        ASSERT_TRUE(host.Load());
        host.Unload();  // a settings file of the plug-in's own
        std::string before;
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.state == LogState::Full) {
            before = std::string(kTraceBoundBytes - 40, '.') + "\r\n";
            WriteRaw(older, "the generation before\r\n");
        }
        if (c.state == LogState::ReadOnly || c.state == LogState::Locked) before = kept;
        if (!before.empty()) WriteRaw(log, before);
        if (c.state == LogState::ReadOnly) SetFileAttributesA(log.c_str(), FILE_ATTRIBUTE_READONLY);
        if (c.state == LogState::Locked)
            held = CreateFileA(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

        Outcome out;
        ASSERT_TRUE(host.Load());
        Operator op(host.Show());  // no host window yet: the opening command is lost
        host.Init();
        op.ClickPageItem(kMonopole);
        host.SetFrame(reinterpret_cast<const int16_t*>(uintptr_t{16}));
        host.Process();
        host.SetFrame(nullptr);
        op.SelectCombo(kMonopole, IDC_MONO_STACK, -1);
        {
            FailingAllocations failing(GetModuleHandleA("Kelvane.dll"));
            ASSERT_NE(nullptr, failing.slot) << "the plug-in imports malloc";
            DspStatusReport report{};
            report.StatusWord = 0x0003;
            FailingAllocations::armed = true;
            SendMessageA(op.Frame(), WM_DSPSTATUS, reinterpret_cast<WPARAM>(&report), 0);
            FailingAllocations::armed = false;
        }
        ASSERT_TRUE(IsWindow(op.Frame()));
        op.TypeAndEnter(kMonopole, IDC_MONO_CH3, "12");
        PumpFor(600);  // a status tick: the tip shows the counts, the lines go to the log
        out.tip = TipText(op.StatusStrip());
        out.commands = TakeCommands(host);
        ASSERT_TRUE(host.ReadToolControl(&out.tool));
        ASSERT_TRUE(host.ReadProcess(&out.process));
        SetFileAttributesA(host.IniPath().c_str(), FILE_ATTRIBUTE_READONLY);
        host.Unload();
        SetFileAttributesA(host.IniPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        SetFileAttributesA(log.c_str(), FILE_ATTRIBUTE_NORMAL);
        out.ini = host.ReadIni();
        out.copy = ReadRaw(host.CopyPath());

        EXPECT_NE(std::string::npos,
                  out.tip.find("1 exception stopped at the boundary, 1 value limited by the last guard, "
                               "1 unreadable frame, "))
            << out.tip;
        EXPECT_NE(std::string::npos, out.tip.find("command lost (no host window).\r\nDetails in " + log)) << out.tip;
        EXPECT_EQ("12", IniValue(out.copy, "MONOPOLE CONTROL", "Ch3Gain"));
        EXPECT_EQ((CodeValue{CMD_MONO_STACK, 1}), out.commands.at(0)) << "the last guard's value went";
        if (c.state == LogState::Writable) {
            first = out;
        } else {
            EXPECT_EQ(first.commands, out.commands);
            EXPECT_EQ(first.tip, out.tip);
            EXPECT_EQ(first.ini, out.ini);
            EXPECT_EQ(first.copy, out.copy);
            EXPECT_EQ(0, std::memcmp(&first.tool, &out.tool, sizeof out.tool));
            EXPECT_EQ(0, std::memcmp(&first.process, &out.process, sizeof out.process));
        }
        const std::string written = ReadRaw(log);
        if (c.state == LogState::ReadOnly || c.state == LogState::Locked) {
            EXPECT_EQ(kept, written);
            continue;
        }
        if (c.state == LogState::Full) {
            EXPECT_EQ(before, ReadRaw(older)) << "the full log is the older generation";
        }
        const std::string stamp = " pid " + std::to_string(GetCurrentProcessId()) + " ";
        for (const std::string& event : std::vector<std::string>{
                 "command lost: DT auto gain", "unreadable frames: 1 skipped",
                 "last guard limited: Monopole stack 0, sent as 1", "exception stopped: std::bad_alloc",
                 "save fell back: Not saved to " + host.IniPath() + ". The file is read-only."}) {
            const size_t at = written.find(stamp + event);
            ASSERT_NE(std::string::npos, at) << event << "\n" << written;
            const size_t lineStart = written.rfind('\n', at) == std::string::npos ? 0 : written.rfind('\n', at) + 1;
            EXPECT_EQ(at - lineStart, 23u) << "the local time first: " << written.substr(lineStart, 40);
        }
        EXPECT_LT(written.size(), 4096u) << "a line each";
        const std::string version = stamp + "Kelvane " KELVANE_VERSION_TEXT "\r\n";
        EXPECT_EQ(23u, written.find(version)) << "the version opens the load's lines\n" << written;
        EXPECT_EQ(written.find(version), written.rfind(version)) << "once a load\n" << written;
    }
}

// ToolControlShow from inside the modal range message of "Download" (the
// host's timer fires in the box's loop): the one window is raised, no second
// one is made, and the box closes normally.
struct ShowDuringBox {
    ToolControlShowFn show = nullptr;
    HWND returned = nullptr;
    int framesSeen = 0;
    std::string boxText;
    bool done = false;
};
ShowDuringBox g_showDuringBox;

BOOL CALLBACK CountFrames(HWND w, LPARAM lp) {
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "KelvaneControlFrame") == 0) ++*reinterpret_cast<int*>(lp);
    return TRUE;
}
BOOL CALLBACK FindBox(HWND w, LPARAM lp) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}
// For a thread timer's procedure: the message box, the first time it is up
// (the timer then stops); null before and after.
HWND BoxOnce(UINT_PTR timer, bool& done) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box || done) return nullptr;
    done = true;
    KillTimer(nullptr, timer);
    return box;
}

void CALLBACK ShowThenCloseBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = BoxOnce(id, g_showDuringBox.done);
    if (!box) return;
    g_showDuringBox.returned = static_cast<HWND>(g_showDuringBox.show(0));
    EnumThreadWindows(GetCurrentThreadId(), &CountFrames, reinterpret_cast<LPARAM>(&g_showDuringBox.framesSeen));
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    g_showDuringBox.boxText = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Hardening, ShowWhileTheRangeMessageIsUp) {
    Operator op = OpenOnPage(host, kGeneral);
    TakeCommands(host);
    g_showDuringBox = ShowDuringBox{};
    g_showDuringBox.show = reinterpret_cast<ToolControlShowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("Kelvane.dll"), "ToolControlShow")));
    ASSERT_NE(nullptr, g_showDuringBox.show);
    op.SetText(kGeneral, IDC_GEN_DT_DELAY, "99999999");
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, &ShowThenCloseBox);
    op.Click(kGeneral, IDC_GEN_DOWNLOAD);
    KillTimer(nullptr, timer);
    Operator::Pump();
    ASSERT_TRUE(g_showDuringBox.done) << "no message box appeared";
    EXPECT_FALSE(g_showDuringBox.boxText.empty());
    EXPECT_EQ(op.Frame(), g_showDuringBox.returned);
    EXPECT_EQ(1, g_showDuringBox.framesSeen);
    EXPECT_TRUE(TakeCommands(host).empty()) << "a bad field sends nothing";
    // The window carries on.
    EXPECT_EQ(op.Frame(), host.Show());
    op.ClickPageItem(kDtGain);
    op.TypeAndEnter(kDtGain, IDC_DT_CH2, "5");
    EXPECT_EQ((std::vector<CodeValue>{{CMD_DT_CH2_GAIN, 3}}), TakeCommands(host));
}

// The host closes the control window (WM_CLOSE, as a host that shuts its
// panels does) while a dialog, a message box or the common dialog of ours is
// up: the dialog ends with it, nothing of the window is touched after it is
// gone, nothing is sent on its behalf, and the heap stays whole (the host
// allocates right after, as hosts do, over anything freed too early).
struct CloseUnderDialog {
    HWND frame = nullptr;
    int closeAt = 0;  // the dialog (1 = the first shown) under which the window is closed
    int seen = 0;
    HWND last = nullptr;
    bool closed = false;
    std::function<void(HWND dialog)> answer;  // for the dialogs before it
};
CloseUnderDialog g_closeUnder;

void CALLBACK CloseFrameUnderDialog(HWND, UINT, UINT_PTR, DWORD) {
    CloseUnderDialog& c = g_closeUnder;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || c.closed || dialog == c.last || !IsWindowEnabled(dialog)) return;
    c.last = dialog;
    if (++c.seen < c.closeAt) {
        if (c.answer) c.answer(dialog);
        return;
    }
    c.closed = true;
    SendMessageA(c.frame, WM_CLOSE, 0, 0);
    std::vector<void*> churn;
    for (int i = 0; i < 2000; ++i) {
        const size_t n = 16 + static_cast<size_t>(i % 61) * 24;
        void* p = std::malloc(n);
        if (p) std::memset(p, 0xCC, n);
        churn.push_back(p);
    }
    for (void* p : churn) std::free(p);
}

bool EveryHeapValid() {
    HANDLE heaps[64];
    const DWORD n = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < n && i < 64; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

TEST_F(Hardening, HostClosesTheWindowUnderEveryDialogOfOurs) {
    auto menu = [](UINT id) { return [id](Operator& op) { SendMessageA(op.Frame(), WM_COMMAND, id, 0); }; };
    auto badDelay = [](Operator& op) { op.SetText(kGeneral, IDC_GEN_DT_DELAY, "99999999"); };
    auto keepSetup = [this](Operator& op) {
        DeleteFileA((host.WorkFolder() + "\\Setups\\kept.ini").c_str());  // an earlier run's
        ASSERT_TRUE(SaveSetup(op.Frame(), "kept").messages.empty());
    };
    const struct {
        const char* name;
        std::function<void(Operator&)> prepare;
        std::function<void(Operator&)> action;
        int closeAt;
        std::function<void(HWND)> answer;
    } cases[] = {
        {"Load set-up: the list", nullptr, menu(ID_FILE_LOAD_SETUP), 1, nullptr},
        {"Load set-up: the preview", keepSetup, menu(ID_FILE_LOAD_SETUP), 2,
         [](HWND list) {
             ChooseListRow(list, IDC_SETUP_LIST, "kept");
             PushDialogButton(list, IDOK);
         }},
        {"Save set-up: the name", nullptr, menu(ID_FILE_SAVE_SETUP), 1, nullptr},
        {"Save set-up: replace it?", keepSetup, menu(ID_FILE_SAVE_SETUP), 2,
         [](HWND name) {
             SetDialogText(name, IDC_SETUP_NAME, "kept");
             PushDialogButton(name, IDOK);
         }},
        {"Save job record", nullptr, menu(ID_FILE_SAVE_RECORD), 1, nullptr},
        {"Send all: the preview", nullptr, menu(ID_FILE_SEND_ALL), 1, nullptr},
        {"Send all: the range message", badDelay, menu(ID_FILE_SEND_ALL), 2,
         [](HWND preview) { PushDialogButton(preview, IDOK); }},
        {"Download: the range message", badDelay, [](Operator& op) { op.Click(kGeneral, IDC_GEN_DOWNLOAD); }, 1,
         nullptr},
        {"Trend: save as CSV", nullptr,
         [](Operator& op) {
             HWND trend = op.OpenTrend();
             ASSERT_NE(nullptr, trend);
             SendMessageA(trend, WM_COMMAND, 102, 0);  // "Save as CSV..."
         },
         1, nullptr},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NextCase(host, "case" + std::to_string(++n));
        Operator op = OpenOnPage(host, kGeneral);
        if (c.prepare) c.prepare(op);
        TakeCommands(host);
        g_closeUnder = CloseUnderDialog{};
        g_closeUnder.frame = op.Frame();
        g_closeUnder.closeAt = c.closeAt;
        g_closeUnder.answer = c.answer;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CloseFrameUnderDialog);
        c.action(op);
        KillTimer(nullptr, timer);
        Operator::Pump();
        ASSERT_TRUE(g_closeUnder.closed) << "the dialog never showed";
        EXPECT_FALSE(IsWindow(op.Frame()));
        EXPECT_TRUE(EveryHeapValid());
        EXPECT_TRUE(TakeCommands(host).empty()) << "sent on behalf of a window that was gone";
        // The plug-in carries on: a new window, and it sends.
        Operator again(host.Show());
        ASSERT_TRUE(IsWindow(again.Frame()));
        TakeCommands(host);
        again.ClickPageItem(kDtGain);
        again.TypeAndEnter(kDtGain, IDC_DT_CH2, "5");
        EXPECT_EQ((std::vector<CodeValue>{{CMD_DT_CH2_GAIN, 3}}), TakeCommands(host));
        EXPECT_TRUE(EveryHeapValid());
    }
}

// The host unloads the library while the range message of "Download" is up,
// from a timer that runs in the box's loop or from another thread, then the
// box is answered. The plug-in's code returns into a library still there;
// the library goes once the host's loop is idle again, its shut-down closing
// the window and saving what the operator changed before.
struct UnloadDuringBox {
    HMODULE dll = nullptr;
    bool fromThread = false;
    bool done = false;
    bool stillLoaded = false;
};
UnloadDuringBox g_unloadDuringBox;

void CALLBACK UnloadThenCloseBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = BoxOnce(id, g_unloadDuringBox.done);
    if (!box) return;
    if (g_unloadDuringBox.fromThread) std::thread([] { FreeLibrary(g_unloadDuringBox.dll); }).join();
    else FreeLibrary(g_unloadDuringBox.dll);
    g_unloadDuringBox.stillLoaded = GetModuleHandleA("Kelvane.dll") != nullptr;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Hardening, UnloadWhileTheRangeMessageIsUp) {
    for (bool fromThread : {false, true}) {
        SCOPED_TRACE(fromThread ? "FreeLibrary from another thread" : "FreeLibrary from a timer in the box's loop");
        host.PrepareWorkFolder(TestFolder());
        Operator op = OpenOnPage(host, kMonopole);
        op.TypeAndEnter(kMonopole, IDC_MONO_CH3, "9");
        op.ClickPageItem(kGeneral);
        op.SetText(kGeneral, IDC_GEN_DT_DELAY, "99999999");
        const HWND frame = op.Frame();
        g_unloadDuringBox = UnloadDuringBox{};
        g_unloadDuringBox.dll = host.TakeModule();
        g_unloadDuringBox.fromThread = fromThread;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, &UnloadThenCloseBox);
        op.Click(kGeneral, IDC_GEN_DOWNLOAD);
        KillTimer(nullptr, timer);
        ASSERT_TRUE(g_unloadDuringBox.done) << "no message box appeared";
        EXPECT_TRUE(g_unloadDuringBox.stillLoaded) << "unloaded under the plug-in's own code";
        EXPECT_TRUE(WaitUntilUnloaded());
        EXPECT_FALSE(IsWindow(frame));
        EXPECT_EQ("9", IniValue(host.ReadIni(), "MONOPOLE CONTROL", "Ch3Gain"));
    }
}

// FreeLibrary with the window open: shut-down destroys it (and its keyboard
// hook: keys still flow through this thread's loop afterwards), writes the
// INI, and the library loads and opens again.
TEST_F(Hardening, UnloadWithTheWindowOpen) {
    Operator op = OpenOnPage(host, kMonopole);
    op.TypeAndEnter(kMonopole, IDC_MONO_CH3, "100");
    const HWND frame = op.Frame();
    host.Unload();
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ("78", IniValue(host.ReadIni(), "MONOPOLE CONTROL", "Ch3Gain"));
    PostMessageA(host.HostWindow(), WM_KEYDOWN, VK_TAB, 1);
    PostMessageA(host.HostWindow(), WM_KEYUP, VK_TAB, 0xC0000001);
    HostHarness::Pump();

    Operator again = OpenOnPage(host, kMonopole);
    ASSERT_NE(nullptr, again.Frame());
    EXPECT_EQ("78", again.Text(kMonopole, IDC_MONO_CH3));
    again.TypeAndEnterViaLoop(kMonopole, IDC_MONO_CH4, "6");
    EXPECT_EQ("6", again.Text(kMonopole, IDC_MONO_CH4));
}

// This thread's loop, idle as a host's UI thread is, until done is set; then
// a while more, so the timers of a window that should be gone would fire.
void IdleUntil(const std::atomic<bool>& done, double thenSeconds) {
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        HostHarness::Pump(1);
    }
    for (const double end = Now() + thenSeconds; Now() < end;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        HostHarness::Pump(1);
    }
}

// Until done, the window's thread handles only what other threads send it
// (the unload's requests): no timer or key of the window runs code of ours
// meanwhile, as on a thread idle in its loop at that moment.
void HandleSentUntil(const std::atomic<bool>& done) {
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// FreeLibrary on another thread than the window's, that thread idle in its
// loop: the library is gone when FreeLibrary returns, the window with it
// (destroyed on its own thread), the settings saved, and the window's
// thread runs on (timers, keys) without anything of ours.
// A host of the kind that skins controls: every other edit made on its
// thread gets a procedure of the host's in front of the edit's own.
std::map<HWND, WNDPROC> g_hostEditProcs;
int g_editsMade = 0;
long g_hostEditMessages = 0;
LRESULT CALLBACK HostEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ++g_hostEditMessages;
    return CallWindowProcW(g_hostEditProcs[hwnd], hwnd, msg, wParam, lParam);
}
LRESULT CALLBACK SkinEdits(int code, WPARAM wParam, LPARAM lParam) {
    const auto* ret = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    char cls[16] = {};
    if (code == HC_ACTION && ret->message == WM_CREATE && GetClassNameA(ret->hwnd, cls, sizeof cls) &&
        lstrcmpiA(cls, "Edit") == 0 && g_editsMade++ % 2 == 1)
        g_hostEditProcs[ret->hwnd] = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(ret->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostEditProc)));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Also in a host whose own procedure stands in front of some of the edits.
TEST_F(Hardening, UnloadFromAnotherThreadWithTheWindowOpen) {
    const struct {
        int id;
        const char* key;
        const char* typed;
    } boxes[] = {{IDC_MONO_CH1, "Ch1Gain", "12"},
                 {IDC_MONO_CH2, "Ch2Gain", "6"},
                 {IDC_MONO_CH3, "Ch3Gain", "18"},
                 {IDC_MONO_CH4, "Ch4Gain", "24"}};
    for (const bool skinned : {false, true}) {
        SCOPED_TRACE(skinned ? "host subclasses every other edit" : "plain host");
        if (skinned) {
            host.Unload();
            ASSERT_TRUE(host.Load());
        }
        HHOOK skin = skinned ? SetWindowsHookExA(WH_CALLWNDPROCRET, &SkinEdits, nullptr, GetCurrentThreadId())
                             : nullptr;
        Operator op = OpenOnPage(host, kMonopole);
        size_t skinnedBoxes = 0;
        for (const auto& b : boxes) {
            skinnedBoxes += g_hostEditProcs.count(op.Control(kMonopole, b.id));
            op.TypeAndEnter(kMonopole, b.id, b.typed);
            EXPECT_EQ(b.typed, op.Text(kMonopole, b.id)) << b.key;
        }
        if (skinned) {
            EXPECT_GT(skinnedBoxes, 0u);
            EXPECT_LT(skinnedBoxes, 4u);
            EXPECT_GT(g_hostEditMessages, 0);
        }
        const HWND frame = op.Frame();
        const std::atomic<bool> never{true};
        IdleUntil(never, 0.2);  // the window's thread idle: no code of ours runs there
        HMODULE dll = host.TakeModule();
        std::atomic<bool> done{false};
        bool goneOnReturn = false;
        std::thread unloader([&] {
            FreeLibrary(dll);
            goneOnReturn = GetModuleHandleA("Kelvane.dll") == nullptr;
            done = true;
        });
        PostMessageA(host.HostWindow(), WM_KEYDOWN, VK_TAB, 1);
        HandleSentUntil(done);
        IdleUntil(done, 1.2);  // past the window's half-second status timer
        unloader.join();
        EXPECT_TRUE(goneOnReturn) << "FreeLibrary returned with the library loaded";
        EXPECT_FALSE(IsWindow(frame)) << "the window stayed";
        const std::string ini = host.ReadIni();
        for (const auto& b : boxes) EXPECT_EQ(b.typed, IniValue(ini, "MONOPOLE CONTROL", b.key));
        if (skin) UnhookWindowsHookEx(skin);
        g_hostEditProcs.clear();
        Operator again = OpenOnPage(host, kMonopole);
        ASSERT_NE(nullptr, again.Frame());
        EXPECT_EQ("18", again.Text(kMonopole, IDC_MONO_CH3));
    }
}

// Unloaded from another thread while the window's thread is busy: the window
// and the trend's outlive the load (their thread destroys them later), and so
// do their classes. The next load replaces every class of ours, not only the
// frame's: its trend is a live window again, not the earlier load's leftover.
TEST_F(Hardening, EveryClassIsReplacedAfterAnUnloadThatLeftItsWindowsBehind) {
    Operator op = OpenOnPage(host, kMonopole);
    const HWND frame = op.Frame();
    const HWND trend = op.OpenTrend();
    ASSERT_NE(nullptr, trend);
    HMODULE dll = host.TakeModule();
    std::thread unloader([dll] { FreeLibrary(dll); });
    Sleep(400);  // busy: the unload's close waits for this thread in vain
    unloader.join();
    EXPECT_TRUE(IsWindow(frame)) << "the case needs the windows left behind";
    Operator::Pump();
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_FALSE(IsWindow(trend));
    ASSERT_TRUE(WaitUntilUnloaded());
    for (int round = 0; round < 2; ++round) {
        Operator again = OpenOnPage(host, kMonopole);
        const HWND next = again.OpenTrend();
        ASSERT_NE(nullptr, next) << round;
        EXPECT_TRUE(IsWindowVisible(next)) << round;
        TrendProbe probe{};
        EXPECT_EQ(1, SendMessageA(next, WM_TRENDPROBE, 0, reinterpret_cast<LPARAM>(&probe))) << "not our procedure";
        host.Unload();
    }
}

// The host unloads the library from inside its own frame call (its
// GetToolSubsetPtr frees it) on the window's thread: the unload does not wait
// for the very call it runs in (the unload's bound for frame calls is a
// second), the window goes, the settings are saved, and the call comes back.
struct UnloadInFrameCall {
    HMODULE dll = nullptr;
    double seconds = -1;
    bool goneOnReturn = false;
};
void __cdecl UnloadFromTheFrameCall(void* context) {
    auto* u = static_cast<UnloadInFrameCall*>(context);
    const double t0 = Now();
    FreeLibrary(u->dll);
    u->seconds = Now() - t0;
    u->goneOnReturn = GetModuleHandleA("Kelvane.dll") == nullptr;
}

TEST_F(Hardening, UnloadInsideTheHostsOwnFrameCall) {
    std::vector<int16_t> words(FRAME_MIN_WORDS, 0);
    host.SetFrame(words.data());
    Operator op = OpenOnPage(host, kMonopole);
    op.TypeAndEnter(kMonopole, IDC_MONO_CH3, "9");
    const HWND frame = op.Frame();
    const auto process = reinterpret_cast<ToolControlProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("Kelvane.dll"), "ToolControlProcess")));
    const auto during = reinterpret_cast<TamsilDuringNextCallFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("Tamsil.dll"), "TamsilDuringNextCall")));
    ASSERT_NE(nullptr, process);
    ASSERT_NE(nullptr, during);
    UnloadInFrameCall u;
    u.dll = host.TakeModule();
    during(&UnloadFromTheFrameCall, &u);
    process(0, 0);
    EXPECT_TRUE(u.goneOnReturn);
    EXPECT_GE(u.seconds, 0.0);
    EXPECT_LT(u.seconds, 0.8) << "the unload waited for its own frame call";
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ("9", IniValue(host.ReadIni(), "MONOPOLE CONTROL", "Ch3Gain"));
}

// Only compiled code in images runs. Through a load, the window, frames, a
// background save (made to wait on a held file, so its thread is caught), a
// close, a reopen and an unload from a worker thread, the process gains no
// private executable memory, and no thread starts outside an image.
std::set<uintptr_t> PrivateExecutableRegions() {
    std::set<uintptr_t> found;
    MEMORY_BASIC_INFORMATION mbi{};
    for (uintptr_t at = 0x10000; at < 0x7FFF0000u && VirtualQuery(reinterpret_cast<void*>(at), &mbi, sizeof mbi);
         at = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize) {
        const DWORD exec = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE && (mbi.Protect & exec))
            found.insert(reinterpret_cast<uintptr_t>(mbi.BaseAddress));
        if (mbi.RegionSize == 0) break;
    }
    return found;
}

// Each thread of the process and whether it started in an image.
std::map<DWORD, bool> ThreadsStartingInImages() {
    using QueryThread = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    std::map<DWORD, bool> threads;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    for (BOOL more = Thread32First(snap, &te); more; more = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != GetCurrentProcessId()) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID);
        void* start = nullptr;
        MEMORY_BASIC_INFORMATION mbi{};
        const bool known = thread && query &&
                           query(thread, 9 /* the thread's start address */, &start, sizeof start, nullptr) == 0;
        threads[te.th32ThreadID] = !known || !start ||
                                   (VirtualQuery(start, &mbi, sizeof mbi) == sizeof mbi && mbi.Type == MEM_IMAGE);
        if (thread) CloseHandle(thread);
    }
    CloseHandle(snap);
    return threads;
}

TEST_F(Hardening, OnlyCompiledCodeInImagesRuns) {
    std::vector<int16_t> words(FRAME_MIN_WORDS, 0);
    host.SetFrame(words.data());
    const std::set<uintptr_t> before = PrivateExecutableRegions();
    const std::map<DWORD, bool> threadsBefore = ThreadsStartingInImages();
    bool sawOurThread = false;
    std::vector<DWORD> outsideImages;
    for (int round = 0; round < 2; ++round) {
        Operator op = OpenOnPage(host, kMonopole);
        for (int f = 0; f < 20; ++f) host.Process();
        Operator::Pump();
        op.TypeAndEnter(kMonopole, IDC_MONO_CH3, round ? "6" : "9");
        HANDLE held = CreateFileA(host.IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        SendMessageA(op.Frame(), WM_CLOSE, 0, 0);  // the save waits out the lock on a thread of its own
        Sleep(100);
        for (const auto& t : ThreadsStartingInImages()) {
            if (!threadsBefore.count(t.first)) sawOurThread = true;
            if (!t.second) outsideImages.push_back(t.first);
        }
        CloseHandle(held);
        PumpFor(300);
        Operator again(host.Show());
        for (int f = 0; f < 20; ++f) host.Process();
        Operator::Pump();
        HMODULE dll = host.TakeModule();
        std::thread([dll] { FreeLibrary(dll); }).join();
        ASSERT_TRUE(WaitUntilUnloaded());
    }
    EXPECT_TRUE(sawOurThread) << "the background save's thread was not caught";
    EXPECT_TRUE(outsideImages.empty()) << outsideImages.size() << " thread(s) started outside an image";
    std::vector<uintptr_t> made;
    for (uintptr_t r : PrivateExecutableRegions())
        if (!before.count(r)) made.push_back(r);
    EXPECT_TRUE(made.empty()) << made.size() << " private executable region(s) made, the first at " << std::hex
                              << (made.empty() ? 0 : made[0]);
    EXPECT_EQ("6", IniValue(host.ReadIni(), "MONOPOLE CONTROL", "Ch3Gain"));
}

// The host's acquisition thread is inside GetToolSubsetPtr (its frame call
// takes half a second) when the UI thread unloads the library: the call
// comes back into the host, not into an unloaded image, and the unload is
// complete when FreeLibrary returns.
TEST_F(Hardening, UnloadWhileAFrameCallIsInTheHostLibrary) {
    std::vector<int16_t> words(FRAME_MIN_WORDS, 0);
    host.SetFrame(words.data());
    Operator op = OpenOnPage(host, kMonopole);
    const ToolControlProcessFn process = reinterpret_cast<ToolControlProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("Kelvane.dll"), "ToolControlProcess")));
    ASSERT_NE(nullptr, process);
    const std::atomic<bool> never{true};
    IdleUntil(never, 0.2);  // the UI thread idle: no code of ours runs there
    host.SetFrameDelay(500);
    const long before = host.SubsetCalls();
    std::atomic<bool> returned{false};
    std::thread acquisition([&] {
        process(0, 0);
        returned = true;
    });
    while (host.SubsetCalls() == before) Sleep(1);
    FreeLibrary(host.TakeModule());
    EXPECT_EQ(nullptr, GetModuleHandleA("Kelvane.dll")) << "FreeLibrary returned with the library loaded";
    acquisition.join();
    host.SetFrameDelay(0);
    host.SetFrame(nullptr);
    EXPECT_TRUE(returned);
    EXPECT_FALSE(IsWindow(op.Frame()));
}

// A host that ends a job in one handler: closes the window, unloads, the
// settings file changes hands (here: edited), and the next job loads the
// library again. The unload is complete when FreeLibrary returns, and the
// new start reads the file as it now is.
TEST_F(Hardening, CloseUnloadAndReloadInOneHandler) {
    Operator op = OpenOnPage(host, kMonopole);
    op.TypeAndEnter(kMonopole, IDC_MONO_CH3, "9");
    HMODULE dll = host.TakeModule();
    SendMessageA(op.Frame(), WM_CLOSE, 0, 0);
    FreeLibrary(dll);
    EXPECT_EQ(nullptr, GetModuleHandleA("Kelvane.dll")) << "the unload waited for the loop";
    std::string ini = host.ReadIni();
    EXPECT_EQ("9", IniValue(ini, "MONOPOLE CONTROL", "Ch3Gain"));
    const size_t at = ini.find("Ch3Gain=9");
    ASSERT_NE(std::string::npos, at);
    ini.replace(at, 9, "Ch3Gain=12");
    host.WriteIni(ini);
    Operator next = OpenOnPage(host, kMonopole);
    EXPECT_EQ("12", next.Text(kMonopole, IDC_MONO_CH3));
}

}  // namespace
