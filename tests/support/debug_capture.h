// Captures what this process sends to the debugger output.
//
// OutputDebugString raises a first-chance exception that a debugger would
// see (DBG_PRINTEXCEPTION_WIDE_C on current Windows, DBG_PRINTEXCEPTION_C
// under Wine); a vectored handler sees it first, records the text and lets
// the program go on as if no debugger were attached.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    std::vector<std::wstring> Lines() const;
    void Clear();

private:
    static long __stdcall Handler(struct _EXCEPTION_POINTERS* info);
    void Add(std::wstring text);

    void* handle_;
    mutable std::mutex lock_;
    std::vector<std::wstring> lines_;
};
