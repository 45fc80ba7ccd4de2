// How many GDI objects and kernel handles this process holds, for tests that
// check an operation leaves nothing behind. Wine reports neither through
// GetGuiResources nor GetProcessHandleCount (both give 0); there the counts
// come from the process's GDI handle table and the system's handle list.
#pragma once

// -1 when the platform tells neither way.
long GdiObjectCount();
long HandleCount();

// Both counts at one moment; take the first after a warm-up call, so that what
// the system sets up on first use is not taken for a leak.
struct ResourceSnapshot {
    long gdi = GdiObjectCount();
    long handles = HandleCount();
};

// Fails the running test when the counts now differ from before.
void ExpectNothingLeaked(const ResourceSnapshot& before, const char* where);
