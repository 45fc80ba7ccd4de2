#include "screen_capture.h"

#include "gdiplus_session.h"
#include "handles.h"
#include "platform.h"
#include "resource_counts.h"
#include "temp_dir.h"
#include "wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Gdiplus::DllExports;

// Pixels as 0x00RRGGBB, row by row from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

constexpr DWORD Rgb(BYTE r, BYTE g, BYTE b)
{
    return (static_cast<DWORD>(r) << 16) | (static_cast<DWORD>(g) << 8) | b;
}

BITMAPINFO TopDown32(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

Picture PictureOfBitmap(HBITMAP bitmap)
{
    Picture picture;
    BITMAP header{};
    if (!GetObjectW(bitmap, sizeof(header), &header))
        return picture;
    picture.width = header.bmWidth;
    picture.height = header.bmHeight;
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    BITMAPINFO info = TopDown32(picture.width, picture.height);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, picture.height, picture.pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (DWORD& pixel : picture.pixels)
        pixel &= 0x00FFFFFF;
    return picture;
}

Picture PictureOfFile(const std::wstring& path)
{
    Picture picture;
    const GdiplusSession gdiplus;
    Gdiplus::GpBitmap* loaded = nullptr;
    if (!gdiplus || GdipCreateBitmapFromFile(path.c_str(), &loaded) != Gdiplus::Ok)
        return picture;
    const UniqueGdiplusBitmap image(loaded);
    UINT width = 0;
    UINT height = 0;
    GdipGetImageWidth(image.get(), &width);
    GdipGetImageHeight(image.get(), &height);
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            Gdiplus::ARGB argb = 0;
            GdipBitmapGetPixel(image.get(), x, y, &argb);
            picture.pixels.push_back(argb & 0x00FFFFFF);
        }
    }
    return picture;
}

std::string FileStart(const std::wstring& path, size_t count)
{
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return bytes.substr(0, count);
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder)
{
    std::vector<std::wstring> entries;
    WIN32_FIND_DATAW found;
    const FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return {L"<no folder>"};
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            entries.push_back(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return entries;
}

// A memory context showing a 32-bit picture whose every pixel tells its place.
class PatternSource {
public:
    static constexpr int kWidth = 40;
    static constexpr int kHeight = 30;
    static DWORD Expected(int x, int y) { return Rgb(static_cast<BYTE>(x * 6), static_cast<BYTE>(y * 8), 0x5A); }

    PatternSource() : dc_(CreateCompatibleDC(nullptr))
    {
        const BITMAPINFO info = TopDown32(kWidth, kHeight);
        void* bits = nullptr;
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        auto* pixels = static_cast<DWORD*>(bits);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                pixels[y * kWidth + x] = Expected(x, y);
        kept_ = SelectObject(dc_.get(), bitmap_.get());
    }
    ~PatternSource() { SelectObject(dc_.get(), kept_); }
    PatternSource(const PatternSource&) = delete;
    PatternSource& operator=(const PatternSource&) = delete;

    HDC dc() const { return dc_.get(); }

private:
    UniqueDc dc_;
    UniqueGdiObject bitmap_;
    HGDIOBJ kept_ = nullptr;
};

void ExpectPatternAt(const Picture& picture, const RECT& rect)
{
    ASSERT_EQ(rect.right - rect.left, picture.width);
    ASSERT_EQ(rect.bottom - rect.top, picture.height);
    int wrong = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            wrong += picture.At(x, y) != PatternSource::Expected(rect.left + x, rect.top + y);
    EXPECT_EQ(0, wrong) << "pixels that differ from the source";
}

class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) { }
    ~ScreenDc() { ReleaseDC(nullptr, dc_); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A topmost window on the screen painted in four known colours.
class PaintedWindow {
public:
    static constexpr int kLeft = 200;
    static constexpr int kTop = 160;
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;
    static constexpr DWORD kQuadrants[4] = {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(255, 255, 0)};

    PaintedWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VelkorPaintedWindow";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, kLeft, kTop, kWidth,
                                  kHeight, nullptr, nullptr, nullptr, nullptr);
        // The display shows the window a little after it painted.
        const ScreenDc screen;
        shown_ = PumpUntil([&] {
            return ScreenPixel(screen.get(), kLeft + 1, kTop + 1) == kQuadrants[0] &&
                ScreenPixel(screen.get(), kLeft + kWidth - 1, kTop + kHeight - 1) == kQuadrants[3];
        });
    }
    ~PaintedWindow() { DestroyWindow(window_); }
    PaintedWindow(const PaintedWindow&) = delete;
    PaintedWindow& operator=(const PaintedWindow&) = delete;

    bool shown() const { return shown_; }
    static RECT ScreenRect() { return RECT{kLeft, kTop, kLeft + kWidth, kTop + kHeight}; }

    static void ExpectQuadrants(const Picture& picture)
    {
        ASSERT_EQ(kWidth, picture.width);
        ASSERT_EQ(kHeight, picture.height);
        const int w = kWidth / 2;
        const int h = kHeight / 2;
        EXPECT_EQ(kQuadrants[0], picture.At(2, 2));
        EXPECT_EQ(kQuadrants[1], picture.At(w + 2, 2));
        EXPECT_EQ(kQuadrants[2], picture.At(2, h + 2));
        EXPECT_EQ(kQuadrants[3], picture.At(kWidth - 1, kHeight - 1));
        EXPECT_EQ(kQuadrants[0], picture.At(w - 1, h - 1));
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
    {
        if (message != WM_PAINT)
            return DefWindowProcW(window, message, wparam, lparam);
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        const int w = kWidth / 2;
        const int h = kHeight / 2;
        const RECT parts[4] = {{0, 0, w, h}, {w, 0, kWidth, h}, {0, h, w, kHeight}, {w, h, kWidth, kHeight}};
        for (int i = 0; i < 4; ++i) {
            const DWORD c = kQuadrants[i];
            const UniqueGdiObject brush(CreateSolidBrush(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF)));
            FillRect(dc, &parts[i], static_cast<HBRUSH>(brush.get()));
        }
        EndPaint(window, &paint);
        return 0;
    }

    static DWORD ScreenPixel(HDC screen, int x, int y)
    {
        const COLORREF c = GetPixel(screen, x, y);
        return Rgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }

    HWND window_;
    bool shown_ = false;
};

