#include "shell/SetupDialogs.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "base/LocalClock.h"
#include "base/logic/NumberText.h"
#include "base/logic/Text.h"
#include "core/SetupStore.h"
#include "core/logic/DriveLimits.h"
#include "core/logic/JournalLines.h"
#include "core/logic/ToolState.h"
#include "core/logic/SetupRules.h"
#include "resource.h"
#include "shell/ControlView.h"

using namespace kelvane;

namespace {

constexpr const char* kTitle = "Varro Control Window";
constexpr UINT kDetailsRead = WM_APP + 0x39;  // the list's reader has details
constexpr UINT_PTR kRetryTimer = 1;           // files in use are tried again
constexpr DWORD kRetryMs = 300;
constexpr DWORD kReaderStopMs = 1000;  // the reader ends between two files

// Texts here are UTF-8; windows and message boxes are given UTF-16.
void Tell(HWND owner, SessionNotes& notes, const std::string& text) {
    notes.NoticeShown(text, LocalSecondsOfDay());
    RunModal(owner, IDCANCEL,
             [&] { return MessageBoxW(owner, WideOf(text).c_str(), WideOf(kTitle).c_str(), MB_OK | MB_ICONWARNING); });
}

bool Ask(HWND owner, const std::string& text) {
    return RunModal(owner, IDCANCEL, [&] {
               return MessageBoxW(owner, WideOf(text).c_str(), WideOf(kTitle).c_str(),
                                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
           }) == IDYES;
}

void SetText(HWND window, const std::string& text) { SetWindowTextW(window, WideOf(text).c_str()); }

std::wstring WideTextOf(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::vector<wchar_t> buf(static_cast<size_t>(n < 0 ? 0 : n) + 1, L'\0');
    GetWindowTextW(window, buf.data(), static_cast<int>(buf.size()));
    return std::wstring(buf.data());
}

std::string Now(bool forFileName) {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    const std::string text = FormatJournalTime(
        {t.wYear * 10000 + t.wMonth * 100 + t.wDay, ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000});
    if (!forFileName) return text.substr(0, 19);
    std::string compact;  // 20261208-162005
    for (char c : text.substr(0, 19))
        if (c >= '0' && c <= '9') compact += c;
    return compact.substr(0, 8) + "-" + compact.substr(8);
}

void AddColumns(HWND list, const char* const* names, const int* widths, int count) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < count; ++i) {
        std::wstring name = WideOf(names[i]);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = &name[0];
        RECT r{0, 0, widths[i], 8};
        MapDialogRect(GetParent(list), &r);  // widths in dialog units
        c.cx = r.right;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
    }
}

void SetCell(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = WideOf(text);
    LVITEMW sub{};
    sub.iSubItem = column;
    sub.pszText = &wide[0];
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
}

void AddRow(HWND list, const std::vector<std::string>& cells) {
    std::wstring first = WideOf(cells[0]);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = &first[0];
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (size_t k = 1; k < cells.size(); ++k) SetCell(list, row, static_cast<int>(k), cells[k]);
}

// What the operator's settings are now: the parameter set, and the DT
// filter as its check box stands (the page keeps it).
ParameterSet CurrentSettings(const FrameLink& app, const CControlView& view) {
    ParameterSet now = app.pages.params;
    view.AddPageHeldSettings(now);
    return now;
}

// One line of text to give: a set-up's name (with a note on where it is
// kept) or the job record's file. The text is UTF-16 in the edit; Text()
// gives it as UTF-8, whole unless WholeText() says otherwise.
class CTextDialog : public CDialog {
public:
    CTextDialog(UINT templateId, int editId, std::string text, const char* caption = nullptr, std::string note = "")
        : CDialog(templateId), m_editId(editId), m_text(std::move(text)), m_caption(caption), m_note(std::move(note)) {}
    const std::string& Text() const { return m_text; }
    bool WholeText() const { return m_whole; }

protected:
    BOOL OnInitDialog() override {
        if (m_caption) SetWindowTextA(m_hWnd, m_caption);
        SetText(Item(m_editId), m_text);
        if (!m_note.empty()) SetText(Item(IDC_SETUP_NAME_NOTE), m_note);
        return TRUE;
    }
    bool OnCommand(int id, int) override {
        if (id == IDOK) {
            const std::wstring wide = WideTextOf(Item(m_editId));
            m_whole = IsWholeText(wide);
            m_text = Utf8Of(wide);
        }
        if (id == IDOK || id == IDCANCEL) EndDialog(m_hWnd, id);
        return id == IDOK || id == IDCANCEL;
    }

private:
    int m_editId;
    std::string m_text;
    const char* m_caption;
    std::string m_note;
    bool m_whole = true;
};

