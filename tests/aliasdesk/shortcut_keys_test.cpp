#include "aliasdesk_ids.h"
#include "list_input.h"
#include "shortcut_keys.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

// Holds Ctrl down in this thread's key state, as GetKeyState reads it.
class HeldCtrl {
public:
    HeldCtrl()
    {
        GetKeyboardState(saved_);
        BYTE held[256];
        CopyMemory(held, saved_, sizeof(held));
        held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
        SetKeyboardState(held);
    }
    ~HeldCtrl() { SetKeyboardState(saved_); }
    HeldCtrl(const HeldCtrl&) = delete;
    HeldCtrl& operator=(const HeldCtrl&) = delete;

private:
    BYTE saved_[256];
};

// The key and the character TranslateMessage makes of it, as the loop delivers them.
void SendKeyAndChar(HWND window, UINT vk, wchar_t c)
{
    SetFocus(window);
    SendMessageW(window, WM_KEYDOWN, vk, 1);
    if (c)
        SendMessageW(window, WM_CHAR, c, 1);
}

class ShortcutKeysTest : public ListTest {
protected:
    void SetUp() override
    {
        ListTest::SetUp();
        if (HasFatalFailure())
            return;
        Fill({{L"notepad", L"", L"C:\\Tools\\notepad.exe"},
              {L"nova", L"-x", L"C:\\Tools\\nova.exe"},
              {L"calc", L"", L"C:\\Tools\\calc.exe"}});
    }

    // Filters by "no", then puts other text into the box without a
    // character: a filter started by a shortcut would list nothing.
    void FilterThenRetype()
    {
        TypeFilter(L"no");
        ASSERT_EQ(2u, Rows(Filter()).size());
        SetWindowTextW(Item(IDC_FILTER), L"zz");
    }

    HWND Box() const { return Item(IDC_FILTER); }
};

TEST_F(ShortcutKeysTest, CtrlASelectsEveryRowOfEitherList)
{
    Select(Main(), 1);
    SendKeyAndChar(Main(), 'A', 0);
    EXPECT_EQ((std::vector<int>{1}), SelectedRows(Main())); // A alone is no shortcut
    {
        HeldCtrl ctrl;
        SendKeyAndChar(Main(), 'A', 0x01);
    }
    EXPECT_EQ((std::vector<int>{0, 1, 2}), SelectedRows(Main()));

    FilterThenRetype();
    Select(Filter(), 0, false);
    {
        HeldCtrl ctrl;
        SendKeyAndChar(Filter(), 'A', 0x01);
    }
    Settle();
    EXPECT_EQ((std::vector<int>{0, 1}), SelectedRows(Filter()));
    EXPECT_EQ(L"zz", Text(IDC_FILTER));
    EXPECT_EQ(2u, Rows(Filter()).size()); // no filter pass ran
}

// As the message loop meets the key, in whichever control has the focus.
TEST_F(ShortcutKeysTest, CtrlFAnywhereFocusesTheFilterBoxWithItsTextSelected)
{
    FilterThenRetype();
    SetFocus(Main());
    EXPECT_FALSE(TakeFilterShortcut(dlg_, MSG{Main(), WM_KEYDOWN, 'F', 1, 0, {}}));
    EXPECT_EQ(Main(), GetFocus()); // F alone is no shortcut
    for (HWND from : {Filter(), Box(), Item(IDC_PATH), Item(IDC_REMOVE)}) {
        SetFocus(from);
        SendMessageW(Box(), EM_SETSEL, 1, 1);
        {
            HeldCtrl ctrl;
            EXPECT_TRUE(TakeFilterShortcut(dlg_, MSG{from, WM_KEYDOWN, 'F', 1, 0, {}}));
        }
        Settle();
        DWORD start = 9, end = 9;
        SendMessageW(Box(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(Box(), GetFocus());
        EXPECT_EQ(0u, start);
        EXPECT_EQ(2u, end);
        EXPECT_EQ(L"zz", Text(IDC_FILTER));
        EXPECT_EQ(2u, Rows(Filter()).size()); // no filter pass ran
    }
}

} // namespace