// The clipboard's owner in these tests.
class ClipboardOwner {
public:
    ClipboardOwner()
        : window_(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr))
    {
    }
    ~ClipboardOwner() { DestroyWindow(window_); }
    ClipboardOwner(const ClipboardOwner&) = delete;
    ClipboardOwner& operator=(const ClipboardOwner&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

bool PutTextOnClipboard(HWND owner, const std::wstring& text)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    const bool put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!put)
        GlobalFree(memory);
    CloseClipboard();
    return put;
}

Picture ClipboardPicture(HWND owner)
{
    Picture picture;
    if (!OpenClipboard(owner))
        return picture;
    if (HANDLE bitmap = GetClipboardData(CF_BITMAP))
        picture = PictureOfBitmap(static_cast<HBITMAP>(bitmap));
    CloseClipboard();
    return picture;
}

// Holds the clipboard open on a thread of its own for as long as it lives.
class ClipboardHolder {
public:
    ClipboardHolder() : thread_([this] { Hold(); })
    {
        PumpUntil([&] { return state_ != kPending; });
    }
    ~ClipboardHolder()
    {
        release_ = true;
        thread_.join();
    }
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;

    bool holding() const { return state_ == kHolding; }

private:
    enum State { kPending, kHolding, kRefused };

    void Hold()
    {
        HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        state_ = OpenClipboard(window) ? kHolding : kRefused;
        while (state_ == kHolding && !release_)
            Sleep(5);
        if (state_ == kHolding)
            CloseClipboard();
        DestroyWindow(window);
    }

    std::atomic<State> state_{kPending};
    std::atomic<bool> release_{false};
    std::thread thread_;
};

