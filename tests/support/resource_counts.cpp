#include "resource_counts.h"

#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

// One entry of the process's GDI handle table, which the process environment
// block points to; a live object has a non-zero type.
struct GdiTableEntry {
    ULONG64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONG64 user;
};

long CountGdiTableEntries()
{
#if defined(_WIN64)
    using QueryProcess = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return -1;
    const auto* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const GdiTableEntry* const*>(peb + 0xF8);
    if (!table)
        return -1;
    long count = 0;
    for (int i = 0; i < 0x10000; ++i)
        count += table[i].type != 0;
    return count;
#else
    return -1;
#endif
}

struct SystemHandleEntry {
    USHORT process_id;
    USHORT back_trace;
    UCHAR type;
    UCHAR flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

long CountSystemHandles()
{
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    std::vector<BYTE> buffer(1 << 16);
    ULONG needed = 0;
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    const ULONG total = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    const auto self = static_cast<USHORT>(GetCurrentProcessId());
    long count = 0;
    for (ULONG i = 0; i < total; ++i)
        count += entries[i].process_id == self;
    return count;
}

} // namespace

long GdiObjectCount()
{
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    return reported > 0 ? static_cast<long>(reported) : CountGdiTableEntries();
}

long HandleCount()
{
    DWORD reported = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported > 0)
        return static_cast<long>(reported);
    return CountSystemHandles();
}

void ExpectNothingLeaked(const ResourceSnapshot& before, const char* where)
{
    const ResourceSnapshot after;
    ASSERT_GT(before.gdi, 0) << "the GDI object count is not available";
    ASSERT_GT(before.handles, 0) << "the handle count is not available";
    EXPECT_EQ(before.gdi, after.gdi) << where;
    EXPECT_EQ(before.handles, after.handles) << where;
}