// "" when the set-up can be called name in the store's folder.
std::string NameProblem(const CSetupStore& store, const std::string& name) {
    std::string problem = SetupNameProblem(name);
    if (problem.empty() && WideOf(store.PathOf(name)).size() >= MAX_PATH)
        problem = "The name is too long for the set-up folder " + store.Folder() + ".";
    return problem;
}

// Asks for a name until it is one a set-up can have (or the operator gives up).
bool AskName(HWND owner, SessionNotes& notes, const CSetupStore& store, const char* caption, std::string& name) {
    for (;;) {
        CTextDialog dialog(IDD_SETUP_NAME, IDC_SETUP_NAME, name, caption, "Kept in " + store.Folder());
        if (dialog.DoModal(owner) != IDOK) return false;
        name = dialog.Text();
        const std::string problem = dialog.WholeText()
                                        ? NameProblem(store, name)
                                        : "A set-up name must be text: it holds half of a character pair.";
        if (problem.empty()) return true;
        Tell(owner, notes, std::string("\"").append(name).append("\" cannot be a set-up's name. ").append(problem));
    }
}

// The set-ups by name at once; each one's saved time and summary as a
// reader on another thread brings them. A file another program holds says
// so and is tried again while the list is open.
class CListDialog : public CDialog {
public:
    CListDialog(const CSetupStore& store, const ParameterSet& base, SessionNotes& notes)
        : CDialog(IDD_SETUP_LIST), m_store(store), m_base(base), m_notes(notes) {}
    const std::string& Chosen() const { return m_chosen; }

protected:
    BOOL OnInitDialog() override {
        static const char* const kNames[] = {"Name", "Saved", "Summary"};
        static const int kWidths[] = {90, 75, 235};
        AddColumns(Item(IDC_SETUP_LIST), kNames, kWidths, 3);
        m_reader = std::make_unique<CSetupReader>(m_store, m_base, m_hWnd, kDetailsRead);
        Fill();
        SetTimer(m_hWnd, kRetryTimer, kRetryMs, nullptr);
        return TRUE;
    }
    bool OnCommand(int id, int) override {
        switch (id) {
        case IDOK: Choose(); return true;
        case IDCANCEL: EndDialog(m_hWnd, IDCANCEL); return true;
        case IDC_SETUP_RENAME: RenameSelected(); return true;
        case IDC_SETUP_DELETE: DeleteSelected(); return true;
        default: return false;
        }
    }
    bool OnNotify(NMHDR* hdr, LRESULT& result) override {
        if (!hdr || hdr->idFrom != IDC_SETUP_LIST || hdr->code != static_cast<UINT>(NM_DBLCLK)) return false;
        Choose();
        result = 0;
        return true;
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) override {
        result = 0;
        if (msg == kDetailsRead) {
            ShowDetails();
            return true;
        }
        if (msg == WM_TIMER && wParam == kRetryTimer) {
            ReadWhatIsMissing();
            return true;
        }
        if (msg == WM_DESTROY) {
            KillTimer(m_hWnd, kRetryTimer);
            if (m_reader) m_reader->Stop(kReaderStopMs);
        }
        return false;
    }

private:
    // The names now in the folder; details already read are kept.
    void Fill() {
        HWND list = Item(IDC_SETUP_LIST);
        std::vector<SetupListing> items;
        for (const std::string& name : m_store.Names()) {
            SetupListing item;
            item.name = name;
            item.summary = "reading...";
            for (const SetupListing& known : m_items)
                if (known.name == name && known.read) item = known;
            items.push_back(item);
        }
        m_items.swap(items);
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        ListView_DeleteAllItems(list);
        for (const SetupListing& item : m_items) AddRow(list, {item.name, item.saved, item.summary});
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        if (!m_items.empty())
            ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        EnableItem(IDOK, !m_items.empty());
        EnableItem(IDC_SETUP_RENAME, !m_items.empty());
        EnableItem(IDC_SETUP_DELETE, !m_items.empty());
        ReadWhatIsMissing();
    }
    void ReadWhatIsMissing() {
        if (!m_reader || m_reader->Busy()) return;
        std::vector<std::string> names;
        for (const SetupListing& item : m_items)
            if (!item.read) names.push_back(item.name);
        if (!names.empty()) m_reader->Read(names);
    }
    void ShowDetails() {
        if (!m_reader) return;
        HWND list = Item(IDC_SETUP_LIST);
        for (const SetupListing& got : m_reader->Take())
            for (size_t i = 0; i < m_items.size(); ++i) {
                if (m_items[i].name != got.name) continue;
                m_items[i] = got;
                SetCell(list, static_cast<int>(i), 1, got.saved);
                SetCell(list, static_cast<int>(i), 2, got.summary);
            }
    }
    const SetupListing* Selected() const {
        const int i = ListView_GetNextItem(Item(IDC_SETUP_LIST), -1, LVNI_SELECTED);
        return i >= 0 && i < static_cast<int>(m_items.size()) ? &m_items[static_cast<size_t>(i)] : nullptr;
    }
    void Choose() {
        if (const SetupListing* item = Selected()) {
            m_chosen = item->name;
            EndDialog(m_hWnd, IDOK);
        }
    }
    void RenameSelected() {
        const SetupListing* item = Selected();
        if (!item) return;
        const std::string from = item->name;
        std::string to = from;
        if (!AskName(m_hWnd, m_notes, m_store, "Rename set-up", to) || to == from) return;
        std::string why;
        const bool sameFile = lstrcmpiW(WideOf(to).c_str(), WideOf(from).c_str()) == 0;
        if (m_store.Exists(to) && !sameFile) {
            Tell(m_hWnd, m_notes, "A set-up called \"" + to + "\" exists already; nothing was renamed.");
            return;
        }
        // A readable set-up takes its new name inside too; another is moved as it is.
        std::string text;
        SetupFile setup;
        if (m_store.Read(from, text, why) && ParseSetup(text, m_base, setup, why)) {
            if (!m_store.Write(to, RenderSetup(to, setup.saved, setup.values), why) ||
                (!sameFile && !m_store.Delete(from, why)))
                Tell(m_hWnd, m_notes, "\"" + from + "\" could not be renamed: " + why + ".");
        } else if (!m_store.Rename(from, to, why)) {
            Tell(m_hWnd, m_notes, "\"" + from + "\" could not be renamed: " + why + ".");
        }
        Fill();
    }
    void DeleteSelected() {
        const SetupListing* item = Selected();
        if (!item || !Ask(m_hWnd, "Delete the set-up \"" + item->name + "\"?")) return;
        std::string why;
        if (!m_store.Delete(item->name, why))
            Tell(m_hWnd, m_notes, "\"" + item->name + "\" could not be deleted: " + why + ".");
        Fill();
    }

