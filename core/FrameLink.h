// The control window as the application sees it, and what the window is
// given of the application when it is made. Core names nothing of the window
// layer: the window layer hands it a ControlFrameMaker as the library loads,
// and the frame works only through the FrameLink it is made with.
#pragma once

#include <windows.h>

#include "core/FrameIntake.h"
#include "core/HostLink.h"
#include "core/JobLog.h"
#include "core/SettingsStore.h"
#include "core/logic/JobJournal.h"
#include "core/logic/PageContext.h"
#include "core/logic/TrendStore.h"

namespace kelvane {

// The frame's object. Deleting one whose window stands is for a window of
// another thread that is gone or that the unload lets go.
class ControlFrame {
public:
    virtual ~ControlFrame() = default;
    // Creates the window ("Varro Control Window", visible); false when it
    // could not be made (then the object may have deleted itself, after
    // FrameGone).
    virtual bool Open() = 0;
    virtual HWND Window() const = 0;
};

// Told by the frame about its window, so commands and notices name it.
class FrameOwner {
public:
    // The window is made: pages may send as they are created.
    virtual void FrameUp(ControlFrame* frame) = 0;
    // The window is gone; the object deletes itself right after.
    virtual void FrameGone(ControlFrame* frame) = 0;

protected:
    ~FrameOwner() = default;
};

// Everything the frame, its view, pages and dialogs reach of the application.
struct FrameLink {
    PageContext pages;         // the parameter set, the command sink, the blocks
    CFrameIntake& intake;      // the read-back gains and the frame counts
    const CHostLink& host;     // the send log and the journal
    CSettingsStore& settings;  // save requests, where the settings went
    SessionNotes& notes;       // for the job record
    CJobLog& job;              // the job's journal on disk
    TrendStore& trend;         // the read-back trend of the whole job
    FrameOwner& owner;
};

// The window layer's side of it.
class ControlFrameMaker {
public:
    // A new frame (no window yet), or null.
    virtual ControlFrame* Make(const FrameLink& link) = 0;
    // At unload, once no window of ours is left: the frame's window class
    // (and what goes with it) is let go, so the next load registers its own.
    virtual void ReleaseClass() = 0;

protected:
    ~ControlFrameMaker() = default;
};

// Called once, by the window layer, as the library loads (before start-up).
void RegisterControlFrameMaker(ControlFrameMaker* maker) noexcept;

}  // namespace kelvane
