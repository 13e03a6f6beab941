// What the DT, Monopole and Dipole pages share: the read-back boxes beside
// their channels.
#pragma once

#include <cstdint>

#include "window/DialogResize.h"

class CGainPage : public CResizePage {
public:
    // Writes each word with "%d" into the channel's read-back box.
    void ShowGainReadBack(const int32_t* words);

protected:
    CGainPage(UINT templateId, int channels) : CResizePage(templateId, nullptr), m_channels(channels) {}
    int Channels() const { return m_channels; }

private:
    int m_channels;
};
