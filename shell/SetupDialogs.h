// The File menu's set-up and job-record actions: "Save set-up..." (a name),
// "Load set-up..." (the list, then a preview of what would change; OK sets
// every page and sends every setting) and "Save job record..." (a report
// and the CSV journal beside it).
#pragma once

#include <windows.h>

#include <string>

#include "core/FrameLink.h"

class CControlView;

void SaveSetupFromMenu(HWND owner, const kelvane::FrameLink& app, CControlView& view);
// True when a set-up was loaded and sent.
bool LoadSetupFromMenu(HWND owner, const kelvane::FrameLink& app, CControlView& view);
void SaveJobRecordFromMenu(HWND owner, const kelvane::FrameLink& app, CControlView& view);
// Send all's preview: what each setting would change from what the tool was
// last sent; true when the operator chose to send.
bool ConfirmSendAll(HWND owner, const kelvane::FrameLink& app, CControlView& view);
// File "New job...": true when a new job's journal is in force.
bool NewJobFromMenu(HWND owner, const kelvane::FrameLink& app);

// Writes the report to path and the journal beside it (path with ".csv"
// for its ".txt"); false with why.
bool WriteJobRecord(const kelvane::FrameLink& app, CControlView& view, const std::string& path, std::string& why);
