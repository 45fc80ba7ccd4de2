#include "profile_codec.h"

#include "handles.h"

#include <cstring>
#include <cwctype>
#include <optional>
#include <unordered_set>
#include <utility>

static_assert(sizeof(wchar_t) == 2, "config.ini holds UTF-16 code units");

namespace {

// Longer texts are left to the profile functions: no row the program makes
// comes near this, and nothing here depends on how the system copes with long lines.
constexpr size_t kLongestText = 4096;
// A larger file is not a table this program wrote.
constexpr LONGLONG kLargestFile = 256LL * 1024 * 1024;

constexpr std::wstring_view kPathKey = L"path";
constexpr std::wstring_view kParameterKey = L"parameter";

bool IsSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

bool IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Every character that some reading of a profile file may drop from the ends
// of a name or value: the platform's own blanks and Unicode's.
bool IsBlank(wchar_t c)
{
    if (c <= 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 || c == 0x180E || c == 0x202F || c == 0x205F ||
        c == 0x3000 || c == 0xFEFF)
        return true;
    if ((c >= 0x2000 && c <= 0x200D) || (c >= 0x2028 && c <= 0x2029) || c == 0x2060)
        return true;
    return iswspace(c) != 0;
}

bool IsQuote(wchar_t c)
{
    return c == L'"' || c == L'\'';
}

// Characters that may end a line or a text, or that mark an encoding.
bool IsUnsafeUnit(wchar_t c)
{
    return c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029 || c == 0xFEFF || c == 0xFFFE ||
        c == 0xFFFF;
}

// Characters that a linguistic comparison of names passes over.
bool IsInvisible(wchar_t c)
{
    return c == 0xAD || c == 0x034F || c == 0x180E || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
        (c >= 0x2060 && c <= 0x2064);
}

// Case pairs of Unicode that some mappings leave out (several lead into
// ASCII: the Kelvin sign, long s, dotless and dotted i).
constexpr std::pair<wchar_t, wchar_t> kSpecialCases[] = {
    {L'\x212A', L'k'},      {L'\x212B', L'\xE5'},  {L'\x2126', L'\x3C9'}, {L'\x017F', L's'},     {L'\x0131', L'i'},
    {L'\x0130', L'i'},      {L'\x1E9E', L'\xDF'},  {L'\x00B5', L'\x3BC'}, {L'\x00FF', L'\x178'}, {L'\x03C2', L'\x3C3'},
    {L'\x1FBE', L'\x3B9'},  {L'\x0345', L'\x3B9'}, {L'\x03D0', L'\x3B2'}, {L'\x03D1', L'\x3B8'}, {L'\x03F4', L'\x3B8'},
    {L'\x03D5', L'\x3C6'},  {L'\x03D6', L'\x3C0'}, {L'\x03F0', L'\x3BA'}, {L'\x03F1', L'\x3C1'}, {L'\x03F5', L'\x3B5'},
    {L'\x1E9B', L'\x1E61'}, {L'\x1C80', L'\x432'}, {L'\x1C81', L'\x434'}, {L'\x1C82', L'\x43E'}, {L'\x1C83', L'\x441'},
    {L'\x1C84', L'\x442'},  {L'\x1C85', L'\x442'}, {L'\x1C86', L'\x44A'}, {L'\x1C87', L'\x463'}, {L'\x1C88', L'\xA64B'},
};

// Case classes of the UTF-16 code units: every unit is joined with each of its
// upper- and lower-case forms under all the mappings the platform offers, so
// two texts that any of them makes equal get the same key. Where the profile
// functions match names without regard to case, they use one of these.
class CaseClasses {
public:
    CaseClasses()
    {
        for (size_t c = 0; c < parent_.size(); ++c)
            parent_[c] = static_cast<wchar_t>(c);
        std::wstring units;
        for (unsigned c = 1; c <= 0xFFFF; ++c)
            if (!IsSurrogate(static_cast<wchar_t>(c)))
                units.push_back(static_cast<wchar_t>(c));
        for (const LCID locale : {LOCALE_INVARIANT, LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT})
            for (const DWORD flags : {LCMAP_UPPERCASE, LCMAP_LOWERCASE})
                JoinMapped(units, [locale, flags](std::wstring& text) { MapText(locale, flags, text); });
        JoinMapped(units, [](std::wstring& text) { CharUpperBuffW(text.data(), static_cast<DWORD>(text.size())); });
        JoinMapped(units, [](std::wstring& text) { CharLowerBuffW(text.data(), static_cast<DWORD>(text.size())); });
        JoinMapped(units, [](std::wstring& text) { MapEach(text, [](wchar_t c) { return towupper(c); }); });
        JoinMapped(units, [](std::wstring& text) { MapEach(text, [](wchar_t c) { return towlower(c); }); });
        JoinKernelCase(units);
        for (const auto& [a, b] : kSpecialCases)
            Join(a, b);
        for (size_t c = 0; c < parent_.size(); ++c)
            parent_[c] = Root(static_cast<wchar_t>(c));
    }

