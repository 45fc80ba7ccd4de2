// The one-pass writer and reader of config.ini against the system's profile
// functions on real files: whatever the writer claims it writes byte for byte
// as the profile functions do, and the reader answers every lookup as
// GetPrivateProfileStringW does.
#include "profile_codec.h"

#include "platform.h"
#include "profile_file.h"
#include "temp_dir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPathBuffer = 512;
constexpr DWORD kParameterBuffer = 260;

struct KeyLookup {
    const wchar_t* key;
    DWORD capacity;
};
// The loader's two lookups for every alias.
constexpr KeyLookup kLoaderLookups[] = {{L"path", kPathBuffer}, {L"parameter", kParameterBuffer}};

// Each file gets a name of its own: the profile functions may keep a file
// they read in memory, and a rewrite within the same clock tick could go unseen.
class CodecFiles {
public:
    std::wstring Next(const wchar_t* stem)
    {
        return dir_ / (std::wstring(stem) + L"-" + std::to_wstring(count_++) + L".ini");
    }

private:
    TempDir dir_;
    unsigned count_ = 0;
};

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::string Utf16File(const std::wstring& text)
{
    return "\xFF\xFE" + Utf16(text);
}

// For messages: the text with every unit outside printable ASCII as \uXXXX.
std::string Shown(std::wstring_view text)
{
    std::string shown;
    for (const wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof(escaped), "\\u%04X", static_cast<unsigned>(c));
        shown += escaped;
    }
    return shown;
}

// The way the saver writes the table: a file holding only the byte-order
// mark, then "path" and "parameter" of every row in order.
bool WriteWithProfileFunctions(const std::vector<ConfigRow>& rows, const std::wstring& file)
{
    if (rows.empty())
        return true;
    if (!EnsureUnicodeProfile(file.c_str()))
        return false;
    for (const ConfigRow& row : rows)
        if (!WritePrivateProfileStringW(row.alias.c_str(), L"path", row.path.c_str(), file.c_str()) ||
            !WritePrivateProfileStringW(row.alias.c_str(), L"parameter", row.parameter.c_str(), file.c_str()))
            return false;
    return true;
}

// The whole list, read as the saver reads it for history.dat.
std::vector<wchar_t> SectionNames(const std::wstring& file)
{
    std::vector<wchar_t> names;
    for (DWORD size = 512;; size *= 2) {
        names.assign(size, L'\0');
        const DWORD listed = GetPrivateProfileSectionNamesW(names.data(), size, file.c_str());
        if (listed != size - 2) {
            names.resize(listed);
            return names;
        }
    }
}

std::vector<std::wstring> SplitNames(const std::vector<wchar_t>& names)
{
    std::vector<std::wstring> split;
    for (size_t at = 0; at < names.size();) {
        split.emplace_back(names.data() + at);
        at += split.back().size() + 1;
    }
    return split;
}

struct Answer {
    DWORD count;
    std::wstring text;
    bool operator==(const Answer&) const = default;
};

Answer SystemAnswer(const std::wstring& file, const std::wstring& section, const wchar_t* key, DWORD capacity)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD count = GetPrivateProfileStringW(section.c_str(), key, nullptr, buffer.data(), capacity, file.c_str());
    return {count, buffer.data()};
}

Answer CodecAnswer(const ConfigIndex& index, const std::wstring& section, const wchar_t* key, DWORD capacity)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD count = ReadConfigString(index, section.c_str(), key, buffer.data(), capacity);
    return {count, buffer.data()};
}

// Names worth looking up in a file that holds these: each as it is, in other
// letter case, with blanks around it, cut short, and names not there at all.
std::vector<std::wstring> LookupNames(const std::vector<std::wstring>& names)
{
    std::vector<std::wstring> lookups = {L"no such alias", L"x", L"\u00E9"};
    for (const std::wstring& name : names) {
        lookups.push_back(name);
        std::wstring upper = name;
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
        lookups.push_back(upper);
        std::wstring first_upper = name;
        if (!first_upper.empty())
            CharUpperBuffW(first_upper.data(), 1);
        lookups.push_back(first_upper);
        lookups.push_back(L" " + name);
        lookups.push_back(name + L"\t");
        lookups.push_back(name + L"x");
        if (name.size() > 1)
            lookups.push_back(name.substr(0, name.size() - 1));
    }
    std::sort(lookups.begin(), lookups.end());
    lookups.erase(std::unique(lookups.begin(), lookups.end()), lookups.end());
    return lookups;
}

struct ReaderTally {
    size_t lookups = 0;
    size_t local = 0;
};

// Every lookup the loader makes (path in 512 characters, parameter in 260)
// answered by the reader as by the system; stops at the first difference.
void ExpectReaderAgrees(const std::wstring& file, const std::vector<std::wstring>& names, ReaderTally* tally = nullptr)
{
    const ConfigIndex index = ReadConfigIndex(file.c_str());
    const std::vector<std::wstring> lookups = LookupNames(names);
    for (const std::wstring& name : lookups) {
        for (const auto& [key, capacity] : kLoaderLookups) {
            const Answer expected = SystemAnswer(file, name, key, capacity);
            const Answer answered = CodecAnswer(index, name, key, capacity);
            if (tally) {
                ++tally->lookups;
                tally->local += ConfigAnswersLocally(index, name.c_str(), key, capacity);
            }
            if (answered == expected)
                continue;
            ADD_FAILURE() << "[" << Shown(name) << "] " << Shown(key) << ": system gave " << expected.count << " '"
                          << Shown(expected.text) << "', reader gave " << answered.count << " '" << Shown(answered.text)
                          << "'"
                          << (ConfigAnswersLocally(index, name.c_str(), key, capacity) ? " (local)" : " (delegated)");
            return;
        }
    }
}

