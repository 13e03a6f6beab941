// CMonopoleCtrl: the "Monopole Control/Full wave" page, the full-wave page
// with "Download all commands" and the auto-gain latch it sends.
#pragma once

#include "pages/FullWavePage.h"

class CMonopoleCtrl : public CFullWavePage {
public:
    explicit CMonopoleCtrl(const kelvane::PageContext& ctx);

protected:
    BOOL OnInitDialog() override;
    void DownloadAll() override;
};
