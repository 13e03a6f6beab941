// A private-profile file read from its bytes in memory, with the platform's
// profile functions' rules, so a file read once answers every key without
// the platform opening and parsing it again for each. The rules, as the
// platform's reader applies them to a file of single-byte text:
// - lines end at '\n' or '\r'; blanks (space, '\t' to '\r', Ctrl-Z) around a
//   line go; a UTF-8 byte-order mark at the start is skipped;
// - a line starting with '[' that has a ']' later opens a section named by
//   what stands between them up to the last ']', without blanks around it;
// - any other line is a key, split at its first '=': blanks around the name
//   and before the value go; a line without '=' is a key without a value,
//   which reads as the default text (so does a line starting with ';', a
//   comment, unless someone asks for its name);
// - names and values end at a NUL byte;
// - lookups ignore case; only the first section of a name is searched, and
//   the first key of a name in it wins; a section named "" is never found;
// - a read into n bytes returns at most n - 1 characters; a value (or
//   default text) wrapped in matching quotes loses them, and when the value
//   just fills the buffer the platform cuts its last character as well; the
//   default text loses trailing spaces;
// - a write replaces the value of the key a read finds, or appends the key to
//   the first section of its name, or appends the section at the end.
// Exact() says whether the text keeps to the plain form in which the
// platform's reader on every Windows version reads it the same way; other
// files (other encodings, control bytes, repeated sections, odd headers,
// quoted values, ...) should be read through the platform itself.
// ListsExact() says more: every line is a header or "name=value" as it
// stands (no blanks, comments or keys before the first header, no line of
// 1 KB or more), which every platform lists line for line, so Listing() gives what the platform's
// section functions give.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/logic/IniRules.h"
#include "core/logic/SaveRules.h"

namespace kelvane {

class ProfileText : public ProfileStore {
public:
    explicit ProfileText(const std::string& bytes);

    bool Exact() const { return m_exact; }
    bool ListsExact() const { return m_exact && m_listsExact; }
    // Section names in file order, and each section's "name=value" lines.
    ProfileListing Listing() const;

    std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) override;
    void Write(const char* section, const char* key, const std::string& value) override;

    // The text as written back: CRLF, keys before the first header first. An
    // empty header "[]" is kept, as Windows keeps it (Wine's writer drops it,
    // so its keys join the section above at the next start).
    std::string Render() const;

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

    void Parse(const std::string& bytes);
    Section* FindSection(const char* name);
    const Key* Find(const char* section, const char* key);

    std::vector<Section> m_sections;  // the first: keys before any header
    bool m_exact = true;
    bool m_listsExact = true;
};

}  // namespace kelvane
