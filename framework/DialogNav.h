// The host's message loop knows nothing of our dialogs; this gives them the
// keys they need from it (Tab, Shift+Tab, arrows, Enter in numeric boxes,
// Escape, Alt+mnemonic, Ctrl+A in edit boxes, and the window's own Ctrl
// shortcuts) on the UI thread, and leaves every other key to it.
#pragma once

#include <windows.h>

#include <functional>

// A key pressed with Ctrl (and without Alt, which with Ctrl types characters
// on some layouts) while the focus is in the window; true when it was a
// shortcut and has been acted on: the host's loop then never sees the key.
using ShortcutHandler = std::function<bool(UINT key, bool shift)>;

// dialog: the window (with its children, and the top-level window it sits
// in) whose keys the hook routes.
void InstallDialogNavigation(HWND dialog, ShortcutHandler onShortcut = ShortcutHandler());
// False when the hook could not be removed (it belongs to another thread
// that would not let it go).
bool UninstallDialogNavigation();