    const CSetupStore& m_store;
    ParameterSet m_base;
    SessionNotes& m_notes;
    std::unique_ptr<CSetupReader> m_reader;
    std::vector<SetupListing> m_items;
    std::string m_chosen;
};

// What a set-up load or a Send all would change, row by row; OK goes ahead,
// Cancel changes and sends nothing.
class CPreviewDialog : public CDialog {
public:
    CPreviewDialog(const char* caption, std::string text, const char* const (&columns)[4],
                   std::vector<SetupChange> rows)
        : CDialog(IDD_SETUP_PREVIEW), m_caption(caption), m_text(std::move(text)), m_columns(columns),
          m_rows(std::move(rows)) {}

protected:
    BOOL OnInitDialog() override {
        SetWindowTextA(m_hWnd, m_caption);
        SetText(Item(IDC_SETUP_PREVIEW_TEXT), m_text);
        static const int kWidths[] = {105, 95, 100, 100};
        HWND list = Item(IDC_SETUP_CHANGES);
        AddColumns(list, m_columns, kWidths, 4);
        for (const SetupChange& c : m_rows) AddRow(list, {c.page, c.setting, c.now, c.setup});
        return TRUE;
    }
    bool OnCommand(int id, int) override {
        if (id != IDOK && id != IDCANCEL) return false;
        EndDialog(m_hWnd, id);
        return true;
    }

private:
    const char* m_caption;
    std::string m_text;
    const char* const (&m_columns)[4];
    std::vector<SetupChange> m_rows;
};

