#include "file_search.h"

#include "handles.h"
#include "wide_text.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace {

// What a folder is, whatever path leads to it: links to folders report the
// identity of their target.
struct FolderId {
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;
    bool known = false;
};

// A folder on the way down. Its identity is asked for only when a link is
// met below it: opening every folder to learn it would cost as much as the
// walk itself, and only a link can lead back up the tree.
struct Ancestor {
    Ancestor(const wchar_t* folder, const Ancestor* up) : path(folder), parent(up) { }

    const wchar_t* path;
    const Ancestor* parent;
    mutable FolderId id;
    mutable bool identified = false;

    const FolderId& Id() const;
};

struct Walk {
    const wchar_t* pattern;
    FoundFileCallback callback;
    SearchStopQuery stop;
    const wchar_t* extension; // ".ext" when the pattern is "*.ext", else null
};

FolderId IdentifyFolder(const wchar_t* path)
{
    FolderId id;
    UniqueHandle folder(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (folder && GetFileInformationByHandle(folder.get(), &info)) {
        id.volume = info.dwVolumeSerialNumber;
        id.index_high = info.nFileIndexHigh;
        id.index_low = info.nFileIndexLow;
        id.known = true;
    }
    return id;
}

const FolderId& Ancestor::Id() const
{
    if (!identified) {
        id = IdentifyFolder(path);
        identified = true;
    }
    return id;
}

bool IsAncestor(const FolderId& id, const Ancestor* chain)
{
    if (!id.known)
        return false;
    for (; chain; chain = chain->parent) {
        const FolderId& a = chain->Id();
        if (a.known && a.volume == id.volume && a.index_high == id.index_high && a.index_low == id.index_low)
            return true;
    }
    return false;
}

// Only a link (a reparse point: a junction, a symbolic link, a mount point)
// can lead a folder back to one of its ancestors.
bool LeadsBackUp(const wchar_t* subfolder, const WIN32_FIND_DATAW& entry, const Ancestor* ancestors)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsAncestor(IdentifyFolder(subfolder), ancestors);
}

bool IsEnterable(const WIN32_FIND_DATAW& entry)
{
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const wchar_t* name = entry.cFileName;
    if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
        return false;
    return name[0] != L'$' && name[0] != L'{';
}

bool Stopped(const Walk& walk)
{
    return walk.stop && walk.stop();
}

// Calls visit(entry) for every entry of directory\pattern; false once the
// walk has been asked to stop or visit says so.
template <typename Visit>
bool ForEachEntry(const wchar_t* directory, const wchar_t* pattern, const Walk& walk, Visit visit)
{
    wchar_t query[MAX_PATH] = {};
    if (FormatText(query, MAX_PATH, L"%s\\%s", directory, pattern) < 0)
        return true; // does not fit: skipped rather than cut
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW(query, &entry));
    if (!search)
        return true;
    do {
        if (Stopped(walk) || !visit(entry))
            return false;
    } while (FindNextFileW(search.get(), &entry));
    return true;
}

bool SearchFolder(wchar_t* directory, const Walk& walk, const Ancestor* ancestors);

bool EnterSubfolder(const wchar_t* directory, const WIN32_FIND_DATAW& entry, const Walk& walk,
                    const Ancestor* ancestors)
{
    if (!IsEnterable(entry))
        return true;
    wchar_t subfolder[MAX_PATH] = {};
    if (FormatText(subfolder, MAX_PATH, L"%s\\%s", directory, entry.cFileName) < 0)
        return true;
    if (LeadsBackUp(subfolder, entry, ancestors))
        return true;
    const Ancestor self{subfolder, ancestors};
    return SearchFolder(subfolder, walk, &self);
}

// "*.ext" with a plain extension: the platform matches it against the long
// and the short name of every entry, which a listing of "*" tells as well.
const wchar_t* PlainExtension(const wchar_t* pattern)
{
    if (pattern[0] != L'*' || pattern[1] != L'.' || !pattern[2])
        return nullptr;
    for (const wchar_t* c = pattern + 2; *c; ++c) {
        if (*c >= 0x80 || wcschr(L"*?<>\".\\/:|", *c))
            return nullptr;
    }
    return pattern + 1;
}

bool EndsWith(const wchar_t* name, const wchar_t* extension)
{
    const size_t length = wcslen(name), tail = wcslen(extension);
    return length >= tail && CompareNoCaseAscii(name + length - tail, extension) == 0;
}

bool MatchesExtension(const WIN32_FIND_DATAW& entry, const wchar_t* extension)
{
    return EndsWith(entry.cFileName, extension) || EndsWith(entry.cAlternateFileName, extension);
}

// The same walk with one listing per folder instead of two: the matches as
// the listing meets them, then the subfolders it met.
bool SearchFolderOnce(wchar_t* directory, const Walk& walk, const Ancestor* ancestors)
{
    std::vector<WIN32_FIND_DATAW> subfolders;
    const bool go_on = ForEachEntry(directory, L"*", walk, [&](WIN32_FIND_DATAW& entry) {
        if (IsEnterable(entry))
            subfolders.push_back(entry); // before the callback may change the name's case
        if (MatchesExtension(entry, walk.extension))
            walk.callback(directory, entry.cFileName);
        return true;
    });
    if (!go_on)
        return false;
    for (const WIN32_FIND_DATAW& entry : subfolders) {
        if (Stopped(walk) || !EnterSubfolder(directory, entry, walk, ancestors))
            return false;
    }
    return true;
}

bool SearchFolder(wchar_t* directory, const Walk& walk, const Ancestor* ancestors)
{
    if (walk.extension)
        return SearchFolderOnce(directory, walk, ancestors);
    const bool go_on = ForEachEntry(directory, walk.pattern, walk, [&](WIN32_FIND_DATAW& entry) {
        walk.callback(directory, entry.cFileName);
        return true;
    });
    if (!go_on)
        return false;
    return ForEachEntry(directory, L"*", walk, [&](const WIN32_FIND_DATAW& entry) {
        return EnterSubfolder(directory, entry, walk, ancestors);
    });
}

} // namespace

void SearchFiles(wchar_t* directory, const wchar_t* pattern, FoundFileCallback callback, SearchStopQuery stop)
{
    if (!directory || !pattern || !callback)
        return;
    const Walk walk{pattern, callback, stop, PlainExtension(pattern)};
    const Ancestor top{directory, nullptr};
    SearchFolder(directory, walk, &top);
}
