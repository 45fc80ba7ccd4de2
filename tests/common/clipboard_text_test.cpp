#include "clipboard_text.h"

#include "platform.h"
#include "resource_counts.h"
#include "wait.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>

namespace {

// What any program reads from the clipboard as text, if there is a text.
std::optional<std::wstring> ClipboardText(SIZE_T* block_size = nullptr)
{
    if (!OpenClipboard(nullptr)) {
        ADD_FAILURE() << "the clipboard could not be opened to read it";
        return std::nullopt;
    }
    std::optional<std::wstring> text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const SIZE_T size = GlobalSize(data);
        if (block_size)
            *block_size = size;
        if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = std::wstring(units, wcsnlen(units, size / sizeof(wchar_t)));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

UINT TestFormat()
{
    static const UINT format = RegisterClipboardFormatW(L"VelkorClipboardTextProbe");
    return format;
}

// Puts a text and a private format on the clipboard, as another program would.
void FillClipboard(const std::wstring& text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    HGLOBAL marker = GlobalAlloc(GMEM_MOVEABLE, 4);
    SetClipboardData(TestFormat(), marker);
    CloseClipboard();
}

// Keeps the clipboard open on a thread of its own until it is destroyed or
// hold_ms have passed, for a window of that thread as programs do, or for no
// window.
class ClipboardHolder {
public:
    explicit ClipboardHolder(bool with_window, DWORD hold_ms = kHangGuardMs)
        : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), done_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = std::thread([this, with_window, hold_ms] {
            HWND window = with_window
                ? CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)
                : nullptr;
            opened_ = OpenClipboard(window) != FALSE;
            SetEvent(ready_);
            WaitForSingleObject(done_, hold_ms);
            if (opened_)
                CloseClipboard();
            if (window)
                DestroyWindow(window);
        });
        WaitForSingleObject(ready_, kHangGuardMs);
    }
    ~ClipboardHolder()
    {
        SetEvent(done_);
        thread_.join();
        CloseHandle(ready_);
        CloseHandle(done_);
    }
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;

    bool opened() const { return opened_; }

private:
    HANDLE ready_;
    HANDLE done_;
    bool opened_ = false;
    std::thread thread_;
};

struct WindowDestroyer {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

OwnedWindow MakeControl(const wchar_t* window_class, DWORD style, int width, int height = 40)
{
    HWND window = CreateWindowExW(0, window_class, L"", WS_POPUP | style, 10, 10, width, height, nullptr, nullptr,
                                  nullptr, nullptr);
    EXPECT_NE(nullptr, window);
    return OwnedWindow(window);
}

// The platform's own measurement in the window's context, as GetDC gives it.
SIZE PlatformExtent(HWND window, const wchar_t* text, int count)
{
    SIZE extent{};
    HDC dc = GetDC(window);
    EXPECT_TRUE(GetTextExtentPoint32W(dc, text, count, &extent));
    ReleaseDC(window, dc);
    return extent;
}

RECT AlignedRect(HWND window, const wchar_t* text, int count)
{
    RECT rect{-7, -7, -7, -7};
    EXPECT_EQ(1, GetAlignedTextRect(window, text, count, &rect));
    return rect;
}

void ExpectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(left, rect.left);
    EXPECT_EQ(top, rect.top);
    EXPECT_EQ(right, rect.right);
    EXPECT_EQ(bottom, rect.bottom);
}

constexpr wchar_t kSample[] = L"Velkor runs programs by alias";

} // namespace

TEST(SetClipboardText, PutsTheTextCutToLengthMinusOne)
{
    FillClipboard(L"before");
    SIZE_T block_size = 0;
    EXPECT_EQ(1, SetClipboardText(L"hello", 3));
    EXPECT_EQ(L"he", ClipboardText(&block_size));
    EXPECT_GE(block_size, 3 * sizeof(wchar_t));

    EXPECT_EQ(1, SetClipboardText(L"hello", 6));
    EXPECT_EQ(L"hello", ClipboardText());

    // A capacity beyond the text stops at its terminator.
    EXPECT_EQ(1, SetClipboardText(L"hello", 100));
    EXPECT_EQ(L"hello", ClipboardText());

    EXPECT_EQ(1, SetClipboardText(L"hello", 1));
    EXPECT_EQ(L"", ClipboardText());
}

