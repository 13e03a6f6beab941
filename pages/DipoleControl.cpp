#include "pages/DipoleControl.h"

#include "resource.h"

CDipoleControl::CDipoleControl() : CGainPage(IDD_DIPOLE, 8) {}
