#include "wait.h"

#include <algorithm>

namespace {

DWORD Remaining(ULONGLONG deadline)
{
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, MAXDWORD - 1));
}

} // namespace

void PumpPending(HWND dialog)
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue; // a destroyed dialog's; the caller sees that itself
        if (dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD guard_ms, const Dispatch& how)
{
    const ULONGLONG deadline = GetTickCount64() + guard_ms;
    for (;;) {
        if (!how.sent_only)
            PumpPending(how.dialog);
        if (done())
            return true;
        const DWORD left = Remaining(deadline);
        if (left == 0)
            return false;
        const DWORD mask = how.sent_only ? QS_SENDMESSAGE : QS_ALLINPUT;
        const DWORD wait = how.sent_only ? left : std::min(left, how.poll_ms);
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, mask) == WAIT_OBJECT_0 && how.sent_only) {
            MSG msg; // peeking dispatches the sent messages, and nothing posted
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

void PumpFor(DWORD ms, const Dispatch& how)
{
    const ULONGLONG deadline = GetTickCount64() + ms;
    PumpUntil([&] { return GetTickCount64() >= deadline; }, ms + 1000, how);
}

bool PollUntil(const std::function<bool()>& done, DWORD guard_ms, DWORD interval_ms)
{
    const ULONGLONG deadline = GetTickCount64() + guard_ms;
    while (!done()) {
        const DWORD left = Remaining(deadline);
        if (left == 0)
            return false;
        Sleep(std::min(left, interval_ms));
    }
    return true;
}
