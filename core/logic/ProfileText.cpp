#include "core/logic/ProfileText.h"

#include <cstring>

#include "base/logic/Text.h"

namespace kelvane {
namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }
bool IsQuote(char c) { return c == '"' || c == '\''; }

// Names and values are C strings to the platform: a NUL ends them.
std::string UpToNul(const std::string& text, size_t begin, size_t end) {
    const size_t nul = text.find('\0', begin);
    return text.substr(begin, (nul < end ? nul : end) - begin);
}

// A value (or default text) into a buffer of n bytes, as the platform copies it.
std::string CopyEntry(const std::string& value, size_t n) {
    const bool quoted = value.size() > 1 && IsQuote(value[0]) && value.back() == value[0];
    const std::string rest = quoted ? value.substr(1) : value;
    std::string out = rest.substr(0, n ? n - 1 : 0);
    if (quoted && n >= rest.size() && !out.empty()) out.pop_back();
    return out;
}

// Longer lines the platform's section functions may list otherwise (Wine's
// list lines of 64 KB otherwise); a settings file's are tens of characters.
constexpr size_t kListedLineMax = 1024;

// The bytes of the plain form: printable ASCII, tabs and line ends.
bool PlainByte(char c) { return (c >= ' ' && c <= '~') || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

ProfileText::ProfileText(const std::string& bytes) { Parse(bytes); }

void ProfileText::Parse(const std::string& bytes) {
    m_sections.push_back(Section{"", {}});
    for (size_t i = 0; i < bytes.size() && m_exact; ++i)
        m_exact = PlainByte(bytes[i]) && (bytes[i] != '\r' || (i + 1 < bytes.size() && bytes[i + 1] == '\n'));
    const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t pos = start; pos < bytes.size();) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        const size_t begin = pos;
        size_t b = pos, e = end;
        pos = end + 1;
        while (b < e && IsBlank(bytes[b])) ++b;
        while (e > b && IsBlank(bytes[e - 1])) --e;
        if (b == e) continue;
        m_listsExact = m_listsExact && b == begin && e == end && e - b < kListedLineMax;
        if (bytes[b] == '[') {
            const size_t close = bytes.rfind(']', e - 1);
            if (close != std::string::npos && close > b) {
                size_t nb = b + 1, ne = close;
                while (nb < ne && IsBlank(bytes[nb])) ++nb;
                while (ne > nb && IsBlank(bytes[ne - 1])) --ne;
                const std::string name = UpToNul(bytes, nb, ne);
                // Windows versions may differ on text after the ']', on blanks
                // inside the brackets and on a section that comes again.
                m_exact = m_exact && close == e - 1 && bytes.find(']', b) == close && nb == b + 1 && ne == close &&
                          !name.empty() && !FindSection(name.c_str());
                m_sections.push_back(Section{name, {}});
                continue;
            }
        }
        Key key{"", "", false};
        const size_t eq = bytes.find('=', b);
        if (eq < e) {
            size_t nameEnd = eq;
            while (nameEnd > b && IsBlank(bytes[nameEnd - 1])) --nameEnd;
            size_t value = eq + 1;
            while (value < e && IsBlank(bytes[value])) ++value;
            key = Key{UpToNul(bytes, b, nameEnd), UpToNul(bytes, value, e), true};
        } else {
            key.name = UpToNul(bytes, b, e);
        }
        // Comments aside, a key without "=" or a name, or a quoted value, is
        // read in ways that differ between versions.
        if (bytes[b] != ';')
            m_exact = m_exact && bytes[b] != '[' && key.hasValue && !key.name.empty() &&
                      (key.value.empty() || !IsQuote(key.value[0]));
        m_listsExact = m_listsExact && bytes[b] != ';' && m_sections.size() > 1 && key.hasValue &&
                       e - b == key.name.size() + 1 + key.value.size();
        m_sections.back().keys.push_back(key);
    }
}

ProfileText::Section* ProfileText::FindSection(const char* name) {
    for (Section& s : m_sections)
        if (!s.name.empty() && SameName(s.name, name)) return &s;
    return nullptr;
}

const ProfileText::Key* ProfileText::Find(const char* section, const char* key) {
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    for (const Key& k : s->keys)
        if (SameName(k.name, key)) return &k;
    return nullptr;
}

std::string ProfileText::Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) {
    std::string fallback = defaultText ? defaultText : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
    const Key* k = Find(section, key);
    return CopyEntry(k && k->hasValue ? k->value : fallback, bufferSize);
}

void ProfileText::Write(const char* section, const char* key, const std::string& value) {
    size_t b = 0;
    while (b < value.size() && IsBlank(value[b])) ++b;
    const std::string text = UpToNul(value, b, value.size());
    Section* s = FindSection(section);
    if (!s) {
        m_sections.push_back(Section{section, {}});
        s = &m_sections.back();
    }
    for (Key& k : s->keys)
        if (SameName(k.name, key)) {
            k.value = text;
            k.hasValue = true;
            return;
        }
    s->keys.push_back(Key{key, text, true});
}

ProfileListing ProfileText::Listing() const {
    ProfileListing listing;
    for (size_t i = 1; i < m_sections.size(); ++i) {
        listing.names.push_back(m_sections[i].name);
        std::vector<std::string> lines;
        for (const Key& k : m_sections[i].keys) lines.push_back(k.name + "=" + k.value);
        listing.lines.push_back(lines);
    }
    return listing;
}

std::string ProfileText::Render() const {
    std::string out;
    for (size_t i = 0; i < m_sections.size(); ++i) {
        const Section& s = m_sections[i];
        if (i > 0) out += "[" + s.name + "]\r\n";
        for (const Key& k : s.keys) out += k.hasValue ? k.name + "=" + k.value + "\r\n" : k.name + "\r\n";
    }
    return out;
}

}  // namespace kelvane
