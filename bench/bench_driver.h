// The measuring process: creates the real main dialog from the real resource
// on its own thread and drives it with the messages a user's clicks and keys
// send, timing each run until the dialog shows it finished.
#pragma once

#include "bench_report.h"

#include <string>
#include <vector>

struct MeasureJob {
    int rows = 0; // the rows the scan must list
    int filter_matches = 0; // rows the filter pattern must list
    std::wstring tree; // the folder to scan
    std::wstring store; // the program's folder: config.ini and history.dat
    std::wstring limit; // where the bare writes go
    std::wstring report; // the lines for the calling process
    std::vector<MeasureId> skip;
    double guard_seconds = 600;
    int key_gap_ms = 100;
};

// The measuring process's exit code when the dialog could not be created.
constexpr int kDialogNotOpened = 2;

// Runs every measure not skipped, appending each begin and result to the
// report; the exit code of the measuring process.
int MeasureOneSize(const MeasureJob& job);
