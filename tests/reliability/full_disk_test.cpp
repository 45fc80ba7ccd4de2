// Saves onto a disk that runs out of space part-way: in config.ini, in
// history.dat, or at the commit mark. The previous pair must stay whole, the
// user must be told why, and the table must still be there to save again.
#include "aliasdesk_ids.h"
#include "app_state.h"
#include "dialog_fixture.h"
#include "platform.h"
#include "profile_codec.h"
#include "store_files.h"
#include "store_pair.h"
#include "wait.h"
#include "window_watch.h"
#include "workers.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr ULONGLONG kPage = 4096; // the small disk counts its space in pages
constexpr ULONGLONG kSmallDiskMost = 64ull << 20;

ULONGLONG Pages(ULONGLONG bytes)
{
    return (bytes + kPage - 1) / kPage * kPage;
}

std::wstring SystemText(DWORD error)
{
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512, nullptr);
    return text;
}

// What a save of these rows writes, byte for byte.
struct Image {
    std::string config, history;
};

Image ImageOf(const std::vector<test::Row>& rows)
{
    std::vector<ConfigRow> lowered;
    for (const test::Row& row : rows) {
        const test::Row low = test::Lowered(row);
        lowered.push_back({low.alias, low.parameter, low.path});
    }
    const ConfigImage image = EncodeConfig(lowered);
    EXPECT_TRUE(image.fast);
    return {image.bytes, EncodeHistory(image.section_names.data(), image.section_names.size())};
}

struct FullCase {
    const char* where;
    int rows;
    bool profile_functions; // a name with brackets: config.ini is written key by key
    // The free space to leave, given what the save will write.
    std::function<ULONGLONG(const Image&)> room;
};

const FullCase kCases[] = {
    {"in config.ini", 1000, false, [](const Image& i) { return Pages(i.config.size() / 2); }},
    {"in history.dat", 1000, false, [](const Image& i) { return Pages(i.config.size()) + kPage; }},
    {"at the commit mark", 1000, false,
     [](const Image& i) { return Pages(i.config.size()) + Pages(i.history.size()); }},
    {"in config.ini written key by key", 150, true, [](const Image&) { return 10 * kPage; }},
};

class FullDisk : public MainDialogTest {
protected:
    void SetUp() override
    {
        const std::wstring program_dir = ProgramDir();
        const std::wstring disk = program_dir.substr(0, program_dir.rfind(L'\\')) + L"\\smalldisk";
        ULARGE_INTEGER total{};
        if (!GetDiskFreeSpaceExW(disk.c_str(), nullptr, &total, nullptr) || total.QuadPart > kSmallDiskMost)
            GTEST_SKIP() << "no size-limited folder (tools/small-disk.sh could not mount one here)";
        MainDialogTest::SetUp();
        store_ = disk + L"\\store";
        ASSERT_TRUE(MakeDirs(store_));
        ASSERT_TRUE(SetCurrentDirectoryW(store_.c_str()));
        ASSERT_EQ(1, BuildConfigPath((store_ + L"\\").c_str()));
        Restart();
    }

    void TearDown() override
    {
        MainDialogTest::TearDown();
        if (!store_.empty())
            RemoveTree(store_);
    }

    ULONGLONG FreeBytes()
    {
        ULARGE_INTEGER free{};
        EXPECT_TRUE(GetDiskFreeSpaceExW(store_.c_str(), &free, nullptr, nullptr));
        return free.QuadPart;
    }

    // Fills the disk until room bytes are left.
    void LeaveRoom(ULONGLONG room)
    {
        const ULONGLONG free = FreeBytes();
        ASSERT_GT(free, room) << "the table does not fit the small disk at all";
        ASSERT_TRUE(WriteFileBytes(store_ + L"\\filler", std::string(static_cast<size_t>(free - room), 'f')));
        ASSERT_EQ(room, FreeBytes());
    }

    void Enter(const std::vector<test::Row>& rows)
    {
        SendMessageW(Item(IDC_MAIN_LIST), WM_SETREDRAW, FALSE, 0); // a repaint per row would take minutes
        for (const test::Row& row : rows)
            AppendRow(Item(IDC_MAIN_LIST), row);
        SendMessageW(Item(IDC_MAIN_LIST), WM_SETREDRAW, TRUE, 0);
        MarkModified();
    }

    // Saves with Apply and answers the error box if one comes; its text.
    std::wstring Save()
    {
        Click(IDC_APPLY);
        WaitForWorkers(); // the box comes only with the posted failure, after this
        if (Text(IDC_STATUS) != L"Save failed!") {
            PumpPending();
            return L"";
        }
        WindowWatcher box(L"Velkor Error", PressButton(IDOK), dlg_);
        PumpPending(); // shows the box, which the watcher answers
        return box.Seen() ? box.seen().text : L"<no error box>";
    }

    std::wstring store_;
};

std::vector<test::Row> Table(const std::wstring& prefix, int rows, bool profile_functions)
{
    std::vector<test::Row> table;
    for (int i = 0; i < rows; ++i) {
        const std::wstring name = prefix + std::to_wstring(i);
        table.push_back(
            {name, L"-n " + std::to_wstring(i), L"c:\\programs\\" + std::wstring(230, L'p') + L"\\" + name + L".exe"});
    }
    if (profile_functions)
        table[rows / 2].alias = L"odd[" + prefix + L"]";
    return table;
}

TEST_F(FullDisk, KeepsThePreviousPairAndSaysWhy)
{
    for (const FullCase& c : kCases) {
        SCOPED_TRACE(c.where);
        Click(IDC_CLEAR);
        const std::vector<test::Row> old_rows = Table(L"old", 20, false);
        Enter(old_rows);
        ASSERT_EQ(L"", Save());
        const StorePair before = ReadStorePair(store_);
        ASSERT_EQ(ImageOf(old_rows).config, before.config);

        Click(IDC_CLEAR);
        const std::vector<test::Row> new_rows = Table(L"new", c.rows, c.profile_functions);
        Enter(new_rows);
        LeaveRoom(c.profile_functions ? c.room({}) : c.room(ImageOf(new_rows)));
        const std::wstring text = Save();
        EXPECT_NE(std::wstring::npos, text.find(L"Could not save")) << "no error box";
        EXPECT_NE(std::wstring::npos, text.find(SystemText(ERROR_DISK_FULL)))
            << "the reason given is not disk full: " << text;
        EXPECT_EQ(L"Save failed!", Text(IDC_STATUS));
        EXPECT_EQ(1, bModified.load());
        EXPECT_EQ(before, ReadStorePair(store_));
        EXPECT_TRUE(NoSaveLeftovers(store_));
        // With room again, the same table saves whole.
        ASSERT_TRUE(DeleteFileW((store_ + L"\\filler").c_str()));
        EXPECT_EQ(L"", Save());
        EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
        EXPECT_EQ(0, bModified.load());
        if (!c.profile_functions) {
            const Image image = ImageOf(new_rows);
            const StorePair stored = ReadStorePair(store_);
            EXPECT_EQ(image.history, stored.history);
            EXPECT_EQ(image.config, stored.config);
        }
        Restart();
        EXPECT_EQ(static_cast<int>(new_rows.size()), static_cast<int>(Rows(Item(IDC_MAIN_LIST)).size()));
    }
}

} // namespace
