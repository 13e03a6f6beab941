// CDipoleControl: the "Dipole Control/Full wave" page, the full-wave page with
// the dipole's ids and codes (filter 0x823C before window end 0x823D).
#pragma once

#include "pages/FullWavePage.h"

class CDipoleControl : public CFullWavePage {
public:
    explicit CDipoleControl(const kelvane::PageContext& ctx);

protected:
    BOOL OnInitDialog() override;
};