std::vector<std::wstring> AliasesOf(const std::vector<ConfigRow>& rows)
{
    std::vector<std::wstring> aliases;
    for (const ConfigRow& row : rows)
        aliases.push_back(row.alias);
    return aliases;
}

struct WriterTally {
    size_t tables = 0;
    size_t fast = 0;
};

// Writes the rows both ways; when the writer claims the table, both files are
// equal byte for byte and list the same sections, and the reader answers on
// both as the system does.
void ExpectWriterAgrees(CodecFiles& files, const std::vector<ConfigRow>& rows, WriterTally* writer = nullptr,
                        ReaderTally* reader = nullptr)
{
    const std::wstring system_file = files.Next(L"system");
    ASSERT_TRUE(WriteWithProfileFunctions(rows, system_file));
    const ConfigImage image = EncodeConfig(rows);
    if (writer) {
        ++writer->tables;
        writer->fast += image.fast;
    }
    std::vector<std::wstring> names = AliasesOf(rows);
    const std::vector<std::wstring> listed = SplitNames(SectionNames(system_file));
    names.insert(names.end(), listed.begin(), listed.end());
    ExpectReaderAgrees(system_file, names, reader);
    if (!image.fast) {
        EXPECT_TRUE(image.bytes.empty());
        return;
    }

    std::string system_bytes;
    if (!rows.empty()) {
        ASSERT_TRUE(ReadFileBytes(system_file, &system_bytes));
    }
    if (system_bytes != image.bytes) {
        const size_t size = std::min(system_bytes.size(), image.bytes.size());
        const size_t differ = static_cast<size_t>(
            std::mismatch(system_bytes.begin(), system_bytes.begin() + size, image.bytes.begin()).first -
            system_bytes.begin());
        FAIL() << "the files differ from byte " << differ << " on; sizes " << system_bytes.size() << " and "
               << image.bytes.size();
    }
    EXPECT_EQ(SectionNames(system_file), image.section_names);

    if (rows.empty())
        return;
    const std::wstring fast_file = files.Next(L"fast");
    ASSERT_TRUE(WriteFileBytes(fast_file, image.bytes));
    EXPECT_EQ(SectionNames(system_file), SectionNames(fast_file));
    for (const std::wstring& name : LookupNames(names))
        for (const auto& [key, capacity] : kLoaderLookups)
            ASSERT_EQ(SystemAnswer(system_file, name, key, capacity), SystemAnswer(fast_file, name, key, capacity))
                << "[" << Shown(name) << "] " << Shown(key);
    ExpectReaderAgrees(fast_file, names, reader);
}

// Random texts from pieces; "tame" pieces are what ordinary tables hold.
class TableMaker {
public:
    explicit TableMaker(unsigned seed) : random_(seed) { }

    // Ordinary tables; ordinary tables with aliases repeated in other letter
    // case (as a caller that did not lower them would pass); tables with odd
    // characters, in some one, in others many.
    enum class Kind { Ordinary, OtherCase, Odd };

    std::vector<ConfigRow> Table(Kind kind)
    {
        const bool wild = kind == Kind::Odd;
        oddness_ = std::vector<int>{1, 2, 12}[static_cast<size_t>(Pick(0, 2))];
        std::vector<ConfigRow> rows(Pick(1, 14));
        for (size_t i = 0; i < rows.size(); ++i) {
            ConfigRow& row = rows[i];
            row.alias = Alias(wild);
            if (i > 0 && Chance(25))
                row.alias = rows[Pick(0, static_cast<int>(i) - 1)].alias; // a shared section
            else if (i > 0 && kind != Kind::Ordinary && Chance(25))
                row.alias = OtherCase(rows[Pick(0, static_cast<int>(i) - 1)].alias);
            row.path = Value(wild, Chance(10) ? Pick(250, 700) : Pick(0, 30));
            row.parameter = Value(wild, Chance(10) ? Pick(250, 300) : Pick(0, 12));
        }
        return rows;
    }

    std::wstring Alias(bool wild)
    {
        if (wild && Chance(3))
            return L"";
        return Text(wild, Pick(1, 8), true);
    }

    std::wstring Value(bool wild, int length) { return Text(wild, length, false); }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int percent) { return Pick(1, 100) <= percent; }

    // Letters of other case: ASCII upper case, or the non-ASCII pairs.
    std::wstring OtherCase(std::wstring text)
    {
        const bool ascii = Chance(60);
        for (wchar_t& c : text) {
            if (ascii && c >= L'a' && c <= L'z')
                c = static_cast<wchar_t>(c - L'a' + L'A');
            else if (!ascii && c == 0xE9)
                c = 0xC9;
            else if (!ascii && c == 0xE4)
                c = 0xC4;
            else if (!ascii && c == 0xDF)
                c = 0x1E9E;
            else if (!ascii && c == L'k')
                c = 0x212A;
        }
        return text;
    }

