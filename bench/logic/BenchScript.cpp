#include "bench/logic/BenchScript.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace kelvane {
namespace {

// Splits off the first n blank-separated tokens; rest gets the remainder
// without its leading blanks (the text of type / expect text).
std::vector<std::string> Tokens(const std::string& line, size_t n, std::string* rest) {
    std::vector<std::string> out;
    size_t i = 0;
    while (out.size() < n) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        out.push_back(line.substr(start, i - start));
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (rest) *rest = line.substr(i);
    return out;
}

struct Grammar {
    const char* verb;
    int words;  // word arguments before the numbers (0 or 1)
    int nums;   // numeric arguments; -1 = one or more
    bool rest;  // takes the rest of the line as text
    bool restNeeded;
};

const Grammar kGrammar[] = {
    {"show", 0, 0, false, false},
    {"close", 0, 0, false, false},
    {"reload", 0, 0, false, false},
    {"page", 0, 1, false, false},
    {"frames", 0, 1, false, false},
    {"hoststate", 0, 1, false, false},
    {"dspstatus", 0, 1, false, false},
    {"lag", 0, 1, false, false},
    {"type", 0, 2, true, false},
    {"click", 0, 2, false, false},
    {"arrow", 0, 2, true, true},
    {"slider", 0, -1, false, false},
    {"select", 0, 3, false, false},
    {"screenshot", 0, 0, true, true},
    {"benchshot", 0, 0, true, true},
    {"fault stuck", 1, 1, false, false},
    {"fault pinned", 2, 1, false, false},
    {"fault offset", 0, 1, false, false},
    {"fault drop", 0, 1, false, false},
    {"fault clear", 0, 0, false, false},
    {"expect command", 0, 2, false, false},
    {"expect field", 1, 1, true, true},
    {"expect text", 0, 2, true, false},
    {"expect readback", 0, 3, false, false},
    {"ini", 0, 0, true, true},
    {"wait", 0, 1, false, false},
    {"sendall", 0, 0, false, false},
    {"expect mark", 0, 2, false, false},
    {"expect strip", 0, 1, true, true},
    {"trend", 0, 1, false, false},
    {"trendshot", 0, 0, true, true},
    {"stream", 0, 2, false, false},
    {"expect box", 0, 0, true, true},
    {"answer box", 0, 0, true, true},
    {"note readback", 0, 1, false, false},
    {"expect moved", 0, 2, false, false},
    {"key", 0, 2, true, true},
    {"settings", 1, 0, false, false},
    {"fault unreadable", 0, 1, false, false},
    {"feed", 0, 1, false, false},
    {"check", 0, 0, false, false},
    {"setup save", 0, 0, true, true},
    {"setup load", 0, 0, true, true},
    {"setup cancel", 0, 0, true, true},
    {"record", 0, 0, true, true},
    {"sendall cancel", 0, 0, false, false},
    {"job new", 0, 0, true, true},
    {"job tail", 0, 1, false, false},
    {"expect journal", 0, 0, true, true},
    {"expect record", 0, 0, true, true},
};

// step.text "[SECTION] KEY=VALUE" into its three parts.
bool ParseIniEdit(ScriptStep& step) {
    const std::string text = step.text;
    const size_t close = text.find(']');
    const size_t eq = text.find('=', close == std::string::npos ? 0 : close);
    if (text.empty() || text[0] != '[' || close == std::string::npos || eq == std::string::npos) return false;
    step.word = text.substr(1, close - 1);
    const size_t keyStart = text.find_first_not_of(" \t", close + 1);
    if (keyStart == std::string::npos || keyStart >= eq || step.word.empty()) return false;
    step.text = text.substr(keyStart, eq - keyStart);
    step.value = text.substr(eq + 1);
    return true;
}

}  // namespace

bool ParseScriptKey(const std::string& name, ScriptKey& out) {
    std::string rest = name;
    out = ScriptKey{};
    for (;;) {
        if (rest.rfind("ctrl+", 0) == 0) out.ctrl = true;
        else if (rest.rfind("shift+", 0) == 0) out.shift = true;
        else break;
        rest = rest.substr(rest.find('+') + 1);
    }
    static const struct {
        const char* name;
        uint32_t vk;
    } kKeys[] = {{"up", 0x26},     {"down", 0x28},   {"left", 0x25},      {"right", 0x27}, {"home", 0x24},
                 {"end", 0x23},    {"pageup", 0x21}, {"pagedown", 0x22},  {"tab", 0x09},   {"enter", 0x0D},
                 {"escape", 0x1B}, {"space", 0x20},  {"backspace", 0x08}, {"delete", 0x2E}};
    for (const auto& k : kKeys)
        if (rest == k.name) out.vk = k.vk;
    if (rest.size() == 1 && ((rest[0] >= 'a' && rest[0] <= 'z') || (rest[0] >= '0' && rest[0] <= '9')))
        out.vk = static_cast<uint32_t>(rest[0] >= 'a' ? rest[0] - 'a' + 'A' : rest[0]);
    return out.vk != 0;
}

