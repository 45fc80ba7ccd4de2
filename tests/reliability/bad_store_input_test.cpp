// history.dat and config.ini as damage, other programs or accidents may leave
// them: each must load to a clear result, with the dialog usable afterwards.
#include "aliasdesk_ids.h"
#include "app_state.h"
#include "dialog_fixture.h"
#include "profile_codec.h"
#include "run_length.h"
#include "store_files.h"
#include "store_pair.h"
#include "wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

constexpr size_t kLongestListedName = 4096; // longer names are damage: counted, not listed
constexpr size_t kCellRead = 2047; // what the fixture reads of a cell

// The names a history.dat holds, read independently: CR LF pairs back to LF,
// whole code units only, one name per zero unit, and a last unterminated one.
std::vector<std::wstring> NamesIn(const std::string& raw)
{
    std::string bytes;
    for (size_t i = 0; i < raw.size(); ++i)
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n'))
            bytes += raw[i];
    std::wstring units(bytes.size() / 2, L'\0');
    memcpy(units.data(), bytes.data(), units.size() * 2);
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find(L'\0', start);
        if (end == std::wstring::npos)
            end = units.size();
        names.push_back(units.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

struct HistoryCase {
    const char* what;
    std::function<std::string()> bytes;
};

std::vector<HistoryCase> HistoryCases()
{
    const std::string names = Utf16(std::wstring(L"one\0two\0three\0", 14));
    return {
        {"odd length", [=] { return names + "x"; }},
        {"no terminators", [] { return Utf16(std::wstring(3000, L'q')); }},
        {"no terminator at the end", [] { return Utf16(std::wstring(L"first\0last", 10)); }},
        {"0x1A in every name", [] { return Utf16(std::wstring(L"\x1A1A\0a\x011A\0\x041A\x041A\0", 9)); }},
        {"CR and LF in names", [] { return Utf16(std::wstring(L"\x0A0D\0\x0D0A\0\x0A0A\0", 9)); }},
        {"only zero units", [] { return std::string(4096, '\0'); }},
        {"random bytes", [] { return RandomBytes(static_cast<size_t>(RunLength(256, 8192)) << 10, 7); }},
        {"random bytes of 50 MB in the long run",
         [] { return RandomBytes(static_cast<size_t>(RunLength(4, 50)) << 20, 11); }},
    };
}

class BadStoreInput : public MainDialogTest {
protected:
    std::wstring History() const { return dir_ / L"history.dat"; }
    std::wstring Config() const { return dir_ / L"config.ini"; }

    // Every name counted; listed once each, unless longer than any alias.
    void ExpectLoaded(const std::vector<std::wstring>& names)
    {
        EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
        EXPECT_EQ(std::to_wstring(names.size()), Text(IDC_COUNT));
        std::set<std::wstring> listed;
        for (const std::wstring& name : names)
            if (name.size() <= kLongestListedName)
                listed.insert(test::Lowered(name.substr(0, kCellRead)));
        const auto rows = Rows(Item(IDC_MAIN_LIST));
        EXPECT_EQ(listed.size(), rows.size());
        for (const test::Row& row : rows)
            EXPECT_EQ(1u, listed.count(test::Lowered(row.alias)));
        EXPECT_TRUE(IsWindowEnabled(Item(IDC_APPLY)));
        EXPECT_TRUE(IsWindowEnabled(Item(IDC_RELOAD)));
    }
};

TEST_F(BadStoreInput, AnyHistoryLoadsEveryNameItHolds)
{
    for (const HistoryCase& c : HistoryCases()) {
        SCOPED_TRACE(c.what);
        const std::string bytes = c.bytes();
        ASSERT_TRUE(WriteFileBytes(History(), bytes));
        ASSERT_TRUE(WriteFileBytes(Config(), ""));
        Restart();
        ExpectLoaded(NamesIn(bytes));
        // Loaded again into the same list: nothing new is listed, all is counted again.
        const size_t rows = Rows(Item(IDC_MAIN_LIST)).size();
        Click(IDC_RELOAD);
        Settle();
        EXPECT_EQ(rows, Rows(Item(IDC_MAIN_LIST)).size());
    }
}

// A config.ini of 100,000 sections, of which history.dat names a few.
TEST_F(BadStoreInput, AHundredThousandSectionsLoadWhatHistoryNames)
{
    std::wstring text = L"\xFEFF";
    for (int i = 0; i < 100000; ++i) {
        const std::wstring n = std::to_wstring(i);
        text += L"[s" + n + L"]\r\npath=c:\\p\\s" + n + L".exe\r\nparameter=-" + n + L"\r\n";
    }
    ASSERT_TRUE(WriteFileBytes(Config(), Utf16(text)));
    ASSERT_TRUE(WriteFileBytes(History(), Utf16(std::wstring(L"s0\0s50000\0s99999\0absent\0", 24))));
    Restart();
    EXPECT_EQ((std::vector<test::Row>{{L"s0", L"-0", L"c:\\p\\s0.exe"},
                                      {L"s50000", L"-50000", L"c:\\p\\s50000.exe"},
                                      {L"s99999", L"-99999", L"c:\\p\\s99999.exe"},
                                      {L"absent", L"", L""}}),
              Rows(Item(IDC_MAIN_LIST)));
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));

    // A save keeps what the table holds and drops the sections nobody names.
    MarkModified();
    Click(IDC_APPLY);
    Settle();
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
    EXPECT_EQ(4u, NamesIn(ReadStorePair(dir_.path()).history).size());
    EXPECT_LT(ReadStorePair(dir_.path()).config.size(), 1000u);
}

// config.ini of random bytes (50 MB in the long run): the names load, with
// whatever the profile functions make of the file, and a save rebuilds it.
TEST_F(BadStoreInput, AConfigOfRandomBytesLoadsTheNamesAndASaveRebuildsIt)
{
    ASSERT_TRUE(WriteFileBytes(Config(), RandomBytes(static_cast<size_t>(RunLength(1, 50)) << 20, 5)));
    ASSERT_TRUE(WriteFileBytes(History(), Utf16(std::wstring(L"alpha\0beta\0", 11))));
    Restart();
    const auto rows = Rows(Item(IDC_MAIN_LIST));
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(L"alpha", rows[0].alias);
    EXPECT_EQ(L"beta", rows[1].alias);
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));

    MarkModified();
    Click(IDC_APPLY);
    Settle();
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
    std::vector<ConfigRow> saved;
    for (const test::Row& row : rows)
        saved.push_back({row.alias, row.parameter, row.path});
    const ConfigImage image = EncodeConfig(saved);
    if (image.fast) {
        EXPECT_EQ(image.bytes, ReadStorePair(dir_.path()).config);
    }
    Restart();
    EXPECT_EQ(rows, Rows(Item(IDC_MAIN_LIST)));
}

} // namespace
