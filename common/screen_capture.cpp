#include "screen_capture.h"

#include "gdiplus_session.h"
#include "handles.h"
#include "wide_text.h"

#include <climits>
#include <cstdlib>
#include <cwchar>

namespace {

using namespace Gdiplus::DllExports;

// A copy of rect of source in a bitmap compatible with source, selected
// nowhere (neither GDI+ nor the clipboard's readers may meet it selected);
// empty when the rectangle is empty or too large, or a step failed.
UniqueGdiObject CaptureBitmap(HDC source, const RECT* rect)
{
    if (!rect || IsRectEmpty(rect))
        return UniqueGdiObject();
    const long long width = static_cast<long long>(rect->right) - rect->left;
    const long long height = static_cast<long long>(rect->bottom) - rect->top;
    if (width > INT_MAX || height > INT_MAX)
        return UniqueGdiObject();

    const UniqueDc memory(CreateCompatibleDC(source));
    if (!memory)
        return UniqueGdiObject();
    UniqueGdiObject bitmap(CreateCompatibleBitmap(source, static_cast<int>(width), static_cast<int>(height)));
    if (!bitmap)
        return bitmap;
    const HGDIOBJ kept = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, static_cast<int>(width), static_cast<int>(height), source, rect->left, rect->top,
           SRCCOPY);
    SelectObject(memory.get(), kept);
    return bitmap;
}

} // namespace

int FindEncoderByMimeType(const wchar_t* mime_type, CLSID* clsid)
{
    if (!mime_type || !clsid)
        return -1;
    UINT count = 0;
    UINT size = 0;
    if (GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0 ||
        size < count * sizeof(Gdiplus::ImageCodecInfo))
        return -1;
    const MallocPtr<Gdiplus::ImageCodecInfo> codecs(static_cast<Gdiplus::ImageCodecInfo*>(malloc(size)));
    if (!codecs)
        return -1;
    // An unfilled list would hand out pointers that lead nowhere.
    if (GdipGetImageEncoders(count, size, codecs.get()) != Gdiplus::Ok)
        return -1;
    for (UINT j = 0; j < count; ++j) {
        const Gdiplus::ImageCodecInfo& codec = codecs.get()[j];
        if (codec.MimeType && wcscmp(codec.MimeType, mime_type) == 0) {
            *clsid = codec.Clsid;
            return static_cast<int>(j);
        }
    }
    return -1;
}

int ImageMimeTypeOf(const wchar_t* file_name, wchar_t* mime_type, size_t capacity)
{
    const wchar_t* dot = file_name ? wcsrchr(file_name, L'.') : nullptr;
    if (!dot || !mime_type || capacity == 0)
        return 0;
    // A cut extension could name another type; refuse it instead.
    if (FormatText(mime_type, capacity, L"image/%s", dot + 1) < 0) {
        mime_type[0] = L'\0';
        return 0;
    }
    return 1;
}

int CaptureToClipboard(HWND owner, HDC source, const RECT* rect)
{
    UniqueGdiObject bitmap = CaptureBitmap(source, rect);
    if (!bitmap)
        return 0;
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        // Once the clipboard has it, the bitmap is the clipboard's to delete.
        if (SetClipboardData(CF_BITMAP, bitmap.get()))
            bitmap.release();
        CloseClipboard();
    }
    return 1;
}

int CaptureToFile(HDC source, const RECT* rect, const wchar_t* file_name)
{
    wchar_t szFormat[kImageMimeTypeCapacity] = {};
    if (!ImageMimeTypeOf(file_name, szFormat, kImageMimeTypeCapacity))
        return 0;
    const UniqueGdiObject bitmap = CaptureBitmap(source, rect);
    if (!bitmap)
        return 0;

    // Declared in this order so that the image goes before GDI+ shuts down.
    const GdiplusSession gdiplus;
    if (!gdiplus)
        return 0;
    Gdiplus::GpBitmap* created = nullptr;
    if (GdipCreateBitmapFromHBITMAP(static_cast<HBITMAP>(bitmap.get()), nullptr, &created) != Gdiplus::Ok)
        return 0;
    const UniqueGdiplusBitmap image(created);

    CLSID formatClsid{};
    if (FindEncoderByMimeType(szFormat, &formatClsid) < 0)
        return 0;
    return GdipSaveImageToFile(image.get(), file_name, &formatClsid, nullptr) == Gdiplus::Ok ? 1 : 0;
}
