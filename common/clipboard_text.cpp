#include "clipboard_text.h"

#include "handles.h"

#include <climits>
#include <cwchar>

namespace {

bool CopyIntoBlock(HGLOBAL block, const wchar_t* text, int capacity)
{
    auto* target = static_cast<wchar_t*>(GlobalLock(block));
    if (!target)
        return false;
    lstrcpynW(target, text ? text : L"", capacity);
    GlobalUnlock(block);
    return true;
}

// Closes the clipboard on every path out of the copy.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) { }
    ~OpenClipboardScope()
    {
        if (open_)
            CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;

    explicit operator bool() const { return open_; }

private:
    bool open_;
};

bool MeasureText(HWND window, const wchar_t* text, int count, SIZE* extent)
{
    WindowDc dc(window);
    if (!dc)
        return false;
    return GetTextExtentPoint32W(dc.get(), text, count, extent) != FALSE;
}

int CountUpToTerminator(const wchar_t* text)
{
    const size_t length = std::wcslen(text);
    return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}

RECT AlignedRect(const RECT& client, LONG style, SIZE extent, int count)
{
    const LONG width = extent.cx;
    // An empty text has no average character width, hence no margin.
    const LONG margin = count > 0 ? 2 * (width / count) : 0;
    RECT rect{};
    // Static and edit controls share these bits (ES_CENTER, ES_RIGHT); both set reads as centred.
    if (style & SS_CENTER) {
        const LONG mid = (client.right - client.left) / 2;
        rect.left = mid - width / 2 - margin;
        rect.right = width / 2 + mid + margin;
        if (rect.left < 1)
            rect.left = 0;
    } else if (style & SS_RIGHT) {
        rect.left = client.right - width;
        rect.right = client.right;
    } else {
        rect.left = client.left;
        rect.right = client.left + width + margin;
    }
    rect.top = client.top;
    rect.bottom = client.top + extent.cy;
    return rect;
}

// A length without room for the terminator is taken as 1: an empty text,
// and nothing written outside the block.
int CapacityOf(int length)
{
    return length < 1 ? 1 : length;
}

// Into the open clipboard, whose content goes first; false when the block
// could not be allocated.
bool PutOnOpenClipboard(const wchar_t* text, int capacity)
{
    EmptyClipboard();
    UniqueGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(capacity) * sizeof(wchar_t)));
    if (!block || !CopyIntoBlock(block.get(), text, capacity))
        return false;
    if (SetClipboardData(CF_UNICODETEXT, block.get()))
        block.release(); // the clipboard owns it now
    return true;
}

// Clipboard history and remote-desktop clients hold the clipboard for a moment.
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenPauseMs = 50;

} // namespace

int SetClipboardText(const wchar_t* text, int length)
{
    OpenClipboardScope clipboard(nullptr);
    if (!clipboard)
        return 1; // held by someone else: nothing copied, and the result does not tell
    return PutOnOpenClipboard(text, CapacityOf(length)) ? 1 : 0;
}

int CopyTextToClipboard(HWND owner, const wchar_t* text, int length)
{
    for (int attempt = 1;; ++attempt) {
        OpenClipboardScope clipboard(owner);
        if (clipboard)
            return PutOnOpenClipboard(text, CapacityOf(length)) ? 1 : 0;
        if (attempt == kOpenAttempts)
            return 0;
        Sleep(kOpenPauseMs);
    }
}

int GetSelectedFont(HDC dc, HFONT* font)
{
    if (!font)
        return 0;
    LOGFONTW lf_font{};
    lf_font.lfWeight = FW_NORMAL;
    lstrcpynW(lf_font.lfFaceName, L"system", LF_FACESIZE);
    UniqueGdiObject probe(CreateFontIndirectW(&lf_font));
    if (!probe)
        return 0;

    // Selecting hands back whatever was selected; it goes straight back in.
    // A context that refuses the probe hands back nothing, and that is the answer.
    HGDIOBJ previous = SelectObject(dc, probe.get());
    if (previous == HGDI_ERROR)
        previous = nullptr;
    if (previous)
        SelectObject(dc, previous);
    *font = static_cast<HFONT>(previous);
    return 1;
}

int GetTextWidth(HWND window, const wchar_t* text)
{
    const wchar_t* measured = text ? text : L"";
    SIZE extent{};
    if (!MeasureText(window, measured, CountUpToTerminator(measured), &extent))
        return 0;
    return extent.cx;
}

int GetLineHeight(HWND window)
{
    static const wchar_t sz_text[4] = L"ajm";
    SIZE extent{};
    if (!MeasureText(window, sz_text, 3, &extent))
        return 0;
    return extent.cy;
}

int GetAlignedTextRect(HWND window, const wchar_t* text, int count, RECT* rect)
{
    if (!window || !rect || count < 0 || (!text && count > 0))
        return 0;
    SIZE extent{};
    if (!MeasureText(window, text ? text : L"", count, &extent))
        return 0;

    RECT client{};
    GetClientRect(window, &client);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    *rect = AlignedRect(client, style, extent, count);
    return 1;
}
