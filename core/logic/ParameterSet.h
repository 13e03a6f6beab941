// Every operator setting. One set, owned by the application object; the
// pages read and write its plain members through their PageContext, the
// settings store loads and saves it, the last guard limits by it. Where each
// member lives in the settings file, and its rules, is its row in
// SettingList.h.
#pragma once

#include <cstdint>

namespace kelvane {

struct ParameterSet {
    int32_t GainStep;  // 1, 2 or 3 dB
    // "DIPOLE CONTROL"
    int32_t DipoleChGain[8];
    int32_t DipoleAllGain;
    int32_t DipoleStackValue;
    int32_t DipoleWindowsEnd;
    int32_t DipoleIsAuto;
    int32_t DipoleFilter;  // downhole filter, not persisted
    int32_t DipoleSampleRate;
    int32_t DipoleDelay;
    int32_t DipoleDelayStep;
    // "MONOPOLE CONTROL"
    int32_t MonoIsAuto;
    int32_t MonoStackValue;
    int32_t MonoChGain[8];
    int32_t MonoAllGain;
    int32_t MonoWindowsEnd;
    int32_t MonoFilter;  // not persisted
    int32_t MonoSampleRate;
    int32_t MonoDelay;
    int32_t MonoDelayStep;
    // "DT GAIN CONTROL"
    int32_t DtIsAuto;
    int32_t DtChGain[4];
    int32_t DtAllGain;  // loaded, never saved
    int32_t DtTotalOffset;
    int32_t DtFirstStartTime;
    int32_t DtWinEnd;  // not persisted
    int32_t DtFirstWinLength;
    int32_t DtSampleRate;
    int32_t DtDelay;
    int32_t DtDelayStep;
    int32_t DtFilter;  // not persisted
    // Acoustic process links, not persisted.
    int32_t StartLink[4];
    int32_t MinLink[4];
    // "ACOUSTIC PROCESS", each mirrored in ProcessPara.
    int32_t DtMin;
    int32_t DtMax;
    int32_t CorWinLength;
    int32_t CurveSelect;  // not persisted
    int32_t FilterType;
    int32_t LowCut;  // int here, float in ProcessPara
    int32_t HighCut;
    float Coefficient;
    float ThresholdFactor;
    int32_t SearchWinLength;
    int32_t T01RStart[4];
    float ThresholdMin[4];
    int32_t ThresholdType;   // not persisted
    int32_t MonoWinStart;    // 80 from start-up on
    int32_t DipoleWinStart;  // 240 from start-up on
    // "OPTIONS": how the window behaves, not what the tool holds.
    int32_t BumplessAutoGainOff;  // 1 = manual gains take the read-back
};

}  // namespace kelvane
