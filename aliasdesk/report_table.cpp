#include "report_table.h"

#include "app_state.h"
#include "diagnostics.h"
#include "dpi_scale.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kTextStep = MAX_PATH; // cell buffers grow by one path length
constexpr int kMaxTextCapacity = 1 << 24; // a cell never needs more; stops runaway growth
constexpr DWORD kExtendedStyleMask = 0x14020; // full-row select, label tips, double buffer
constexpr DWORD kExtendedStyles = 0x1C03D;

using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

// Bound on first use, so the program still starts where UxTheme.dll is missing.
// The module stays loaded for the life of the process.
SetWindowThemeFn SetWindowThemeEntry()
{
    static const SetWindowThemeFn entry = [] {
        HMODULE module = LoadLibraryW(L"uxtheme.dll");
        return module
            ? reinterpret_cast<SetWindowThemeFn>(reinterpret_cast<void*>(GetProcAddress(module, "SetWindowTheme")))
            : nullptr;
    }();
    return entry;
}

int StringWidth(HWND list, const wchar_t* text)
{
    return static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
}

// Raises the column's record to wanted (never lowers it) and sets the
// control's width from the record. Several threads may write cells at once.
LRESULT RaiseColumnWidth(ReportTable* table, int column, int wanted)
{
    std::atomic_ref<int> width(table->columns[column].width);
    int seen = width.load();
    while (wanted > seen && !width.compare_exchange_weak(seen, wanted)) { }
    const int set = width.load() & 0xFFFF;
    return SendMessageW(table->window, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(set, 0));
}

// Room beside a cell's text, in the list's pixels; a header has twice as much.
int CellPadding(HWND list)
{
    return ScaleForDpi(10, WindowDpi(list));
}

LRESULT WidenColumn(ReportTable* table, int column, const wchar_t* text)
{
    return RaiseColumnWidth(table, column, StringWidth(table->window, text) + CellPadding(table->window));
}

bool HasColumn(const ReportTable* table, int column)
{
    return column >= 0 && column < table->column_count;
}

// One fetch of a cell with the given capacity; answers the length fetched.
size_t FetchCell(HWND list, int row, int column, wchar_t* buffer, int capacity)
{
    memset(buffer, 0, static_cast<size_t>(capacity) * sizeof(wchar_t));
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = capacity;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    buffer[capacity - 1] = L'\0';
    return wcslen(buffer);
}

// Raises the capacity by one step; on failure the old block stays the caller's.
bool GrowBuffer(wchar_t** buffer, int* capacity)
{
    if (*capacity > kMaxTextCapacity)
        return false;
    const int grown = *capacity + kTextStep;
    auto* block = static_cast<wchar_t*>(realloc(*buffer, static_cast<size_t>(grown) * sizeof(wchar_t)));
    if (!block)
        return false;
    *buffer = block;
    *capacity = grown;
    return true;
}

} // namespace

ReportTable* AttachReportTable(ReportTable* table, HWND list)
{
    if (!table)
        return nullptr;
    table->window = list;
    table->column_count = 0;
    table->columns = nullptr;
    if (!list)
        return table;

    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, kExtendedStyleMask, kExtendedStyles);
    const int generation = GetOsGeneration();
    if (generation == 3 || generation == 4) {
        if (SetWindowThemeFn setTheme = SetWindowThemeEntry())
            setTheme(list, L"Explorer", nullptr);
    }
    return table;
}

int AddColumn(ReportTable* table, const wchar_t* header)
{
    if (!table || !table->window || !header)
        return 0;

    // The record comes first, so that every column of the control has one.
    const int position = table->column_count;
    auto* grown =
        static_cast<ColumnInfo*>(realloc(table->columns, static_cast<size_t>(position + 1) * sizeof(ColumnInfo)));
    if (!grown) {
        ShowMessage(L"Could not alloc memory for column items");
        return 0;
    }
    table->columns = grown;

    const int width = StringWidth(table->window, header) + 2 * CellPadding(table->window);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(header);
    column.iSubItem = position + 1;
    if (SendMessageW(table->window, LVM_INSERTCOLUMNW, position, reinterpret_cast<LPARAM>(&column)) == -1)
        return 0;

    table->columns[position] = ColumnInfo{position, 0, width};
    table->column_count = position + 1;
    return 1;
}

