#pragma once

#include "window/DialogResize.h"

class CAcousticProc : public CResizePage {
public:
    CAcousticProc();
};
