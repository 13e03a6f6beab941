#include "core/logic/SetupRules.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <limits>

#include "KelvaneHost.h"
#include "base/logic/NumberText.h"
#include "base/logic/Text.h"
#include "core/logic/DriveLimits.h"
#include "core/logic/IniRules.h"

namespace kelvane {
namespace {

constexpr SetupUnit Db = SetupUnit::Db;
constexpr SetupUnit Us = SetupUnit::Us;
constexpr SetupUnit OnOff = SetupUnit::OnOff;
constexpr SetupUnit Check = SetupUnit::Check;
constexpr SetupUnit Real = SetupUnit::Real;

const char* const kFileSections[] = {kSetupSection,  kGeneralSection,  kDtSection,      kMonoSection,
                                     kDipoleSection, kAcousticSection, kSetupEndSection};

int32_t IntOf(const ParameterSet& p, size_t off) {
    int32_t v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(&p) + off, 4);
    return v;
}
float FloatOf(const ParameterSet& p, size_t off) {
    float v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(&p) + off, 4);
    return v;
}
void SetBits(ParameterSet& p, size_t off, const void* v) {
    std::memcpy(reinterpret_cast<unsigned char*>(&p) + off, v, 4);
}

// Plain decimal only: sign, digits, point, digits, exponent; a finite float.
bool StrictReal(const std::string& t, float& out) {
    size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    size_t digits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
        size_t exp = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++exp;
        if (exp == 0 || exp > 4) return false;
    }
    if (i != t.size()) return false;
    const float v = ParseLeadingFloat(t.c_str());
    if (!std::isfinite(v) || std::fabs(v) >= std::numeric_limits<float>::max()) return false;
    out = v;
    return true;
}

std::string Quoted(const std::string& s) {
    std::string q = "\"";
    for (char c : s.substr(0, 40)) q += (static_cast<unsigned char>(c) < 32) ? '?' : c;
    return q + (s.size() > 40 ? "...\"" : "\"");
}

std::string At(int line) { return "line " + FormatInt(line) + ": "; }

}  // namespace

const std::vector<SetupSetting>& SetupSettings() {
    static const std::vector<SetupSetting> rows = [] {
        std::vector<SetupSetting> carried;
        for (const SettingRow& r : kSettings)
            if (r.label)
                carried.push_back({r.page, r.label, r.key ? r.section : kSetupSection, r.key ? r.key : r.setupKey,
                                   r.member, r.unit, r.code, r.choices, r.range});
        return carried;
    }();
    return rows;
}

std::string SetupValueText(const SetupSetting& s, const ParameterSet& p) {
    if (s.unit == Real) return FormatFixed(FloatOf(p, s.member), 2);
    const int32_t v = IntOf(p, s.member);
    switch (s.unit) {
    case Db: return FormatInt(v) + " dB";
    case Us: return FormatInt(v) + " us";
    case OnOff: return v == 0 ? "off" : v == 1 ? "on" : FormatInt(v) + " (on)";
    case Check: return v ? "on" : "off";
    default: return FormatInt(v);
    }
}

std::string RenderSetup(const std::string& name, const std::string& saved, const ParameterSet& p) {
    std::string out;
    size_t keys = 0;
    for (const char* section : kFileSections) {
        if (section == kSetupEndSection) break;
        out += std::string("[") + section + "]\r\n";
        if (section == kSetupSection) {
            out += "Name=";
            out += name;
            out += "\r\nSaved=";
            out += saved;
            out += "\r\n";
        }
        for (const SetupSetting& s : SetupSettings()) {
            if (std::strcmp(s.section, section) != 0) continue;
            const std::string text = s.unit == Real ? FormatShortest(FloatOf(p, s.member))
                                                    : FormatInt(IntOf(p, s.member));
            out += std::string(s.key) + "=" + text + "\r\n";
            ++keys;
        }
    }
    out += std::string("[") + kSetupEndSection + "]\r\nKeys=" + FormatInt(static_cast<int32_t>(keys)) + "\r\n";
    return out;
}

