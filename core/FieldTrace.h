// The field trace: what the plug-in absorbed, so a field engineer has
// something to send us. Counted since the library loaded (the status strip's
// tip shows the counts) and written, one line per event with the local time,
// to "Kelvane.log" beside the settings file. Past 256 KB the log becomes
// "Kelvane.log.1" (the one older generation kept) and a new one begins.
//
// Noting is for any thread and never waits or touches the disk (a command's
// detail is formatted first; a plain note allocates nothing);
// the lines are written by Flush on the window's thread (its status tick), by
// the save thread after a write, and at unload. The per-frame path only
// counts. A log that cannot be written (locked, read-only, folder gone) costs
// one failed open per flush while lines wait; they wait (a few, the rest
// counted) until it can, and nothing else changes.
#pragma once

#include <string>

#include "KelvaneHost.h"
#include "core/logic/TraceRules.h"

// Now, in local time, as the job record and the trace write it.
kelvane::JournalTime LocalJournalTime();

class FieldTrace {
public:
    // Library load, first thing: the boundary's catch-alls report here from now on.
    static void Open();
    // Once the settings file is found: the log goes beside it, in its folder
    // as the file functions reach it (its short name past the path limit).
    static void PlaceIn(const std::string& folder);
    // Unload (and process exit): writes what is left; the boundary stops reporting.
    static void Close() noexcept;

    static void Note(kelvane::TraceKind kind, const char* detail) noexcept;
    // A command as the page handed it over and as it went (or would have).
    static void NoteCommand(kelvane::TraceKind kind, const kelvane::ToolCommand& asked,
                            const kelvane::ToolCommand& sent) noexcept;
    // From ToolControlProcess: a count, nothing more.
    static void CountUnreadableFrame() noexcept;

    // Writes the lines due, if any; never from the per-frame path.
    static void Flush() noexcept;

    // tip with the counts since start after it ("" and no counts: "").
    static std::string WithCounts(const std::string& tip);
};
