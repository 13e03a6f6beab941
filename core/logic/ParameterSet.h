// Every operator setting. One set, owned by the application object; the
// pages read and write its plain members through their PageContext, the
// settings store loads and saves it, the last guard limits by it.
#pragma once

#include <cstdint>

namespace kelvane {

struct ParameterSet {
    int32_t GainStep;             // GC "Gain Step": 1, 2 or 3 dB
    // "DIPOLE CONTROL"
    int32_t DipoleChGain[8];      // "Ch1Gain".."Ch8Gain"
    int32_t DipoleAllGain;        // "AllGain"
    int32_t DipoleStackValue;     // "StackValue"
    int32_t DipoleWindowsEnd;     // "WindowsEnd"
    int32_t DipoleIsAuto;         // "IsAuto"
    int32_t DipoleFilter;         // downhole filter, not persisted
    int32_t DipoleSampleRate;     // GC "Dipole SAMPLERATE"
    int32_t DipoleDelay;          // GC "Dipole DELAY"
    int32_t DipoleDelayStep;      // GC "Dipole DELAY STEP"
    // "MONOPOLE CONTROL"
    int32_t MonoIsAuto;
    int32_t MonoStackValue;
    int32_t MonoChGain[8];
    int32_t MonoAllGain;
    int32_t MonoWindowsEnd;
    int32_t MonoFilter;           // not persisted
    int32_t MonoSampleRate;       // GC "Mono SAMPLERATE"
    int32_t MonoDelay;            // GC "Mono DELAY"
    int32_t MonoDelayStep;        // GC "Mono DELAY STEP"
    // "DT GAIN CONTROL"
    int32_t DtIsAuto;
    int32_t DtChGain[4];
    int32_t DtAllGain;            // loaded, never saved
    int32_t DtTotalOffset;        // "Total Offset"
    int32_t DtFirstStartTime;     // "FirstStartTime"
    int32_t DtWinEnd;             // not persisted
    int32_t DtFirstWinLength;     // "FirstWinLength"
    int32_t DtSampleRate;         // GC "DT SAMPLERATE"
    int32_t DtDelay;              // GC "DT DELAY"
    int32_t DtDelayStep;          // GC "DT DELAY STEP"
    int32_t DtFilter;             // not persisted
    // Acoustic process links, not persisted.
    int32_t StartLink[4];
    int32_t MinLink[4];
    // "ACOUSTIC PROCESS", each mirrored in ProcessPara.
    int32_t DtMin;
    int32_t DtMax;
    int32_t CorWinLength;
    int32_t CurveSelect;          // not persisted
    int32_t FilterType;
    int32_t LowCut;               // int here, float in ProcessPara
    int32_t HighCut;
    float Coefficient;
    float ThresholdFactor;
    int32_t SearchWinLength;
    int32_t T01RStart[4];         // "T01R1Start".."T01R4Start"
    float ThresholdMin[4];        // "ThresholdMin1".."ThresholdMin4"
    int32_t ThresholdType;        // not persisted
    int32_t MonoWinStart;         // 80 from start-up on
    int32_t DipoleWinStart;       // 240 from start-up on
    // "OPTIONS": how the window behaves, not what the tool holds.
    int32_t BumplessAutoGainOff;  // "BumplessAutoGainOff": 1 = manual gains take the read-back
};

}  // namespace kelvane
