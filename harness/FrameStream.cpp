#include "FrameStream.h"

#include "HostHarness.h"
#include "KelvaneHost.h"

namespace harness {

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

FrameStream::FrameStream(HostHarness& host, double perSecond, bool changing)
    : m_frame(kelvane::FRAME_MIN_WORDS, 0), m_thread([this, &host, perSecond, changing] {
          host.SetFrame(m_frame.data());
          const double t0 = Now();
          long sent = 0;
          while (!m_stop.load()) {
              for (const long due = static_cast<long>((Now() - t0) * perSecond); sent < due; ++sent) {
                  if (changing)
                      for (int base :
                           {kelvane::READBACK_MONO_WORD, kelvane::READBACK_DT_WORD, kelvane::READBACK_DIPOLE_WORD})
                          for (int i = 0; i < 8; ++i) m_frame[base + i] = static_cast<int16_t>((sent + i) % 80);
                  host.Process();
                  m_sent.store(sent + 1);
              }
              Sleep(1);
          }
      }) {}

FrameStream::~FrameStream() {
    m_stop = true;
    m_thread.join();
}

double ClickToCommand(HostHarness& host, HWND control, UINT timeoutMs) {
    RECT rc;
    GetWindowRect(control, &rc);
    SetCursorPos(rc.left + 6, (rc.top + rc.bottom) / 2);
    HostHarness::Pump(1);
    const size_t before = host.Commands().size();
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    // The loop a host runs: wait for a message, dispatch it. A timer ends the
    // wait for a click that never arrives.
    const UINT_PTR giveUp = SetTimer(nullptr, 0, timeoutMs, nullptr);
    const double t0 = Now();
    SendInput(2, in, sizeof in[0]);
    MSG msg;
    bool late = false;
    while (host.Commands().size() == before && !late && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        late = msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == giveUp;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    const double us = (Now() - t0) * 1e6;
    KillTimer(nullptr, giveUp);
    return late ? -1 : us;
}

}  // namespace harness
