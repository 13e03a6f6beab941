// A private-profile file held in memory, parsed and written the way the
// platform's profile functions do it, so the load and save rules can be fed
// whole INI texts natively:
// - lines end at '\n'; blanks (and '\r', Ctrl-Z) around a line are dropped;
// - a line starting with '[' that has a ']' later opens a section named up to
//   the last ']'; other lines are keys, split at the first '=', blanks around
//   the name and before the value dropped; a line without '=' is a key with no
//   value (it reads as the default text);
// - lookups ignore case; the first section of a name wins, and only that
//   section is searched; a value wrapped in matching quotes loses them;
// - a read into n bytes returns at most n - 1 characters and stops at a NUL;
// - a write replaces the key's value, or appends the key to its section, or
//   appends a new section at the end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/logic/IniRules.h"

namespace kelvane {
namespace fuzz {

class TextProfile : public ProfileStore {
public:
    explicit TextProfile(const std::string& text) { Parse(text); }

    std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) override {
        std::string value = defaultText ? defaultText : "";
        if (const Key* k = Find(section, key); k && k->hasValue) value = Unquote(k->value);
        value = value.substr(0, value.find('\0'));
        return value.substr(0, bufferSize ? bufferSize - 1 : 0);
    }

    void Write(const char* section, const char* key, const std::string& value) override {
        Section* s = FindSection(section);
        if (!s) {
            m_sections.push_back(Section{section, {}});
            s = &m_sections.back();
        }
        for (Key& k : s->keys)
            if (SameName(k.name, key)) {
                k.value = value;
                k.hasValue = true;
                return;
            }
        s->keys.push_back(Key{key, value, true});
    }

    // The file as written back: CRLF, no blank lines added. An empty header
    // "[]" is kept, as Windows keeps it. (Wine's writer drops it, so the keys
    // under it join the section above at the next start-up: a key the saves
    // never write, such as "AllGain" of "DT GAIN CONTROL", can appear then.)
    std::string Render() const {
        std::string out;
        for (size_t i = 0; i < m_sections.size(); ++i) {
            const Section& s = m_sections[i];
            if (i > 0) out += "[" + s.name + "]\r\n";
            for (const Key& k : s.keys) out += k.hasValue ? k.name + "=" + k.value + "\r\n" : k.name + "\r\n";
        }
        return out;
    }

    size_t SectionCount() const { return m_sections.size(); }

private:
    struct Key {
        std::string name;
        std::string value;
        bool hasValue;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
    };

    static bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }
    static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
    static bool SameName(const std::string& a, const char* b) {
        size_t i = 0;
        for (; i < a.size() && b[i]; ++i)
            if (Lower(a[i]) != Lower(b[i])) return false;
        return i == a.size() && !b[i];
    }
    static std::string Unquote(const std::string& v) {
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
        return v;
    }

    void Parse(const std::string& text) {
        m_sections.push_back(Section{"", {}});  // keys before the first header
        size_t pos = 0;
        while (pos <= text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            size_t b = pos, e = end;
            pos = end + 1;
            while (b < e && IsBlank(text[b])) ++b;
            while (e > b && IsBlank(text[e - 1])) --e;
            if (b < e && text[b] == '[') {
                const size_t close = text.rfind(']', e - 1);
                if (close != std::string::npos && close > b) {
                    m_sections.push_back(Section{text.substr(b + 1, close - b - 1), {}});
                    continue;
                }
            }
            if (b == e) continue;  // blank lines carry nothing a read can see
            const size_t eq = text.find('=', b);
            Key k{"", "", false};
            if (eq != std::string::npos && eq < e) {
                size_t ne = eq;
                while (ne > b && IsBlank(text[ne - 1])) --ne;
                size_t vb = eq + 1;
                while (vb < e && IsBlank(text[vb])) ++vb;
                k = Key{text.substr(b, ne - b), text.substr(vb, e - vb), true};
            } else {
                k.name = text.substr(b, e - b);
            }
            m_sections.back().keys.push_back(k);
        }
    }

    Section* FindSection(const char* name) {
        for (Section& s : m_sections)
            if (!s.name.empty() && SameName(s.name, name)) return &s;
        return nullptr;
    }
    const Key* Find(const char* section, const char* key) {
        const Section* s = FindSection(section);
        if (!s) return nullptr;
        for (const Key& k : s->keys)
            if (SameName(k.name, key)) return &k;
        return nullptr;
    }

    std::vector<Section> m_sections;
};

}  // namespace fuzz
}  // namespace kelvane
