#include "probe_run.h"

#include "temp_dir.h"
#include "wait.h"

#include <atomic>
#include <cstring>

ProbeRun::ProbeRun(const std::wstring& folder, bool hold) : report_(folder + L"\\report.txt")
{
    DeleteFileW(report_.c_str());
    SetEnvironmentVariableW(L"VELKOR_PROBE_REPORT", report_.c_str());
    if (hold) {
        static std::atomic<int> counter;
        const std::wstring name =
            L"velkor-probe-hold-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
        event_.reset(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
        SetEnvironmentVariableW(L"VELKOR_PROBE_HOLD", name.c_str());
    }
}

ProbeRun::~ProbeRun()
{
    Release();
    if (process_)
        WaitForSingleObject(process_.get(), kHangGuardMs);
    SetEnvironmentVariableW(L"VELKOR_PROBE_REPORT", nullptr);
    SetEnvironmentVariableW(L"VELKOR_PROBE_HOLD", nullptr);
}

bool ProbeRun::Reported() const
{
    return PathExists(report_);
}

bool ProbeRun::Read()
{
    if (!PumpUntil([&] { return Reported(); }))
        return false;
    std::string bytes;
    if (!ReadFileBytes(report_, &bytes))
        return false;
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        const std::wstring line = text.substr(start, end - start);
        const size_t equals = line.find(L'=');
        values_[line.substr(0, equals)] = line.substr(equals + 1);
    }
    const DWORD pid = static_cast<DWORD>(std::stoul(values_[L"pid"]));
    process_.reset(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return true;
}

std::wstring ProbeRun::operator[](const wchar_t* key) const
{
    const auto found = values_.find(key);
    return found == values_.end() ? L"<missing>" : found->second;
}

bool ProbeRun::StillRuns() const
{
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

void ProbeRun::Release()
{
    if (event_)
        SetEvent(event_.get());
}