    wchar_t Key(wchar_t c) const { return parent_[c]; }

private:
    template <typename Map> void JoinMapped(const std::wstring& units, Map map)
    {
        std::wstring mapped = units;
        map(mapped);
        if (mapped.size() != units.size())
            return;
        for (size_t i = 0; i < units.size(); ++i)
            if (mapped[i] != 0 && !IsSurrogate(mapped[i]))
                Join(units[i], mapped[i]);
    }

    static void MapText(LCID locale, DWORD flags, std::wstring& text)
    {
        std::wstring mapped(text.size(), L'\0');
        const int length = LCMapStringW(locale, flags, text.data(), static_cast<int>(text.size()), mapped.data(),
                                        static_cast<int>(mapped.size()));
        if (length == static_cast<int>(text.size())) {
            text = mapped;
            return;
        }
        for (wchar_t& c : text) { // some unit changed length: map one at a time
            wchar_t one[4] = {};
            if (LCMapStringW(locale, flags, &c, 1, one, 4) == 1)
                c = one[0];
        }
    }

    template <typename Map> static void MapEach(std::wstring& text, Map map)
    {
        for (wchar_t& c : text)
            c = static_cast<wchar_t>(map(c));
    }

    // The case mapping of the system's own string comparisons.
    void JoinKernelCase(const std::wstring& units)
    {
        using CharMap = WCHAR(NTAPI*)(WCHAR);
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (!ntdll)
            return;
        for (const char* name : {"RtlUpcaseUnicodeChar", "RtlDowncaseUnicodeChar"}) {
            const auto map = reinterpret_cast<CharMap>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
            if (map)
                JoinMapped(units, [map](std::wstring& text) { MapEach(text, map); });
        }
    }

    wchar_t Root(wchar_t c)
    {
        while (parent_[c] != c) {
            parent_[c] = parent_[parent_[c]];
            c = parent_[c];
        }
        return c;
    }

    void Join(wchar_t a, wchar_t b)
    {
        a = Root(a);
        b = Root(b);
        if (a == b)
            return;
        if (b < a)
            std::swap(a, b);
        parent_[b] = a; // the smallest unit stands for its class
    }

    std::vector<wchar_t> parent_ = std::vector<wchar_t>(0x10000);
};

const CaseClasses& Cases()
{
    static const CaseClasses cases;
    return cases;
}

// Equal for every two texts that some case-blind comparison may find equal.
std::wstring FoldKey(std::wstring_view text)
{
    const CaseClasses& cases = Cases();
    std::wstring key(text.size(), L'\0');
    for (size_t i = 0; i < text.size(); ++i)
        key[i] = cases.Key(text[i]);
    return key;
}

// A character beyond the 16-bit range that has another letter case; per-unit
// keys cannot see its partner.
bool IsCasedPair(const wchar_t* pair)
{
    for (const DWORD flags : {LCMAP_UPPERCASE, LCMAP_LOWERCASE}) {
        wchar_t mapped[4] = {};
        if (LCMapStringW(LOCALE_INVARIANT, flags, pair, 2, mapped, 4) != 2 || mapped[0] != pair[0] ||
            mapped[1] != pair[1])
            return true;
    }
    return false;
}

// A text that the profile functions store and give back unchanged.
bool IsPlainText(std::wstring_view text)
{
    if (text.size() > kLongestText)
        return false;
    if (!text.empty() &&
        (IsBlank(text.front()) || IsBlank(text.back()) || IsQuote(text.front()) || IsQuote(text.back())))
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsUnsafeUnit(c))
            return false;
        if (IsLowSurrogate(c))
            return false; // not preceded by a high surrogate
        if (IsHighSurrogate(c)) {
            if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1]))
                return false;
            ++i;
        }
    }
    return true;
}

// A section name that every reading of the file takes as it stands.
bool IsPlainName(std::wstring_view name)
{
    if (name.empty() || !IsPlainText(name))
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        if (c == L'[' || c == L']' || IsInvisible(c))
            return false;
        if (IsHighSurrogate(c) && IsCasedPair(&name[i]))
            return false;
    }
    return true;
}

// Little-endian UTF-16, as every Windows platform stores it.
void AppendUnits(std::string& bytes, std::wstring_view text)
{
    const size_t at = bytes.size();
    bytes.resize(at + text.size() * sizeof(wchar_t));
    if (!text.empty())
        std::memcpy(&bytes[at], text.data(), text.size() * sizeof(wchar_t));
}

