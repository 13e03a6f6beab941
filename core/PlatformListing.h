// A settings file as the platform's profile functions list it: its section
// names, and the "key=value" lines of each. Inline: the tests compare the
// in-memory reader's listing against this one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/logic/SaveRules.h"

namespace kelvane {

// A double-zero-terminated list from a profile function that returns size - 2
// when its buffer was too small.
template <class Fill>
std::vector<std::string> ProfileList(Fill fill) {
    std::vector<char> buf(4096);
    DWORD n;
    while ((n = fill(buf.data(), static_cast<DWORD>(buf.size()))) >= buf.size() - 2 && buf.size() < (1u << 26))
        buf.resize(buf.size() * 2);
    std::vector<std::string> items;
    for (const char* p = buf.data(); p < buf.data() + n && *p; p += items.back().size() + 1) items.emplace_back(p);
    return items;
}

inline ProfileListing ListProfile(const std::string& path) {
    ProfileListing listing;
    listing.names = ProfileList([&](char* b, DWORD n) { return GetPrivateProfileSectionNamesA(b, n, path.c_str()); });
    for (const std::string& name : DistinctNames(listing.names))
        listing.lines.push_back(
            ProfileList([&](char* b, DWORD n) { return GetPrivateProfileSectionA(name.c_str(), b, n, path.c_str()); }));
    return listing;
}

}  // namespace kelvane