private:
    std::wstring Text(bool wild, int length, bool name)
    {
        static const std::vector<std::wstring> tame = {
            L"a", L"b",  L"e", L"k", L"s", L"x", L"0",      L"7",      L" ",      L"_",      L"#",         L".",
            L"-", L"\\", L":", L"=", L";", L"(", L"\u00E9", L"\u00E4", L"\u00DF", L"\u4E2D", L"\U0001F600"};
        static const std::vector<std::wstring> tame_values = {L"\u00AD", L"[", L"]", L"\"", L"'"};
        static const std::vector<std::wstring> odd = {L"A",      L"B",      L"K",      L"[",      L"]",      L"\"",
                                                      L"'",      L"\t",     L"\u00C9", L"\u00C4", L"\u1E9E", L"\u212A",
                                                      L"\u0131", L"\u017F", L"\u00A0", L"\u3000", L"\u00AD", L"\r",
                                                      L"\n",     L"\r\n",   L"\xD800", L"\uFEFF", L" "};
        std::wstring text;
        while (static_cast<int>(text.size()) < length) {
            if (wild && Chance(oddness_))
                text += odd[Pick(0, static_cast<int>(odd.size()) - 1)];
            else if (!name && Chance(5))
                text += tame_values[Pick(0, static_cast<int>(tame_values.size()) - 1)];
            else
                text += tame[Pick(0, static_cast<int>(tame.size()) - 1)];
        }
        if (!wild && !text.empty()) { // ordinary texts have no blanks or quotes at their ends
            for (wchar_t* end : {&text.front(), &text.back()})
                if (*end == L' ' || *end == L'\t' || *end == L'"' || *end == L'\'')
                    *end = L'a';
        }
        return text;
    }

    std::mt19937 random_;
    int oddness_ = 12; // percent of odd characters in odd texts
};

ConfigRow Row(const wchar_t* alias, const wchar_t* parameter, const wchar_t* path)
{
    return {alias, parameter, path};
}

} // namespace

TEST(EncodeConfig, WritesTheFileTheProfileFunctionsWrite)
{
    CodecFiles files;
    const std::wstring long_path = L"c:\\" + std::wstring(700, L'p') + L".exe";
    const std::vector<std::vector<ConfigRow>> tables = {
        {Row(L"notepad", L"", L"c:\\windows\\notepad.exe"), Row(L"calc", L"/x", L"c:\\windows\\calc.exe")},
        // Shared sections keep the first row's place and take the last row's values.
        {Row(L"tool", L"1", L"c:\\a.exe"), Row(L"other", L"", L"c:\\o.exe"), Row(L"tool", L"2", L"c:\\b.exe"),
         Row(L"tool", L"", L"")},
        {Row(L"empty", L"", L"")},
        {Row(L"long", std::wstring(300, L'q').c_str(), long_path.c_str())},
        {Row(L"caf\u00E9 \u00E4\u00DF", L"-\u00E9", L"c:\\\u4E2D\u6587\\\U0001F600.exe"),
         Row(L"x=y;z", L"a=b;c", L"[not a section]"), Row(L"it's #1", L"say \"hi\" now", L"c:\\it's.exe")},
        {Row(L"a_#0", L"", L"c:\\one\\a.exe"), Row(L"a_#1", L"", L"c:\\two\\a.exe")},
        {},
    };
    for (const auto& rows : tables) {
        const ConfigImage image = EncodeConfig(rows);
        EXPECT_TRUE(image.fast) << "table " << (&rows - tables.data());
        SCOPED_TRACE(testing::Message() << "table " << (&rows - tables.data()));
        ExpectWriterAgrees(files, rows);
    }
    // What the saver's first two rows give, spelled out.
    EXPECT_EQ(Utf16File(L"[notepad]\r\npath=c:\\windows\\notepad.exe\r\nparameter=\r\n"
                        L"[calc]\r\npath=c:\\windows\\calc.exe\r\nparameter=/x\r\n"),
              EncodeConfig(tables[0]).bytes);
    EXPECT_TRUE(EncodeConfig({}).bytes.empty());
}

// Each of these rows holds something that the profile functions change,
// may change on some system, or read back differently: the writer must not
// claim them.
TEST(EncodeConfig, LeavesTablesItCannotReproduceToTheProfileFunctions)
{
    const std::vector<std::pair<const char*, ConfigRow>> features = {
        {"empty alias", Row(L"", L"", L"c:\\a.exe")},
        {"leading blank in alias", Row(L" a", L"", L"c:\\a.exe")},
        {"trailing blank in alias", Row(L"a ", L"", L"c:\\a.exe")},
        {"no-break space at the end of alias", Row(L"a\u00A0", L"", L"c:\\a.exe")},
        {"leading blank in path", Row(L"a", L"", L" c:\\a.exe")},
        {"trailing tab in parameter", Row(L"a", L"-x\t", L"c:\\a.exe")},
        {"ideographic space at the start of a value", Row(L"a", L"\u3000x", L"c:\\a.exe")},
        {"line break in alias", Row(L"a\r\nb", L"", L"c:\\a.exe")},
        {"line feed in path", Row(L"a", L"", L"c:\\a\n.exe")},
        {"carriage return in parameter", Row(L"a", L"\r", L"c:\\a.exe")},
        {"tab inside alias", Row(L"a\tb", L"", L"c:\\a.exe")},
        {"opening bracket in alias", Row(L"a[b", L"", L"c:\\a.exe")},
        {"closing bracket in alias", Row(L"a]b", L"", L"c:\\a.exe")},
        {"quoted path", Row(L"a", L"", L"\"c:\\a b.exe\"")},
        {"parameter starting with a quote", Row(L"a", L"'x", L"c:\\a.exe")},
        {"alias ending with a quote", Row(L"a'", L"", L"c:\\a.exe")},
        {"soft hyphen in alias", Row(L"a\u00ADb", L"", L"c:\\a.exe")},
        {"byte-order mark in a value", Row(L"a", L"\uFEFF", L"c:\\a.exe")},
        {"lone surrogate", Row(L"a\xD800", L"", L"c:\\a.exe")},
        {"reversed surrogates", Row(L"a", L"", L"\xDC00\xD800")},
        {"cased letter beyond 16 bits", Row(L"\U00010428", L"", L"c:\\a.exe")},
        {"very long value", Row(L"a", L"", std::wstring(5000, L'p').c_str())},
    };
    for (const auto& [feature, row] : features) {
        EXPECT_FALSE(EncodeConfig({Row(L"first", L"", L"c:\\first.exe"), row}).fast) << feature;
        EXPECT_TRUE(EncodeConfig({Row(L"first", L"", L"c:\\first.exe")}).fast) << feature;
    }

    // Different aliases that a case-blind comparison may take for one name.
    const std::vector<std::pair<const wchar_t*, const wchar_t*>> pairs = {
        {L"tool", L"Tool"},     {L"\u00E9", L"\u00C9"}, {L"\u00E4x", L"\u00C4x"}, {L"k", L"\u212A"},
        {L"s", L"\u017F"},      {L"i", L"\u0131"},      {L"\u00DF", L"\u1E9E"},   {L"\u03C3", L"\u03A3"},
        {L"\u0434", L"\u0414"}, {L"\uFF41", L"\uFF21"},
    };
    for (const auto& [first, second] : pairs)
        EXPECT_FALSE(EncodeConfig({Row(first, L"", L"c:\\1.exe"), Row(L"z", L"", L""), Row(second, L"", L"")}).fast)
            << Shown(first) << " / " << Shown(second);
}

