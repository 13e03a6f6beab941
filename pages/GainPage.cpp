#include "pages/GainPage.h"

namespace {
constexpr int kFirstReadBackId = 1074;  // CH1# read-back box on every gain page
}

void CGainPage::ShowGainReadBack(const int32_t* words) {
    if (!words || !m_hWnd) return;
    for (int ch = 0; ch < m_channels; ++ch) SetItemInt(kFirstReadBackId + ch, words[ch]);
}
