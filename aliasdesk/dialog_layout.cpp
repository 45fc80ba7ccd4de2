#include "dialog_layout.h"

#include "app_state.h"
#include "resource.h"

namespace {

constexpr int kMinWidth = 819;
constexpr int kMinHeight = 753;

// How a control follows the window: shares of dx and dy for its position and size.
struct Rule {
    int move_x, move_y, grow_x, grow_y;
};

bool RuleFor(int id, Rule* rule)
{
    switch (id) {
    case IDC_ADD: case IDC_BROWSE: case IDC_MATCH_ALIAS: case IDC_MATCH_PATH:
        *rule = {1, 0, 0, 0};
        return true;
    case IDC_PATH: case IDC_FILTER:
        *rule = {0, 0, 1, 0};
        return true;
    case IDC_MAIN_LIST: case IDC_FILTER_LIST: case IDC_GROUP:
        *rule = {0, 0, 1, 1};
        return true;
    case IDC_PROGRESS:
        *rule = {0, 1, 1, 0};
        return true;
    case IDC_PATH_CAPTION:
        *rule = {0, 0, 0, 0};
        return true;
    case IDC_OK: case IDC_CLEAR: case IDC_CANCEL: case IDC_APPLY: case IDC_REMOVE: case IDC_RELOAD:
    case IDC_COUNT: case IDC_IGNORED: case IDC_VERSION: case IDC_STATUS: case -1:
        *rule = {1, 1, 0, 0};
        return true;
    default:
        return false;
    }
}

bool IsEmpty(const RECT& r)
{
    return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
}

} // namespace

BOOL CALLBACK LayoutChild(HWND child, LPARAM delta)
{
    const auto* d = reinterpret_cast<const LayoutDelta*>(delta);
    Rule rule;
    if (!RuleFor(static_cast<int>(GetWindowLongPtrW(child, GWLP_ID)), &rule))
        return TRUE;

    RECT r;
    GetWindowRect(child, &r);
    POINT topLeft{r.left + rule.move_x * d->dx, r.top + rule.move_y * d->dy};
    ScreenToClient(GetParent(child), &topLeft);
    const int width = r.right - r.left + rule.grow_x * d->dx;
    const int height = r.bottom - r.top + rule.grow_y * d->dy;
    MoveWindow(child, topLeft.x, topLeft.y, width, height, TRUE);
    if (IsWindowVisible(child)) {
        InvalidateRect(child, nullptr, TRUE);
        UpdateWindow(child);
    }
    return TRUE;
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
    if (dragged->right - dragged->left < kMinWidth)
        dragged->right = dragged->left + kMinWidth;
    if (dragged->bottom - dragged->top < kMinHeight)
        dragged->bottom = dragged->top + kMinHeight;
    return TRUE;
}