// Where Windows takes two aliases for one section and Wine does not, the
// table goes to the profile functions, which do what the platform does.
TEST(EncodeConfig, NonAsciiCasePairsAreOneSectionOnWindowsOnly)
{
    CodecFiles files;
    const std::vector<ConfigRow> rows = {Row(L"caf\u00E9", L"1", L"c:\\1.exe"), Row(L"CAF\u00C9", L"2", L"c:\\2.exe")};
    ASSERT_FALSE(EncodeConfig(rows).fast);
    const std::wstring file = files.Next(L"pair");
    ASSERT_TRUE(WriteWithProfileFunctions(rows, file));
    const std::vector<std::wstring> listed = SplitNames(SectionNames(file));
    if (RunningUnderWine())
        EXPECT_EQ((std::vector<std::wstring>{L"caf\u00E9", L"CAF\u00C9"}), listed); // Wine folds A-Z only
    else
        EXPECT_EQ(std::vector<std::wstring>{L"caf\u00E9"}, listed);
    ExpectReaderAgrees(file, AliasesOf(rows));
}

TEST(EncodeConfig, RandomTablesItClaimsAreWrittenAsTheProfileFunctionsWriteThem)
{
    CodecFiles files;
    WriterTally tallies[3];
    ReaderTally reader;
    for (unsigned seed = 1; seed <= 180; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        TableMaker maker(seed);
        const auto kind = static_cast<TableMaker::Kind>(seed % 3);
        ExpectWriterAgrees(files, maker.Table(kind), &tallies[seed % 3], &reader);
        if (HasFailure())
            return;
    }
    // Not a vacuous pass: ordinary tables take the fast path, the others now and then.
    const WriterTally& ordinary = tallies[static_cast<int>(TableMaker::Kind::Ordinary)];
    EXPECT_GT(ordinary.fast * 10, ordinary.tables * 8) << ordinary.fast << " of " << ordinary.tables;
    for (const WriterTally& tally : tallies) {
        EXPECT_GT(tally.fast, 0u);
        RecordProperty("fast_tables_" + std::to_string(&tally - tallies),
                       std::to_string(tally.fast) + "/" + std::to_string(tally.tables));
    }
    // Lookups in other case or with blanks go to the system; about four in ten do not.
    EXPECT_GT(reader.local * 3, reader.lookups) << reader.local << " of " << reader.lookups;
}