TEST(SetClipboardText, KeepsTextsLongerThanAPathAndOutsideTheAnsiCodePage)
{
    std::wstring text(5000, L'x');
    text += L" \x00FC\x4E2D\xD83D\xDE00 end";
    EXPECT_EQ(1, SetClipboardText(text.c_str(), static_cast<int>(text.size()) + 1));
    EXPECT_EQ(text, ClipboardText());
}

TEST(SetClipboardText, ReplacesEveryFormatAndLeavesNoOwner)
{
    FillClipboard(L"before");
    ASSERT_TRUE(IsClipboardFormatAvailable(TestFormat()));
    EXPECT_EQ(1, SetClipboardText(L"after", 6));
    EXPECT_FALSE(IsClipboardFormatAvailable(TestFormat()));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(nullptr, GetClipboardOwner());
    EXPECT_EQ(nullptr, GetOpenClipboardWindow());
    EXPECT_EQ(L"after", ClipboardText());
}

TEST(SetClipboardText, ALengthWithoutRoomForTheTerminatorPutsAnEmptyText)
{
    FillClipboard(L"before");
    EXPECT_EQ(1, SetClipboardText(L"hello", 0));
    EXPECT_EQ(L"", ClipboardText());

    FillClipboard(L"before");
    EXPECT_EQ(1, SetClipboardText(L"hello", -5));
    EXPECT_EQ(L"", ClipboardText());

    FillClipboard(L"before");
    EXPECT_EQ(1, SetClipboardText(nullptr, 10));
    EXPECT_EQ(L"", ClipboardText());
}

TEST(SetClipboardText, ABusyClipboardIsLeftAsItWasAndTheResultDoesNotTell)
{
    FillClipboard(L"before");
    {
        ClipboardHolder holder(true);
        ASSERT_TRUE(holder.opened());
        EXPECT_EQ(1, SetClipboardText(L"hello", 6));
    }
    EXPECT_EQ(L"before", ClipboardText());
    EXPECT_TRUE(IsClipboardFormatAvailable(TestFormat()));

    // Once the other holder has let go, the text goes through.
    EXPECT_EQ(1, SetClipboardText(L"hello", 6));
    EXPECT_EQ(L"hello", ClipboardText());
}

TEST(SetClipboardText, AHolderWithoutWindowKeepsTheClipboardOnWindows)
{
    FillClipboard(L"before");
    {
        ClipboardHolder holder(false);
        ASSERT_TRUE(holder.opened());
        EXPECT_EQ(1, SetClipboardText(L"hello", 6));
    }
    // Windows keeps the clipboard for the thread that opened it; Wine only
    // tells windows apart, so a second opener without a window gets in there.
    EXPECT_EQ(RunningUnderWine() ? L"hello" : L"before", ClipboardText());
}

TEST(SetClipboardText, WorksFromAWorkerThread)
{
    FillClipboard(L"before");
    int result = -1;
    std::thread([&] { result = SetClipboardText(L"from a worker", 14); }).join();
    EXPECT_EQ(1, result);
    // The text stays after the thread that put it there has ended.
    EXPECT_EQ(L"from a worker", ClipboardText());
}

// Clipboard history holds the clipboard for a moment: a holder that lets go
// within the retries is waited for; one that keeps it is reported.
TEST(CopyTextToClipboard, WaitsForAShortHolderAndTellsWhenTheClipboardStaysHeld)
{
    const OwnedWindow owner = MakeControl(L"STATIC", 0, 10);
    struct Case {
        DWORD hold_ms;
        int result;
        const wchar_t* text;
        HWND clipboard_owner;
    };
    for (const Case& c : {Case{100, 1, L"hello", owner.get()}, Case{kHangGuardMs, 0, L"before", nullptr}}) {
        SCOPED_TRACE(c.hold_ms);
        FillClipboard(L"before");
        {
            ClipboardHolder holder(true, c.hold_ms);
            ASSERT_TRUE(holder.opened());
            EXPECT_EQ(c.result, CopyTextToClipboard(owner.get(), L"hello", 6));
        }
        EXPECT_EQ(c.text, ClipboardText());
        EXPECT_EQ(c.clipboard_owner, GetClipboardOwner());
    }
}

