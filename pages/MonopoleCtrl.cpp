#include "pages/MonopoleCtrl.h"

#include "pages/logic/GainRules.h"
#include "resource.h"

using namespace kelvane;

namespace {
const FullWaveLayout kLayout = {
    {8,
     {IDC_MONO_CH1, IDC_MONO_CH2, IDC_MONO_CH3, IDC_MONO_CH4, IDC_MONO_CH5, IDC_MONO_CH6, IDC_MONO_CH7, IDC_MONO_CH8,
      IDC_MONO_ALL},
     {IDC_MONO_SPIN_CH1, IDC_MONO_SPIN_CH2, IDC_MONO_SPIN_CH3, IDC_MONO_SPIN_CH4, IDC_MONO_SPIN_CH5, IDC_MONO_SPIN_CH6,
      IDC_MONO_SPIN_CH7, IDC_MONO_SPIN_CH8, IDC_MONO_SPIN_ALL},
     CMD_MONO_CH1_GAIN,
     CMD_MONO_ALL_GAIN,
     IDC_MONO_AUTO_ON,
     IDC_MONO_AUTO_OFF,
     CMD_MONO_AUTO_GAIN,
     IDC_MONO_FILTER,
     CMD_MONO_DOWNHOLE_FILTER,
     true,
     IDC_MONO_DOWNLOAD_ALL,
     "Monopole"},
    IDC_MONO_STACK,
    CMD_MONO_STACK,
    IDC_MONO_WIN_END,
    CMD_MONO_WIN_END,
    offsetof(ToolControlPara, MonoWinEnd),
};
}  // namespace

CMonopoleCtrl::CMonopoleCtrl(const PageContext& ctx)
    : CFullWavePage(IDD_MONOPOLE, kLayout,
                    FullWaveValues{{ctx.params.MonoChGain, &ctx.params.MonoAllGain, &ctx.params.MonoIsAuto,
                                    &ctx.params.MonoFilter},
                                   &ctx.params.MonoStackValue,
                                   &ctx.params.MonoWindowsEnd},
                    ctx) {}