void EmptyTheClipboard(HWND owner)
{
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

TEST(ImageMimeTypeOf, TakesTheTextAfterTheLastDotAsWritten)
{
    wchar_t mime[kImageMimeTypeCapacity] = {};
    ASSERT_EQ(1, ImageMimeTypeOf(L"C:\\shots\\shot.png", mime, kImageMimeTypeCapacity));
    EXPECT_STREQ(L"image/png", mime);
    ASSERT_EQ(1, ImageMimeTypeOf(L"shot.v1.PNG", mime, kImageMimeTypeCapacity));
    EXPECT_STREQ(L"image/PNG", mime);
    ASSERT_EQ(1, ImageMimeTypeOf(L"C:\\my.dir\\shot", mime, kImageMimeTypeCapacity));
    EXPECT_STREQ(L"image/dir\\shot", mime);
    ASSERT_EQ(1, ImageMimeTypeOf(L"shot.", mime, kImageMimeTypeCapacity));
    EXPECT_STREQ(L"image/", mime);
}

TEST(ImageMimeTypeOf, ThirteenCharactersFitAndMoreAreRefusedWithinTheBuffer)
{
    wchar_t guarded[kImageMimeTypeCapacity + 4];
    wmemset(guarded, L'#', kImageMimeTypeCapacity + 4);
    ASSERT_EQ(1, ImageMimeTypeOf(L"a.abcdefghijklm", guarded, kImageMimeTypeCapacity));
    EXPECT_STREQ(L"image/abcdefghijklm", guarded);

    wmemset(guarded, L'#', kImageMimeTypeCapacity + 4);
    EXPECT_EQ(0, ImageMimeTypeOf(L"a.abcdefghijklmn", guarded, kImageMimeTypeCapacity));
    EXPECT_STREQ(L"", guarded);
    EXPECT_EQ(std::wstring(4, L'#'), std::wstring(guarded + kImageMimeTypeCapacity, 4));

    wmemset(guarded, L'#', kImageMimeTypeCapacity + 4);
    EXPECT_EQ(0, ImageMimeTypeOf(L"C:\\shots\\shot", guarded, kImageMimeTypeCapacity));
    EXPECT_EQ(0, ImageMimeTypeOf(nullptr, guarded, kImageMimeTypeCapacity));
    EXPECT_EQ(std::wstring(kImageMimeTypeCapacity + 4, L'#'), std::wstring(guarded, kImageMimeTypeCapacity + 4));
}

class FindEncoderTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gdiplus_);
        UINT size = 0;
        ASSERT_EQ(Gdiplus::Ok, GdipGetImageEncodersSize(&count_, &size));
        block_.resize(size);
        ASSERT_EQ(Gdiplus::Ok,
                  GdipGetImageEncoders(count_, size, reinterpret_cast<Gdiplus::ImageCodecInfo*>(block_.data())));
    }
    const Gdiplus::ImageCodecInfo& Codec(UINT i) const
    {
        return reinterpret_cast<const Gdiplus::ImageCodecInfo*>(block_.data())[i];
    }

    GdiplusSession gdiplus_;
    UINT count_ = 0;
    std::vector<BYTE> block_;
};

TEST_F(FindEncoderTest, FindsEveryInstalledEncoderAtItsFirstIndex)
{
    ASSERT_GT(count_, 0u);
    for (UINT i = 0; i < count_; ++i) {
        UINT first = 0;
        while (wcscmp(Codec(first).MimeType, Codec(i).MimeType) != 0)
            ++first;
        CLSID clsid{};
        EXPECT_EQ(static_cast<int>(first), FindEncoderByMimeType(Codec(i).MimeType, &clsid)) << Codec(i).MimeType;
        EXPECT_TRUE(IsEqualCLSID(Codec(first).Clsid, clsid)) << Codec(i).MimeType;
    }
}

TEST_F(FindEncoderTest, LeavesTheClsidAloneWhenNoTypeMatchesExactly)
{
    const CLSID sentinel = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
    for (const wchar_t* type : {L"image/PNG", L"image/jpg", L"image/png ", L"image", L""}) {
        CLSID clsid = sentinel;
        EXPECT_EQ(-1, FindEncoderByMimeType(type, &clsid)) << type;
        EXPECT_TRUE(IsEqualCLSID(sentinel, clsid)) << type;
    }
    EXPECT_EQ(-1, FindEncoderByMimeType(nullptr, nullptr));
}

class CaptureTest : public testing::Test {
protected:
    TempDir dir_;
    ClipboardOwner owner_;
    PatternSource pattern_;
};

TEST_F(CaptureTest, ClipboardGetsTheRectangleOfTheSource)
{
    ASSERT_TRUE(PutTextOnClipboard(owner_.get(), L"before"));
    const RECT rect{5, 4, 25, 20};
    ASSERT_EQ(1, CaptureToClipboard(owner_.get(), pattern_.dc(), &rect));
    ExpectPatternAt(ClipboardPicture(owner_.get()), rect);
    EXPECT_EQ(L"", ClipboardText(owner_.get())) << "the clipboard was emptied first";
}