std::string Settings(size_t n) { return n == 1 ? "1 setting" : FormatInt(static_cast<int32_t>(n)) + " settings"; }

}  // namespace

void SaveSetupFromMenu(HWND owner, const FrameLink& app, CControlView& view) {
    const CSetupStore store(app.settings.SetupFolder());
    std::string name;
    if (!AskName(owner, app.notes, store, "Save set-up", name)) return;
    if (store.Exists(name) && !Ask(owner, "A set-up called \"" + name + "\" exists. Replace it?")) return;
    std::string why;
    if (!store.Write(name, RenderSetup(name, Now(false), CurrentSettings(app, view)), why))
        Tell(owner, app.notes, "The set-up \"" + name + "\" was not saved to " + store.PathOf(name) + ": " + why + ".");
}

bool LoadSetupFromMenu(HWND owner, const FrameLink& app, CControlView& view) {
    const CSetupStore store(app.settings.SetupFolder());
    const ParameterSet now = CurrentSettings(app, view);
    CListDialog list(store, now, app.notes);
    if (list.DoModal(owner) != IDOK) return false;
    const std::string name = list.Chosen();
    std::string text, why;
    SetupFile setup;
    if (!store.Read(name, text, why) || !ParseSetup(text, now, setup, why)) {
        Tell(owner, app.notes,
             "The set-up \"" + name + "\" was not loaded; nothing changed.\n\n" + store.PathOf(name) + ":\n" + why +
                 ".");
        return false;
    }
    const std::vector<SetupChange> rows = DiffSetup(now, setup.values);
    static const char* const kColumns[4] = {"Page", "Setting", "Now", "Set-up (as sent)"};
    CPreviewDialog preview("Load set-up: what would change",
                           "Loading \"" + name + "\" changes " +
                               (rows.empty() ? std::string("no setting") : Settings(rows.size())) +
                               ". OK sets every page and sends every setting to the tool; Cancel changes nothing.",
                           kColumns, rows);
    if (preview.DoModal(owner) != IDOK) return false;

    // Member, mirrors, pages; then the commands, as "Send all" sends them,
    // after the gain step the gain pages quantise with.
    ParameterSet target = setup.values;
    LimitSetup(target);
    app.pages.params = target;
    PublishWholeSet(target, app.pages.blocks.ToolControlBlock(), app.pages.blocks.ProcessBlock());
    view.ShowParametersAgain();
    {
        const std::string action = "Set-up \"" + name + "\" loaded";
        CommandBatch batch(app.pages.commands, action.c_str());
        if (target.GainStep >= 1 && target.GainStep <= 3) {
            ToolCommand step{};
            step.CodeWord = CMD_GAIN_STEP_1DB + target.GainStep - 1;
            app.pages.commands.SendToolCommand(&step);
        }
        view.SendAllSettings();
    }
    app.notes.SetupLoaded(name + " (loaded " + Now(false) + ")");
    return true;
}

// The record's place: the settings file's folder, as fixed at load.
std::string RecordFolder(const FrameLink& app) { return Utf8OfAnsi(app.settings.SettingsFolder()); }

// The journal's file beside the report: its name with ".csv" for ".txt".
std::string JournalPathOf(const std::string& path) {
    std::string csvPath = path;
    if (csvPath.size() > 4 && lstrcmpiA(csvPath.c_str() + csvPath.size() - 4, ".txt") == 0)
        csvPath.resize(csvPath.size() - 4);
    return csvPath + ".csv";
}

// An event as the record lists it: "14:02:11.250 Frames resumed after 12.3 s
// (12.3 s)", the date too when it is not the record's day.
std::string EventText(const JobEvent& e, const std::string& day) {
    const std::string when = FormatJournalTime(e.at);
    std::string text = (when.compare(0, 10, day) == 0 ? when.substr(11) : when) + " " + e.text;
    if (e.forMs >= 0 && e.text.find(" after ") == std::string::npos)
        text += " (for " + FormatFixed(static_cast<double>(e.forMs) / 1000.0, 1) + " s)";
    return text;
}