TEST(GetSelectedFont, GivesTheDefaultFontOfAFreshScreenContext)
{
    HDC dc = GetDC(nullptr);
    ASSERT_NE(nullptr, dc);
    HGDIOBJ before = GetCurrentObject(dc, OBJ_FONT);
    HFONT font = nullptr;
    EXPECT_EQ(1, GetSelectedFont(dc, &font));
    EXPECT_EQ(before, font);
    EXPECT_EQ(GetStockObject(SYSTEM_FONT), font);
    EXPECT_EQ(before, GetCurrentObject(dc, OBJ_FONT));
    ReleaseDC(nullptr, dc);
}

TEST(GetSelectedFont, GivesTheCallersFontAndLeavesItSelectedAndAlive)
{
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW described{};
    described.lfHeight = -21;
    lstrcpynW(described.lfFaceName, L"Tahoma", LF_FACESIZE);
    HFONT own = CreateFontIndirectW(&described);
    HGDIOBJ original = SelectObject(dc, own);

    HFONT font = nullptr;
    EXPECT_EQ(1, GetSelectedFont(dc, &font));
    EXPECT_EQ(own, font);
    EXPECT_EQ(own, GetCurrentObject(dc, OBJ_FONT));
    LOGFONTW read{};
    EXPECT_EQ(static_cast<int>(sizeof(read)), GetObjectW(font, sizeof(read), &read));
    EXPECT_EQ(-21, read.lfHeight);

    SelectObject(dc, original);
    DeleteObject(own);
    DeleteDC(dc);
}

TEST(GetSelectedFont, AContextThatTakesNoFontGivesANullHandle)
{
    HFONT font = reinterpret_cast<HFONT>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(1, GetSelectedFont(nullptr, &font));
    EXPECT_EQ(nullptr, font);

    HDC dc = CreateCompatibleDC(nullptr);
    DeleteDC(dc);
    font = reinterpret_cast<HFONT>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(1, GetSelectedFont(dc, &font));
    EXPECT_EQ(nullptr, font);

    HDC live = GetDC(nullptr);
    EXPECT_EQ(0, GetSelectedFont(live, nullptr));
    ReleaseDC(nullptr, live);
}

TEST(GetSelectedFont, DeletesItsProbeFont)
{
    HDC dc = GetDC(nullptr);
    HFONT font = nullptr;
    ASSERT_EQ(1, GetSelectedFont(dc, &font)); // warm-up
    const ResourceSnapshot before;
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(1, GetSelectedFont(dc, &font));
    ExpectNothingLeaked(before, "GetSelectedFont");
    ReleaseDC(nullptr, dc);
}

TEST(TextMeasurement, MeasuresInTheWindowsOwnContext)
{
    OwnedWindow label = MakeControl(L"STATIC", SS_LEFT, 300);
    EXPECT_EQ(PlatformExtent(label.get(), kSample, static_cast<int>(wcslen(kSample))).cx,
              GetTextWidth(label.get(), kSample));
    EXPECT_GT(GetTextWidth(label.get(), kSample), GetTextWidth(label.get(), L"Velkor"));
    EXPECT_EQ(PlatformExtent(label.get(), L"ajm", 3).cy, GetLineHeight(label.get()));
    EXPECT_GT(GetLineHeight(label.get()), 0);

    // The screen's context when there is no window.
    EXPECT_EQ(PlatformExtent(nullptr, L"Velkor", 6).cx, GetTextWidth(nullptr, L"Velkor"));
    EXPECT_EQ(PlatformExtent(nullptr, L"ajm", 3).cy, GetLineHeight(nullptr));
}

TEST(TextMeasurement, CountsUpToTheTerminator)
{
    OwnedWindow label = MakeControl(L"STATIC", SS_LEFT, 300);
    const wchar_t cut[] = L"ab\0cdef";
    EXPECT_EQ(PlatformExtent(label.get(), L"ab", 2).cx, GetTextWidth(label.get(), cut));
    EXPECT_EQ(0, GetTextWidth(label.get(), L""));
    EXPECT_EQ(0, GetTextWidth(label.get(), nullptr));
}