TEST_F(CaptureTest, NullOwnerGivesOneAndLeavesNoBitmapAstray)
{
    const RECT corner{30, 20, 40, 30};
    ASSERT_EQ(1, CaptureToClipboard(owner_.get(), pattern_.dc(), &corner)); // warm-up
    EmptyTheClipboard(owner_.get());
    const ResourceSnapshot before;
    ASSERT_EQ(1, CaptureToClipboard(nullptr, pattern_.dc(), &corner));
    // Without an owner the system may refuse the data; whatever it took is the picture.
    const Picture picture = ClipboardPicture(owner_.get());
    if (picture.width != 0)
        ExpectPatternAt(picture, corner);
    EmptyTheClipboard(owner_.get());
    ExpectNothingLeaked(before, "captured without an owner");
}

TEST_F(CaptureTest, ClipboardGetsWhatTheScreenShows)
{
    const PaintedWindow window;
    ASSERT_TRUE(window.shown());
    const ScreenDc screen;
    const RECT rect = PaintedWindow::ScreenRect();
    ASSERT_EQ(1, CaptureToClipboard(owner_.get(), screen.get(), &rect));
    PaintedWindow::ExpectQuadrants(ClipboardPicture(owner_.get()));
}

TEST_F(CaptureTest, EmptyRectanglesGiveZeroAndTouchNothing)
{
    ASSERT_TRUE(PutTextOnClipboard(owner_.get(), L"keep"));
    const std::wstring file = dir_ / L"shot.png";
    const RECT empties[] = {{10, 10, 10, 20}, {10, 10, 20, 10}, {20, 10, 10, 20}, {0, 0, 0, 0}};
    const ResourceSnapshot before;
    for (const RECT& rect : empties) {
        EXPECT_EQ(0, CaptureToClipboard(owner_.get(), pattern_.dc(), &rect));
        EXPECT_EQ(0, CaptureToFile(pattern_.dc(), &rect, file.c_str()));
    }
    EXPECT_EQ(0, CaptureToClipboard(owner_.get(), pattern_.dc(), nullptr));
    EXPECT_EQ(0, CaptureToFile(pattern_.dc(), nullptr, file.c_str()));
    ExpectNothingLeaked(before, "empty rectangles");
    EXPECT_EQ(L"keep", ClipboardText(owner_.get()));
    EXPECT_TRUE(FolderEntries(dir_.path()).empty());
}

TEST_F(CaptureTest, BusyClipboardStillGivesOneAndKeepsItsContents)
{
    ASSERT_TRUE(PutTextOnClipboard(owner_.get(), L"keep"));
    const RECT rect{0, 0, 16, 16};
    ASSERT_EQ(1, CaptureToClipboard(owner_.get(), pattern_.dc(), &rect)); // warm-up
    ASSERT_TRUE(PutTextOnClipboard(owner_.get(), L"keep"));

    const ResourceSnapshot before;
    int result = -1;
    {
        const ClipboardHolder holder;
        ASSERT_TRUE(holder.holding()) << "the other thread could not open the clipboard";
        result = CaptureToClipboard(owner_.get(), pattern_.dc(), &rect);
    }
    const ResourceSnapshot after;

    EXPECT_EQ(1, result);
    EXPECT_EQ(before.gdi, after.gdi) << "the bitmap the clipboard did not take";
    EXPECT_EQ(L"keep", ClipboardText(owner_.get()));
    EXPECT_EQ(0, ClipboardPicture(owner_.get()).width);
}

TEST_F(CaptureTest, BitmapOnTheClipboardIsFreedWithIt)
{
    const RECT rect{0, 0, 32, 24};
    ASSERT_EQ(1, CaptureToClipboard(owner_.get(), pattern_.dc(), &rect));
    EmptyTheClipboard(owner_.get());
    const ResourceSnapshot before;
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(1, CaptureToClipboard(owner_.get(), pattern_.dc(), &rect));
    EmptyTheClipboard(owner_.get());
    ExpectNothingLeaked(before, "captured to the clipboard and emptied");
}

