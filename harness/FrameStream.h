// A host's data frames from another thread, and a real click timed to the
// command it brings: the load the acquisition host puts on the plug-in while
// logging. Shared by the system tests and the figures.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace harness {

class HostHarness;

// Seconds from the performance counter.
double Now();

// Frames from another thread at a steady rate until destroyed; with changing
// words every frame brings 20 new read-back values.
class FrameStream {
public:
    FrameStream(HostHarness& host, double perSecond, bool changing);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;
    long Sent() const { return m_sent.load(); }

private:
    std::vector<int16_t> m_frame;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_sent{0};
    std::thread m_thread;
};

// A real mouse click (system input, not a posted message) on a control, in
// microseconds until the host window has the command it sends; the calling
// (window's) thread runs a host's message loop meanwhile. -1 when nothing
// came within timeoutMs.
double ClickToCommand(HostHarness& host, HWND control, UINT timeoutMs = 2000);

}  // namespace harness