struct SharedSection {
    size_t first_row;
    size_t last_row;
};

// The sections of the table in file order; empty when a row is not plain.
std::optional<std::vector<SharedSection>> PlainSections(const std::vector<ConfigRow>& rows)
{
    std::vector<SharedSection> sections;
    std::unordered_map<std::wstring_view, size_t> by_alias;
    std::unordered_set<std::wstring> folds;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ConfigRow& row = rows[i];
        if (!IsPlainName(row.alias) || !IsPlainText(row.path) || !IsPlainText(row.parameter))
            return std::nullopt;
        const auto [at, added] = by_alias.try_emplace(row.alias, sections.size());
        if (!added) {
            sections[at->second].last_row = i;
            continue;
        }
        // A different alias that the system may take for the same section.
        if (!folds.insert(FoldKey(row.alias)).second)
            return std::nullopt;
        sections.push_back({i, i});
    }
    return sections;
}

} // namespace

ConfigImage EncodeConfig(const std::vector<ConfigRow>& rows)
{
    ConfigImage image;
    const auto sections = PlainSections(rows);
    if (!sections)
        return image;
    image.fast = true;
    if (rows.empty())
        return image;

    image.bytes = "\xFF\xFE";
    for (const SharedSection& section : *sections) {
        const std::wstring& name = rows[section.first_row].alias;
        const ConfigRow& values = rows[section.last_row];
        AppendUnits(image.bytes, L"[");
        AppendUnits(image.bytes, name);
        AppendUnits(image.bytes, L"]\r\npath=");
        AppendUnits(image.bytes, values.path);
        AppendUnits(image.bytes, L"\r\nparameter=");
        AppendUnits(image.bytes, values.parameter);
        AppendUnits(image.bytes, L"\r\n");
        image.section_names.insert(image.section_names.end(), name.begin(), name.end());
        image.section_names.push_back(L'\0');
    }
    return image;
}

namespace {

std::optional<std::string> ReadWholeFile(const wchar_t* path)
{
    UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestFile)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()))
        return std::nullopt;
    return bytes;
}

// The text of a UTF-16LE file with its byte-order mark; nothing for any other
// encoding, which the profile functions may decode in ways not followed here.
std::optional<std::vector<wchar_t>> Utf16Text(const std::string& bytes)
{
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE)
        return std::nullopt;
    std::vector<wchar_t> text((bytes.size() - 2) / 2);
    if (!text.empty())
        std::memcpy(text.data(), bytes.data() + 2, text.size() * sizeof(wchar_t));
    return text;
}

struct Line {
    size_t at;
    size_t length;
    bool ended; // by CR LF
};

// Splits at CR LF; nothing when a line ends otherwise or a zero unit ends the
// text early, since readers differ on those.
std::optional<std::vector<Line>> SplitLines(const std::vector<wchar_t>& text)
{
    std::vector<Line> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\0' || c == L'\n')
            return std::nullopt;
        if (c != L'\r')
            continue;
        if (i + 1 == text.size() || text[i + 1] != L'\n')
            return std::nullopt;
        lines.push_back({start, i - start, true});
        start = i + 2;
        ++i;
    }
    if (start < text.size())
        lines.push_back({start, text.size() - start, false});
    return lines;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// A line that a case-blind reader with its own idea of blanks might still
// take for one of the two keys.
bool MayBeKeyLine(std::wstring_view line)
{
    size_t start = 0;
    while (start < line.size() && (IsBlank(line[start]) || IsInvisible(line[start])))
        ++start;
    const std::wstring folded = FoldKey(line.substr(start, kParameterKey.size()));
    return StartsWith(folded, FoldKey(kPathKey)) || StartsWith(folded, FoldKey(kParameterKey));
}

// Records "path=" or "parameter=" of the current section; false when the line is neither.
bool ReadKeyLine(std::wstring_view line, const Line& where, ConfigSection& section)
{
    for (const bool is_path : {true, false}) {
        const std::wstring_view key = is_path ? kPathKey : kParameterKey;
        if (!StartsWith(line, key) || line.size() == key.size() || line[key.size()] != L'=')
            continue;
        const std::wstring_view value = line.substr(key.size() + 1);
        bool& has = is_path ? section.has_path : section.has_parameter;
        if (has || !where.ended || !IsPlainText(value))
            section.answerable = false;
        has = true;
        (is_path ? section.path_at : section.parameter_at) = where.at + key.size() + 1;
        (is_path ? section.path_length : section.parameter_length) = value.size();
        return true;
    }
    return false;
}

