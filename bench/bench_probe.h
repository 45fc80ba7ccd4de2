// Measures how long the dialog's thread keeps a user waiting: from another
// thread it sends the dialog a harmless message every few milliseconds and
// keeps the longest time an answer took.
#pragma once

#include "handles.h"

#include <windows.h>

#include <atomic>

class ResponsivenessProbe {
public:
    explicit ResponsivenessProbe(HWND dlg);
    ~ResponsivenessProbe();
    ResponsivenessProbe(const ResponsivenessProbe&) = delete;
    ResponsivenessProbe& operator=(const ResponsivenessProbe&) = delete;

    // Ends the probing, dispatching while the probe thread may be waiting
    // for the dialog; answers the longest wait in milliseconds.
    double Stop();

private:
    static unsigned __stdcall Run(void* self);

    HWND dlg_;
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_ms_{0};
    UniqueHandle thread_;
};
