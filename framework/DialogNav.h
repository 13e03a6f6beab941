// The host's message loop knows nothing of our dialogs; this gives them the
// keys they need from it (Tab, Shift+Tab, arrows, Enter in numeric boxes,
// Escape, Alt+mnemonic) on the UI thread, and leaves every other key to it.
#pragma once

#include <windows.h>

// dialog: the window (with its children) whose keys the hook routes.
void InstallDialogNavigation(HWND dialog);
void UninstallDialogNavigation();
