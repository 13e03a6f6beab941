// The application object base: one global instance per module, started when
// the library loads and shut down when it unloads (DllMain drives both).
#pragma once

#include <windows.h>

class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    const char* m_pszAppName;
    HINSTANCE m_hInstance = nullptr;
};

// The current application object of this module.
CWinApp* AfxGetApp();
