#include "dialog_layout.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "dpi_scale.h"
#include "report_table.h"

#include <algorithm>

namespace {

DialogScale dialogScale;
bool bFakeWorkArea;
RECT rcFakeWorkArea;

// The smallest window at 96 DPI; other DPIs scale it.
constexpr int kMinWidth = 819;
constexpr int kMinHeight = 753;

// How each control follows the window: multiples of dx and dy (the client
// size beyond a fresh dialog's) added to its fresh position and size. Controls without a rule (the unused edit, the
// windows inside the lists) are not touched.
struct Rule {
    int id;
    int move_x, move_y, grow_x, grow_y;
};

// clang-format off
constexpr Rule kRules[] = {
    // move right
    {IDC_ADD, 1, 0, 0, 0}, {IDC_BROWSE, 1, 0, 0, 0}, {IDC_MATCH_ALIAS, 1, 0, 0, 0}, {IDC_MATCH_PATH, 1, 0, 0, 0},
    // widen
    {IDC_PATH, 0, 0, 1, 0}, {IDC_FILTER, 0, 0, 1, 0},
    // widen and heighten
    {IDC_MAIN_LIST, 0, 0, 1, 1}, {IDC_FILTER_LIST, 0, 0, 1, 1}, {IDC_GROUP, 0, 0, 1, 1},
    // move down and widen
    {IDC_PROGRESS, 0, 1, 1, 0},
    // stay
    {IDC_PATH_CAPTION, 0, 0, 0, 0},
    // move right and down; -1 is every caption without an id
    {IDC_OK, 1, 1, 0, 0}, {IDC_CLEAR, 1, 1, 0, 0}, {IDC_CANCEL, 1, 1, 0, 0}, {IDC_APPLY, 1, 1, 0, 0},
    {IDC_REMOVE, 1, 1, 0, 0}, {IDC_RELOAD, 1, 1, 0, 0}, {IDC_COUNT, 1, 1, 0, 0}, {IDC_IGNORED, 1, 1, 0, 0},
    {IDC_VERSION, 1, 1, 0, 0}, {IDC_STATUS, 1, 1, 0, 0}, {-1, 1, 1, 0, 0},
};
// clang-format on

const Rule* RuleFor(int id)
{
    for (const Rule& rule : kRules) {
        if (rule.id == id)
            return &rule;
    }
    return nullptr;
}

const RECT* StartPlaceOf(HWND child)
{
    for (const ControlPlace& place : dialogScale.start_places) {
        if (place.window == child)
            return &place.rect;
    }
    return nullptr;
}

RECT WorkArea(HWND dlg)
{
    if (bFakeWorkArea)
        return rcFakeWorkArea;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(dlg, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

// The smallest window at the DPI the dialog is laid out for, but never
// more than the work area: on a 1366 x 768 screen at 100 % OK and Cancel
// would end behind the taskbar.
SIZE MinimumSize(HWND dlg)
{
    const RECT work = WorkArea(dlg);
    return SIZE{std::min(ScaleForDpi(kMinWidth, dialogScale.dpi), static_cast<int>(work.right - work.left)),
                std::min(ScaleForDpi(kMinHeight, dialogScale.dpi), static_cast<int>(work.bottom - work.top))};
}

// Before WM_INITDIALOG the template's size stands.
bool LayoutStarted()
{
    return !dialogScale.start_places.empty();
}

RECT PlaceInParent(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The dialog starts within the work area and, where the template's font
// makes it smaller, at its smallest size; centred, as DS_CENTER put it.
void FitStartSize(HWND dlg)
{
    const RECT work = WorkArea(dlg);
    const SIZE least = MinimumSize(dlg);
    RECT window;
    GetWindowRect(dlg, &window);
    const int width = std::clamp(static_cast<int>(window.right - window.left), static_cast<int>(least.cx),
                                 static_cast<int>(work.right - work.left));
    const int height = std::clamp(static_cast<int>(window.bottom - window.top), static_cast<int>(least.cy),
                                  static_cast<int>(work.bottom - work.top));
    if (width == window.right - window.left && height == window.bottom - window.top)
        return;
    SetWindowPos(dlg, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayoutControls(HWND dlg)
{
    if (!LayoutStarted() || IsIconic(dlg))
        return;
    RECT client;
    GetClientRect(dlg, &client);
    const SIZE fresh = FreshClientSize(dialogScale);
    LayoutDelta delta{client.right - fresh.cx, client.bottom - fresh.cy};
    EnumChildWindows(dlg, LayoutChild, reinterpret_cast<LPARAM>(&delta));
}

} // namespace

// From the control's place in a fresh dialog, never from where it lies
// now: a control squeezed to nothing comes back when the window grows.
BOOL CALLBACK LayoutChild(HWND child, LPARAM delta)
{
    const auto* d = reinterpret_cast<const LayoutDelta*>(delta);
    // Windows inside controls follow their control; a control without a
    // rule keeps its fresh place, which moves only with the DPI.
    const RECT* start = StartPlaceOf(child);
    if (!start)
        return TRUE;
    static constexpr Rule kStay{0, 0, 0, 0, 0};
    const Rule* found = RuleFor(static_cast<int>(GetWindowLongPtrW(child, GWLP_ID)));
    const Rule* rule = found ? found : &kStay;

    const RECT fresh = FreshPlace(dialogScale, *start);
    const int left = fresh.left + rule->move_x * d->dx;
    const int top = fresh.top + rule->move_y * d->dy;
    const RECT r{left, top, left + std::max(0, static_cast<int>(fresh.right - fresh.left) + rule->grow_x * d->dx),
                 top + std::max(0, static_cast<int>(fresh.bottom - fresh.top) + rule->grow_y * d->dy)};
    const RECT now = PlaceInParent(child);
    if (EqualRect(&r, &now))
        return TRUE;
    MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    if (IsWindowVisible(child)) {
        InvalidateRect(child, nullptr, TRUE);
        UpdateWindow(child);
    }
    return TRUE;
}

void StartLayout(HWND dlg)
{
    StartDialogScale(dlg, dialogScale);
    FitStartSize(dlg);
}

void EndLayout()
{
    EndDialogScale(dialogScale);
}

BOOL OnSize(HWND dlg, WPARAM type)
{
    if (type == SIZE_MINIMIZED)
        return TRUE;
    LayoutControls(dlg);
    SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 0);
    return FALSE;
}

BOOL OnSizing(HWND dlg, RECT* dragged)
{
    const SIZE least = MinimumSize(dlg);
    if (dragged->right - dragged->left < least.cx)
        dragged->right = dragged->left + least.cx;
    if (dragged->bottom - dragged->top < least.cy)
        dragged->bottom = dragged->top + least.cy;
    return TRUE;
}

// Snap, Win+arrows and SetWindowPos never send WM_SIZING; they ask this.
BOOL OnGetMinMaxInfo(HWND dlg, MINMAXINFO* info)
{
    if (!LayoutStarted())
        return FALSE;
    const SIZE least = MinimumSize(dlg);
    info->ptMinTrackSize = POINT{least.cx, least.cy};
    SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 0);
    return TRUE;
}

BOOL OnGetDpiScaledSize(HWND dlg, UINT dpi, SIZE* size)
{
    return static_cast<BOOL>(AnswerDpiScaledSize(dlg, dpi, dialogScale, size));
}

void FollowDpi(HWND dlg, UINT dpi, const RECT& suggested)
{
    const UINT old_dpi = RescaleDialog(dlg, dpi, suggested, dialogScale, &LayoutControls);
    if (old_dpi == 0)
        return;
    ScaleColumnWidths(pMainTable, old_dpi, dpi);
    ScaleColumnWidths(pFilterTable, old_dpi, dpi);
}

void SetWorkAreaForTest(const RECT* area)
{
    bFakeWorkArea = area != nullptr;
    rcFakeWorkArea = area ? *area : RECT{};
}
