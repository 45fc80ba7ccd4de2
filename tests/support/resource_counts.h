// How many GDI objects and kernel handles this process holds, for tests that
// check an operation leaves nothing behind. Wine reports neither through
// GetGuiResources nor GetProcessHandleCount (both give 0); there the counts
// come from the process's GDI handle table and the system's handle list.
#pragma once

#include <windows.h>

// -1 when the platform tells neither way.
long GdiObjectCount();
long HandleCount();

// The same for another process (a handle with query and read rights).
long GdiObjectCountOf(HANDLE process);
long HandleCountOf(HANDLE process);
// Device contexts among the GDI objects, where they are the process's own:
// Wine keeps the cached DCs of windows there, each with a region and a
// bitmap of its own, and keeps as many as were ever in use at once. -1 where
// the system counts (Windows: cached DCs are the system's, not in the count).
long DcCountOf(HANDLE process);
// USER objects; Wine tells none (GetGuiResources gives 0) and keeps them
// where no other process can count them, so there the count is that of the
// process's windows, top-level and children: the USER objects that a dialog
// makes and loses. Icons, cursors and menus are not in it.
long UserObjectCountOf(HANDLE process);
// Private memory (PrivateUsage); -1 when the system does not tell.
long long PrivateBytesOf(HANDLE process);

// Both counts at one moment; take the first after a warm-up call, so that what
// the system sets up on first use is not taken for a leak.
struct ResourceSnapshot {
    long gdi = GdiObjectCount();
    long handles = HandleCount();
};

// Fails the running test when the counts now differ from before.
void ExpectNothingLeaked(const ResourceSnapshot& before, const char* where);
