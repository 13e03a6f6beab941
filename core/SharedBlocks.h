// The two named blocks the host's acquisition and processing read while
// logging, ToolControlPara and VarroProcessPara: opened when the library
// loads, closed when it unloads. What goes into them is the pages' and the
// start-up's business (IniRules); this class only maps them, at their real
// size, so no write lands outside a block.
#pragma once

#include <windows.h>

#include "core/logic/PageContext.h"
#include "core/logic/SharedBlock.h"

class CSharedBlocks : public kelvane::BlockPublisher {
public:
    CSharedBlocks() = default;
    CSharedBlocks(const CSharedBlocks&) = delete;
    CSharedBlocks& operator=(const CSharedBlocks&) = delete;

    // A block that cannot be made or mapped stays absent; writes to it are skipped.
    void OpenProcessBlock();
    void OpenToolControlBlock();
    void CloseToolControlBlock();
    void CloseProcessBlock();

    kelvane::BlockView ProcessBlock() const override { return m_processBlock; }
    kelvane::BlockView ToolControlBlock() const override { return m_toolControlBlock; }

private:
    HANDLE m_processMapping = nullptr;
    HANDLE m_toolControlMapping = nullptr;
    kelvane::BlockView m_processBlock;
    kelvane::BlockView m_toolControlBlock;
};
