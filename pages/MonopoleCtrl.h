// CMonopoleCtrl: the "Monopole Control/Full wave" page: the full-wave page
// with its "Download all commands" button.
#pragma once

#include "pages/FullWavePage.h"

class CMonopoleCtrl : public CFullWavePage {
public:
    explicit CMonopoleCtrl(const kelvane::PageContext& ctx);
};