namespace {

std::string Ansi(const std::wstring& text)
{
    const int size =
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::string Utf8File(const std::wstring& text)
{
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return "\xEF\xBB\xBF" + bytes;
}

// Every name between brackets in the text, as written and without its blanks.
std::vector<std::wstring> BracketedNames(const std::wstring& text)
{
    std::vector<std::wstring> names;
    for (size_t open = text.find(L'['); open != std::wstring::npos; open = text.find(L'[', open + 1)) {
        const size_t close = text.find_first_of(L"]\r\n", open + 1);
        std::wstring name = text.substr(open + 1, close == std::wstring::npos ? std::wstring::npos : close - open - 1);
        names.push_back(name);
        const size_t first = name.find_first_not_of(L" \t");
        const size_t last = name.find_last_not_of(L" \t");
        if (first != std::wstring::npos)
            names.push_back(name.substr(first, last - first + 1));
    }
    return names;
}

struct HandFile {
    const char* what;
    std::string bytes;
    std::vector<std::wstring> names;
};

// A plain section before and after the text, so that a feature that puts the
// whole file in doubt shows in lookups that would otherwise be answered.
std::string Amid(const std::wstring& text)
{
    return Utf16File(L"[first]\r\npath=c:\\first.exe\r\nparameter=1\r\n" + text +
                     L"[last]\r\npath=c:\\last.exe\r\nparameter=9\r\n");
}

std::string Ending(const std::wstring& text)
{
    return Utf16File(L"[first]\r\npath=c:\\first.exe\r\nparameter=1\r\n" + text);
}

// One feature per file, so that none hides another.
std::vector<HandFile> HandFiles()
{
    const std::wstring canonical = L"[notepad]\r\npath=c:\\windows\\notepad.exe\r\nparameter=\r\n"
                                   L"[calc]\r\npath=c:\\windows\\calc.exe\r\nparameter=/x\r\n";
    const std::wstring x600 = std::wstring(600, L'x');
    const std::wstring blank_at_cut = x600.substr(0, 510) + L" " + x600.substr(0, 89);
    const std::wstring pair_at_cut = x600.substr(0, 510) + L"\U0001F600" + x600.substr(0, 88);
    const std::wstring pair_before_cut = x600.substr(0, 509) + L"\U0001F600" + x600.substr(0, 89);
    const std::wstring cafe = L"[caf\u00E9]\r\npath=c:\\caf\u00E9.exe\r\nparameter=\u00E4\r\n";
    std::vector<HandFile> files = {
        {"canonical", Utf16File(canonical), {}},
        {"comment lines",
         Amid(L"; aliases\r\n[a]\r\n;path=c:\\no.exe\r\npath=c:\\n.exe\r\n# note\r\nparameter=-a\r\n"),
         {}},
        {"blank lines", Amid(L"\r\n[a]\r\n\r\npath=c:\\n.exe\r\n\r\nparameter=\r\n\r\n"), {}},
        {"blanks-only line", Amid(L"[a]\r\n  \t\r\npath=1\r\n"), {}},
        {"blanks before a header", Amid(L"  [a]\r\npath=1\r\n"), {}},
        {"tab before a header", Amid(L"\t[a]\r\npath=1\r\n"), {}},
        {"blanks after a header", Amid(L"[a]  \r\npath=1\r\n"), {}},
        {"blanks inside the brackets", Amid(L"[ a ]\r\npath=1\r\n"), {}},
        {"blank before a key", Amid(L"[a]\r\n path=1\r\n"), {}},
        {"blank after a key", Amid(L"[a]\r\nparameter =2\r\n"), {}},
        {"blanks around a value", Amid(L"[a]\r\npath= 3 \r\n"), {}},
        {"trailing blanks of a value", Amid(L"[a]\r\nparameter=4  \r\n"), {}},
        {"tab before a value", Amid(L"[a]\r\npath=\t5\r\n"), {}},
        {"duplicate sections", Amid(L"[a]\r\npath=1\r\n[b]\r\npath=2\r\n[a]\r\npath=3\r\nparameter=4\r\n"), {}},
        {"duplicate sections in other case", Amid(L"[tool]\r\npath=1\r\n[Tool]\r\npath=2\r\nparameter=2\r\n"), {}},
        {"a section again in upper case", Amid(L"[TOOL]\r\nparameter=3\r\n[tool]\r\npath=1\r\n"), {}},
        {"duplicate keys", Amid(L"[a]\r\npath=1\r\npath=2\r\n"), {}},
        {"duplicate key in other case after", Amid(L"[a]\r\npath=1\r\nPATH=2\r\n"), {}},
        {"duplicate key in other case before", Amid(L"[a]\r\nParameter=1\r\nparameter=2\r\n"), {}},
        {"= in values", Amid(L"[a]\r\npath=x=y\r\nparameter===\r\n[b]\r\npath==\r\n"), {}},
        {"] in a name", Amid(L"[a]b]\r\npath=1\r\n"), {}},
        {"; at the start of a name", Amid(L"[;c]\r\npath=2\r\n"), {}},
        {"; in a name", Amid(L"[d;e]\r\npath=3\r\n"), {}},
        {"text after a header", Amid(L"[f]g\r\npath=4\r\n"), {}},
        {"header without ]", Amid(L"[h\r\npath=5\r\n"), {}},
        {"empty name", Amid(L"[]\r\npath=6\r\n"), {L""}},
        {"[ in a value", Amid(L"[a]\r\npath=[x]\r\n"), {}},
        {"[ in another key's value", Amid(L"[a]\r\nother=[b]\r\npath=1\r\n"), {}},
        {"missing keys", Amid(L"[a]\r\npath=1\r\n[b]\r\nparameter=2\r\n[c]\r\n[d]\r\nother=4\r\n"), {}},
        {"keys without =", Amid(L"[a]\r\npath\r\nparameter\r\n"), {}},
        {"longer key", Amid(L"[b]\r\npathway=1\r\n"), {}},
        {"keys before any section", Utf16File(L"path=0\r\nparameter=0\r\n[a]\r\npath=1\r\n"), {}},
        {"no final line end", Ending(L"[b]\r\npath=2\r\nparameter=2"), {}},
        {"header without final line end", Ending(L"[b]"), {}},
        {"quoted value", Amid(L"[a]\r\npath=\"c:\\a b.exe\"\r\n"), {}},
        {"single-quoted value", Amid(L"[a]\r\nparameter='x'\r\n"), {}},
        {"quote at the start", Amid(L"[b]\r\npath=\"half\r\n"), {}},
        {"quote at the end", Amid(L"[b]\r\nparameter=x\"\r\n"), {}},
        {"empty quotes", Amid(L"[c]\r\npath=\"\"\r\n"), {}},
        {"quotes inside quotes", Amid(L"[c]\r\nparameter=\"a\"b\"\r\n"), {}},
        {"quoted name", Amid(L"[\"q\"]\r\npath=1\r\n"), {L"q", L"\"q\""}},
        {"line feeds only", Utf16File(L"[a]\npath=1\n[b]\npath=2\n"), {}},
        {"carriage returns only", Utf16File(L"[a]\rpath=1\r[b]\rpath=2\r"), {}},
        {"one line feed alone", Amid(L"[a]\r\npath=1\n[b]\r\npath=2\r\n"), {}},
        {"one carriage return alone", Amid(L"[a]\r\npath=1\r[b]\r\npath=2\r\n"), {}},
        {"zero unit", Amid(std::wstring(L"[a]\r\npath=1\0x\r\n[b]\r\npath=2\r\n", 24)), {}},
        {"byte-order mark only", "\xFF\xFE", {L"a"}},
        {"0 bytes", "", {L"a"}},
        {"odd byte count", Utf16File(L"[a]\r\npath=1\r\n") + "x", {}},
        {"ANSI", Ansi(canonical), {}},
        {"ANSI outside ASCII", Ansi(cafe), {L"caf\u00E9"}},
        {"UTF-16 outside ASCII", Utf16File(cafe), {L"caf\u00E9"}},
        {"UTF-8", Utf8File(cafe), {L"caf\u00E9"}},
        {"big-endian UTF-16",
         "\xFE\xFF" +
             std::string("\0[\0a\0]\0\r\0\n\0p\0a\0t\0h\0=\0"
                         "1\0\r\0\n",
                         26),
         {L"a"}},
        {"non-ASCII case pair", Amid(cafe + L"[CAF\u00C9]\r\npath=2\r\n"), {L"caf\u00E9", L"CAF\u00C9"}},
        {"long values",
         Utf16File(L"[a]\r\npath=" + x600 + L"\r\nparameter=" + x600 + L"\r\n[b]\r\npath=" + x600.substr(0, 511) +
                   L"\r\nparameter=" + x600.substr(0, 259) + L"\r\n[c]\r\npath=" + x600.substr(0, 512) +
                   L"\r\nparameter=" + x600.substr(0, 260) + L"\r\n"),
         {}},
        {"blank at the cut", Amid(L"[a]\r\npath=" + blank_at_cut + L"\r\nparameter=" + blank_at_cut + L"\r\n"), {}},
        {"surrogate pair at the cut", Amid(L"[a]\r\npath=" + pair_at_cut + L"\r\n"), {}},
        {"surrogate pair before the cut", Amid(L"[b]\r\npath=" + pair_before_cut + L"\r\n"), {}},
        {"byte-order mark before a header", Amid(L"\uFEFF[a]\r\npath=1\r\n"), {L"a", L"\uFEFFa"}},
        {"byte-order mark in a value", Amid(L"[b]\r\npath=\uFEFF2\r\n"), {}},
        {"byte-order mark in a name", Amid(L"[\uFEFFc]\r\npath=3\r\n"), {L"c", L"\uFEFFc"}},
        {"one odd section among plain ones", Amid(L"[b]\r\nPath=2\r\nparameter=2\r\n"), {}},
    };
    for (HandFile& file : files) {
        std::wstring text;
        if (file.bytes.size() >= 2 && file.bytes.compare(0, 2, "\xFF\xFE") == 0)
            text.assign(reinterpret_cast<const wchar_t*>(file.bytes.data() + 2), (file.bytes.size() - 2) / 2);
        else
            text.assign(file.bytes.begin(), file.bytes.end());
        const std::vector<std::wstring> bracketed = BracketedNames(text);
        file.names.insert(file.names.end(), bracketed.begin(), bracketed.end());
    }
    return files;
}

} // namespace

TEST(ReadConfigIndex, AnswersHandWrittenFilesAsTheProfileFunctionsDo)
{
    CodecFiles files;
    for (const HandFile& hand : HandFiles()) {
        SCOPED_TRACE(hand.what);
        const std::wstring file = files.Next(L"hand");
        ASSERT_TRUE(WriteFileBytes(file, hand.bytes));
        ExpectReaderAgrees(file, hand.names);
    }
}

TEST(ReadConfigIndex, AnswersItselfOnlyWhereTheTextIsBeyondDoubt)
{
    CodecFiles files;
    auto index_of = [&files](const std::string& bytes) {
        const std::wstring file = files.Next(L"local");
        EXPECT_TRUE(WriteFileBytes(file, bytes));
        return ReadConfigIndex(file.c_str());
    };
    auto local = [](const ConfigIndex& index, const wchar_t* name) {
        return ConfigAnswersLocally(index, name, L"path", kPathBuffer) &&
            ConfigAnswersLocally(index, name, L"parameter", kParameterBuffer);
    };

    // Comments and blank lines leave the sections plain.
    const ConfigIndex commented = index_of(Utf16File(L"; saved\r\n\r\n[a]\r\n; note\r\npath=1\r\n\r\n[b]\r\n"));
    EXPECT_TRUE(local(commented, L"a"));
    EXPECT_TRUE(local(commented, L"b"));
    EXPECT_TRUE(local(commented, L"missing"));

    // A key in other spelling puts only its own section in doubt.
    const ConfigIndex one_odd =
        index_of(Utf16File(L"[a]\r\npath=1\r\n[b]\r\n PATH = 2\r\n[c]\r\nparameter=3\r\nPathology=4\r\n[d]\r\n"));
    EXPECT_TRUE(local(one_odd, L"a"));
    EXPECT_FALSE(local(one_odd, L"b"));
    EXPECT_FALSE(local(one_odd, L"c"));
    EXPECT_TRUE(local(one_odd, L"d"));

    // Names that a case-blind search may confuse, and lookups in other case.
    const ConfigIndex pair = index_of(Utf16File(L"[\u00E9]\r\npath=1\r\n[\u00C9]\r\npath=2\r\n[k]\r\npath=3\r\n"));
    EXPECT_FALSE(local(pair, L"\u00E9"));
    EXPECT_FALSE(local(pair, L"\u00C9"));
    EXPECT_TRUE(local(pair, L"k"));
    EXPECT_FALSE(local(pair, L"K"));
    EXPECT_FALSE(local(pair, L"\u212A"));

    // Files whose sections themselves are in doubt, and other encodings.
    for (const std::string& bytes : {Utf16File(L"[a]\r\npath=1\r\n [b]\r\n"), Utf16File(L"[a]\npath=1\n"),
                                     Ansi(L"[a]\r\npath=1\r\n"), std::string()})
        EXPECT_FALSE(local(index_of(bytes), L"a"));

    // A value cut at its end is answered unless the cut falls on a blank or
    // inside a character.
    const std::wstring long_value = std::wstring(300, L'v');
    const ConfigIndex cut = index_of(Utf16File(L"[a]\r\npath=1\r\nparameter=" + long_value + L"\r\n[b]\r\nparameter=" +
                                               std::wstring(258, L'v') + L" v\r\n"));
    EXPECT_TRUE(local(cut, L"a"));
    EXPECT_FALSE(local(cut, L"b"));
    EXPECT_FALSE(ConfigAnswersLocally(cut, L"a", L"path", 1));
    EXPECT_FALSE(ConfigAnswersLocally(cut, L"a", L"PATH", kPathBuffer));
    EXPECT_FALSE(ConfigAnswersLocally(cut, L"a", nullptr, kPathBuffer));
    EXPECT_FALSE(ConfigAnswersLocally(cut, nullptr, L"path", kPathBuffer));
}

TEST(ReadConfigIndex, AnswersAMissingFileAsTheProfileFunctionsDo)
{
    CodecFiles files;
    const std::wstring missing = files.Next(L"missing");
    const ConfigIndex index = ReadConfigIndex(missing.c_str());
    EXPECT_FALSE(ConfigAnswersLocally(index, L"a", L"path", kPathBuffer));
    EXPECT_EQ(SystemAnswer(missing, L"a", L"path", kPathBuffer), CodecAnswer(index, L"a", L"path", kPathBuffer));
    const ConfigIndex unnamed = ReadConfigIndex(nullptr);
    EXPECT_FALSE(ConfigAnswersLocally(unnamed, L"a", L"path", kPathBuffer));
}

namespace {

// A random profile file. Plain files hold plain sections with comments and
// blank lines between; odd-line files add keys in other spellings, blanks and
// quotes inside sections and now and then an odd header; anything-goes files
// add odd names, line ends, characters and encodings.
class FileMaker {
public:
    enum class Kind { Plain, OddLines, Anything };

