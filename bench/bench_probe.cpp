#include "bench_probe.h"

#include "bench_clock.h"
#include "wait.h"

#include <process.h>

namespace {

constexpr DWORD kProbeIntervalMs = 5;
// A dialog that answers nothing for this long is counted at this much, and
// probed again.
constexpr UINT kProbeTimeoutMs = 10000;

} // namespace

ResponsivenessProbe::ResponsivenessProbe(HWND dlg) : dlg_(dlg)
{
    thread_.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Run, this, 0, nullptr)));
}

ResponsivenessProbe::~ResponsivenessProbe()
{
    Stop();
}

double ResponsivenessProbe::Stop()
{
    stop_ = true;
    if (thread_) {
        HANDLE thread = thread_.get();
        PumpUntil([thread] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 3600 * 1000, {dlg_, false, 1});
        thread_.reset();
    }
    return longest_ms_;
}

unsigned __stdcall ResponsivenessProbe::Run(void* param)
{
    auto* self = static_cast<ResponsivenessProbe*>(param);
    while (!self->stop_) {
        const double sent = Now();
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(self->dlg_, WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &answer);
        const double waited_ms = (Now() - sent) * 1000;
        if (waited_ms > self->longest_ms_)
            self->longest_ms_ = waited_ms;
        Sleep(kProbeIntervalMs);
    }
    return 0;
}
