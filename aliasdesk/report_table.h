// A thin wrapper round one report-style list view: columns that grow with
// their widest text and never shrink, and row and cell access by message.
#pragma once

#include "handles.h"
#include "workers.h"

#include <windows.h>

struct ColumnInfo {
    int index;
    UINT flags;
    int width; // widest width the column has needed; only the low 16 bits reach the control
};

struct ReportTable {
    HWND window;
    int column_count;
    ColumnInfo* columns; // malloc'ed, one record per column
};

ReportTable* AttachReportTable(ReportTable* table, HWND list);
int AddColumn(ReportTable* table, const wchar_t* header);
// When the list's DPI changes: its column widths, and their records, follow.
void ScaleColumnWidths(ReportTable* table, UINT from_dpi, UINT to_dpi);
int InsertRow(ReportTable* table, int row, const wchar_t* text);
int SetCellText(ReportTable* table, int row, int column, const wchar_t* text);
void DeleteAllRows(ReportTable* table);
int GetRowCount(const ReportTable* table);

// Fetches a cell into a caller-held buffer that grows by 260 characters as needed.
// The caller frees *buffer with free() when done.
int ReadCellText(const ReportTable* table, int row, int column, wchar_t** buffer, int* capacity);

// Fetches a cell into a fresh buffer; the caller frees *text with free().
int GetCellText(const ReportTable* table, int row, int column, wchar_t** text);

// GetCellText into an owner; null when the table has no window.
MallocText CellText(const ReportTable* table, int row, int column);

// Selects the row (LVIS_SELECTED); the selection of other rows stays.
void SelectRow(HWND list, int row);

// These two always work on the main table.
int FindAlias(const wchar_t* alias, int start_row);
int DeleteSelectedRows(int* last_deleted_row);

// Deletes rows end - 1, end - 2, ... 0 until the clock is spent, with redraw
// held; rows past end (appended meanwhile) stay. Answers how many of the
// first end rows are left. Dialog thread only.
int DeleteRowsDownFrom(ReportTable* table, int end, const StepClock& clock);

// Releases the column records and the table object; the control stays.
void FreeReportTable(ReportTable* table);

// A list filled or emptied over many dialog-thread steps. Bringing redraw
// back repaints the whole list, which costs more than a step of work, so
// redraw stays off across steps: a step releases it only when it has been off
// for a few tenths of a second, and a timer releases it once the steps stop.
// Dialog thread only.
void HoldRedraw(HWND list);
// now: at once; otherwise only when it has been held long enough.
void ReleaseRedraw(HWND list, bool now);

// Appends many rows at once on the dialog thread, with the results of
// InsertRow and SetCellText for each: the list is not redrawn meanwhile
// (see HoldRedraw), every text is measured with one device context, and each
// column's width is set once, at the end, to the same width the single
// writes would have left.
class RowAppender {
public:
    // expected: rows about to come, so that the list makes room once.
    explicit RowAppender(ReportTable* table, int expected = 0);
    ~RowAppender();
    RowAppender(const RowAppender&) = delete;
    RowAppender& operator=(const RowAppender&) = delete;

    // The new row's index, or -1 when the list refused it. An empty or null
    // parameter or path leaves its cell empty; data, when not 0, becomes the
    // row's item data.
    int Append(const wchar_t* alias, const wchar_t* parameter, const wchar_t* path, LPARAM data = 0);

private:
    void Widen(int column, const wchar_t* text);

    ReportTable* table_;
    HDC dc_ = nullptr;
    HGDIOBJ old_font_ = nullptr;
    int widths_[3] = {};
    int padding_ = 0; // beside each text, in the list's pixels
};
