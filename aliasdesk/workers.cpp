#include "workers.h"

#include "handles.h"

#include <process.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

std::mutex workers_lock;
std::vector<UniqueHandle> workers; // threads started and not yet seen ending
std::atomic<bool> stop_requested;
std::atomic<HWND> workers_dialog;

bool HasEnded(const UniqueHandle& thread)
{
    return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
}

void ForgetEndedWorkers()
{
    std::lock_guard<std::mutex> guard(workers_lock);
    std::erase_if(workers, HasEnded);
}

HANDLE AnyRunningWorker()
{
    ForgetEndedWorkers();
    std::lock_guard<std::mutex> guard(workers_lock);
    return workers.empty() ? nullptr : workers.front().get();
}

// Dispatches messages sent from other threads until the thread ends.
void WaitDispatchingSent(HANDLE thread)
{
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke != WAIT_OBJECT_0 + 1)
            return;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

} // namespace

bool StartWorker(WorkerBody body, void* argument)
{
    ForgetEndedWorkers();
    std::lock_guard<std::mutex> guard(workers_lock);
    const uintptr_t thread = _beginthreadex(nullptr, 0, body, argument, 0, nullptr);
    if (thread == 0)
        return false;
    workers.emplace_back(reinterpret_cast<HANDLE>(thread));
    return true;
}

bool WorkerStopRequested()
{
    return stop_requested.load();
}

int RunningWorkerCount()
{
    ForgetEndedWorkers();
    std::lock_guard<std::mutex> guard(workers_lock);
    return static_cast<int>(workers.size());
}

void WaitForWorkers()
{
    while (HANDLE thread = AnyRunningWorker())
        WaitDispatchingSent(thread);
}

void StopWorkers()
{
    stop_requested = true;
    WaitForWorkers();
    stop_requested = false;
}

void SetWorkersDialog(HWND dlg)
{
    workers_dialog = dlg;
}

HWND WorkersDialog()
{
    return workers_dialog;
}

LRESULT RunOnDialogThread(DialogStep step, void* context)
{
    HWND dlg = workers_dialog;
    if (!dlg || GetWindowThreadProcessId(dlg, nullptr) == GetCurrentThreadId())
        return step(context);
    return SendMessageW(dlg, WM_RUN_ON_DIALOG, reinterpret_cast<WPARAM>(step), reinterpret_cast<LPARAM>(context));
}

StepClock StepClock::Unbounded()
{
    StepClock clock;
    clock.unbounded_ = true;
    return clock;
}

bool StepClock::Spent() const
{
    if (unbounded_)
        return false;
    constexpr LONGLONG kStepMicroseconds = 15000;
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (now.QuadPart - start_.QuadPart) * 1000000 / frequency.QuadPart >= kStepMicroseconds;
}

LRESULT RunDialogStep(WPARAM step, LPARAM context)
{
    return reinterpret_cast<DialogStep>(step)(reinterpret_cast<void*>(context));
}
