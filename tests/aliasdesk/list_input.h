// Mouse and keyboard input for the dialog's report lists, posted the way the
// system delivers it, the edit box those lists open, and a dialog fixture
// with rows in its main list.
#pragma once

#include "aliasdesk_ids.h"
#include "dialog_fixture.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// The rectangle of a cell (LVIR_LABEL), list client coordinates.
RECT CellRect(HWND list, int row, int column);

// Presses and releases the left button at a point of the window's client area.
void ClickAt(HWND window, POINT point);
void ClickCell(HWND list, int row, int column);
void ClickHeader(HWND list, int column);

// Presses and releases a key while the window has the focus.
void PressKey(HWND window, UINT vk);

// The list's edit box once it is open and visible; null when none came.
HWND WaitForEditBox(HWND list);

// Clicks the cell, lets the double-click time pass and clicks it again: the
// list opens its edit box for a row that was already selected.
HWND OpenEditByClicks(HWND list, int row, int column);

// Puts the text into the open box and ends the edit with the key.
void EndEdit(HWND list, const wchar_t* text, UINT vk);

// The window's rectangle in the list's client coordinates.
RECT RectInList(HWND list, HWND window);

// Types the characters into the box as the message loop would deliver them
// and waits for every worker they started.
void TypeAndSettle(HWND box, const std::wstring& keys);

// Each test starts with the sort direction reset and the start rows in the main list.
class ListTest : public MainDialogTest {
protected:
    explicit ListTest(std::vector<test::Row> start_rows = {}) : start_rows_(std::move(start_rows)) {}
    void SetUp() override;

    // Puts the rows into the main list (rows_ holds them).
    void Fill(const std::vector<test::Row>& rows);
    void TypeFilter(const std::wstring& keys) { TypeAndSettle(Item(IDC_FILTER), keys); }

    HWND Main() const { return Item(IDC_MAIN_LIST); }
    HWND Filter() const { return Item(IDC_FILTER_LIST); }

    std::vector<test::Row> rows_;

private:
    std::vector<test::Row> start_rows_;
};
