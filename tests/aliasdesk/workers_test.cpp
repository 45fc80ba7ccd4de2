#include "workers.h"

#include "wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

// A window on the test's thread that workers talk to with SendMessageW.
class WorkersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
        target = window_;
        sent = 0;
        saw_stop = false;
    }
    void TearDown() override { DestroyWindow(window_); }

    static LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<WorkersTest*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message >= WM_APP)
            self->seen_.push_back(message);
        return CallWindowProcW(self->original_, window, message, wParam, lParam);
    }

    // Talks to the window until it is asked to stop.
    static unsigned __stdcall ChattyWorker(void*)
    {
        while (!WorkerStopRequested()) {
            SendMessageW(target, WM_APP + 1, 0, 0);
            ++sent;
        }
        saw_stop = true;
        return 0;
    }

    static unsigned __stdcall ShortWorker(void*)
    {
        for (int i = 0; i < 20; ++i)
            SendMessageW(target, WM_APP + 1, 0, 0);
        return 0;
    }

    static inline HWND target;
    static inline std::atomic<int> sent;
    static inline std::atomic<bool> saw_stop;
    HWND window_ = nullptr;
    WNDPROC original_ = nullptr;
    std::vector<UINT> seen_;
};

TEST_F(WorkersTest, StopWaitsForWorkersThatSendToThisThread)
{
    ASSERT_TRUE(StartWorker(&ChattyWorker, nullptr));
    ASSERT_TRUE(StartWorker(&ChattyWorker, nullptr));
    ASSERT_TRUE(PumpUntil([] { return sent > 10; }));

    StopWorkers();
    EXPECT_TRUE(saw_stop);
    EXPECT_EQ(0, RunningWorkerCount());
    EXPECT_FALSE(WorkerStopRequested()) << "the next workers run normally";
}

TEST_F(WorkersTest, PostedInputWaitsUntilTheWorkersHaveEnded)
{
    ASSERT_TRUE(StartWorker(&ChattyWorker, nullptr));
    ASSERT_TRUE(PumpUntil([] { return sent > 0; }));
    PostMessageW(window_, WM_APP + 2, 0, 0);

    StopWorkers();
    EXPECT_TRUE(std::find(seen_.begin(), seen_.end(), static_cast<UINT>(WM_APP + 2)) == seen_.end())
        << "a posted message must not be dispatched inside the close";
    PumpPending();
    EXPECT_EQ(static_cast<UINT>(WM_APP + 2), seen_.back());
}

TEST_F(WorkersTest, WaitLetsWorkersFinishTheirWork)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(StartWorker(&ShortWorker, nullptr));
    WaitForWorkers();
    EXPECT_EQ(0, RunningWorkerCount());
    EXPECT_EQ(60, std::count(seen_.begin(), seen_.end(), static_cast<UINT>(WM_APP + 1)));
}

} // namespace
