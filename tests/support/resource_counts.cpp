#include "resource_counts.h"

#include <psapi.h>
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

// One entry of the process's GDI handle table, which the process environment
// block points to; a live object has a non-zero type. Wine lays it out the
// same for 32-bit processes, and keeps it below 4 GiB.
struct GdiTableEntry {
    ULONG64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONG64 user;
};

bool ReadFrom(HANDLE process, const void* address, void* bytes, size_t size)
{
    SIZE_T done = 0;
    return ReadProcessMemory(process, address, bytes, size, &done) && done == size;
}

constexpr UCHAR kAnyType = 0;
constexpr UCHAR kDcType = 1;

// Live entries, of one type or all; read through ReadProcessMemory, so that
// it works for another process too.
// Where the table's address lies, from the process environment block: its
// 64-bit field GdiSharedHandleTable. Wine fills only the 64-bit block in, also
// for a 32-bit process, whose own block follows it one page higher.
constexpr ptrdiff_t kGdiTableInPeb = sizeof(void*) == 8 ? 0xF8 : 0xF8 - 0x1000;

long CountGdiTableEntries(HANDLE process, UCHAR type = kAnyType)
{
    using QueryProcess = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return -1;
    const GdiTableEntry* remote_table = nullptr;
    if (!ReadFrom(process, reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + kGdiTableInPeb, &remote_table,
                  sizeof(remote_table)) ||
        !remote_table)
        return -1;
    std::vector<GdiTableEntry> table(0x10000);
    if (!ReadFrom(process, remote_table, table.data(), table.size() * sizeof(GdiTableEntry)))
        return -1;
    long count = 0;
    for (const GdiTableEntry& entry : table)
        count += entry.type != 0 && (type == kAnyType || entry.type == type);
    return count;
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

long CountSystemHandles(DWORD pid)
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
    const auto owner = static_cast<USHORT>(pid);
    long count = 0;
    for (ULONG i = 0; i < total; ++i)
        count += entries[i].process_id == owner;
    return count;
}

struct WindowCount {
    DWORD pid;
    long count;
};

BOOL CALLBACK CountChildWindow(HWND, LPARAM param)
{
    ++reinterpret_cast<WindowCount*>(param)->count;
    return TRUE;
}

BOOL CALLBACK CountTopWindow(HWND window, LPARAM param)
{
    auto* windows = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == windows->pid) {
        ++windows->count;
        EnumChildWindows(window, CountChildWindow, param);
    }
    return TRUE;
}

long CountWindows(DWORD pid)
{
    WindowCount windows{pid, 0};
    EnumWindows(CountTopWindow, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

// What Wine leaves out of PrivateUsage for another process: the committed
// private regions of its address space, added up.
long long CommittedPrivateBytes(HANDLE process)
{
    long long total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const BYTE* address = nullptr; VirtualQueryEx(process, address, &region, sizeof(region)) == sizeof(region);
         address = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += static_cast<long long>(region.RegionSize);
    }
    return total > 0 ? total : -1;
}

} // namespace

long GdiObjectCount()
{
    return GdiObjectCountOf(GetCurrentProcess());
}

long HandleCount()
{
    return HandleCountOf(GetCurrentProcess());
}

long GdiObjectCountOf(HANDLE process)
{
    const DWORD reported = GetGuiResources(process, GR_GDIOBJECTS);
    return reported > 0 ? static_cast<long>(reported) : CountGdiTableEntries(process);
}

long DcCountOf(HANDLE process)
{
    if (GetGuiResources(process, GR_GDIOBJECTS) > 0)
        return -1;
    return CountGdiTableEntries(process, kDcType);
}

long HandleCountOf(HANDLE process)
{
    DWORD reported = 0;
    if (GetProcessHandleCount(process, &reported) && reported > 0)
        return static_cast<long>(reported);
    return CountSystemHandles(GetProcessId(process));
}

long UserObjectCountOf(HANDLE process)
{
    const DWORD reported = GetGuiResources(process, GR_USEROBJECTS);
    return reported > 0 ? static_cast<long>(reported) : CountWindows(GetProcessId(process));
}

long long PrivateBytesOf(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters)) &&
        counters.PrivateUsage > 0)
        return static_cast<long long>(counters.PrivateUsage);
    return CommittedPrivateBytes(process);
}

void ExpectNothingLeaked(const ResourceSnapshot& before, const char* where)
{
    const ResourceSnapshot after;
    ASSERT_GT(before.gdi, 0) << "the GDI object count is not available";
    ASSERT_GT(before.handles, 0) << "the handle count is not available";
    EXPECT_EQ(before.gdi, after.gdi) << where;
    EXPECT_EQ(before.handles, after.handles) << where;
}