TEST_F(CaptureTest, PngFileHoldsTheRectangleOfTheSource)
{
    const std::wstring file = dir_ / L"shot.png";
    const RECT rect{7, 3, 39, 29};
    ASSERT_EQ(1, CaptureToFile(pattern_.dc(), &rect, file.c_str()));
    EXPECT_EQ("\x89PNG", FileStart(file, 4));
    ExpectPatternAt(PictureOfFile(file), rect);
}

TEST_F(CaptureTest, PngFileHoldsWhatTheScreenShows)
{
    const PaintedWindow window;
    ASSERT_TRUE(window.shown());
    const ScreenDc screen;
    const std::wstring file = dir_ / L"screen.png";
    const RECT rect = PaintedWindow::ScreenRect();
    ASSERT_EQ(1, CaptureToFile(screen.get(), &rect, file.c_str()));
    PaintedWindow::ExpectQuadrants(PictureOfFile(file));
}

TEST_F(CaptureTest, ExtensionChoosesTheEncoder)
{
    const RECT rect{0, 0, 20, 10};
    const std::wstring bmp = dir_ / L"shot.bmp";
    ASSERT_EQ(1, CaptureToFile(pattern_.dc(), &rect, bmp.c_str()));
    EXPECT_EQ("BM", FileStart(bmp, 2));
    ExpectPatternAt(PictureOfFile(bmp), rect);

    const std::wstring jpeg = dir_ / L"shot.jpeg";
    ASSERT_EQ(1, CaptureToFile(pattern_.dc(), &rect, jpeg.c_str()));
    EXPECT_EQ("\xFF\xD8", FileStart(jpeg, 2));
}

TEST_F(CaptureTest, NamesWithoutAnEncoderGiveZeroAndWriteNothing)
{
    const RECT rect{0, 0, 20, 10};
    ASSERT_TRUE(MakeDirs(dir_ / L"my.dir"));
    for (const wchar_t* name : {L"shot.PNG", L"photo.jpg", L"my.dir\\shot", L"shot", L"shot.", L"shot.abcdefghijklm",
                                L"shot.abcdefghijklmnopqrstuvwxyz"}) {
        EXPECT_EQ(0, CaptureToFile(pattern_.dc(), &rect, (dir_ / name).c_str())) << name;
    }
    EXPECT_EQ(0, CaptureToFile(pattern_.dc(), &rect, nullptr));
    EXPECT_EQ(std::vector<std::wstring>{L"my.dir"}, FolderEntries(dir_.path()));
    EXPECT_TRUE(FolderEntries(dir_ / L"my.dir").empty());
}

TEST_F(CaptureTest, UnwritablePathGivesZero)
{
    const RECT rect{0, 0, 20, 10};
    EXPECT_EQ(0, CaptureToFile(pattern_.dc(), &rect, (dir_ / L"missing\\shot.png").c_str()));
    EXPECT_FALSE(PathExists(dir_ / L"missing"));
}

TEST_F(CaptureTest, SavingLeavesNothingBehind)
{
    const RECT rect{0, 0, 20, 10};
    const std::wstring file = dir_ / L"shot.png";
    ASSERT_EQ(1, CaptureToFile(pattern_.dc(), &rect, file.c_str())); // warm-up
    const ResourceSnapshot before;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(1, CaptureToFile(pattern_.dc(), &rect, file.c_str()));
        EXPECT_EQ(0, CaptureToFile(pattern_.dc(), &rect, (dir_ / L"shot.PNG").c_str()));
        EXPECT_EQ(0, CaptureToFile(pattern_.dc(), &rect, (dir_ / L"missing\\shot.png").c_str()));
    }
    ExpectNothingLeaked(before, "saved, found no encoder, could not write");
}

TEST_F(CaptureTest, ConcurrentSavesEachRunTheirOwnGdiplus)
{
    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    std::atomic<int> saved{0};
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            const PatternSource source;
            const RECT rect{i, i, 20 + i, 12 + i};
            for (int round = 0; round < 3; ++round) {
                const std::wstring file =
                    dir_ / (L"shot" + std::to_wstring(i) + L"-" + std::to_wstring(round) + L".png");
                saved += CaptureToFile(source.dc(), &rect, file.c_str());
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(kThreads * 3, saved.load());
    for (int i = 0; i < kThreads; ++i) {
        const RECT rect{i, i, 20 + i, 12 + i};
        ExpectPatternAt(PictureOfFile(dir_ / (L"shot" + std::to_wstring(i) + L"-2.png")), rect);
    }
}

} // namespace
