#include "file_search.h"

#include "handles.h"
#include "wide_text.h"

#include <windows.h>

#include <cwchar>
#include <deque>
#include <unordered_set>
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

auto StopOf(const Walk& walk)
{
    return [&walk] { return Stopped(walk); };
}

// Calls visit(entry) for every entry of directory\pattern; false once
// stopped() or visit says so.
template <typename StopQuery, typename Visit>
bool ForEachEntry(const wchar_t* directory, const wchar_t* pattern, StopQuery stopped, Visit visit)
{
    wchar_t query[MAX_PATH] = {};
    if (FormatText(query, MAX_PATH, L"%s\\%s", directory, pattern) < 0)
        return true; // does not fit: skipped rather than cut
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW(query, &entry));
    if (!search)
        return true;
    do {
        if (stopped() || !visit(entry))
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
    const bool go_on = ForEachEntry(directory, L"*", StopOf(walk), [&](WIN32_FIND_DATAW& entry) {
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
    const bool go_on = ForEachEntry(directory, walk.pattern, StopOf(walk), [&](WIN32_FIND_DATAW& entry) {
        walk.callback(directory, entry.cFileName);
        return true;
    });
    if (!go_on)
        return false;
    return ForEachEntry(directory, L"*", StopOf(walk), [&](const WIN32_FIND_DATAW& entry) {
        return EnterSubfolder(directory, entry, walk, ancestors);
    });
}

// A folder met by the search by name: its path, and its place in the chain
// of folders that led to it. Kept where it was made, so that the chains of
// the folders below it may point to it.
struct MetFolder {
    MetFolder(std::wstring folder, const Ancestor* up) : path(std::move(folder)), self(nullptr, up)
    {
        self.path = path.c_str();
    }
    MetFolder(const MetFolder&) = delete;
    MetFolder& operator=(const MetFolder&) = delete;

    std::wstring path;
    Ancestor self;
};

bool IsNamed(const WIN32_FIND_DATAW& entry, const wchar_t* name)
{
    return !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        CompareStringOrdinal(entry.cFileName, -1, name, -1, TRUE) == CSTR_EQUAL;
}

// The key under which a folder counts as listed: paths differing only in
// the letter case of A to Z name the same folder.
std::wstring FolderKey(const std::wstring& path)
{
    std::wstring key = path;
    LowerAsciiInPlace(key.data());
    return key;
}

class NameSearch {
public:
    NameSearch(const wchar_t* name, int max_folders, const std::function<void(const std::wstring&)>& found,
               const std::function<bool()>& stop)
        : name_(name), max_folders_(max_folders), found_(found), stop_(stop)
    {
    }

    NameSearchResult Run(const std::vector<std::wstring>& tops)
    {
        for (const std::wstring& top : tops)
            met_.emplace_back(top, nullptr);
        for (size_t next = 0; next < met_.size(); ++next) {
            if (Stopped()) {
                result_.stopped = true;
                break;
            }
            if (result_.folders >= max_folders_) {
                result_.limited = true;
                break;
            }
            if (listed_.insert(FolderKey(met_[next].path)).second && !List(met_[next], next)) {
                result_.stopped = true;
                break;
            }
        }
        return result_;
    }

private:
    bool Stopped() const { return stop_ && stop_(); }

    // Reports the matches of the folder and queues its subfolders; only as
    // many wait as may still be listed. False when stopped meanwhile.
    bool List(const MetFolder& folder, size_t place)
    {
        ++result_.folders;
        return ForEachEntry(
            folder.path.c_str(), L"*", [this] { return Stopped(); },
            [&](const WIN32_FIND_DATAW& entry) {
                if (IsNamed(entry, name_))
                    Report(folder.path, entry.cFileName);
                if (IsEnterable(entry))
                    Queue(folder, entry, place);
                return true;
            });
    }

    void Report(const std::wstring& directory, const wchar_t* file_name)
    {
        wchar_t path[MAX_PATH] = {};
        if (FormatText(path, MAX_PATH, L"%s\\%s", directory.c_str(), file_name) >= 0 && found_)
            found_(path);
    }

    void Queue(const MetFolder& folder, const WIN32_FIND_DATAW& entry, size_t place)
    {
        wchar_t subfolder[MAX_PATH] = {};
        if (FormatText(subfolder, MAX_PATH, L"%s\\%s", folder.path.c_str(), entry.cFileName) < 0)
            return;
        const size_t waiting = met_.size() - place - 1;
        if (waiting >= static_cast<size_t>(max_folders_ - result_.folders)) {
            result_.limited = true;
            return;
        }
        if (!LeadsBackUp(subfolder, entry, &folder.self))
            met_.emplace_back(subfolder, &folder.self);
    }

    const wchar_t* name_;
    int max_folders_;
    const std::function<void(const std::wstring&)>& found_;
    const std::function<bool()>& stop_;
    std::deque<MetFolder> met_; // every folder met, in the order it is listed
    std::unordered_set<std::wstring> listed_;
    NameSearchResult result_;
};

} // namespace

void SearchFiles(wchar_t* directory, const wchar_t* pattern, FoundFileCallback callback, SearchStopQuery stop)
{
    if (!directory || !pattern || !callback)
        return;
    const Walk walk{pattern, callback, stop, PlainExtension(pattern)};
    const Ancestor top{directory, nullptr};
    SearchFolder(directory, walk, &top);
}

NameSearchResult SearchFileName(const std::vector<std::wstring>& tops, const wchar_t* name, int max_folders,
                                const std::function<void(const std::wstring& path)>& found,
                                const std::function<bool()>& stop)
{
    if (!name || !*name || max_folders <= 0)
        return {};
    return NameSearch(name, max_folders, found, stop).Run(tops);
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}