    FileMaker(unsigned seed, Kind kind) : tables_(seed), random_(seed * 7919u), kind_(kind) { }

    std::wstring Text(std::vector<std::wstring>* names)
    {
        std::wstring text;
        const int sections = Pick(0, 12);
        if (Chance(10))
            text += Line(L"path=" + tables_.Value(kind_ == Kind::Anything, 3));
        for (int s = 0; s < sections; ++s) {
            const bool plain = kind_ == Kind::Plain || Chance(kind_ == Kind::OddLines ? 92 : 60);
            std::wstring name = s > 0 && Chance(15) ? tables_.OtherCase(names->back())
                                                    : tables_.Alias(kind_ == Kind::Anything && !plain);
            names->push_back(name);
            text += Line(Header(name, plain));
            const int lines = Pick(0, 4);
            for (int l = 0; l < lines; ++l)
                text += Line(kind_ == Kind::Plain || Chance(60) ? PlainKey() : AnyLine());
        }
        if (!text.empty() && Chance(15))
            text.resize(text.size() - 2); // no final line end
        return text;
    }

    std::string Encoded(const std::wstring& text)
    {
        const int roll = kind_ == Kind::Anything ? Pick(1, 100) : 1;
        if (roll <= 82)
            return Utf16File(text);
        if (roll <= 92)
            return Ansi(text);
        if (roll <= 97)
            return Utf8File(text);
        return "";
    }

private:
    std::wstring Line(const std::wstring& text)
    {
        const int roll = kind_ == Kind::Anything ? Pick(1, 100) : 1;
        return text + (roll <= 94 ? L"\r\n" : roll <= 97 ? L"\n" : L"\r");
    }