TEST(TextMeasurement, TheControlsOwnFontTakesNoPart)
{
    OwnedWindow label = MakeControl(L"STATIC", SS_LEFT, 300);
    const int width = GetTextWidth(label.get(), kSample);
    const int height = GetLineHeight(label.get());

    LOGFONTW described{};
    described.lfHeight = -48;
    lstrcpynW(described.lfFaceName, L"Tahoma", LF_FACESIZE);
    HFONT large = CreateFontIndirectW(&described);
    SendMessageW(label.get(), WM_SETFONT, reinterpret_cast<WPARAM>(large), FALSE);
    ASSERT_EQ(reinterpret_cast<LRESULT>(large), SendMessageW(label.get(), WM_GETFONT, 0, 0));

    // The large font does measure differently, so the comparison below can fail.
    HDC dc = GetDC(label.get());
    HGDIOBJ old = SelectObject(dc, large);
    SIZE large_extent{};
    GetTextExtentPoint32W(dc, L"ajm", 3, &large_extent);
    SelectObject(dc, old);
    ReleaseDC(label.get(), dc);
    ASSERT_NE(height, large_extent.cy);

    EXPECT_EQ(width, GetTextWidth(label.get(), kSample));
    EXPECT_EQ(height, GetLineHeight(label.get()));
    label.reset();
    DeleteObject(large);
}

TEST(TextMeasurement, AWindowWithoutContextGivesZero)
{
    HWND gone = MakeControl(L"STATIC", SS_CENTER, 300).release();
    DestroyWindow(gone);
    EXPECT_EQ(0, GetTextWidth(gone, kSample));
    EXPECT_EQ(0, GetLineHeight(gone));
    RECT rect{1, 2, 3, 4};
    EXPECT_EQ(0, GetAlignedTextRect(gone, kSample, 5, &rect));
    ExpectRect(rect, 1, 2, 3, 4);
}

// The three alignments on a 300 pixel wide client area: the text is measured
// w by h over n characters, a = w / n and the margin is 2a.
TEST(GetAlignedTextRect, FollowsTheControlsAlignment)
{
    struct Styles {
        const wchar_t* window_class;
        DWORD left, centred, right;
    };
    for (const Styles& styles :
         {Styles{L"STATIC", SS_LEFT, SS_CENTER, SS_RIGHT}, Styles{L"EDIT", ES_LEFT, ES_CENTER, ES_RIGHT}}) {
        SCOPED_TRACE(testing::Message() << styles.window_class);
        OwnedWindow left = MakeControl(styles.window_class, styles.left, 300);
        OwnedWindow centred = MakeControl(styles.window_class, styles.centred, 300);
        OwnedWindow right = MakeControl(styles.window_class, styles.right, 300);
        RECT client{};
        GetClientRect(centred.get(), &client);
        ASSERT_EQ(300, client.right);

        const int n = 10;
        const SIZE extent = PlatformExtent(centred.get(), kSample, n);
        const LONG w = extent.cx;
        const LONG h = extent.cy;
        const LONG margin = 2 * (w / n);
        ASSERT_GT(w, n) << "the sample must measure some pixels per character";

        ExpectRect(AlignedRect(centred.get(), kSample, n), 150 - w / 2 - margin, 0, w / 2 + 150 + margin, h);
        ExpectRect(AlignedRect(left.get(), kSample, n), 0, 0, w + margin, h);
        ExpectRect(AlignedRect(right.get(), kSample, n), 300 - w, 0, 300, h);

        // Centred text lies evenly round the middle.
        const RECT middle = AlignedRect(centred.get(), kSample, n);
        EXPECT_EQ(150 - middle.left, middle.right - 150);
    }
}

