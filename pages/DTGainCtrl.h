#pragma once

#include "pages/GainPage.h"

class CDTGainCtrl : public CGainPage {
public:
    CDTGainCtrl();
};
