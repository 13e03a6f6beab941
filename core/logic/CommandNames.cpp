#include "KelvaneHost.h"
#include "core/logic/CommandList.h"

namespace kelvane {
namespace {

// The host header's public constants are the list's, code for code and
// limit for limit.
#define KELVANE_SAME_CODE(NAME, CODE, ...) static_assert(NAME == (CODE), #NAME " differs from the command list");
KELVANE_COMMANDS(KELVANE_SAME_CODE, KELVANE_SAME_CODE)
#undef KELVANE_SAME_CODE

constexpr bool SameLimit(const DriveLimit& a, const DriveLimit& b) {
    return a.Code == b.Code && a.Rule == b.Rule && a.Min == b.Min && a.Max == b.Max && a.Step == b.Step;
}

constexpr bool HostTableIsTheList() {
    size_t valueRows = 0;
    for (const CommandRow& row : kCommands) valueRows += row.carriesValue;
    if (valueRows != sizeof(DRIVE_LIMITS) / sizeof(DRIVE_LIMITS[0])) return false;
    for (const DriveLimit& host : DRIVE_LIMITS) {
        const int i = CommandIndex(host.Code);
        if (i < 0 || !kCommands[i].carriesValue || !SameLimit(host, kCommands[i].limit)) return false;
    }
    return true;
}

constexpr bool ListIsSound() {
    for (const CommandRow& a : kCommands) {
        for (const CommandRow& b : kCommands)
            if (&a != &b && a.code == b.code) return false;
        if (a.code < 0x8200 || a.code > 0x82FF || !a.label) return false;
        if (!a.carriesValue) continue;
        if (a.limit.Min > a.limit.Max) return false;
        if (a.limit.Rule == DRIVE_LIST && (a.limit.Step <= 0 || (a.limit.Max - a.limit.Min) % a.limit.Step != 0))
            return false;
    }
    return true;
}

static_assert(HostTableIsTheList(), "the host header's DRIVE_LIMITS differ from the command list");
static_assert(ListIsSound(), "a command code twice, outside 0x82nn, or with limits that contradict themselves");

}  // namespace

const char* CommandName(int32_t code) {
    const CommandRow* row = FindCommand(code);
    return row ? row->name : nullptr;
}

}  // namespace kelvane
