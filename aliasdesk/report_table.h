// A thin wrapper round one report-style list view: columns that grow with
// their widest text and never shrink, and row and cell access by message.
#pragma once

#include "handles.h"

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

// These two always work on the main table.
int FindAlias(const wchar_t* alias, int start_row);
int DeleteSelectedRows(int* last_deleted_row);

// Releases the column records and the table object; the control stays.
void FreeReportTable(ReportTable* table);