bool ParseSetup(const std::string& text, const ParameterSet& base, SetupFile& out, std::string& why) {
    if (text.empty()) {
        why = "the file is empty: not a set-up";
        return false;
    }
    if (text.size() > kSetupMaxBytes) {
        why = "the file is larger than any set-up: not a set-up";
        return false;
    }
    // Split into lines first: a set-up is text, and has its own section.
    std::vector<std::string> lines;
    bool anySetupSection = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool last = end == std::string::npos;
        if (last) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('\0') != std::string::npos) {
            why = At(static_cast<int>(lines.size()) + 1) + "holds a zero byte: not a set-up (not a text file)";
            return false;
        }
        if (Lower(Trimmed(line)) == "[set-up]") anySetupSection = true;
        lines.push_back(line);
        start = end + 1;
    }
    const bool endsInLine = text.back() != '\n';
    if (!anySetupSection) {
        why = "not a set-up: it has no [SET-UP] section";
        return false;
    }

    out.values = base;
    out.name.clear();
    out.saved.clear();
    std::vector<int> seenAt(SetupSettings().size(), 0);
    bool named = false, ended = false;
    int32_t keyCount = -1;
    std::string section;
    for (size_t n = 0; n < lines.size(); ++n) {
        const int lineNo = static_cast<int>(n) + 1;
        const std::string line = Trimmed(lines[n]);
        const bool cut = endsInLine && n + 1 == lines.size();
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            if (line.back() != ']') {
                why = At(lineNo) + (cut ? "the file ends in the middle of this line (cut short)"
                                        : "a section name without its closing ]");
                return false;
            }
            section = Lower(Trimmed(line.substr(1, line.size() - 2)));
            if (section == Lower(kSetupEndSection)) ended = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            why = At(lineNo) + (cut ? "the file ends in the middle of this line (cut short)"
                                    : Quoted(line) + " is neither a section, a key nor a comment");
            return false;
        }
        const std::string key = Trimmed(line.substr(0, eq));
        const std::string value = Trimmed(line.substr(eq + 1));
        if (section.empty()) {
            why = At(lineNo) + "key \"" + key + "\" comes before any section";
            return false;
        }
        if (section == Lower(kSetupSection) && Lower(key) == "name") {
            out.name = value;
            named = true;
            continue;
        }
        if (section == Lower(kSetupSection) && Lower(key) == "saved") {
            out.saved = value;
            continue;
        }
        if (section == Lower(kSetupEndSection) && Lower(key) == "keys") {
            if (!ParseStrictInt(value, &keyCount) || keyCount < 0) {
                why = At(lineNo) + "key \"Keys\" of [" + kSetupEndSection + "]: " + Quoted(value) + " is not a count";
                return false;
            }
            continue;
        }
        for (size_t i = 0; i < SetupSettings().size(); ++i) {
            const SetupSetting& s = SetupSettings()[i];
            if (Lower(s.section) != section || Lower(s.key) != Lower(key)) continue;
            const std::string where = At(lineNo) + "key \"" + s.key + "\" of [" + s.section + "]: ";
            if (seenAt[i]) {
                why = where + "given twice (first on line " + FormatInt(seenAt[i]) + ")";
                return false;
            }
            seenAt[i] = lineNo;
            if (s.unit == Real) {
                float v = 0;
                if (!StrictReal(value, v)) {
                    why = where + Quoted(value) + " is not a number";
                    return false;
                }
                SetBits(out.values, s.member, &v);
            } else {
                int32_t v = 0;
                if (!ParseStrictInt(value, &v)) {
                    why = where + Quoted(value) + " is not a whole number";
                    return false;
                }
                if (s.range == SetupRange::GainStep && (v < 1 || v > 3)) {
                    why = where + Quoted(value) + " is not a gain step (1, 2 or 3 dB)";
                    return false;
                }
                SetBits(out.values, s.member, &v);
            }
            break;
        }
    }
    if (!named) {
        why = "not a set-up: its [SET-UP] section has no Name";
        return false;
    }
    if (!ended || keyCount < 0) {
        why = "the file is cut short: it ends at line " + FormatInt(static_cast<int32_t>(lines.size())) +
              " without its [SET-UP END] section";
        return false;
    }
    for (size_t i = 0; i < SetupSettings().size(); ++i)
        if (!seenAt[i]) {
            why = std::string("key \"") + SetupSettings()[i].key + "\" of [" + SetupSettings()[i].section +
                  "] is missing";
            return false;
        }
    if (keyCount != static_cast<int32_t>(SetupSettings().size())) {
        why = std::string("[") + kSetupEndSection + "] counts " + FormatInt(keyCount) + " keys, a set-up has " +
              FormatInt(static_cast<int32_t>(SetupSettings().size()));
        return false;
    }
    return true;
}

