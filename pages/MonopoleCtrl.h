#pragma once

#include "pages/GainPage.h"

class CMonopoleCtrl : public CGainPage {
public:
    CMonopoleCtrl();
};
