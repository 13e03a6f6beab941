#include "shell/logic/StripRules.h"

#include <algorithm>

namespace kelvane {
namespace {

std::string Join(const std::string& a, const std::string& b) { return a.empty() ? b : b.empty() ? a : a + "; " + b; }

}  // namespace

uint32_t StaleTimerDelay(bool stale, uint32_t sinceMs, uint32_t staleAfterMs, uint32_t tickMs) {
    if (stale || sinceMs >= staleAfterMs || staleAfterMs - sinceMs >= tickMs) return 0;
    return staleAfterMs - sinceMs;
}

std::vector<std::string> StripFailureForms(const StripFailure& in) {
    const std::string journalWhole = in.journal.empty() ? std::string() : "Job journal not written: " + in.journal;
    const std::string journalBrief = in.journal.empty() ? std::string() : "Journal not written";
    const std::string saveBrief = in.saveShort.empty() ? in.saveLine : in.saveShort;
    const std::string saveEssence = saveBrief.substr(0, saveBrief.find(" ("));
    const std::string dspBrief = in.dsp.empty() ? std::string() : "DSP error";
    const std::string others[] = {
        Join(in.dsp, Join(in.saveLine, journalWhole)), Join(in.dsp, Join(saveBrief, journalBrief)),
        Join(dspBrief, Join(saveBrief, journalBrief)), Join(dspBrief, Join(saveEssence, journalBrief))};
    std::vector<std::string> forms;
    if (others[0].empty() && in.health.empty()) return forms;
    for (size_t i = 0; i < 4; ++i) {
        const std::string form = Join(in.health.empty() ? std::string() : in.health[std::min(i, in.health.size() - 1)],
                                      others[i]);
        if (forms.empty() || form != forms.back()) forms.push_back(form);
    }
    return forms;
}

}  // namespace kelvane
