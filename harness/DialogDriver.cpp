#include "DialogDriver.h"

#include <commctrl.h>

#include "HostHarness.h"
#include "Operator.h"
#include "resource.h"

namespace harness {
namespace {

struct Driving {
    const DialogAnswer* answer = nullptr;
    bool yes = true;
    DialogRun run;
    std::vector<HWND> answered;
    bool busy = false;
};
Driving* g_driving = nullptr;

BOOL CALLBACK FindActiveDialog(HWND w, LPARAM lp) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w) && IsWindowEnabled(w)) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}

// The plug-in's texts are UTF-16 in its windows; they are compared as UTF-8.
std::string Utf8(const wchar_t* wide) {
    char buf[2048] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, buf, sizeof buf - 1, nullptr, nullptr);
    return buf;
}

std::string TextOf(HWND w) {
    wchar_t buf[1024] = {};
    GetWindowTextW(w, buf, 1024);
    return Utf8(buf);
}

void CALLBACK OnDialogTimer(HWND, UINT, UINT_PTR, DWORD) {
    Driving* d = g_driving;
    if (!d || d->busy) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindActiveDialog, reinterpret_cast<LPARAM>(&dialog));
    // A dialog that a nested one disabled is answered again once it is back.
    for (size_t i = d->answered.size(); i-- > 0;)
        if (!IsWindow(d->answered[i]) || !IsWindowEnabled(d->answered[i])) d->answered.erase(d->answered.begin() + i);
    if (!dialog) return;
    for (HWND done : d->answered)
        if (done == dialog) return;
    d->busy = true;
    d->answered.push_back(dialog);
    const std::string caption = TextOf(dialog);
    d->run.captions.push_back(caption);
    if (GetDlgItem(dialog, 0xFFFF) && !GetDlgItem(dialog, IDC_SETUP_NAME) && !GetDlgItem(dialog, IDC_RECORD_PATH)) {
        // A message box: its text, then Yes where it asks, OK otherwise.
        d->run.messages.push_back(TextOf(GetDlgItem(dialog, 0xFFFF)));
        PushDialogButton(dialog, GetDlgItem(dialog, IDYES) ? (d->yes ? IDYES : IDNO) : IDOK);
    } else {
        if (GetDlgItem(dialog, IDC_SETUP_CHANGES)) d->run.previewRows = ListRows(dialog, IDC_SETUP_CHANGES);
        (*d->answer)(dialog, caption);
    }
    d->busy = false;
}

}  // namespace

std::wstring WideOfUtf8(const std::string& utf8) {
    std::wstring out(utf8.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return out;
}

DialogRun RunWithDialogs(const std::function<void()>& action, const DialogAnswer& answer, bool yes) {
    Driving driving;
    driving.answer = &answer;
    driving.yes = yes;
    Driving* outer = g_driving;
    g_driving = &driving;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, &OnDialogTimer);
    action();
    KillTimer(nullptr, timer);
    g_driving = outer;
    Operator::Pump();
    return driving.run;
}

void SetDialogText(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextW(dialog, id, WideOfUtf8(text).c_str());
}

void PushDialogButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::vector<std::vector<std::string>> ListRows(HWND dialog, int listId) {
    HWND list = GetDlgItem(dialog, listId);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    std::vector<std::vector<std::string>> rows;
    const int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        std::vector<std::string> row;
        for (int c = 0; c < columns; ++c) {
            wchar_t buf[512] = {};
            LVITEMW item{};
            item.iSubItem = c;
            item.pszText = buf;
            item.cchTextMax = 512;
            SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            row.push_back(Utf8(buf));
        }
        rows.push_back(row);
    }
    return rows;
}

bool ChooseListRow(HWND dialog, int listId, const std::string& first) {
    const auto rows = ListRows(dialog, listId);
    HWND list = GetDlgItem(dialog, listId);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (lstrcmpiW(WideOfUtf8(rows[i][0]).c_str(), WideOfUtf8(first).c_str()) != 0) continue;
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(list, static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        return true;
    }
    return false;
}

