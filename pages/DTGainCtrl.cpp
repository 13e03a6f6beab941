#include "pages/DTGainCtrl.h"

#include "resource.h"

CDTGainCtrl::CDTGainCtrl() : CGainPage(IDD_DTGAIN, 4) {}
