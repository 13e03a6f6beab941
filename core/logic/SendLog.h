// What the plug-in last sent to the tool, as the operator reads it: one
// command ("DT CH1 gain 12 dB"), or a Download that sent several.
#pragma once

#include <cstdint>
#include <string>

#include "KelvaneHost.h"
#include "base/logic/Text.h"  // CodeHex, which the strip and the record share

namespace kelvane {

// "DT CH1 gain 12 dB", "Monopole auto gain on", "Tool reset": the command's
// name with its value in its unit. Unknown codes show as hex.
std::string DescribeCommand(const ToolCommand& block);
// The unit of a command's value: "dB", "us", "on/off", "count", or "" when
// the code alone says it all.
const char* CommandUnit(int32_t code);

class SendLog {
public:
    // A Download begins: the commands until its end count as one. Nested
    // batches (a page's Download inside "Send all settings") count for the
    // outermost.
    void BeginBatch(const char* what);
    void EndBatch(int32_t secondsOfDay);
    // One command; delivered is false when no host window took it.
    void Sent(const ToolCommand& block, bool delivered, int32_t secondsOfDay);

    // "Nothing sent yet", "12:03:04 sent DT CH1 gain 12 dB",
    // "12:03:04 Send all settings: 41 commands sent", ...
    std::string Line() const;

    // Whether a command with this code has reached a host window since the
    // library started: until then the tool may hold anything for it.
    bool SentSinceStart(int32_t code) const;

private:
    int m_depth = 0;
    std::string m_batch;        // the open batch's name
    uint32_t m_batchCount = 0;  // commands it has sent so far
    uint32_t m_batchLost = 0;   // of them, ones no host window took
    std::string m_line = "Nothing sent yet";
    // One bit per code 0x8200..0x82FF that was delivered.
    uint32_t m_delivered[8] = {};
};

}  // namespace kelvane
