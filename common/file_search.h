// Walks a folder and every folder below it, reporting the entries whose
// names match a file pattern.
#pragma once

// Called once per match with the folder being searched and the entry's name.
// Both texts belong to the walk; the callback may change their letter case.
// The result is not looked at.
using FoundFileCallback = int (*)(wchar_t* directory, wchar_t* file_name);

// Asked before every entry; a nonzero answer ends the whole walk early.
using SearchStopQuery = bool (*)();

// directory comes without a trailing backslash; pattern is a file-name
// pattern such as "*.exe". Within a folder the matches come first, then each
// subfolder with everything below it (depth first). Folders whose names begin
// with '$' or '{' are not entered, nor is a folder that is one of its own
// ancestors (a link back up the tree), nor a path that does not fit in
// MAX_PATH characters.
void SearchFiles(wchar_t* directory, const wchar_t* pattern, FoundFileCallback callback,
                 SearchStopQuery stop = nullptr);
