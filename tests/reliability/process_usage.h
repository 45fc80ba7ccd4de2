// What a long-running program holds, measured from outside between cycles
// of a soak run, and the bounds within which it must stay.
#pragma once

#include <windows.h>

#include <string>

struct ProcessUsage {
    long handles = -1;
    long gdi = -1; // without the cached DCs below and what each holds
    long dcs = -1; // Wine only: DCs, most of them window DCs it caches
    long user = -1; // windows only under Wine (see resource_counts.h)
    long long private_bytes = -1;
};

ProcessUsage MeasureProcess(HANDLE process);

// Growth allowed from the first cycle to the last: small enough that one
// object lost per cycle over a long run goes past it.
struct UsageBounds {
    long handles = 16;
    long gdi = 8;
    long dcs = 32; // Wine's cache keeps the most ever in use at once: +19 in 200 prefdesk cycles
    long user = 4;
    long long private_bytes = 4ll << 20;
};

// Measures from the end of a warm-up to the last cycle. Records both measures as test properties and fails the running
// test for every count that grew past its bound (or that the platform did not give).
void ExpectWithinBounds(const char* program, int measured_cycles, const ProcessUsage& first, const ProcessUsage& last,
                        const UsageBounds& bounds = {});
