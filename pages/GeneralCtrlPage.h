#pragma once

#include "KelvaneHost.h"
#include "window/DialogResize.h"

class CGeneralCtrlPage : public CResizePage {
public:
    CGeneralCtrlPage();
    // Host notifications, forwarded by the frame whether or not the page is shown.
    void SetDspStatus(const kelvane::DspStatusReport& report);
    void EnableStatusCheck(int32_t hostState);
};
