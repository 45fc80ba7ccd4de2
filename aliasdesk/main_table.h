// The main table (list 1012) and everything kept about its rows: each row's
// identity, the alias index, the marks rows carry, one change counter, and
// the ways rows enter and leave. The list's class procedure hands every
// message of the main list to this unit, so every insert, set, delete and
// sort is seen here, whoever sends it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class RowAppender;
class StepClock;

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

// Import's rules for rows of another table, whole on the dialog thread: a
// row whose alias and path equal a listed row's is skipped; one whose alias
// a row that points elsewhere has gets the first free alias_#0, alias_#1 ...
// (as the scan names); the others are appended as they are.
struct ImportCounts {
    int added = 0; // the renamed ones included
    int skipped = 0;
    int renamed = 0;
};
void ImportAliasRows(const AliasRow* rows, size_t count, ImportCounts* counts);

// The first row whose label equals alias the way the list compares labels
// (LVM_FINDITEMW with LVFI_STRING from the top), or -1. Rows that Reload is
// about to empty do not count. Dialog thread only.
int FindFirstAlias(const wchar_t* alias);
// The same, the last such row.
int FindLastAlias(const wchar_t* alias);

// The key under which the list takes labels as equal (its own comparison
// uses the user's locale and ignores case); labels with equal keys are then
// told apart with lstrcmpiW. Any thread.
std::string LabelKey(const wchar_t* label);

// The identity a row of either list carries; 0 when there is no such row.
RowId IdOfRow(HWND list, int row);

// The main row that carries the identity, or -1 when it has gone. Dialog thread only.
int RowOfId(RowId id);

// Counts every change of the main list's rows (any thread may read it).
unsigned TableChanges();

// True while every change since TableChanges() answered `changes` appended
// rows at the end: the rows that stood then stand unchanged where they were.
// A reader that walks the rows across several steps goes on while it holds
// and begins again when it does not.
bool RowsKeptSince(unsigned changes);

// The newest identity handed out so far. Dialog thread only.
RowId NewestRowId();

// Marks a row carries, kept by its identity and forgotten when it leaves.
enum RowMark : unsigned {
    kMarkMissing = 1u << 0, // its program has gone
    kMarkAliasRepeat = 1u << 1, // a later row has the same alias
    kMarkPathRepeat = 1u << 2, // an earlier row has the same path
};
constexpr unsigned kConflictMarks = kMarkAliasRepeat | kMarkPathRepeat;
// Sets or clears the mark of the row carrying the identity; a row that has
// gone is not marked. Dialog thread only.
void SetRowMark(RowId id, RowMark mark, bool on);
bool HasRowMark(RowId id, RowMark mark);
// How many rows of the table carry the mark. Dialog thread only.
int CountMarkedRows(RowMark mark);
// Whether the row carrying the identity has any of the marks. Dialog thread only.
bool HasAnyRowMark(RowId id, unsigned marks);
// Whether a row of the list (either one) has any of the marks. Dialog thread only.
bool ShowsMarkedRow(HWND list, unsigned marks);
// Makes the rows of the list with any of the marks its selection, the first
// of them focused and in view; the number selected. Dialog thread only.
int SelectMarkedRows(HWND list, unsigned marks);

// Called on the dialog thread after every change of the main table's rows
// (null for none); it must not change the table.
using TableListener = void (*)();
void SetTableListener(TableListener listener);

// A walk from the bottom of the main list up that deletes the rows a test
// picks, in steps of bounded length. Rows that move meanwhile (a sort, an
// edit, another removal) are looked at again from the bottom.
struct RowSweep {
    int cursor = -1; // rows from here to the end are done; -1 before the first step
    unsigned seen = 0;
};
using RowTest = std::function<bool(RowId)>;
// One step of the sweep on the dialog thread; true when it reached the top.
bool SweepMainRows(RowSweep& sweep, const RowTest& doomed, const StepClock& clock);

// Deletes the main rows that carry these identities at once, from the bottom
// up; rows already gone are skipped. For few rows. Dialog thread only.
void DeleteRowsWithIds(const std::vector<RowId>& ids);

// A load brings the store's rows in; for Reload the rows up to the one
// carrying last_id go if it succeeds. Until the load has ended, a scan lists
// nothing and no row is edited (AwaitingReplacement): which rows stay, and
// which aliases are taken, is not known yet. Dialog thread only.
void DoomRowsUpTo(RowId last_id);
bool AwaitingReplacement();
// The load has ended and its rows are in. Dialog thread only.
void EndReplacement();
// The load failed: the doomed rows stay. Dialog thread only.
void SpareDoomedRows();
// Deletes the doomed rows in steps on the dialog thread, whatever order they
// stand in meanwhile; rows appended later stay. Worker threads.
void EmptyDoomedRows();

// From the list class procedure, for every message of every list view:
// passes it to the kept procedure and keeps account of the main list's rows.
LRESULT CallListProc(WNDPROC kept, HWND list, UINT message, WPARAM wParam, LPARAM lParam);

// Forgets what was kept about the rows; for a dialog that is starting.
void ResetMainTable();