std::string SetupNameProblem(const std::string& name) {
    if (Trimmed(name).empty()) return "A set-up needs a name.";
    // Characters, not bytes: the name is UTF-8.
    size_t characters = 0;
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool whole = n != 0 && i + n <= name.size();
        for (size_t k = 1; whole && k < n; ++k) whole = (static_cast<unsigned char>(name[i + k]) & 0xC0) == 0x80;
        if (!whole) return "A set-up name must be text: it holds a byte that is no character.";
        i += n;
        ++characters;
    }
    if (characters > kSetupNameMax) return "A set-up name has at most " + FormatInt(kSetupNameMax) + " characters.";
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"/\\|?*", c))
            return "A set-up name cannot hold the characters < > : \" / \\ | ? * or control characters.";
    }
    if (IsCBlank(name.front()) || IsCBlank(name.back()) || name.front() == '.' || name.back() == '.')
        return "A set-up name cannot begin or end with a space or a dot.";
    // Device names stay device names whatever the extension, and with blanks
    // before it.
    std::string stem = Lower(name.substr(0, name.find('.')));
    while (!stem.empty() && IsCBlank(stem.back())) stem.pop_back();
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    bool device = false;
    for (const char* d : kDevices) device = device || stem == d;
    // COM and LPT with a digit, the superscript one, two and three included.
    if (stem.size() >= 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0)) {
        const std::string port = stem.substr(3);
        device = device || (port.size() == 1 && port[0] >= '0' && port[0] <= '9') || port == "\xC2\xB9" ||
                 port == "\xC2\xB2" || port == "\xC2\xB3";
    }
    if (device)
        return "\"" + name + "\" is a device name to Windows, with any extension, and cannot be a file name " +
               "(CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9, LPT0 to LPT9).";
    return "";
}

std::string SetupSummary(const ParameterSet& p) {
    auto autoText = [](int32_t v) { return v ? "auto" : "manual"; };
    return "Step " + FormatInt(p.GainStep) + " dB; DT " + autoText(p.DtIsAuto) + "; Mono " + autoText(p.MonoIsAuto) +
           ", stack " + FormatInt(p.MonoStackValue) + ", end " + FormatInt(p.MonoWindowsEnd) + " us; Dipole " +
           autoText(p.DipoleIsAuto) + ", stack " + FormatInt(p.DipoleStackValue) + ", end " +
           FormatInt(p.DipoleWindowsEnd) + " us";
}

std::vector<SetupChange> DiffSetup(const ParameterSet& now, const ParameterSet& setup) {
    ParameterSet sent = setup;
    LimitSetup(sent);
    std::vector<SetupChange> rows;
    for (const SetupSetting& s : SetupSettings()) {
        if (std::memcmp(reinterpret_cast<const unsigned char*>(&now) + s.member,
                        reinterpret_cast<const unsigned char*>(&sent) + s.member, 4) == 0)
            continue;
        std::string to = SetupValueText(s, sent);
        if (IntOf(sent, s.member) != IntOf(setup, s.member))
            to += " (limited from " +
                  (s.unit == Real ? FormatShortest(FloatOf(setup, s.member)) : FormatInt(IntOf(setup, s.member))) + ")";
        rows.push_back({s.page, s.label, SetupValueText(s, now), to});
    }
    return rows;
}

void LimitSetup(ParameterSet& p) {
    // Intervals first: the window ends' bounds follow them.
    for (int pass = 0; pass < 2; ++pass)
        for (const SetupSetting& s : SetupSettings()) {
            if (s.range != SetupRange::Drive) continue;
            const bool interval = s.code == CMD_MONO_SAMPLERATE || s.code == CMD_DIPOLE_SAMPLERATE;
            if (interval != (pass == 0)) continue;
            const int32_t v = LimitDriveValue(s.code, IntOf(p, s.member), p);
            SetBits(p, s.member, &v);
        }
    for (const SetupSetting& s : SetupSettings()) {
        int32_t v = IntOf(p, s.member);
        switch (s.range) {
        case SetupRange::Switch: v = v != 0 ? 1 : 0; break;  // as the pages read them
        case SetupRange::Choices: v = v < 0 ? 0 : v >= s.choices ? s.choices - 1 : v; break;
        case SetupRange::Typed: v = LimitTypedInt(v); break;
        default: continue;
        }
        SetBits(p, s.member, &v);
    }
    // SetupRange::DtLength: the length the DT page sends, its end within the
    // end range after the (limited) start, and after it.
    const DtWindows w = FitDtWindows(p.DtFirstStartTime, p.DtFirstWinLength, 0);
    p.DtFirstWinLength = w.end[0] - w.start[0];
}

void PublishWholeSet(const ParameterSet& p, const BlockView& toolControl, const BlockView& process) {
    for (size_t member = 0; member < sizeof(ParameterSet); member += 4) PublishMember(p, member, process);
    toolControl.StoreInt(offsetof(ToolControlPara, MonoWinEnd), p.MonoWindowsEnd);
    toolControl.StoreInt(offsetof(ToolControlPara, DipoleWinEnd), p.DipoleWindowsEnd);
    WriteDtWindowWords(toolControl, p.DtFirstStartTime, p.DtFirstWinLength, p.DtTotalOffset);
}

}  // namespace kelvane
