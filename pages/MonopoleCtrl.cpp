#include "pages/MonopoleCtrl.h"

#include "resource.h"

CMonopoleCtrl::CMonopoleCtrl() : CGainPage(IDD_MONOPOLE, 8) {}
