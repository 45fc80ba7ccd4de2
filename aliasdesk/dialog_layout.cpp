#include "dialog_layout.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "dpi_scale.h"
#include "report_table.h"

namespace {

RECT rcSizeSnapshot; // the client rectangle before the current size change
DialogScale dialogScale;

// The smallest window at 96 DPI; other DPIs scale it.
constexpr int kMinWidth = 819;
constexpr int kMinHeight = 753;

// How each control follows the window: multiples of dx and dy added to its
// position and its size. Controls without a rule (the unused edit, the
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

bool IsEmpty(const RECT& r)
{
    return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
}

} // namespace

BOOL CALLBACK LayoutChild(HWND child, LPARAM delta)
{
    const auto* d = reinterpret_cast<const LayoutDelta*>(delta);
    const Rule* rule = RuleFor(static_cast<int>(GetWindowLongPtrW(child, GWLP_ID)));
    if (!rule)
        return TRUE;

    RECT r;
    GetWindowRect(child, &r);
    POINT topLeft{r.left + rule->move_x * d->dx, r.top + rule->move_y * d->dy};
    ScreenToClient(GetParent(child), &topLeft);
    const int width = r.right - r.left + rule->grow_x * d->dx;
    const int height = r.bottom - r.top + rule->grow_y * d->dy;
    MoveWindow(child, topLeft.x, topLeft.y, width, height, TRUE);
    if (IsWindowVisible(child)) {
        InvalidateRect(child, nullptr, TRUE);
        UpdateWindow(child);
    }
    return TRUE;
}

void StartLayout(HWND dlg)
{
    rcSizeSnapshot = RECT{};
    StartDialogScale(dlg, dialogScale);
}

BOOL OnWindowPosChanging(HWND dlg)
{
    if (!IsEmpty(rcSizeSnapshot))
        return TRUE;
    GetClientRect(dlg, &rcSizeSnapshot);
    return FALSE;
}

BOOL OnSize(HWND dlg, WPARAM type, LPARAM size)
{
    if (type == SIZE_MINIMIZED)
        return TRUE;
    LayoutDelta delta{LOWORD(size) - (rcSizeSnapshot.right - rcSizeSnapshot.left),
                      HIWORD(size) - (rcSizeSnapshot.bottom - rcSizeSnapshot.top)};
    rcSizeSnapshot = RECT{};
    if (delta.dx != 0 || delta.dy != 0) {
        EnumChildWindows(dlg, LayoutChild, reinterpret_cast<LPARAM>(&delta));
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 0);
    }
    return FALSE;
}

BOOL OnSizing(RECT* dragged)
{
    const UINT dpi = dialogScale.dpi;
    const int minWidth = ScaleForDpi(kMinWidth, dpi);
    const int minHeight = ScaleForDpi(kMinHeight, dpi);
    if (dragged->right - dragged->left < minWidth)
        dragged->right = dragged->left + minWidth;
    if (dragged->bottom - dragged->top < minHeight)
        dragged->bottom = dragged->top + minHeight;
    return TRUE;
}

void FollowDpi(HWND dlg, UINT dpi, const RECT& suggested)
{
    const UINT old_dpi = RescaleDialog(dlg, dpi, suggested, dialogScale);
    if (old_dpi == 0)
        return;
    ScaleColumnWidths(pMainTable, old_dpi, dpi);
    ScaleColumnWidths(pFilterTable, old_dpi, dpi);
    rcSizeSnapshot = RECT{}; // the move was no user's resize
}