    std::wstring Header(const std::wstring& name, bool plain)
    {
        if (plain)
            return L"[" + name + L"]";
        static const std::vector<std::wstring> before = {L"", L"", L" ", L"\t"};
        static const std::vector<std::wstring> after = {L"", L"", L" ", L"x", L"]"};
        return Any(before) + L"[" + Any(before) + name + Any(before) + (Chance(90) ? L"]" : L"") + Any(after);
    }

    std::wstring PlainKey()
    {
        if (Chance(10))
            return Chance(50) ? L"" : L"; comment";
        return (Chance(50) ? L"path=" : L"parameter=") +
            tables_.Value(false, Chance(10) ? Pick(250, 600) : Pick(0, 20));
    }

    std::wstring AnyLine()
    {
        static const std::vector<std::wstring> keys = {L"path",  L"parameter", L"PATH",   L"Parameter",
                                                       L" path", L"path ",     L";path",  L"#path",
                                                       L"other", L"",          L"pathway"};
        static const std::vector<std::wstring> separators = {L"=", L"=", L" = ", L" =", L"= ", L""};
        if (Chance(10))
            return L"";
        const bool wild = kind_ == Kind::Anything && Chance(50);
        return Any(keys) + Any(separators) + tables_.Value(wild, Chance(10) ? Pick(250, 600) : Pick(0, 20));
    }

    std::wstring Any(const std::vector<std::wstring>& choices)
    {
        return choices[static_cast<size_t>(Pick(0, static_cast<int>(choices.size()) - 1))];
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int percent) { return Pick(1, 100) <= percent; }

