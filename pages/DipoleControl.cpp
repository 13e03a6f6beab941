#include "pages/DipoleControl.h"

#include "pages/logic/GainRules.h"
#include "resource.h"

using namespace kelvane;

namespace {
const FullWaveLayout kLayout = {
    {8,
     {IDC_DIP_CH1, IDC_DIP_CH2, IDC_DIP_CH3, IDC_DIP_CH4, IDC_DIP_CH5, IDC_DIP_CH6, IDC_DIP_CH7, IDC_DIP_CH8,
      IDC_DIP_ALL},
     {IDC_DIP_SPIN_CH1, IDC_DIP_SPIN_CH2, IDC_DIP_SPIN_CH3, IDC_DIP_SPIN_CH4, IDC_DIP_SPIN_CH5, IDC_DIP_SPIN_CH6,
      IDC_DIP_SPIN_CH7, IDC_DIP_SPIN_CH8, IDC_DIP_SPIN_ALL},
     CMD_DIPOLE_CH1_GAIN,
     CMD_DIPOLE_ALL_GAIN,
     IDC_DIP_AUTO_ON,
     IDC_DIP_AUTO_OFF,
     CMD_DIPOLE_AUTO_GAIN,
     IDC_DIP_FILTER,
     CMD_DIPOLE_DOWNHOLE_FILTER,
     true,
     0,
     "Dipole"},
    IDC_DIP_STACK,
    CMD_DIPOLE_STACK,
    IDC_DIP_WIN_END,
    CMD_DIPOLE_WIN_END,
    offsetof(ToolControlPara, DipoleWinEnd),
};
}  // namespace

CDipoleControl::CDipoleControl(const PageContext& ctx)
    : CFullWavePage(IDD_DIPOLE, kLayout,
                    FullWaveValues{{ctx.params.DipoleChGain, &ctx.params.DipoleAllGain, &ctx.params.DipoleIsAuto,
                                    &ctx.params.DipoleFilter},
                                   &ctx.params.DipoleStackValue,
                                   &ctx.params.DipoleWindowsEnd},
                    ctx) {}

// "Auto Gain On" first follows any nonzero auto-gain state; the common fill
// then checks the radio of a 0 or 1.
BOOL CDipoleControl::OnInitDialog() {
    SetCheck(IDC_DIP_AUTO_ON, *Values().isAuto != 0);
    return CFullWavePage::OnInitDialog();
}
