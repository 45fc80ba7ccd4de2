#include "app_state.h"

#include "wide_text.h"

wchar_t szConfigPath[MAX_PATH];
ReportTable* pMainTable;
ReportTable* pFilterTable;

std::atomic<int> bModified;
std::atomic<int> bExit;
std::atomic<int> bRowsRemoved;

wchar_t szScanFolder[MAX_PATH];

namespace {

std::atomic<unsigned> modified_count;

} // namespace

void MarkModified()
{
    ++modified_count;
    bModified = 1;
}

unsigned ModifiedCount()
{
    return modified_count;
}

int BuildConfigPath(const wchar_t* directory)
{
    const int written = FormatText(szConfigPath, MAX_PATH, L"%sconfig.ini", directory);
    if (written < 0) {
        szConfigPath[0] = L'\0';
        return 0;
    }
    return 1;
}