// Reads the lines into sections; false when the layout of sections itself is
// in doubt, so that no lookup can be answered.
bool ReadSections(ConfigIndex& index, const std::vector<Line>& lines)
{
    ConfigSection preamble; // lines before the first section belong to no name
    ConfigSection* current = &preamble;
    for (const Line& where : lines) {
        const std::wstring_view line(index.text.data() + where.at, where.length);
        if (line.empty())
            continue;
        if (line.front() == L'[') {
            if (!where.ended || line.back() != L']' || !IsPlainName(line.substr(1, line.size() - 2)))
                return false;
            ConfigSection section;
            section.name_at = where.at + 1;
            section.name_length = line.size() - 2;
            index.sections.push_back(section);
            current = &index.sections.back();
            continue;
        }
        if (ReadKeyLine(line, where, *current))
            continue;
        if (line.find(L'[') != std::wstring_view::npos)
            return false; // a section that a more lenient reader may see
        if (MayBeKeyLine(line))
            current->answerable = false;
    }
    return true;
}

std::wstring_view SectionName(const ConfigIndex& index, const ConfigSection& section)
{
    return {index.text.data() + section.name_at, section.name_length};
}

// A section that shares its name with another, letter case aside, is found
// or merged as the system decides.
void IndexNames(ConfigIndex& index)
{
    std::vector<std::wstring> folds;
    folds.reserve(index.sections.size());
    for (size_t i = 0; i < index.sections.size(); ++i) {
        index.by_name.try_emplace(SectionName(index, index.sections[i]), i);
        folds.push_back(FoldKey(SectionName(index, index.sections[i])));
        ++index.names_by_fold[folds.back()];
    }
    for (size_t i = 0; i < index.sections.size(); ++i)
        if (index.names_by_fold[folds[i]] != 1)
            index.sections[i].answerable = false;
}

// The answer taken from the text, or nothing when the profile functions must give it.
std::optional<std::wstring_view> LocalAnswer(const ConfigIndex& index, const wchar_t* section, const wchar_t* key,
                                             DWORD capacity)
{
    if (!index.answerable || !section || !key || capacity < 2)
        return std::nullopt;
    const std::wstring_view wanted_key(key);
    if (wanted_key != kPathKey && wanted_key != kParameterKey)
        return std::nullopt;
    const std::wstring_view name(section);
    if (!IsPlainName(name))
        return std::nullopt;

    const auto found = index.by_name.find(name);
    if (found == index.by_name.end()) {
        // Missing unless some section may match it without regard to case.
        if (index.names_by_fold.count(FoldKey(name)) != 0)
            return std::nullopt;
        return std::wstring_view();
    }
    const ConfigSection& match = index.sections[found->second];
    if (!match.answerable)
        return std::nullopt;

    const bool is_path = wanted_key == kPathKey;
    if (!(is_path ? match.has_path : match.has_parameter))
        return std::wstring_view();
    std::wstring_view value(index.text.data() + (is_path ? match.path_at : match.parameter_at),
                            is_path ? match.path_length : match.parameter_length);
    if (value.size() < capacity)
        return value;
    value = value.substr(0, capacity - 1);
    // Whether the cut end is trimmed, or half a character kept, is the system's affair.
    if (IsBlank(value.back()) || IsHighSurrogate(value.back()))
        return std::nullopt;
    return value;
}

} // namespace

ConfigIndex ReadConfigIndex(const wchar_t* path)
{
    ConfigIndex index;
    index.file = path ? path : L"";
    const auto bytes = ReadWholeFile(index.file.c_str());
    if (!bytes)
        return index;
    index.read = true;
    auto text = Utf16Text(*bytes);
    if (!text)
        return index;
    index.text = std::move(*text);
    const auto lines = SplitLines(index.text);
    if (!lines || !ReadSections(index, *lines)) {
        index.sections.clear();
        return index;
    }
    IndexNames(index);
    index.answerable = true;
    return index;
}

DWORD ReadConfigString(const ConfigIndex& index, const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                       DWORD capacity)
{
    const auto answer = buffer ? LocalAnswer(index, section, key, capacity) : std::nullopt;
    if (!answer)
        return GetPrivateProfileStringW(section, key, nullptr, buffer, capacity, index.file.c_str());
    if (!answer->empty())
        std::memcpy(buffer, answer->data(), answer->size() * sizeof(wchar_t));
    buffer[answer->size()] = L'\0';
    return static_cast<DWORD>(answer->size());
}

bool ConfigAnswersLocally(const ConfigIndex& index, const wchar_t* section, const wchar_t* key, DWORD capacity)
{
    return LocalAnswer(index, section, key, capacity).has_value();
}
