// Walks a folder and every folder below it, reporting the entries whose
// names match a file pattern.
#pragma once

#include <functional>
#include <string>
#include <vector>

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

// How a search by name ended.
struct NameSearchResult {
    int folders = 0; // folders looked into, whether or not they could be listed
    bool limited = false; // folders were left unlisted for the limit
    bool stopped = false; // stop() answered true
};

// Looks for files named `name`, compared as the file system compares names
// (ordinal, without regard to letter case), in the folders below each of the
// tops, breadth first: the folders nearest to any top come before deeper
// ones. A folder that several tops lead to is listed once; links back up
// the tree, '$' and '{' folders and paths over MAX_PATH characters are
// passed over as SearchFiles passes them over. At most max_folders folders
// are listed in all. stop() is asked before every folder and every entry.
// Tops come without a trailing backslash.
NameSearchResult SearchFileName(const std::vector<std::wstring>& tops, const wchar_t* name, int max_folders,
                                const std::function<void(const std::wstring& path)>& found,
                                const std::function<bool()>& stop);

// The last part of a path ('\' or '/' before it); the whole path when it has none.
std::wstring FileNameOf(const std::wstring& path);