void ScaleColumnWidths(ReportTable* table, UINT from_dpi, UINT to_dpi)
{
    if (!table || !table->window || from_dpi == 0)
        return;
    const int from = static_cast<int>(from_dpi);
    const int to = static_cast<int>(to_dpi);
    for (int column = 0; column < table->column_count; ++column) {
        std::atomic_ref<int> record(table->columns[column].width);
        record.store(MulDiv(record.load(), to, from));
        const auto shown = static_cast<int>(SendMessageW(table->window, LVM_GETCOLUMNWIDTH, column, 0));
        SendMessageW(table->window, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(MulDiv(shown, to, from) & 0xFFFF, 0));
    }
}

int InsertRow(ReportTable* table, int row, const wchar_t* text)
{
    if (!table || !table->window || !text || !HasColumn(table, 0))
        return 0;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(text);
    if (SendMessageW(table->window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1)
        return 0;
    return static_cast<int>(WidenColumn(table, 0, text));
}

int SetCellText(ReportTable* table, int row, int column, const wchar_t* text)
{
    if (!table || !table->window || !text || !*text || !HasColumn(table, column))
        return 0;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text);
    if (!SendMessageW(table->window, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return static_cast<int>(WidenColumn(table, column, text));
}

void DeleteAllRows(ReportTable* table)
{
    if (table && table->window)
        SendMessageW(table->window, LVM_DELETEALLITEMS, 0, 0);
}

int GetRowCount(const ReportTable* table)
{
    if (!table || !table->window)
        return 0;
    return static_cast<int>(SendMessageW(table->window, LVM_GETITEMCOUNT, 0, 0));
}

int ReadCellText(const ReportTable* table, int row, int column, wchar_t** buffer, int* capacity)
{
    if (!table || !table->window || !buffer || !capacity)
        return 0;
    for (;;) {
        if (*buffer && *capacity > 0 &&
            FetchCell(table->window, row, column, *buffer, *capacity) < static_cast<size_t>(*capacity - 1))
            return 1;
        if (!GrowBuffer(buffer, capacity))
            return 0;
    }
}

int GetCellText(const ReportTable* table, int row, int column, wchar_t** text)
{
    if (!table || !table->window || !text)
        return 0;
    *text = nullptr;
    int capacity = 0;
    for (;;) {
        if (!GrowBuffer(text, &capacity)) {
            free(*text);
            *text = nullptr;
            return 0;
        }
        if (FetchCell(table->window, row, column, *text, capacity) < static_cast<size_t>(capacity - 1))
            return 1;
    }
}

MallocText CellText(const ReportTable* table, int row, int column)
{
    wchar_t* text = nullptr;
    GetCellText(table, row, column, &text);
    return MallocText(text);
}

void SelectRow(HWND list, int row)
{
    LVITEMW state{};
    state.state = LVIS_SELECTED;
    state.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

int FindAlias(const wchar_t* alias, int start_row)
{
    if (!alias || !pMainTable || !pMainTable->window)
        return -1;
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = alias;
    return static_cast<int>(
        SendMessageW(pMainTable->window, LVM_FINDITEMW, start_row, reinterpret_cast<LPARAM>(&find)));
}

int DeleteSelectedRows(int* last_deleted_row)
{
    if (!pMainTable || !pMainTable->window)
        return 0;
    HWND list = pMainTable->window;
    const int selected = static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
    int cursor = 0;
    for (int n = 0; n < selected; ++n) {
        // Searching from cursor - 1 finds a selected row that moved up into the deleted one's place.
        const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, cursor - 1, LVNI_SELECTED));
        if (row == -1)
            break;
        if (last_deleted_row)
            *last_deleted_row = row;
        SendMessageW(list, LVM_DELETEITEM, row, 0);
        cursor = row;
    }
    return 1;
}

int DeleteRowsDownFrom(ReportTable* table, int end, const StepClock& clock)
{
    if (!table || !table->window)
        return 0;
    HoldRedraw(table->window);
    // From the end: the list then moves no rows up for a deletion.
    for (end = std::min(end, GetRowCount(table)); end > 0 && !clock.Spent(); --end)
        SendMessageW(table->window, LVM_DELETEITEM, end - 1, 0);
    ReleaseRedraw(table->window, false);
    return end;
}

void FreeReportTable(ReportTable* table)
{
    if (!table)
        return;
    free(table->columns);
    free(table);
}

namespace {

// When redraw went off (GetTickCount, never 0), kept with the list itself.
// Named by an atom added once, so that a list destroyed while its redraw is
// held leaves nothing behind.
LPCWSTR RedrawHeldSince()
{
    static const ATOM atom = GlobalAddAtomW(L"Velkor.RedrawHeldSince");
    return MAKEINTATOM(atom);
}
constexpr UINT_PTR kRedrawTimer = 0x5244;
constexpr DWORD kRedrawIntervalMs = 150;

void CALLBACK RedrawTimerProc(HWND list, UINT, UINT_PTR, DWORD)
{
    ReleaseRedraw(list, true);
}

} // namespace

void HoldRedraw(HWND list)
{
    if (!list || GetPropW(list, RedrawHeldSince()))
        return;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    const DWORD now = GetTickCount() | 1;
    SetPropW(list, RedrawHeldSince(), reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(now)));
    SetTimer(list, kRedrawTimer, kRedrawIntervalMs, &RedrawTimerProc);
}

