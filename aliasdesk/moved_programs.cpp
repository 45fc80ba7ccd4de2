#include "moved_programs.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "file_choice.h"
#include "file_search.h"
#include "handles.h"
#include "missing_targets.h"
#include "report_table.h"
#include "wide_text.h"
#include "workers.h"

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Posted by the worker to the box: matches wait to be listed; the search ended.
constexpr UINT WM_LOCATE_FOUND = WM_APP + 20;
constexpr UINT WM_LOCATE_ENDED = WM_APP + 21;

std::atomic<int> folder_limit{kLocateFolderLimit};
std::atomic<LocateStopHook> stop_hook{nullptr};

// What the box and its worker share; each holds it as long as it runs, so
// the box may go while the worker still walks, and the worker may end first.
struct LocateSearch {
    // Set before the worker starts.
    std::wstring old_path;
    std::wstring scan_folder;
    int limit = kLocateFolderLimit;

    std::atomic<bool> stop{false}; // the box has gone
    std::mutex lock; // guards what follows
    HWND box = nullptr; // null once the box has gone
    std::wstring start_folder; // where Browse opens
    std::vector<std::wstring> waiting; // matches not listed yet
    NameSearchResult result;
};

using SharedSearch = std::shared_ptr<LocateSearch>;

// What the box keeps; it lives on LocateProgram's stack.
struct LocateBox {
    SharedSearch search;
    std::wstring chosen; // lowered; empty while none was chosen
    int widest = 0; // the widest match listed, in the list's pixels
};

// The worker only posts: it never waits for the box's thread. Caller holds the lock.
void Notify(const LocateSearch& search, UINT message)
{
    if (search.box)
        PostMessageW(search.box, message, 0, 0);
}

std::wstring Lowered(std::wstring path)
{
    LowerAsciiInPlace(path.data());
    return path;
}

// '/' and ".." resolved as the system resolves them.
std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full) : path;
}

// "c:" names the current folder of drive c: a folder handed to the system
// keeps the root's backslash.
std::wstring AsDirectory(const std::wstring& folder)
{
    return !folder.empty() && folder.back() == L':' ? folder + L"\\" : folder;
}

