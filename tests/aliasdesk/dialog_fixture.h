// Creates the real main dialog from the real resource inside the test
// process, with its data files in a folder of the test's own.
#pragma once

#include "temp_dir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ReportTable;

struct Row {
    std::wstring alias, parameter, path;
    bool operator==(const Row&) const = default;
};
void PrintTo(const Row& row, std::ostream* os);

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the dialog (the program's start) and waits for its start-up load.
    void Open();
    // Closes the dialog and opens it again, as a second start of the program.
    void Restart();
    // Waits until every worker has ended, then dispatches what they left.
    void Settle();

    HWND Item(int id) const { return GetDlgItem(dlg_, id); }
    std::wstring Text(int id) const;
    void Click(int id); // the command a button click sends
    bool IsOpen() const { return IsWindow(dlg_) != FALSE; }

    // Rows of a list, read with plain list-view messages.
    static std::vector<Row> Rows(HWND list);
    static std::wstring Cell(HWND list, int row, int column);
    static void AppendRow(HWND list, const Row& row);
    static void Select(HWND list, int row, bool selected = true);
    static std::vector<int> SelectedRows(HWND list);

    HWND dlg_ = nullptr;
    TempDir dir_;
};
