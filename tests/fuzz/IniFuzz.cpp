// libFuzzer target over the INI load, default, publish and save rules.
// Input: byte 0 picks the ProcessPara block's size (0..76, or absent), byte 1
// the ToolControlPara block's (0..48, or absent); the rest is the INI text.
// Each block is a heap buffer of exactly that size, so a store past it is an
// AddressSanitizer report. Checked besides: the load's fixed overrides, the
// mirrors and window words in whatever part of a block exists, and that what
// the saves write loads back unchanged (floats as the save rule writes them).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "KelvaneHost.h"
#include "TextProfile.h"
#include "core/logic/DriveLimits.h"
#include "core/logic/IniRules.h"
#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"

using namespace kelvane;

namespace {

// A block buffer of exactly the size the host gave it.
struct Block {
    Block(uint8_t selector, size_t record) {
        const bool absent = selector == 0xFF;
        size = absent ? 0 : selector % (record + 1);
        bytes.reset(absent ? nullptr : new unsigned char[size == 0 ? 1 : size]);
        if (bytes) std::memset(bytes.get(), 0xAB, size == 0 ? 1 : size);
        view = absent ? BlockView() : BlockView(bytes.get(), size);
    }
    bool Has(size_t offset) const { return bytes && offset + 4 <= size; }
    int32_t Int(size_t offset) const {
        int32_t v;
        std::memcpy(&v, bytes.get() + offset, 4);
        return v;
    }
    bool SameBits(size_t offset, const void* member) const { return std::memcmp(bytes.get() + offset, member, 4) == 0; }

