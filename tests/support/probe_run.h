// One run of the launch probe (tests/common/launch_probe.cpp): where it
// reports, and (when held) the event that keeps it alive. The probe finds
// both in the environment it inherits.
#pragma once

#include "handles.h"

#include <map>
#include <string>

class ProbeRun {
public:
    explicit ProbeRun(const std::wstring& folder, bool hold = false);
    ~ProbeRun();
    ProbeRun(const ProbeRun&) = delete;
    ProbeRun& operator=(const ProbeRun&) = delete;

    bool Reported() const;

    // Waits for the report and reads it; the probe's process is opened while
    // it may still run, so that the test can ask whether it does.
    bool Read();

    std::wstring operator[](const wchar_t* key) const; // "<missing>" when not reported
    int Number(const wchar_t* key) const { return std::stoi((*this)[key]); }

    bool StillRuns() const;
    void Release();

private:
    std::wstring report_;
    UniqueHandle event_;
    UniqueHandle process_;
    std::map<std::wstring, std::wstring> values_;
};
