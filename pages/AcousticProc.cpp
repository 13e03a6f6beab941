#include "pages/AcousticProc.h"

#include "resource.h"

CAcousticProc::CAcousticProc() : CResizePage(IDD_ACOUSTIC, nullptr) {}
