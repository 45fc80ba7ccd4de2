#include "debug_capture.h"

#include <windows.h>

#include <atomic>

namespace {

constexpr DWORD kDebugPrintWide = 0x4001000A;
constexpr DWORD kDebugPrintNarrow = 0x40010006;

std::atomic<DebugCapture*> active;

} // namespace

DebugCapture::DebugCapture()
{
    active = this;
    handle_ = AddVectoredExceptionHandler(1, &DebugCapture::Handler);
}

DebugCapture::~DebugCapture()
{
    RemoveVectoredExceptionHandler(handle_);
    active = nullptr;
}

long __stdcall DebugCapture::Handler(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    DebugCapture* capture = active.load();
    if (!capture || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;

    if (record->ExceptionCode == kDebugPrintWide) {
        const auto* text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
        capture->Add(std::wstring(text, record->ExceptionInformation[0] ? record->ExceptionInformation[0] - 1 : 0));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (record->ExceptionCode == kDebugPrintNarrow) {
        const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        const int length = static_cast<int>(record->ExceptionInformation[0] ? record->ExceptionInformation[0] - 1 : 0);
        std::wstring wide(static_cast<size_t>(length), L'\0');
        if (length > 0)
            MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), length);
        capture->Add(wide.c_str());
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void DebugCapture::Add(std::wstring text)
{
    std::lock_guard<std::mutex> guard(lock_);
    lines_.push_back(std::move(text));
}

std::vector<std::wstring> DebugCapture::Lines() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return lines_;
}

void DebugCapture::Clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    lines_.clear();
}
