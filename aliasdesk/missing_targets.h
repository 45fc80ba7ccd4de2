// Rows whose program is gone. A worker looks at each row's path off the
// dialog thread and the rows it finds missing are marked by their identity,
// so a mark stays with its row through sorts, removals and the filter list.
// A result is taken only while the row still holds the path that was
// looked at; an edited path is looked at again.
#pragma once

#include "main_table.h"

#include <windows.h>

#include <string>

enum class TargetState { Present, Missing, Unchecked };

// The type of each drive, asked once: the system may take a millisecond for each question.
class DriveTypes {
public:
    UINT Of(wchar_t letter);

private:
    UINT known_[26] = {}; // the type + 1; 0 for not asked yet
};

// The drive letter of X:\... or \\?\X:\..., 0 for anything else (shares,
// devices, relative paths).
wchar_t DriveOf(const std::wstring& path);

// For a thread that touches paths: without it a removable drive with no
// disk in it asks the user to insert one.
void QuietCriticalErrors();

// Paths on shares and on drives other than fixed and removable ones are
// never touched (an offline share could stall for minutes): Unchecked.
// Only a path that is certainly not there answers Missing.
TargetState LookAtTarget(const std::wstring& path, DriveTypes& drives);

// Starts a worker that looks at every main row; a newer one supersedes it.
// Dialog thread.
void CheckAllTargets();

// The row's path was changed: its mark goes at once and a worker looks at
// the new path. Dialog thread.
void CheckTargetAgain(RowId id);

// Whether the row carrying the identity is marked. Dialog thread.
bool IsTargetMissing(RowId id);

// Workers that look at paths and have not ended yet.
int RunningTargetChecks();