TEST(GetAlignedTextRect, MeasuresOnlyTheFirstCharactersGiven)
{
    OwnedWindow left = MakeControl(L"STATIC", SS_LEFT, 300);
    const SIZE three = PlatformExtent(left.get(), kSample, 3);
    const RECT rect = AlignedRect(left.get(), kSample, 3);
    EXPECT_EQ(three.cx + 2 * (three.cx / 3), rect.right);
    EXPECT_LT(rect.right, AlignedRect(left.get(), kSample, 20).right);
}

TEST(GetAlignedTextRect, BothAlignmentBitsCountAsCentred)
{
    OwnedWindow both = MakeControl(L"EDIT", ES_CENTER | ES_RIGHT, 300);
    OwnedWindow centred = MakeControl(L"EDIT", ES_CENTER, 300);
    ASSERT_EQ(ES_CENTER | ES_RIGHT, GetWindowLongW(both.get(), GWL_STYLE) & 3);
    const RECT expected = AlignedRect(centred.get(), kSample, 12);
    const RECT actual = AlignedRect(both.get(), kSample, 12);
    EXPECT_TRUE(EqualRect(&expected, &actual));
}

TEST(GetAlignedTextRect, UsesTheClientAreaInsideABorder)
{
    OwnedWindow right = MakeControl(L"STATIC", SS_RIGHT | WS_BORDER, 300);
    RECT client{};
    GetClientRect(right.get(), &client);
    ASSERT_LT(client.right, 300);
    const LONG w = PlatformExtent(right.get(), kSample, 5).cx;
    ExpectRect(AlignedRect(right.get(), kSample, 5), client.right - w, 0, client.right,
               PlatformExtent(right.get(), kSample, 5).cy);
}

TEST(GetAlignedTextRect, TextWiderThanTheControl)
{
    const int n = static_cast<int>(wcslen(kSample));
    OwnedWindow centred = MakeControl(L"STATIC", SS_CENTER, 40);
    OwnedWindow right = MakeControl(L"STATIC", SS_RIGHT, 40);
    const LONG w = PlatformExtent(centred.get(), kSample, n).cx;
    ASSERT_GT(w, 80);

    // Centred: the left side is held at 0, the right side runs past the client area.
    const RECT middle = AlignedRect(centred.get(), kSample, n);
    EXPECT_EQ(0, middle.left);
    EXPECT_EQ(w / 2 + 20 + 2 * (w / n), middle.right);
    EXPECT_GT(middle.right, 40);

    // Right-aligned: the left side goes negative.
    const RECT flush = AlignedRect(right.get(), kSample, n);
    EXPECT_EQ(40 - w, flush.left);
    EXPECT_LT(flush.left, 0);
    EXPECT_EQ(40, flush.right);
}

TEST(GetAlignedTextRect, NoCharactersGiveAnEmptyWidthWithoutMargin)
{
    OwnedWindow left = MakeControl(L"STATIC", SS_LEFT, 300);
    OwnedWindow centred = MakeControl(L"STATIC", SS_CENTER, 300);
    OwnedWindow right = MakeControl(L"STATIC", SS_RIGHT, 300);
    const LONG h = PlatformExtent(left.get(), L"", 0).cy;
    ExpectRect(AlignedRect(left.get(), kSample, 0), 0, 0, 0, h);
    ExpectRect(AlignedRect(centred.get(), kSample, 0), 150, 0, 150, h);
    ExpectRect(AlignedRect(right.get(), kSample, 0), 300, 0, 300, h);
    ExpectRect(AlignedRect(centred.get(), nullptr, 0), 150, 0, 150, h);
}

TEST(GetAlignedTextRect, RefusesWhatItCannotMeasure)
{
    OwnedWindow label = MakeControl(L"STATIC", SS_CENTER, 300);
    RECT rect{1, 2, 3, 4};
    EXPECT_EQ(0, GetAlignedTextRect(nullptr, kSample, 5, &rect));
    EXPECT_EQ(0, GetAlignedTextRect(label.get(), kSample, -1, &rect));
    EXPECT_EQ(0, GetAlignedTextRect(label.get(), nullptr, 5, &rect));
    ExpectRect(rect, 1, 2, 3, 4);
    EXPECT_EQ(0, GetAlignedTextRect(label.get(), kSample, 5, nullptr));
}
