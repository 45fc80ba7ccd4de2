// Creates the real main dialog from the real resource inside the test
// process, with its data files in a folder of the test's own.
#pragma once

#include "replaced_proc.h"
#include "resource_dialog.h"
#include "temp_dir.h"
#include "test_row.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class MainDialogTest : public ::testing::Test, protected ResourceDialog {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the dialog (the program's start) and waits for its start-up load.
    void Open();
    // Closes the dialog and opens it again, as a second start of the program.
    void Restart();
    // Waits until every worker has ended, then dispatches what they left.
    void Settle();
    // What the status label's tip would show now, asked as the tip asks;
    // "<no tip>" when the label has none.
    std::wstring StatusTip() const;
    HWND StatusTipWindow() const;

    // Rows of a list, read with plain list-view messages.
    static std::vector<test::Row> Rows(HWND list);
    static int Count(HWND list);
    static std::wstring Cell(HWND list, int row, int column);
    static void AppendRow(HWND list, const test::Row& row);
    static void Select(HWND list, int row, bool selected = true);
    static std::vector<int> SelectedRows(HWND list);

    TempDir dir_;
};

// Runs an action on the dialog thread right after a worker's given step, while
// the worker still waits for that step's answer, so that the action lands
// exactly between two of its steps (a pump of sent messages cannot promise
// that: one pump may run several steps). One at a time.
class BetweenWorkerSteps {
public:
    explicit BetweenWorkerSteps(HWND dlg);
    ~BetweenWorkerSteps();
    BetweenWorkerSteps(const BetweenWorkerSteps&) = delete;
    BetweenWorkerSteps& operator=(const BetweenWorkerSteps&) = delete;

    // The action runs once the next steps have run. With reply_first the
    // worker has its answer before the action runs (for an action that waits
    // for the worker, such as closing the dialog).
    void After(int steps, std::function<void()> action, bool reply_first = false);
    // The action runs after the first step at whose end done() holds.
    void When(std::function<bool()> done, std::function<void()> action, bool reply_first = false);
    // Dispatches until the action has run; false when the guard ran out.
    bool PumpUntilActed();
    bool Pending() const;

private:
    static LRESULT CALLBACK Proc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);

    ReplacedProc replaced_;
};
