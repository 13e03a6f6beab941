#include "core/SharedBlocks.h"

#include "KelvaneHost.h"

using kelvane::BlockView;

namespace {

// The real size of a mapping: a block the host created first may be smaller
// than our record, and a view's region is rounded up to whole pages.
size_t MappingSize(HANDLE mapping, void* view) {
    struct SectionBasicInformation {
        PVOID BaseAddress;
        ULONG Attributes;
        LARGE_INTEGER Size;
    };
    typedef LONG(NTAPI * NtQuerySectionFn)(HANDLE, int, PVOID, ULONG, PULONG);
    if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
        auto query = reinterpret_cast<NtQuerySectionFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySection")));
        SectionBasicInformation info{};
        if (query && query(mapping, 0, &info, sizeof info, nullptr) == 0 && info.Size.QuadPart >= 0)
            return static_cast<size_t>(info.Size.QuadPart);
    }
    MEMORY_BASIC_INFORMATION mbi{};
    if (VirtualQuery(view, &mbi, sizeof mbi) == sizeof mbi) return mbi.RegionSize;
    return 0;
}

void OpenBlock(const char* name, DWORD recordSize, HANDLE& mapping, BlockView& view) {
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, recordSize, name);
    if (!mapping) return;
    void* base = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (base) view = BlockView(base, MappingSize(mapping, base));
}

void CloseBlock(HANDLE& mapping, BlockView& view) {
    if (view.Present()) UnmapViewOfFile(view.Base());
    view = BlockView();
    if (mapping) CloseHandle(mapping);
    mapping = nullptr;
}

}  // namespace

void CSharedBlocks::OpenProcessBlock() {
    OpenBlock(kelvane::PROCESS_BLOCK_NAME, sizeof(kelvane::ProcessPara), m_processMapping, m_processBlock);
}
void CSharedBlocks::OpenToolControlBlock() {
    OpenBlock(kelvane::TOOL_CONTROL_BLOCK_NAME, sizeof(kelvane::ToolControlPara), m_toolControlMapping,
              m_toolControlBlock);
}
void CSharedBlocks::CloseToolControlBlock() { CloseBlock(m_toolControlMapping, m_toolControlBlock); }
void CSharedBlocks::CloseProcessBlock() { CloseBlock(m_processMapping, m_processBlock); }