bool IsFolder(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(AsDirectory(folder).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring SearchTop(const std::wstring& folder)
{
    std::wstring top = FullPath(folder);
    while (!top.empty() && top.back() == L'\\')
        top.pop_back();
    return top;
}

void Search(LocateSearch& search)
{
    QuietCriticalErrors();
    const std::wstring nearest = NearestExistingFolder(search.old_path);
    {
        std::lock_guard<std::mutex> guard(search.lock);
        search.start_folder = nearest;
    }
    std::vector<std::wstring> tops;
    if (!nearest.empty())
        tops.push_back(nearest);
    if (!search.scan_folder.empty())
        tops.push_back(SearchTop(search.scan_folder));

    std::unordered_set<std::wstring> offered;
    auto found = [&](const std::wstring& path) {
        std::wstring lowered = Lowered(path);
        if (!offered.insert(lowered).second)
            return;
        std::lock_guard<std::mutex> guard(search.lock);
        search.waiting.push_back(std::move(lowered));
        if (search.waiting.size() == 1)
            Notify(search, WM_LOCATE_FOUND);
    };
    auto stop = [&] {
        if (const LocateStopHook hook = stop_hook)
            hook();
        return search.stop || WorkerStopRequested();
    };
    const NameSearchResult result =
        SearchFileName(tops, FileNameOf(FullPath(search.old_path)).c_str(), search.limit, found, stop);
    std::lock_guard<std::mutex> guard(search.lock);
    search.result = result;
}

unsigned __stdcall LocateWorker(void* param)
{
    const std::unique_ptr<SharedSearch> owned(static_cast<SharedSearch*>(param));
    LocateSearch& search = **owned;
    try {
        Search(search);
    } catch (const std::bad_alloc&) {
        // Out of memory: the search ends with what it found.
    }
    std::lock_guard<std::mutex> guard(search.lock);
    Notify(search, WM_LOCATE_ENDED);
    return 0;
}

LocateBox& BoxState(HWND box)
{
    return *reinterpret_cast<LocateBox*>(GetWindowLongPtrW(box, DWLP_USER));
}

void SetStatus(HWND box, const wchar_t* text)
{
    SetDlgItemTextW(box, IDC_LOCATE_STATUS, text);
}

BOOL OnInitDialog(HWND box, LocateBox* state)
{
    SetWindowLongPtrW(box, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    SetDlgItemTextW(box, IDC_LOCATE_PATH, state->search->old_path.c_str());
    EnableWindow(GetDlgItem(box, IDOK), FALSE);
    SetStatus(box, L"Searching...");
    {
        std::lock_guard<std::mutex> guard(state->search->lock);
        state->search->box = box;
    }
    auto* param = new SharedSearch(state->search);
    if (!StartWorker(LocateWorker, param)) {
        delete param;
        SetStatus(box, L"Could not start the search.");
    }
    return TRUE;
}

// Long paths scroll sideways rather than being cut.
void Widen(HWND list, LocateBox& state, const std::wstring& path)
{
    WindowDc dc(list);
    if (!dc)
        return;
    const HGDIOBJ old_font = SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE text{}, margin{};
    GetTextExtentPoint32W(dc.get(), path.c_str(), static_cast<int>(path.size()), &text);
    GetTextExtentPoint32W(dc.get(), L"  ", 2, &margin);
    SelectObject(dc.get(), old_font);
    if (text.cx + margin.cx > state.widest) {
        state.widest = text.cx + margin.cx;
        SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(state.widest), 0);
    }
}

INT_PTR OnFound(HWND box)
{
    LocateBox& state = BoxState(box);
    std::vector<std::wstring> found;
    {
        std::lock_guard<std::mutex> guard(state.search->lock);
        found.swap(state.search->waiting);
    }
    HWND list = GetDlgItem(box, IDC_LOCATE_LIST);
    for (const std::wstring& path : found) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
        Widen(list, state, path);
    }
    return TRUE;
}

INT_PTR OnEnded(HWND box)
{
    OnFound(box);
    NameSearchResult result;
    {
        LocateBox& state = BoxState(box);
        std::lock_guard<std::mutex> guard(state.search->lock);
        result = state.search->result;
    }
    const int count = static_cast<int>(SendDlgItemMessageW(box, IDC_LOCATE_LIST, LB_GETCOUNT, 0, 0));
    wchar_t status[128] = {};
    if (result.limited)
        FormatText(status, 128, L"%d found; the search stopped after %d folders.", count, result.folders);
    else
        FormatText(status, 128, L"%d found.", count);
    SetStatus(box, status);
    return TRUE;
}

void Choose(HWND box, std::wstring path)
{
    BoxState(box).chosen = Lowered(std::move(path));
    EndDialog(box, IDOK);
}

void ChooseSelected(HWND box)
{
    HWND list = GetDlgItem(box, IDC_LOCATE_LIST);
    const auto selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (selected < 0)
        return;
    std::wstring path(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, selected, 0)), L'\0');
    SendMessageW(list, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(path.data()));
    Choose(box, std::move(path));
}

void Browse(HWND box)
{
    std::wstring start;
    {
        LocateBox& state = BoxState(box);
        std::lock_guard<std::mutex> guard(state.search->lock);
        start = AsDirectory(state.search->start_folder);
    }
    std::wstring file;
    if (ChooseFileToOpen(box, nullptr, L"Programs (*.exe)\0*.exe\0", L"", start, &file))
        Choose(box, file);
}