    size_t size;
    std::unique_ptr<unsigned char[]> bytes;
    BlockView view;
};

void LoadAll(ParameterSet& p, ProfileStore& ini, const BlockView& process) {
    LoadGeneralControl(p, ini);
    LoadDtGainControl(p, ini);
    LoadDipoleControl(p, ini);
    LoadMonopoleControl(p, ini);
    LoadAcousticProcess(p, ini, process);
    LoadOptions(p, ini);
}

void SaveAll(const ParameterSet& p, ProfileStore& ini) {
    SaveGeneralControl(p, ini);
    SaveDtGainControl(p, ini);
    SaveMonopoleControl(p, ini);
    SaveDipoleControl(p, ini);
    SaveAcousticProcess(p, ini);
    SaveOptions(p, ini);
}

// Every ProcessPara field that fits holds its member (LowCut/HighCut keep the
// text's real value, checked by the caller where it knows it).
void CheckMirrors(const ParameterSet& p, const Block& b) {
    struct Mirror {
        size_t offset;
        const void* member;
    };
    const Mirror mirrors[] = {
        {offsetof(ProcessPara, CurveSelect), &p.CurveSelect},
        {offsetof(ProcessPara, FilterType), &p.FilterType},
        {offsetof(ProcessPara, DtMin), &p.DtMin},
        {offsetof(ProcessPara, DtMax), &p.DtMax},
        {offsetof(ProcessPara, CorWinLength), &p.CorWinLength},
        {offsetof(ProcessPara, Coefficient), &p.Coefficient},
        {offsetof(ProcessPara, ThresholdType), &p.ThresholdType},
        {offsetof(ProcessPara, T01RStart) + 0, &p.T01RStart[0]},
        {offsetof(ProcessPara, T01RStart) + 4, &p.T01RStart[1]},
        {offsetof(ProcessPara, T01RStart) + 8, &p.T01RStart[2]},
        {offsetof(ProcessPara, T01RStart) + 12, &p.T01RStart[3]},
        {offsetof(ProcessPara, SearchWinLength), &p.SearchWinLength},
        {offsetof(ProcessPara, ThresholdMin) + 0, &p.ThresholdMin[0]},
        {offsetof(ProcessPara, ThresholdMin) + 4, &p.ThresholdMin[1]},
        {offsetof(ProcessPara, ThresholdMin) + 8, &p.ThresholdMin[2]},
        {offsetof(ProcessPara, ThresholdMin) + 12, &p.ThresholdMin[3]},
        {offsetof(ProcessPara, ThresholdFactor), &p.ThresholdFactor},
    };
    for (const Mirror& m : mirrors)
        if (b.Has(m.offset)) CHECK(b.SameBits(m.offset, m.member));
}

// The window words in whatever part of ToolControlPara exists.
void CheckWindowWords(const ParameterSet& p, const Block& b) {
    // A 24 us dipole interval holds the dipole window end to 360 x 24 us.
    const int32_t fixed[4] = {80, 2960, 240, p.DipoleSampleRate == 24 ? 8640 : 8880};
    for (size_t i = 0; i < 4; ++i)
        if (b.Has(4 * i)) CHECK(b.Int(4 * i) == fixed[i]);
    // The DT windows are those the page would send: within the drive table,
    // each end after its start, whatever the file held.
    const DtWindows w = FitDtWindows(p.DtFirstStartTime, p.DtFirstWinLength, p.DtTotalOffset);
    for (int k = 0; k < 4; ++k) {
        CHECK(w.start[k] >= 80 && w.start[k] <= 2000);
        CHECK(w.end[k] >= 280 && w.end[k] <= 3200);
        CHECK(w.end[k] > w.start[k]);
        if (b.Has(16 + 4 * k)) CHECK(b.Int(16 + 4 * k) == w.start[k]);
        if (b.Has(32 + 4 * k)) CHECK(b.Int(32 + 4 * k) == w.end[k]);
    }
}

// A float after the save and a second load: the text the save rule writes,
// as the reader takes it (nine characters).
float SavedFloat(float v) { return ParseLeadingFloat(SavedFloatText(v).substr(0, kValueBufferSize - 1).c_str()); }

bool SameFloat(float a, float b) { return std::memcmp(&a, &b, 4) == 0 || (std::isnan(a) && std::isnan(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

    // Start-up with a file: load, then publish.
    {
        Block process(data[0], sizeof(ProcessPara)), tool(data[1], sizeof(ToolControlPara));
        fuzz::TextProfile ini(text);
        ParameterSet p{};
        LoadAll(p, ini, process.view);
        PublishParameters(p, tool.view, process.view);
        CHECK(p.GainStep != 0);
        CHECK(p.MonoStackValue == 1 && p.MonoWindowsEnd == 2960);
        CHECK(p.DipoleStackValue == 4 && p.DipoleWindowsEnd == (p.DipoleSampleRate == 24 ? 8640 : 8880));
        for (int i = 0; i < 4; ++i) CHECK(p.StartLink[i] == 0 && p.MinLink[i] == 0);
        CheckMirrors(p, process);
        CheckWindowWords(p, tool);
        // The cut-offs keep the text's real value in the block, the integer in the set.
        for (size_t off : {offsetof(ProcessPara, LowCut), offsetof(ProcessPara, HighCut)}) {
            if (!process.Has(off)) continue;
            const std::string t = ini.Read(
                kAcousticSection, off == offsetof(ProcessPara, LowCut) ? "LowCut" : "HighCut", "N/A", kValueBufferSize);
            const float want = t == "N/A" ? 0.0f : LimitTypedReal(ParseLeadingFloat(t.c_str()));
            float got;
            std::memcpy(&got, process.bytes.get() + off, 4);
            CHECK(SameFloat(got, want));
        }

        // Shut-down, then the next start-up reads what was written. A name
        // with a NUL in it reads only up to the NUL, and a writer that puts
        // the file back out (the platform's too) leaves that shorter name, so
        // such a line may read differently afterwards: no round trip there.
        // Nor when the text written starts with a byte-order mark: a line
        // such as " <mark>[ACOUSTIC PROCESS]" is a key without a section,
        // written first and without its blanks, and the mark at the top of
        // the file then reads as the file's own, the line as a section.
        std::string written;
        if (text.find('\0') == std::string::npos) {
            SaveAll(p, ini);
            written = ini.Render();
        }
        if (!written.empty() && written.compare(0, 3, "\xEF\xBB\xBF") != 0) {
            fuzz::TextProfile again(written);
            ParameterSet q{};
            Block process2(0xFF, sizeof(ProcessPara));
            LoadAll(q, again, process2.view);
            const int32_t* a = reinterpret_cast<const int32_t*>(&p);
            const int32_t* b = reinterpret_cast<const int32_t*>(&q);
            const float* floats[] = {&p.Coefficient,     &p.ThresholdFactor, &p.ThresholdMin[0],
                                     &p.ThresholdMin[1], &p.ThresholdMin[2], &p.ThresholdMin[3]};
            for (size_t i = 0; i < sizeof(ParameterSet) / 4; ++i) {
                bool isFloat = false;
                for (const float* f : floats) isFloat = isFloat || reinterpret_cast<const int32_t*>(f) == a + i;
                if (isFloat) {
                    float pf, qf;
                    std::memcpy(&pf, a + i, 4);
                    std::memcpy(&qf, b + i, 4);
                    CHECK(SameFloat(qf, SavedFloat(pf)));
                } else {
                    CHECK(a[i] == b[i]);
                }
            }
        }
    }

    // Start-up without a file: defaults, then publish.
    {
        Block process(data[0], sizeof(ProcessPara)), tool(data[1], sizeof(ToolControlPara));
        ParameterSet p{};
        SetDefaultParameters(p, process.view);
        PublishParameters(p, tool.view, process.view);
        CheckMirrors(p, process);
        CheckWindowWords(p, tool);
        const float zero = 0.0f;
        if (process.Has(offsetof(ProcessPara, LowCut))) CHECK(process.SameBits(offsetof(ProcessPara, LowCut), &zero));
        if (process.Has(offsetof(ProcessPara, HighCut))) CHECK(process.SameBits(offsetof(ProcessPara, HighCut), &zero));
    }
    return 0;
}
