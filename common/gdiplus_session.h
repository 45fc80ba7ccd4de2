// GDI+ for the library and its callers: the platform header, a session that
// starts GDI+ and shuts it down again, and an owner for GDI+ images.
#pragma once

#include <windows.h>

// The platform's header names min and max unqualified, which NOMINMAX hides.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
// The SDK's GDI+ headers hide class members with parameters (C4458 under /W4).
#ifdef _MSC_VER
#pragma warning(push)
#pragma warning(disable : 4458)
#endif
#include <gdiplus.h>
#ifdef _MSC_VER
#pragma warning(pop)
#endif

#include <memory>

// GDI+ is usable while a session lives; sessions nest and may overlap on
// several threads, as the platform counts start-ups.
class GdiplusSession {
public:
    GdiplusSession()
    {
        const Gdiplus::GdiplusStartupInput gdiplusStartupInput;
        started_ = Gdiplus::GdiplusStartup(&p_gdiToken, &gdiplusStartupInput, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession()
    {
        // A failed start hands back no token to shut down with.
        if (started_)
            Gdiplus::GdiplusShutdown(p_gdiToken);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    explicit operator bool() const { return started_; }

private:
    ULONG_PTR p_gdiToken = 0;
    bool started_ = false;
};

struct GdiplusImageDeleter {
    void operator()(Gdiplus::GpImage* image) const { Gdiplus::DllExports::GdipDisposeImage(image); }
};
using UniqueGdiplusBitmap = std::unique_ptr<Gdiplus::GpBitmap, GdiplusImageDeleter>;
