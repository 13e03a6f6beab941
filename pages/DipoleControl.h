#pragma once

#include "pages/GainPage.h"

class CDipoleControl : public CGainPage {
public:
    CDipoleControl();
};