std::string LoadsText(const JobReplay& job) {
    size_t reloads = 0, restarts = 0;
    for (const JobLoad& l : job.Loads()) {
        reloads += l.how == "reload";
        restarts += l.how == "host restart";
    }
    return std::to_string(job.Loads().size()) + (job.Loads().size() == 1 ? " load" : " loads") +
           " of the plug-in: " + std::to_string(reloads) + (reloads == 1 ? " reload, " : " reloads, ") +
           std::to_string(restarts) + (restarts == 1 ? " host restart" : " host restarts");
}

bool WriteJobRecord(const FrameLink& app, CControlView& view, const std::string& path, std::string& why) {
    // The whole job, from its journal: every load, command and event.
    const JobReplay job = app.job.Replay();
    JobRecordInput in;
    in.when = Now(false);
    const JobIdentity& id = job.Identity();
    const std::pair<const char*, const std::string*> fields[] = {
        {"Company", &id.company},   {"Well", &id.well},          {"Field", &id.field}, {"Run", &id.run},
        {"Engineer", &id.engineer}, {"Tool serial", &id.serial}, {"Notes", &id.notes}};
    for (const auto& f : fields)
        if (!f.second->empty()) in.job.emplace_back(f.first, *f.second);
    in.journalPath = app.job.Path();
    in.loads = LoadsText(job);
    in.workFolder = RecordFolder(app);
    in.version = KELVANE_VERSION_TEXT;
    in.setupLoaded = app.notes.Setup();
    in.settings = CurrentSettings(app, view);
    const FrameCounts::Tally frames = app.intake.Counts().Read();
    in.usableFrames = frames.usable;
    in.frames = frames.frames;
    in.anyReadBack = in.usableFrames > 0;
    in.readBackAgeMs = GetTickCount() - frames.lastUsableTick;
    const ReadBackWords words = app.intake.Gains();
    for (int i = 0; i < 4; ++i) in.readBack[i] = words.Dt[i];
    for (int i = 0; i < 8; ++i) in.readBack[4 + i] = words.Monopole[i];
    for (int i = 0; i < 8; ++i) in.readBack[12 + i] = words.Dipole[i];
    in.dspReport = view.LastDspReport();
    if (view.HasDspReport()) in.dspLines = view.DspStatusLines();
    in.failedSaves = app.notes.FailedSaves();
    if (app.settings.NoticePending())
        in.failedSaves.push_back("A save went to a copy of the settings file; the operator has not been told yet.");
    in.notices = app.notes.Notices();
    for (const JobEvent& e : job.Events()) in.events.push_back(EventText(e, in.when.substr(0, 10)));
    if (job.Skipped() > 0)
        in.events.push_back(std::to_string(job.Skipped()) + " damaged or torn journal lines were passed over");
    // Both files or neither: a report without its journal is no record.
    return WriteWholeFiles({{path, FormatJobRecord(in, job.Commands())}, {JournalPathOf(path), JobCsv(job)}}, why);
}

// "New job": who and where; the well and the run are needed.
class CNewJobDialog : public CDialog {
public:
    explicit CNewJobDialog(JobIdentity job) : CDialog(IDD_NEW_JOB), m_job(std::move(job)) {}
    const JobIdentity& Job() const { return m_job; }

protected:
    BOOL OnInitDialog() override {
        for (const Field& f : Fields()) SetText(Item(f.id), *f.value);
        return TRUE;
    }
    bool OnCommand(int id, int) override {
        if (id == IDOK) {
            for (const Field& f : Fields()) *f.value = Trimmed(Utf8Of(WideTextOf(Item(f.id))));
            const int missing = m_job.well.empty() ? IDC_JOB_WELL : m_job.run.empty() ? IDC_JOB_RUN : 0;
            if (missing) {
                MessageBoxW(m_hWnd, L"A job needs its well and its run number.", WideOf(kTitle).c_str(),
                            MB_OK | MB_ICONWARNING);
                SetFocus(Item(missing));
                return true;
            }
        }
        if (id == IDOK || id == IDCANCEL) EndDialog(m_hWnd, id);
        return id == IDOK || id == IDCANCEL;
    }

private:
    struct Field {
        int id;
        std::string* value;
    };
    std::vector<Field> Fields() {
        return {{IDC_JOB_COMPANY, &m_job.company}, {IDC_JOB_WELL, &m_job.well},         {IDC_JOB_FIELD, &m_job.field},
                {IDC_JOB_RUN, &m_job.run},         {IDC_JOB_ENGINEER, &m_job.engineer}, {IDC_JOB_SERIAL, &m_job.serial},
                {IDC_JOB_NOTES, &m_job.notes}};
    }
    JobIdentity m_job;
};

