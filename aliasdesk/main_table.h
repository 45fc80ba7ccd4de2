// The main table (list 1012) and everything kept about its rows: each row's
// identity, the alias index, one change counter, and the ways rows enter and
// leave. The list's class procedure hands every message of the main list to
// this unit, so every insert, set, delete and sort is seen here, whoever
// sends it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

class RowAppender;

// Every main row carries an identity of its own as its item data, handed out
// when the row enters and never given twice; rows of the filter list carry
// the identity of the main row they were copied from. 0 is no row.
using RowId = LPARAM;

// The one way rows enter the main table: appends unless the first row with
// the same alias already has the same path and parameter (null counts as
// empty). 1 when it appended, 0 when not. Runs whole on the dialog thread.
int AddAliasRow(const wchar_t* alias, const wchar_t* path, const wchar_t* parameter);

// AddAliasRow for many rows in one step on the dialog thread; the number of
// rows appended.
struct AliasRow {
    const wchar_t* alias;
    const wchar_t* path;
    const wchar_t* parameter;
};
int AddAliasRows(const AliasRow* rows, size_t count);

// AddAliasRow for a caller that is already on the dialog thread and appends
// many rows through one appender on the main table.
int AppendAliasRow(RowAppender& appender, const wchar_t* alias, const wchar_t* path, const wchar_t* parameter);

// The first row whose label equals alias the way the list compares labels
// (LVM_FINDITEMW with LVFI_STRING from the top), or -1. Dialog thread only.
int FindFirstAlias(const wchar_t* alias);

// The identity a row of either list carries; 0 when there is no such row.
RowId IdOfRow(HWND list, int row);

// The main row that carries the identity, or -1 when it has gone. Dialog thread only.
int RowOfId(RowId id);

// Deletes the main rows that carry these identities; rows already gone are
// skipped. Dialog thread only.
void RemoveRowsWithIds(std::vector<RowId> ids);

// Counts every change of the main list's rows (any thread may read it).
unsigned TableChanges();

// True while every change since TableChanges() answered `changes` appended
// rows at the end: the rows that stood then stand unchanged where they were.
// A reader that walks the rows across several steps goes on while it holds
// and begins again when it does not.
bool RowsKeptSince(unsigned changes);

// Deletes, in steps of bounded length on the dialog thread, every main row
// that entered no later than the row carrying last_id, whatever order the
// rows stand in meanwhile; rows appended later stay. Worker threads.
void EmptyRowsUpTo(RowId last_id);

// The newest identity handed out so far. Dialog thread only.
RowId NewestRowId();

// Which list the user sees: the main list, or the filter list over it. Read
// from the control's own style, so a hidden or minimised dialog answers alike.
bool IsMainListShown(HWND dlg);

// Removes the selected rows of whichever list is shown, keeping both in step.
void RemoveSelectItem(HWND dlg);

// Clear: the whole main table in the full view; in the filtered view the
// main rows the filter list shows, and the filter list itself.
void ClearShownRows(HWND dlg);

// From the list class procedure, for every message of every list view:
// passes it to the kept procedure and keeps account of the main list's rows.
LRESULT CallListProc(WNDPROC kept, HWND list, UINT message, WPARAM wParam, LPARAM lParam);

// Forgets what was kept about the rows; for a dialog that is starting.
void ResetMainTable();
