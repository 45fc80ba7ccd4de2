#include "pump.h"

void PumpPending()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD guard_ms)
{
    const ULONGLONG deadline = GetTickCount64() + guard_ms;
    for (;;) {
        PumpPending();
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)),
                                  QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    const ULONGLONG deadline = GetTickCount64() + ms;
    PumpUntil([&] { return GetTickCount64() >= deadline; }, ms + 1000);
}

bool PumpSentUntil(const std::function<bool()>& done, DWORD guard_ms)
{
    const ULONGLONG deadline = GetTickCount64() + guard_ms;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE) ==
            WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    return true;
}