void SaveJobRecordFromMenu(HWND owner, const FrameLink& app, CControlView& view) {
    const std::string folder = RecordFolder(app);
    std::string path = folder + "\\JobRecord-" + Now(true) + ".txt";
    for (;;) {
        CTextDialog dialog(IDD_JOB_RECORD, IDC_RECORD_PATH, path);
        if (dialog.DoModal(owner) != IDOK) return;
        path = dialog.Text();
        if (path.empty()) {
            Tell(owner, app.notes, "The job record needs a file name.");
            continue;
        }
        // A bare name goes to the record's folder, not to wherever the
        // host's current folder is now.
        const bool full = path.size() >= 2 && (path[1] == ':' || path[0] == '\\' || path[0] == '/');
        if (!full) path = std::string(folder).append("\\").append(path);
        // Nothing is replaced unasked: the report, its journal, or any other
        // file that has the name (the settings file among them).
        std::vector<std::string> existing;
        for (const std::string& p : {path, JournalPathOf(path)})
            if (GetFileAttributesW(WideOf(p).c_str()) != INVALID_FILE_ATTRIBUTES) existing.push_back(p);
        if (existing.size() == 1 && !Ask(owner, "\"" + existing[0] + "\" exists. Replace it?")) continue;
        if (existing.size() == 2 &&
            !Ask(owner, "\"" + existing[0] + "\" and \"" + existing[1] + "\" exist. Replace them?"))
            continue;
        std::string why;
        if (!WriteJobRecord(app, view, path, why)) {
            Tell(owner, app.notes, "The job record was not saved (neither file was written): " + why + ".");
            return;
        }
        const std::string text = "The job record was saved:\n" + path + "\n" + JournalPathOf(path);
        RunModal(owner, IDCANCEL, [&] {
            return MessageBoxW(owner, WideOf(text).c_str(), WideOf(kTitle).c_str(), MB_OK | MB_ICONINFORMATION);
        });
        return;
    }
}

bool NewJobFromMenu(HWND owner, const FrameLink& app) {
    CNewJobDialog dialog{JobIdentity{}};
    if (dialog.DoModal(owner) != IDOK) return false;
    std::string why;
    if (!app.job.NewJob(dialog.Job(), why)) {
        Tell(owner, app.notes, "The new job was not started (the job in force goes on): " + why + ".");
        return false;
    }
    app.job.Event("New job: " + JobTitle(dialog.Job(), ""));
    return true;
}

bool ConfirmSendAll(HWND owner, const FrameLink& app, CControlView& view) {
    ParameterSet willSend = CurrentSettings(app, view);
    LimitSetup(willSend);
    const ToolView tool = ToolHolds(willSend, [&app](int32_t code, SentValue* v) { return app.job.LastSent(code, v); });
    SYSTEMTIME t{};
    GetLocalTime(&t);
    const std::vector<SetupChange> rows = DiffSendAll(willSend, tool, t.wYear * 10000 + t.wMonth * 100 + t.wDay);
    static const char* const kColumns[4] = {"Page", "Setting", "Tool now (last sent)", "Will send"};
    const std::string text =
        rows.empty()
            ? std::string(
                  "The tool was last sent every value Send all would send. OK sends them again; Cancel sends nothing.")
            : Settings(rows.size()) +
                  " would change from what the tool was last sent, or are not known. "
                  "OK sends every setting to the tool; Cancel sends nothing.";
    CPreviewDialog preview("Send all settings: what would change", text, kColumns, rows);
    return preview.DoModal(owner) == IDOK;
}
