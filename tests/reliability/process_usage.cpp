#include "process_usage.h"

#include "resource_counts.h"

#include <gtest/gtest.h>

#include <cstdio>

ProcessUsage MeasureProcess(HANDLE process)
{
    ProcessUsage usage{HandleCountOf(process), GdiObjectCountOf(process), DcCountOf(process),
                       UserObjectCountOf(process), PrivateBytesOf(process)};
    // Wine's cached DC brings its region and bitmap (all three grow together).
    if (usage.dcs > 0 && usage.gdi > 0)
        usage.gdi -= 3 * usage.dcs;
    return usage;
}

void ExpectWithinBounds(const char* program, int measured_cycles, const ProcessUsage& first, const ProcessUsage& last,
                        const UsageBounds& bounds)
{
    printf("%s, over %d cycles: handles %ld -> %ld, GDI %ld -> %ld, DCs %ld -> %ld, USER %ld -> %ld, private %lld -> "
           "%lld KiB\n",
           program, measured_cycles, first.handles, last.handles, first.gdi, last.gdi, first.dcs, last.dcs, first.user,
           last.user, first.private_bytes / 1024, last.private_bytes / 1024);
    ::testing::Test::RecordProperty("measured_cycles", measured_cycles);
    ::testing::Test::RecordProperty("handles_first", static_cast<int>(first.handles));
    ::testing::Test::RecordProperty("handles_last", static_cast<int>(last.handles));
    ::testing::Test::RecordProperty("gdi_first", static_cast<int>(first.gdi));
    ::testing::Test::RecordProperty("gdi_last", static_cast<int>(last.gdi));
    ::testing::Test::RecordProperty("dcs_first", static_cast<int>(first.dcs));
    ::testing::Test::RecordProperty("dcs_last", static_cast<int>(last.dcs));
    ::testing::Test::RecordProperty("user_first", static_cast<int>(first.user));
    ::testing::Test::RecordProperty("user_last", static_cast<int>(last.user));
    ::testing::Test::RecordProperty("private_kib_first", static_cast<int>(first.private_bytes / 1024));
    ::testing::Test::RecordProperty("private_kib_last", static_cast<int>(last.private_bytes / 1024));

    EXPECT_GT(first.handles, 0) << "no handle count";
    EXPECT_GT(first.gdi, 0) << "no GDI object count";
    EXPECT_GT(first.user, 0) << "no USER object count";
    EXPECT_GT(first.private_bytes, 0) << "no private memory figure";
    EXPECT_LE(last.handles - first.handles, bounds.handles) << program << ": handles";
    EXPECT_LE(last.gdi - first.gdi, bounds.gdi) << program << ": GDI objects";
    EXPECT_LE(last.dcs - first.dcs, bounds.dcs) << program << ": DCs";
    EXPECT_LE(last.user - first.user, bounds.user) << program << ": USER objects";
    EXPECT_LE(last.private_bytes - first.private_bytes, bounds.private_bytes) << program << ": private memory";
}
