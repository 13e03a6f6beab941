// Drives the plug-in's modal dialogs (set-up name, set-up list, the load
// preview, the job record, message boxes) as an operator answers them: a
// thread timer, which runs inside any modal loop, finds each dialog as it
// shows and hands it to an answer. Shared by the system tests and the
// bench host's script mode.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/logic/JournalLines.h"

namespace harness {

// What happened while the dialogs were answered.
struct DialogRun {
    std::vector<std::string> captions;                  // every dialog seen, in order
    std::vector<std::string> messages;                  // texts of message boxes (answered Yes, or OK)
    std::vector<std::vector<std::string>> previewRows;  // the preview's rows: page, setting, now, set-up
    std::string saved;                                  // a record's "saved" message, kept apart from the messages
};

// Called once for each dialog that shows (not for message boxes), and again
// when a dialog is back from one it opened.
using DialogAnswer = std::function<void(HWND dialog, const std::string& caption)>;

// Runs action (which opens the dialogs), answering each as it shows; a
// message box that asks is answered Yes, or No when yes is false. Texts are
// UTF-8 here.
DialogRun RunWithDialogs(const std::function<void()>& action, const DialogAnswer& answer, bool yes = true);

// A UTF-8 text (a name, a path) as the W functions take it.
std::wstring WideOfUtf8(const std::string& utf8);

// Answer helpers: an edit's text, a button pushed (as a click does), a list
// view's row chosen by its first column (false when there is none).
void SetDialogText(HWND dialog, int id, const std::string& text);
void PushDialogButton(HWND dialog, int id);
bool ChooseListRow(HWND dialog, int listId, const std::string& first);
// A report list view's rows, each cell in column order.
std::vector<std::vector<std::string>> ListRows(HWND dialog, int listId);

// The File menu's set-up and record commands, driven end to end. shots: a
// PNG path for the dialog of that caption taken as it shows ("" for none).
DialogRun SaveSetup(HWND frame, const std::string& name);
DialogRun LoadSetup(HWND frame, const std::string& name, bool accept, const std::string& listShot = "",
                    const std::string& previewShot = "");
// The record to path ("" takes the place offered, which goes to offered);
// a question whether to replace a file is answered as replace says.
DialogRun SaveJobRecord(HWND frame, const std::string& path, bool replace = true, std::string* offered = nullptr);

// File "Send all settings", its preview answered as send says (OK or
// Cancel) whatever else shows meanwhile (a range message is left to the
// caller's own answer); rows: the preview's rows.
void SendAllAnswering(HWND frame, bool send, std::vector<std::vector<std::string>>* rows = nullptr);
// The same for a Send all that action brings about (a key, a message).
void AnswerSendAllPreview(const std::function<void()>& action, bool send,
                          std::vector<std::vector<std::string>>* rows = nullptr);

// File "New job...", its fields filled from job and started; shot: a PNG of
// the dialog as filled ("" for none).
DialogRun NewJob(HWND frame, const kelvane::JobIdentity& job, const std::string& shot = "");

}  // namespace harness
