// Move-only owners for the system's handles and the runtime's heap blocks.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

// Owns one handle-like value; Traits names the empty value and the release.
template <typename Traits> class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) : value_(value) { }
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) { }
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value get() const { return value_; }
    explicit operator bool() const { return Traits::IsValid(value_); }

    Value release() { return std::exchange(value_, Traits::Empty()); }
    void reset(Value value = Traits::Empty())
    {
        if (Traits::IsValid(value_))
            Traits::Close(value_);
        value_ = value;
    }

private:
    Value value_ = Traits::Empty();
};

struct KernelHandleTraits {
    using Value = HANDLE;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void Close(Value v) { CloseHandle(v); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct FindHandleTraits {
    using Value = HANDLE;
    static Value Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != INVALID_HANDLE_VALUE; }
    static void Close(Value v) { FindClose(v); }
};
using FindHandle = UniqueResource<FindHandleTraits>;

struct GdiObjectTraits {
    using Value = HGDIOBJ;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { DeleteObject(v); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

// Device contexts made with CreateCompatibleDC or CreateDC (not GetDC's).
struct DcTraits {
    using Value = HDC;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { DeleteDC(v); }
};
using UniqueDc = UniqueResource<DcTraits>;

struct ModuleTraits {
    using Value = HMODULE;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { FreeLibrary(v); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

struct GlobalMemoryTraits {
    using Value = HGLOBAL;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { GlobalFree(v); }
};
// Released with release() once the clipboard has taken it.
using UniqueGlobalMemory = UniqueResource<GlobalMemoryTraits>;

// A window's device context from GetDC (null window: the screen's), given
// back to the same window.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) { }
    ~WindowDc()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

struct IconTraits {
    using Value = HICON;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { DestroyIcon(v); }
};
using UniqueIcon = UniqueResource<IconTraits>;

// A critical section lives on the heap, so that its owner can move while the
// section itself stays where the system expects it.
struct CriticalSectionTraits {
    using Value = CRITICAL_SECTION*;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v)
    {
        DeleteCriticalSection(v);
        delete v;
    }
};
using UniqueCriticalSection = UniqueResource<CriticalSectionTraits>;

// Empty when the memory for it could not be had.
inline UniqueCriticalSection MakeCriticalSection()
{
    auto* section = new (std::nothrow) CRITICAL_SECTION;
    if (section)
        InitializeCriticalSection(section);
    return UniqueCriticalSection(section);
}

// Holds a critical section for the life of the scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
    ~CriticalSectionLock() { LeaveCriticalSection(section_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION* section_;
};

// Blocks from malloc/realloc, as the library hands out text.
struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
template <typename T> using MallocPtr = std::unique_ptr<T, FreeDeleter>;
using MallocText = MallocPtr<wchar_t>;
