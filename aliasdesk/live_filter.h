// The live filter: each character typed into the filter box lists the main
// rows that match the box's text in the filter list, shown over the main list.
#pragma once

#include "handles.h"

#include <windows.h>

#include <atomic>

extern UniqueCriticalSection cs_filter; // one filter worker at a time

// The newest ticket handed to a filter worker, and the filter workers
// started and not yet finished.
int NewestFilterTicket();
int RunningFilterWorkers();

// Puts FilterEditProc in front of the filter box's own procedure.
void InstallFilterEditProc(HWND filter_box);

LRESULT CALLBACK FilterEditProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

// The body of one filter worker; its argument is the filter box's record.
unsigned __stdcall FilterWorker(void* argument);

// What FindNextMatch answers when a worker's search was overtaken or the dialog is closing.
constexpr int kSearchAbandoned = -2;

// The first main row after start_row whose cell in the column matches the
// pattern from its first character, or -1. Given a worker's ticket, the
// search gives up with kSearchAbandoned as soon as that worker must stop.
int FindNextMatch(const wchar_t* pattern, int start_row, int column, int n_thread_id = 0);