    TableMaker tables_;
    std::mt19937 random_;
    Kind kind_;
};

} // namespace

TEST(ReadConfigIndex, AnswersRandomFilesAsTheProfileFunctionsDo)
{
    CodecFiles files;
    ReaderTally tally;
    for (unsigned seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        FileMaker maker(seed, static_cast<FileMaker::Kind>(seed % 3));
        std::vector<std::wstring> names;
        const std::wstring text = maker.Text(&names);
        const std::wstring file = files.Next(L"random");
        ASSERT_TRUE(WriteFileBytes(file, maker.Encoded(text)));
        const std::vector<std::wstring> bracketed = BracketedNames(text);
        names.insert(names.end(), bracketed.begin(), bracketed.end());
        ExpectReaderAgrees(file, names, &tally);
        if (HasFailure())
            return;
    }
    // Not a vacuous pass: many answers came from the text itself.
    EXPECT_GT(tally.local * 10, tally.lookups) << tally.local << " of " << tally.lookups;
    RecordProperty("local_answers", std::to_string(tally.local) + "/" + std::to_string(tally.lookups));
}

namespace {

// What a scan of a large folder gives: unique aliases in the scan's own
// naming, ordinary paths, mostly empty parameters.
std::vector<ConfigRow> OrdinaryTable(size_t count)
{
    static const wchar_t* const stems[] = {L"setup",     L"notepad++", L"7zfm",     L"code",         L"python3.11",
                                           L"uninstall", L"app host",  L"git-bash", L"\u00E9diteur", L"vlc"};
    constexpr size_t kStems = sizeof(stems) / sizeof(stems[0]);
    std::vector<ConfigRow> rows(count);
    for (size_t i = 0; i < count; ++i) {
        const std::wstring stem = stems[i % kStems];
        const size_t repeat = i / kStems;
        rows[i].alias = repeat == 0 ? stem : stem + L"_#" + std::to_wstring(repeat - 1);
        rows[i].path = L"c:\\program files\\vendor " + std::to_wstring(i) + L"\\" + stem + L".exe";
        rows[i].parameter = i % 7 == 0 ? L"/s" : L"";
    }
    return rows;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The loader's lookups; the seconds they took.
double ReadAllBack(const std::vector<ConfigRow>& rows, const std::wstring& file, bool with_codec)
{
    const auto start = std::chrono::steady_clock::now();
    const ConfigIndex index = with_codec ? ReadConfigIndex(file.c_str()) : ConfigIndex();
    wchar_t path[kPathBuffer];
    wchar_t parameter[kParameterBuffer];
    for (const ConfigRow& row : rows) {
        if (with_codec) {
            ReadConfigString(index, row.alias.c_str(), L"path", path, kPathBuffer);
            ReadConfigString(index, row.alias.c_str(), L"parameter", parameter, kParameterBuffer);
        } else {
            GetPrivateProfileStringW(row.alias.c_str(), L"path", nullptr, path, kPathBuffer, file.c_str());
            GetPrivateProfileStringW(row.alias.c_str(), L"parameter", nullptr, parameter, kParameterBuffer,
                                     file.c_str());
        }
    }
    return SecondsSince(start);
}

// The saver's one-pass write; the seconds it took, negative when the table was refused or the file not written.
double WriteOnePass(const std::vector<ConfigRow>& rows, const std::wstring& file, ConfigImage* image)
{
    const auto start = std::chrono::steady_clock::now();
    *image = EncodeConfig(rows);
    if (!image->fast || !WriteFileBytes(file, image->bytes))
        return -1;
    return SecondsSince(start);
}

} // namespace

TEST(ProfileCodec, TenThousandOrdinaryRowsTakeTheFastPathBothWays)
{
    CodecFiles files;
    const std::vector<ConfigRow> rows = OrdinaryTable(10000);
    const std::wstring file = files.Next(L"large");

    ConfigImage image;
    const double write_seconds = WriteOnePass(rows, file, &image);
    ASSERT_GE(write_seconds, 0);
    const double read_seconds = ReadAllBack(rows, file, true);

    EXPECT_EQ(SectionNames(file), image.section_names);
    const ConfigIndex index = ReadConfigIndex(file.c_str());
    size_t local = 0;
    for (const ConfigRow& row : rows)
        local += ConfigAnswersLocally(index, row.alias.c_str(), L"path", kPathBuffer) &&
            ConfigAnswersLocally(index, row.alias.c_str(), L"parameter", kParameterBuffer);
    EXPECT_EQ(rows.size(), local);
    for (size_t i = 0; i < rows.size(); i += 97) {
        const std::wstring& alias = rows[i].alias;
        ASSERT_EQ(SystemAnswer(file, alias, L"path", kPathBuffer), CodecAnswer(index, alias, L"path", kPathBuffer))
            << Shown(alias);
        ASSERT_EQ(SystemAnswer(file, alias, L"parameter", kParameterBuffer),
                  CodecAnswer(index, alias, L"parameter", kParameterBuffer))
            << Shown(alias);
        EXPECT_EQ(rows[i].path, CodecAnswer(index, alias, L"path", kPathBuffer).text);
    }
    std::printf("[ timing ] 10000 rows: one-pass write %.3f s, one-pass read %.3f s\n", write_seconds, read_seconds);
    RecordProperty("write_seconds", std::to_string(write_seconds));
    RecordProperty("read_seconds", std::to_string(read_seconds));
}

// Measures both ways at VELKOR_CODEC_ROWS rows (10000 unless set); the
// profile functions' write takes many minutes, so it runs only on request:
// --gtest_also_run_disabled_tests --gtest_filter=*Measure*
TEST(ProfileCodec, DISABLED_MeasureBothWays)
{
    wchar_t setting[32] = {};
    const size_t count =
        GetEnvironmentVariableW(L"VELKOR_CODEC_ROWS", setting, 32) ? std::wcstoul(setting, nullptr, 10) : 10000;
    CodecFiles files;
    const std::vector<ConfigRow> rows = OrdinaryTable(count);
    const std::wstring fast_file = files.Next(L"fast");
    const std::wstring system_file = files.Next(L"system");

    ConfigImage image;
    const double fast_write = WriteOnePass(rows, fast_file, &image);
    ASSERT_GE(fast_write, 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WriteWithProfileFunctions(rows, system_file));
    const double system_write = SecondsSince(start);
    std::string system_bytes;
    ASSERT_TRUE(ReadFileBytes(system_file, &system_bytes));
    EXPECT_TRUE(system_bytes == image.bytes);

    const double fast_read = ReadAllBack(rows, fast_file, true);
    const double system_read = ReadAllBack(rows, system_file, false);
    std::printf("[ timing ] %zu rows: write one-pass %.3f s, profile functions %.3f s; "
                "read one-pass %.3f s, profile functions %.3f s\n",
                count, fast_write, system_write, fast_read, system_read);
}
