#include "dialog_template.h"

#include <gtest/gtest.h>

namespace {

class Reader {
public:
    explicit Reader(const BYTE* p) : p_(p), start_(p) { }

    WORD Word()
    {
        WORD v;
        memcpy(&v, p_, 2);
        p_ += 2;
        return v;
    }
    DWORD Dword()
    {
        DWORD v;
        memcpy(&v, p_, 4);
        p_ += 4;
        return v;
    }
    short Short() { return static_cast<short>(Word()); }
    std::wstring String()
    {
        std::wstring s;
        for (WORD c; (c = Word()) != 0;)
            s += static_cast<wchar_t>(c);
        return s;
    }
    // A name or an ordinal (0xFFFF and a number); ordinals come back as "#n".
    std::wstring NameOrOrdinal()
    {
        WORD first;
        memcpy(&first, p_, 2);
        if (first == 0xFFFF) {
            p_ += 2;
            return L"#" + std::to_wstring(Word());
        }
        return String();
    }
    void AlignDword() { p_ = start_ + ((p_ - start_ + 3) & ~3); }
    void Skip(size_t bytes) { p_ += bytes; }

private:
    const BYTE* p_;
    const BYTE* start_;
};

std::wstring PredefinedClass(const std::wstring& name)
{
    if (name == L"#128")
        return L"Button";
    if (name == L"#129")
        return L"Edit";
    if (name == L"#130")
        return L"Static";
    if (name == L"#131")
        return L"ListBox";
    if (name == L"#132")
        return L"ScrollBar";
    if (name == L"#133")
        return L"ComboBox";
    return name;
}

} // namespace

bool LoadDialogTemplate(HMODULE module, int id, DialogTemplate* out)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!data)
        return false;

    Reader r(data);
    if (r.Word() != 1 || r.Word() != 0xFFFF)
        return false;
    r.Dword(); // help id
    out->ex_style = r.Dword();
    out->style = r.Dword();
    const WORD count = r.Word();
    out->x = r.Short();
    out->y = r.Short();
    out->cx = r.Short();
    out->cy = r.Short();
    r.NameOrOrdinal(); // menu
    r.NameOrOrdinal(); // class
    out->title = r.String();
    if (out->style & (DS_SETFONT | DS_SHELLFONT)) {
        out->point_size = r.Word();
        out->weight = r.Word();
        r.Skip(2); // italic, charset
        out->font = r.String();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        TemplateItem item;
        r.Dword(); // help id
        item.ex_style = r.Dword();
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = static_cast<int>(r.Dword());
        item.cls = PredefinedClass(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        r.Skip(r.Word()); // creation data
        out->items.push_back(item);
    }
    return true;
}

void ExpectItemsAsRows(const DialogTemplate& dialog, const ControlRow* rows, size_t count)
{
    ASSERT_EQ(count, dialog.items.size());
    for (size_t i = 0; i < count; ++i) {
        const ControlRow& row = rows[i];
        const TemplateItem& item = dialog.items[i];
        SCOPED_TRACE(testing::Message() << "item " << i << ", id " << row.id);
        EXPECT_EQ(row.id, item.id);
        EXPECT_EQ(0, _wcsicmp(row.cls, item.cls.c_str())) << item.cls.c_str();
        EXPECT_EQ(row.text, item.text);
        EXPECT_EQ(row.style | WS_CHILD, item.style);
        EXPECT_EQ(0u, item.ex_style);
        EXPECT_EQ(row.x, item.x);
        EXPECT_EQ(row.y, item.y);
        EXPECT_EQ(row.cx, item.cx);
        EXPECT_EQ(row.cy, item.cy);
    }
}

void ExpectChildrenAsRows(HWND dlg, const ControlRow* rows, size_t count)
{
    HWND child = GetWindow(dlg, GW_CHILD);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(testing::Message() << "child " << i << ", id " << rows[i].id);
        ASSERT_NE(nullptr, child);
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        EXPECT_EQ(rows[i].id, static_cast<int>(GetWindowLongPtrW(child, GWLP_ID)));
        EXPECT_EQ(0, _wcsicmp(rows[i].cls, cls)) << cls;
        EXPECT_EQ((rows[i].style & WS_VISIBLE) != 0, (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, child) << "no more children than rows";
}