void ReleaseRedraw(HWND list, bool now)
{
    const auto since =
        static_cast<DWORD>(reinterpret_cast<UINT_PTR>(list ? GetPropW(list, RedrawHeldSince()) : nullptr));
    if (!since || (!now && GetTickCount() - since < kRedrawIntervalMs))
        return;
    KillTimer(list, kRedrawTimer);
    RemovePropW(list, RedrawHeldSince());
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

RowAppender::RowAppender(ReportTable* table, int expected) : table_(table)
{
    if (!table_ || !table_->window)
        return;
    HWND list = table_->window;
    HoldRedraw(list);
    if (expected > 0)
        SendMessageW(list, LVM_SETITEMCOUNT, GetRowCount(table_) + expected, LVSICF_NOINVALIDATEALL);
    // The list measures with its own font; so does the appender.
    padding_ = CellPadding(list);
    dc_ = CreateCompatibleDC(nullptr);
    auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0));
    old_font_ = SelectObject(dc_, font ? font : GetStockObject(SYSTEM_FONT));
}

RowAppender::~RowAppender()
{
    if (!table_ || !table_->window)
        return;
    SelectObject(dc_, old_font_);
    DeleteDC(dc_);
    for (int column = 0; column < table_->column_count && column < 3; ++column) {
        if (widths_[column] > 0)
            RaiseColumnWidth(table_, column, widths_[column]);
    }
    ReleaseRedraw(table_->window, false);
}

void RowAppender::Widen(int column, const wchar_t* text)
{
    SIZE extent{};
    GetTextExtentPoint32W(dc_, text, static_cast<int>(wcslen(text)), &extent);
    const int wanted = extent.cx + padding_;
    if (wanted > widths_[column])
        widths_[column] = wanted;
}

int RowAppender::Append(const wchar_t* alias, const wchar_t* parameter, const wchar_t* path, LPARAM data)
{
    if (!table_ || !table_->window || !alias || !HasColumn(table_, 0))
        return -1;
    LVITEMW item{};
    item.mask = data ? LVIF_TEXT | LVIF_PARAM : LVIF_TEXT;
    item.lParam = data;
    item.iItem = GetRowCount(table_);
    item.pszText = const_cast<wchar_t*>(alias);
    const int row = static_cast<int>(SendMessageW(table_->window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row == -1)
        return -1;
    Widen(0, alias);
    const wchar_t* cells[] = {nullptr, parameter, path};
    for (int column = 1; column <= 2; ++column) {
        const wchar_t* text = cells[column];
        if (!text || !*text || !HasColumn(table_, column))
            continue;
        LVITEMW cell{};
        cell.mask = LVIF_TEXT;
        cell.iItem = row;
        cell.iSubItem = column;
        cell.pszText = const_cast<wchar_t*>(text);
        if (SendMessageW(table_->window, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&cell)))
            Widen(column, text);
    }
    return row;
}