namespace {
void Menu(HWND frame, int id) { SendMessageA(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// Whether a set-up's details are still being read.
bool Reading(HWND dialog) {
    for (const auto& row : ListRows(dialog, IDC_SETUP_LIST))
        if (row.size() > 2 && row[2] == "reading...") return true;
    return false;
}
}  // namespace

DialogRun SaveSetup(HWND frame, const std::string& name) {
    int asked = 0;  // a refused name asks again: given up then
    return RunWithDialogs([&] { Menu(frame, ID_FILE_SAVE_SETUP); },
                          [&](HWND dialog, const std::string&) {
                              if (GetDlgItem(dialog, IDC_SETUP_NAME) && asked++ == 0) {
                                  SetDialogText(dialog, IDC_SETUP_NAME, name);
                                  PushDialogButton(dialog, IDOK);
                              } else {
                                  PushDialogButton(dialog, IDCANCEL);
                              }
                          });
}

DialogRun LoadSetup(HWND frame, const std::string& name, bool accept, const std::string& listShot,
                    const std::string& previewShot) {
    return RunWithDialogs([&] { Menu(frame, ID_FILE_LOAD_SETUP); },
                          [&](HWND dialog, const std::string&) {
                              if (GetDlgItem(dialog, IDC_SETUP_LIST)) {
                                  const bool found = ChooseListRow(dialog, IDC_SETUP_LIST, name);
                                  // The picture once the details have come (they are read off the UI thread).
                                  for (int i = 0; !listShot.empty() && i < 300 && Reading(dialog); ++i) {
                                      Operator::Pump();
                                      Sleep(10);
                                  }
                                  if (!listShot.empty()) SaveWindowPng(dialog, listShot);
                                  PushDialogButton(dialog, found ? IDOK : IDCANCEL);
                              } else if (GetDlgItem(dialog, IDC_SETUP_CHANGES)) {
                                  if (!previewShot.empty()) SaveWindowPng(dialog, previewShot);
                                  PushDialogButton(dialog, accept ? IDOK : IDCANCEL);
                              } else {
                                  PushDialogButton(dialog, IDCANCEL);
                              }
                          });
}

DialogRun SaveJobRecord(HWND frame, const std::string& path, bool replace, std::string* offered) {
    int asked = 0;  // a refused replace asks for the file again: given up then
    DialogRun run = RunWithDialogs([&] { Menu(frame, ID_FILE_SAVE_RECORD); },
                                   [&](HWND dialog, const std::string&) {
                                       if (GetDlgItem(dialog, IDC_RECORD_PATH) && asked++ == 0) {
                                           if (offered) {
                                               wchar_t buf[1024] = {};
                                               GetDlgItemTextW(dialog, IDC_RECORD_PATH, buf, 1024);
                                               *offered = Utf8(buf);
                                           }
                                           if (!path.empty()) SetDialogText(dialog, IDC_RECORD_PATH, path);
                                           PushDialogButton(dialog, IDOK);
                                       } else {
                                           PushDialogButton(dialog, IDCANCEL);
                                       }
                                   },
                                   replace);
    // Where a saved record went is news, not a problem: saved lists it.
    for (size_t i = run.messages.size(); i-- > 0;)
        if (run.messages[i].rfind("The job record was saved:", 0) == 0) {
            run.saved = run.messages[i];
            run.messages.erase(run.messages.begin() + static_cast<std::ptrdiff_t>(i));
        }
    return run;
}

DialogRun NewJob(HWND frame, const kelvane::JobIdentity& job, const std::string& shot) {
    int shown = 0;  // a refusal brings the dialog back: given up then
    return RunWithDialogs([&] { Menu(frame, ID_FILE_NEW_JOB); },
                          [&](HWND dialog, const std::string&) {
                              if (!GetDlgItem(dialog, IDC_JOB_WELL) || shown++ > 0) {
                                  PushDialogButton(dialog, IDCANCEL);
                                  return;
                              }
                              const std::pair<int, const std::string*> fields[] = {
                                  {IDC_JOB_COMPANY, &job.company},   {IDC_JOB_WELL, &job.well},
                                  {IDC_JOB_FIELD, &job.field},       {IDC_JOB_RUN, &job.run},
                                  {IDC_JOB_ENGINEER, &job.engineer}, {IDC_JOB_SERIAL, &job.serial},
                                  {IDC_JOB_NOTES, &job.notes}};
                              for (const auto& f : fields) SetDialogText(dialog, f.first, *f.second);
                              if (!shot.empty()) SaveWindowPng(dialog, shot);
                              PushDialogButton(dialog, IDOK);
                          });
}

namespace {

struct SendAllPreview {
    bool send = true;
    bool answered = false;
    std::vector<std::vector<std::string>>* rows = nullptr;
};
SendAllPreview* g_sendAll = nullptr;

BOOL CALLBACK FindSendAllPreview(HWND w, LPARAM lp) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w) && GetDlgItem(w, IDC_SETUP_CHANGES) &&
        TextOf(w).rfind("Send all settings", 0) == 0) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK OnSendAllTimer(HWND, UINT, UINT_PTR, DWORD) {
    SendAllPreview* p = g_sendAll;
    if (!p || p->answered) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindSendAllPreview, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    p->answered = true;
    if (p->rows) *p->rows = ListRows(dialog, IDC_SETUP_CHANGES);
    PushDialogButton(dialog, p->send ? IDOK : IDCANCEL);
}

}  // namespace

void SendAllAnswering(HWND frame, bool send, std::vector<std::vector<std::string>>* rows) {
    AnswerSendAllPreview([frame] { Menu(frame, ID_FILE_SEND_ALL); }, send, rows);
}

void AnswerSendAllPreview(const std::function<void()>& action, bool send, std::vector<std::vector<std::string>>* rows) {
    SendAllPreview preview;
    preview.send = send;
    preview.rows = rows;
    SendAllPreview* outer = g_sendAll;
    g_sendAll = &preview;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &OnSendAllTimer);
    action();
    KillTimer(nullptr, timer);
    g_sendAll = outer;
}

}  // namespace harness
