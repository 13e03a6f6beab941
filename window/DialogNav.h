// The host's message loop knows nothing of our dialogs; this gives them their
// keyboard navigation (Tab, arrows, Enter in numeric boxes) on the UI thread.
#pragma once

void InstallDialogNavigation();
void UninstallDialogNavigation();