INT_PTR OnCommand(HWND box, int id, int code)
{
    switch (id) {
    case IDOK:
        ChooseSelected(box);
        return TRUE;
    case IDCANCEL:
        EndDialog(box, IDCANCEL);
        return TRUE;
    case IDC_LOCATE_BROWSE:
        Browse(box);
        return TRUE;
    case IDC_LOCATE_LIST:
        if (code == LBN_DBLCLK)
            ChooseSelected(box);
        else if (code == LBN_SELCHANGE)
            EnableWindow(GetDlgItem(box, IDOK), SendDlgItemMessageW(box, id, LB_GETCURSEL, 0, 0) >= 0);
        return TRUE;
    default:
        return FALSE;
    }
}

// However the box goes (OK, Cancel, its owner closing), its worker stops and
// posts to it no more.
INT_PTR OnDestroy(HWND box)
{
    const auto* state = reinterpret_cast<const LocateBox*>(GetWindowLongPtrW(box, DWLP_USER));
    if (!state)
        return FALSE;
    LocateSearch& search = *state->search;
    search.stop = true;
    std::lock_guard<std::mutex> guard(search.lock);
    search.box = nullptr;
    return FALSE;
}

INT_PTR Dispatch(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(box, reinterpret_cast<LocateBox*>(lParam));
    case WM_COMMAND:
        return OnCommand(box, LOWORD(wParam), HIWORD(wParam));
    case WM_LOCATE_FOUND:
        return OnFound(box);
    case WM_LOCATE_ENDED:
        return OnEnded(box);
    case WM_DESTROY:
        return OnDestroy(box);
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK LocateDlgProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return Dispatch(box, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        return FALSE; // a match or a path that found no memory is left out
    }
}

// The row keeps its alias and parameter; the filter row that shows it gets
// the same path, so that the two lists agree.
void WritePath(RowId id, const std::wstring& path)
{
    const int row = RowOfId(id);
    if (row == -1)
        return; // removed, or emptied by Reload, while the box was open
    SetCellText(pMainTable, row, 2, path.c_str());
    if (pFilterTable && pFilterTable->window) {
        LVFINDINFOW find{};
        find.flags = LVFI_PARAM;
        find.lParam = id;
        const auto shown = static_cast<int>(SendMessageW(pFilterTable->window, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                                         reinterpret_cast<LPARAM>(&find)));
        if (shown >= 0)
            SetCellText(pFilterTable, shown, 2, path.c_str());
    }
    MarkModified();
    CheckTargetAgain(id);
}

} // namespace

std::wstring NearestExistingFolder(const std::wstring& path)
{
    std::wstring folder = FullPath(path);
    if (!DriveOf(folder))
        return {};
    const size_t root = folder.find(L':'); // "x:" is the last folder to look at
    for (;;) {
        const size_t cut = folder.rfind(L'\\');
        if (cut == std::wstring::npos || cut <= root)
            return {};
        folder.resize(cut);
        if (IsFolder(folder))
            return folder;
    }
}

void LocateProgram(HWND dlg, RowId id)
{
    const int row = RowOfId(id);
    if (row == -1)
        return;
    try {
        const MallocText old_path = CellText(pMainTable, row, 2);
        LocateBox state{std::make_shared<LocateSearch>(), {}, 0};
        // Resolved now: while the Open dialog is up, the current folder follows its browsing.
        state.search->old_path = old_path ? FullPath(old_path.get()) : L"";
        state.search->scan_folder = szScanFolder[0] ? FullPath(szScanFolder) : L"";
        state.search->limit = folder_limit;
        const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dlg, GWLP_HINSTANCE));
        const INT_PTR answer = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_LOCATE), dlg, LocateDlgProc,
                                               reinterpret_cast<LPARAM>(&state));
        if (answer == IDOK && !state.chosen.empty())
            WritePath(id, state.chosen);
    } catch (const std::bad_alloc&) {
        // No memory for the search: nothing was shown, nothing changes.
    }
}

void SetLocateFolderLimit(int folders)
{
    folder_limit = folders > 0 ? folders : kLocateFolderLimit;
}

void SetLocateStopHook(LocateStopHook hook)
{
    stop_hook = hook;
}
