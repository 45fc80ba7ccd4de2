// Worker threads of the alias editor. They are started with the runtime's
// thread start; their handles are kept only so that closing can stop them
// and wait for them before the tables go.
#pragma once

#include <windows.h>

using WorkerBody = unsigned(__stdcall*)(void* argument);

// Starts a worker; false when the thread could not be created.
bool StartWorker(WorkerBody body, void* argument);

// Set while closing waits for the workers: they stop at their next step.
bool WorkerStopRequested();

// Number of workers that have not ended yet.
int RunningWorkerCount();

// Asks every worker to stop and waits for all of them. Workers reach the
// dialog with SendMessageW, so the wait keeps dispatching sent messages
// (and only those: posted input waits until the close is done).
void StopWorkers();

// Waits the same way until every worker has ended, without asking them to stop.
void WaitForWorkers();

// The dialog the workers report to; null while there is none.
void SetWorkersDialog(HWND dlg);
HWND WorkersDialog();

// Sent to the main dialog to run a step on its thread (see RunOnDialogThread).
constexpr UINT WM_RUN_ON_DIALOG = WM_APP + 1;

using DialogStep = LRESULT (*)(void* context);

// Runs step(context) on the thread that owns the main dialog and returns its
// answer (0 when there is no dialog to run it). A worker's step made of
// several list operations thus runs whole, between the dialog's own messages,
// and costs one cross-thread message instead of one per operation.
LRESULT RunOnDialogThread(DialogStep step, void* context);

template <typename Step> LRESULT RunOnDialogThread(Step& step)
{
    return RunOnDialogThread([](void* context) -> LRESULT { return (*static_cast<Step*>(context))(); }, &step);
}

// A long piece of work runs on the dialog thread a step at a time, each step
// short enough that the dialog answers in between: a step works until its
// clock is spent.
class StepClock {
public:
    StepClock() { QueryPerformanceCounter(&start_); }
    // A clock that is never spent: the whole of a short piece of work at once.
    static StepClock Unbounded();
    bool Spent() const;

private:
    LARGE_INTEGER start_;
    bool unbounded_ = false;
};

// The main dialog's handler of WM_RUN_ON_DIALOG.
LRESULT RunDialogStep(WPARAM step, LPARAM context);
