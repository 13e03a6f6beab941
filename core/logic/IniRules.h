// Load, default and save rules of "KelvaneCtrl.ini", over an abstract profile
// store so the same rules run natively and against the platform's INI calls.
#pragma once

#include <string>
#include <vector>

#include "core/logic/ParameterSet.h"
#include "core/logic/SettingList.h"
#include "core/logic/SharedBlock.h"

namespace kelvane {

// The platform's private-profile semantics: a buffer of n bytes returns at most
// n - 1 characters; a missing key (or file) gives the default text.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    virtual std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) = 0;
    virtual void Write(const char* section, const char* key, const std::string& value) = 0;
};

constexpr size_t kValueBufferSize = 10;  // values are cut to 9 characters

void LoadGeneralControl(ParameterSet& p, ProfileStore& ini);
void LoadDtGainControl(ParameterSet& p, ProfileStore& ini);
void LoadDipoleControl(ParameterSet& p, ProfileStore& ini);
void LoadMonopoleControl(ParameterSet& p, ProfileStore& ini);
void LoadAcousticProcess(ParameterSet& p, ProfileStore& ini, const BlockView& process);
void LoadOptions(ParameterSet& p, ProfileStore& ini);
void SetDefaultParameters(ParameterSet& p, const BlockView& process);

void SaveGeneralControl(const ParameterSet& p, ProfileStore& ini);
void SaveDtGainControl(const ParameterSet& p, ProfileStore& ini);
void SaveMonopoleControl(const ParameterSet& p, ProfileStore& ini);
void SaveDipoleControl(const ParameterSet& p, ProfileStore& ini);
void SaveAcousticProcess(const ParameterSet& p, ProfileStore& ini);
void SaveOptions(const ParameterSet& p, ProfileStore& ini);
// The text a save writes for a float member.
std::string SavedFloatText(float v);

// Start-up values of both blocks after the load (window starts/ends, the two
// process fields that are not loaded). DT window words as FitDtWindows gives them.
void PublishParameters(const ParameterSet& p, const BlockView& toolControl, const BlockView& process);

// Writes the ProcessPara field that mirrors the member at byte offset member
// of the set, as the settings list says (nothing for an unmirrored member).
void PublishMember(const ParameterSet& p, size_t member, const BlockView& process);

// One read the load rules make of the settings file: its default text and
// buffer size as they ask for them.
struct ProfileRead {
    std::string section, key, defaultText;
    size_t bufferSize;
};
// Every read a start-up with a settings file makes, in order.
std::vector<ProfileRead> LoadReads();

// The DT windows as the page sends them, from start, length and offset as
// stored (a hand-edited file may hold anything): the start and offset within
// their drive ranges, every channel's start within the start range and its
// end within the end range, each end after its start (a window that would
// end first gets the WinLength slider's shortest length, 200 us).
struct DtWindows {
    int32_t start[4];
    int32_t end[4];
};
DtWindows FitDtWindows(int32_t start, int32_t length, int32_t offset);

// The DT window words of ToolControlPara: FitDtWindows of start, length and offset.
void WriteDtWindowWords(const BlockView& toolControl, int32_t start, int32_t length, int32_t offset);

}  // namespace kelvane