bool ScriptKeyKnown(const std::string& name) {
    ScriptKey k;
    return ParseScriptKey(name, k);
}

bool ParseScriptInt(const std::string& token, int32_t& out) {
    if (token.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(token.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < -2147483648LL || v > 4294967295LL) return false;
    // 0x80000000..0xFFFFFFFF read as the bit pattern (status words, codes).
    out = static_cast<int32_t>(v > 2147483647LL ? v - 4294967296LL : v);
    return true;
}

bool ParseScript(const std::string& source, std::vector<ScriptStep>& steps, std::string& error) {
    steps.clear();
    std::istringstream in(source);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string rest;
        std::vector<std::string> head = Tokens(line, 2, &rest);
        if (head.empty() || head[0][0] == '#') continue;

        const Grammar* g = nullptr;
        std::string verb = head[0];
        std::string afterVerb;
        Tokens(line, 1, &afterVerb);
        if ((verb == "fault" || verb == "expect" || verb == "answer" || verb == "note" || verb == "setup" ||
             verb == "job" || verb == "sendall") &&
            head.size() == 2) {
            verb += " " + head[1];
            afterVerb = rest;
        }
        for (const Grammar& gr : kGrammar)
            if (verb == gr.verb) g = &gr;
        if (!g) return fail("unknown step '" + verb + "'");

        ScriptStep step;
        step.line = lineNo;
        step.verb = verb;
        std::string remaining = afterVerb;
        if (g->words) {
            std::vector<std::string> w = Tokens(remaining, 1, &remaining);
            if (w.empty()) return fail("'" + verb + "' needs a word argument");
            step.word = w[0];
            if (g->words > 1) {
                w = Tokens(remaining, 1, &remaining);
                if (w.empty()) return fail("'" + verb + "' needs two word arguments");
                step.word2 = w[0];
            }
        }
        if (g->nums >= 0) {
            std::vector<std::string> n = Tokens(remaining, static_cast<size_t>(g->nums), &remaining);
            if (static_cast<int>(n.size()) != g->nums)
                return fail("'" + verb + "' needs " + std::to_string(g->nums) + " numbers");
            for (const std::string& t : n) {
                int32_t v = 0;
                const bool ok = verb == "dspstatus" ? ParseScriptInt(t.rfind("0x", 0) == 0 ? t : "0x" + t, v)
                                                    : ParseScriptInt(t, v);
                if (!ok) return fail("'" + t + "' is not a number");
                step.num.push_back(v);
            }
        } else {
            std::vector<std::string> n = Tokens(remaining, 1000, &remaining);
            if (n.size() < 3) return fail("'" + verb + "' needs PAGE ID POS...");
            for (const std::string& t : n) {
                int32_t v = 0;
                if (!ParseScriptInt(t, v)) return fail("'" + t + "' is not a number");
                step.num.push_back(v);
            }
        }
        if (g->rest) {
            step.text = remaining;
            if (g->restNeeded && step.text.empty()) return fail("'" + verb + "' needs more");
        } else if (!remaining.empty()) {
            return fail("unexpected '" + remaining + "'");
        }
        if (verb == "arrow" && step.text != "up" && step.text != "down") return fail("arrow takes up or down");
        if (verb == "fault stuck" && step.word != "dt" && step.word != "mono" && step.word != "dipole")
            return fail("fault stuck takes dt, mono or dipole");
        if (verb == "fault pinned" && ((step.word != "high" && step.word != "low") ||
                                       (step.word2 != "dt" && step.word2 != "mono" && step.word2 != "dipole")))
            return fail("fault pinned takes high or low, then dt, mono or dipole");
        if (verb == "expect field" && step.word != "toolcontrol" && step.word != "process")
            return fail("expect field takes toolcontrol or process");
        if (verb == "ini" && !ParseIniEdit(step)) return fail("ini takes [SECTION] KEY=VALUE");
        if (verb == "trend" && step.num[0] != 0 && step.num[0] != 1 && step.num[0] != 10 && step.num[0] != 30)
            return fail("trend takes 1, 10 or 30 (minutes), or 0 (the whole job)");
        if (verb == "stream" && (step.num[0] < 0 || step.num[1] < 0)) return fail("stream takes N MS, both >= 0");
        if (verb == "settings" && step.word != "locked" && step.word != "readonly" && step.word != "free")
            return fail("settings takes locked, readonly or free");
        if (verb == "key" && !ScriptKeyKnown(step.text)) return fail("no key '" + step.text + "'");
        steps.push_back(step);
    }
    return true;
}

}  // namespace kelvane
