#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d_record.h"
#include "platform/d3dx.h"
#include "platform/dialog.h"
#include "platform/dialog_test.h"
#include "platform/font.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "platform_support.h"

namespace {

enum { ID_BOX = 100, ID_LIST = 101, ID_FIELD = 102, ID_LABEL = 103 };

const platform_dialog_item test_items[] = {
    {"BUTTON", "OK", IDOK, 150, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"BUTTON", "Cancel", IDCANCEL, 150, 24, 50, 14, WS_TABSTOP},
    {"BUTTON", "Remember", ID_BOX, 7, 7, 100, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {"COMBOBOX", "", ID_LIST, 7, 22, 120, 60, CBS_DROPDOWNLIST | WS_TABSTOP},
    {"COMBOBOX", "", ID_FIELD, 7, 42, 120, 60, CBS_DROPDOWN | WS_TABSTOP},
    {"STATIC", "A label", ID_LABEL, 7, 62, 100, 8, SS_LEFT},
};
const platform_dialog_resource test_dialog = {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                                  DS_CENTER,
                                              0,
                                              0,
                                              210,
                                              80,
                                              "Test Dialog",
                                              "MS Sans Serif",
                                              8,
                                              test_items,
                                              sizeof test_items / sizeof test_items[0]};

// What the dialog procedure was told, and how it answers.
struct proc_log {
    std::vector<std::pair<int, int>> commands;  // (id, notification)
    int init_count = 0;
    bool ignore_cancel = false;
    int list_items = 3;
};
proc_log seen;

INT_PTR test_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        ++seen.init_count;
        for (int i = 0; i < seen.list_items; ++i) {
            std::string name = "item " + std::to_string(i);
            LRESULT index = SendDlgItemMessage(dialog, ID_LIST, CB_ADDSTRING, 0,
                                               (LPARAM)name.c_str());
            SendDlgItemMessage(dialog, ID_LIST, CB_SETITEMDATA, (WPARAM)index, 10 * i);
            SendDlgItemMessage(dialog, ID_FIELD, CB_ADDSTRING, 0, (LPARAM)name.c_str());
        }
        SendDlgItemMessage(dialog, ID_LIST, CB_SETCURSEL, 0, 0);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    int id = LOWORD(wparam), code = HIWORD(wparam);
    seen.commands.push_back({id, code});
    if (id == IDOK || (id == IDCANCEL && !seen.ignore_cancel)) {
        EndDialog(dialog, id == IDOK ? 11 : 22);
        return TRUE;
    }
    return FALSE;
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        seen = proc_log();
        platform_register_dialog("TEST_DIALOG", &test_dialog);
        owner = test_make_window("Dialog Owner", owner_proc);
        ASSERT_NE(owner, nullptr);
        ShowWindow(owner, SW_SHOWNORMAL);
        owner_messages.clear();
        dialog_script_begin();
    }
    void TearDown() override
    {
        dialog_script_end();
        win32_reset();
    }
    INT_PTR run() { return DialogBoxParam(nullptr, "TEST_DIALOG", owner, test_proc, 0); }

    static LRESULT owner_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
    {
        owner_messages.push_back(message);
        return message == WM_CLOSE ? 0 : DefWindowProc(window, message, wparam, lparam);
    }
    static std::vector<UINT> owner_messages;
    HWND owner = nullptr;
};
std::vector<UINT> Dialogs::owner_messages;

// Looks at the dialog in the middle of a script.
struct snapshot {
    int checked = -1;
    int selection = -2;
    LRESULT data = -2;
    std::string field;
    BOOL owner_enabled = TRUE;
    HWND owner = nullptr;
};
void take_snapshot(HWND dialog, void* data)
{
    snapshot* shot = (snapshot*)data;
    shot->checked = (int)IsDlgButtonChecked(dialog, ID_BOX);
    shot->selection = (int)SendDlgItemMessage(dialog, ID_LIST, CB_GETCURSEL, 0, 0);
    shot->data = SendDlgItemMessage(dialog, ID_LIST, CB_GETITEMDATA, (WPARAM)shot->selection, 0);
    char text[64];
    GetDlgItemText(dialog, ID_FIELD, text, sizeof text);
    shot->field = text;
    shot->owner_enabled = IsWindowEnabled(GetParent(dialog));
}

TEST_F(Dialogs, TheKeyboardMovesTheFocusTogglesAndConfirms)
{
    snapshot after;
    // The focus starts on OK; two Tabs reach the check box, Space toggles it.
    dialog_script_key("Tab", 0);
    dialog_script_key("Tab", 0);
    dialog_script_key("Space", 0);
    // Shift+Tab back to Cancel and forward again, then Tab to the list: Down
    // chooses the next item.
    dialog_script_key("Tab", PLATFORM_MOD_SHIFT);
    dialog_script_key("Tab", 0);
    dialog_script_key("Tab", 0);
    dialog_script_key("Down", 0);
    dialog_script_call(take_snapshot, &after);
    dialog_script_key("Return", 0);
    EXPECT_EQ(run(), 11) << "Enter presses the default button, OK";
    EXPECT_EQ(seen.init_count, 1);
    EXPECT_EQ(after.checked, BST_CHECKED);
    EXPECT_EQ(after.selection, 1);
    EXPECT_EQ(after.data, 10);
    EXPECT_FALSE(after.owner_enabled) << "the owner is disabled while the dialog runs";
    EXPECT_TRUE(IsWindowEnabled(owner));
    std::vector<std::pair<int, int>> expected = {
        {ID_BOX, BN_CLICKED}, {ID_LIST, CBN_SELCHANGE}, {IDOK, BN_CLICKED}};
    EXPECT_EQ(seen.commands, expected);
    ASSERT_EQ(dialog_shown_count(), 1);
    EXPECT_STREQ(dialog_shown_caption(0), "Test Dialog");
}

TEST_F(Dialogs, TheMouseClicksBoxesAndChoosesFromAnOpenList)
{
    snapshot after;
    dialog_script_click(ID_BOX);
    dialog_script_click(ID_LIST);  // opens the list
    dialog_script_click_item(ID_LIST, 2);
    dialog_script_call(take_snapshot, &after);
    dialog_script_click(IDCANCEL);
    EXPECT_EQ(run(), 22);
    EXPECT_EQ(after.checked, BST_CHECKED);
    EXPECT_EQ(after.selection, 2);
    EXPECT_EQ(after.data, 20);
    std::vector<std::pair<int, int>> expected = {
        {ID_BOX, BN_CLICKED}, {ID_LIST, CBN_SELCHANGE}, {IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(seen.commands, expected);
}

TEST_F(Dialogs, EscClosesAnOpenListWithoutAChoiceAndThenCancels)
{
    snapshot after;
    dialog_script_click(ID_LIST);
    dialog_script_key("Down", 0);
    dialog_script_key("Escape", 0);
    dialog_script_call(take_snapshot, &after);
    dialog_script_key("Escape", 0);
    EXPECT_EQ(run(), 22);
    EXPECT_EQ(after.selection, 0);
    std::vector<std::pair<int, int>> expected = {{IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(seen.commands, expected);
}

TEST_F(Dialogs, AnEditableComboBoxTakesTypedTextAndChoices)
{
    snapshot typed, chosen;
    dialog_script_click(ID_FIELD);   // focus; the list opens
    dialog_script_key("Escape", 0);  // and closes
    dialog_script_text("level2");
    dialog_script_key("Backspace", 0);
    dialog_script_call(take_snapshot, &typed);
    dialog_script_click(ID_FIELD);
    dialog_script_click_item(ID_FIELD, 1);
    dialog_script_call(take_snapshot, &chosen);
    run();
    EXPECT_EQ(typed.field, "level");
    EXPECT_EQ(chosen.field, "item 1");
}

TEST_F(Dialogs, WhenTheScriptRunsOutTheDialogIsCancelledEvenIfItsProcedureIgnoresIt)
{
    seen.ignore_cancel = true;
    EXPECT_EQ(run(), IDCANCEL);
    std::vector<std::pair<int, int>> expected = {{IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(seen.commands, expected);
    EXPECT_EQ(GetDlgItem(owner, IDOK), nullptr);
}

void request_close(HWND dialog, void*)
{
    platform_event close = {};
    close.kind = PLATFORM_EVENT_CLOSE;
    win32_feed_event(GetParent(dialog), &close);
}

TEST_F(Dialogs, ClosingTheOwnerCancelsTheDialogFirstAndReachesTheOwnerAfter)
{
    dialog_script_call(request_close, nullptr);
    dialog_script_click(IDOK);  // never reached
    EXPECT_EQ(run(), 22);
    std::vector<std::pair<int, int>> expected = {{IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(seen.commands, expected);
    owner_messages.clear();
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_CLOSE);
    EXPECT_EQ(msg.hwnd, owner);
}

void post_quit(HWND, void*)
{
    PostQuitMessage(3);
}

TEST_F(Dialogs, TheQuitMessageEndsTheDialogAndStaysQueued)
{
    dialog_script_call(post_quit, nullptr);
    EXPECT_EQ(run(), 22);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Dialogs, ControlsAnswerTheirMessages)
{
    struct checks {
        static void run(HWND dialog, void*)
        {
            EXPECT_EQ(SendDlgItemMessage(dialog, ID_LIST, CB_GETCOUNT, 0, 0), 3);
            EXPECT_EQ(SendDlgItemMessage(dialog, ID_LIST, CB_SETCURSEL, 7, 0), CB_ERR);
            EXPECT_EQ(SendDlgItemMessage(dialog, ID_LIST, CB_GETCURSEL, 0, 0), CB_ERR);
            EXPECT_EQ(SendDlgItemMessage(dialog, ID_LIST, CB_GETITEMDATA, 5, 0), CB_ERR);
            char text[8];
            EXPECT_EQ(SendDlgItemMessage(dialog, ID_LIST, CB_GETLBTEXT, 2, (LPARAM)text), 6);
            EXPECT_STREQ(text, "item 2");
            EXPECT_EQ(GetDlgItemText(dialog, ID_LABEL, text, sizeof text), 7u);
            EXPECT_STREQ(text, "A label");
            EXPECT_EQ(GetDlgItemText(dialog, ID_LABEL, text, 4), 3u) << "cut to the buffer";
            EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
            CheckDlgButton(dialog, ID_BOX, BST_CHECKED);
            EXPECT_EQ(IsDlgButtonChecked(dialog, ID_BOX), (UINT)BST_CHECKED);
            SendDlgItemMessage(dialog, ID_LIST, CB_RESETCONTENT, 0, 0);
            EXPECT_EQ(SendDlgItemMessage(dialog, ID_LIST, CB_GETCOUNT, 0, 0), 0);
        }
    };
    dialog_script_call(checks::run, nullptr);
    run();
    EXPECT_EQ(DialogBoxParam(nullptr, "NO_SUCH_DIALOG", owner, test_proc, 0), -1);
}

// A template in the in-memory format, written as the driver selection does.
struct template_writer {
    std::vector<WORD> words;
    void dword(DWORD value)
    {
        words.push_back((WORD)(value & 0xFFFF));
        words.push_back((WORD)(value >> 16));
    }
    void text(const char* value)
    {
        for (const char* c = value; *c; ++c)
            words.push_back((WORD)(unsigned char)*c);
        words.push_back(0);
    }
    void align()
    {
        if (words.size() % 2)
            words.push_back(0);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD class_ordinal,
              const char* title)
    {
        align();
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        for (short value : {x, y, cx, cy})
            words.push_back((WORD)value);
        words.push_back(id);
        words.push_back(0xFFFF);
        words.push_back(class_ordinal);
        text(title);
        words.push_back(0);
    }
};

TEST_F(Dialogs, InMemoryTemplatesGiveTheirCaptionAndControls)
{
    template_writer t;
    t.dword(WS_POPUP | WS_CAPTION | DS_SETFONT | DS_CENTER);
    t.dword(0);
    t.words.push_back(3);
    for (short value : {0, 0, 200, 60})
        t.words.push_back((WORD)value);
    t.words.push_back(0);
    t.words.push_back(0);
    t.text("Made In Memory");
    t.words.push_back(8);
    t.text("Arial");
    t.item(WS_TABSTOP, 10, 40, 50, 14, IDOK, 0x0080, "OK");
    t.item(BS_CHECKBOX | WS_TABSTOP, 10, 10, 60, 10, 1000, 0x0080, "Check");
    t.item(CBS_DROPDOWNLIST | WS_TABSTOP, 80, 10, 100, 40, 1001, 0x0085, "");
    struct checks {
        static void run(HWND dialog, void*)
        {
            char text[32];
            GetDlgItemText(dialog, IDOK, text, sizeof text);
            EXPECT_STREQ(text, "OK");
            EXPECT_NE(GetDlgItem(dialog, 1001), nullptr);
            RECT box = {}, combo = {};
            ASSERT_TRUE(dialog_control_rect(dialog, 1000, &box));
            ASSERT_TRUE(dialog_control_rect(dialog, 1001, &combo));
            // Dialog units: 7 pixels a 4 across, 14 pixels a 8 down.
            EXPECT_EQ(combo.left - box.left, 80 * 7 / 4 - 10 * 7 / 4);
            EXPECT_EQ(box.right - box.left, 60 * 7 / 4);
        }
    };
    dialog_script_call(checks::run, nullptr);
    // A plain check box does not toggle itself: the procedure sees the click.
    dialog_script_click(1000);
    snapshot unused;
    (void)unused;
    struct still {
        static void run(HWND dialog, void*) { EXPECT_EQ(IsDlgButtonChecked(dialog, 1000), 0u); }
    };
    dialog_script_call(still::run, nullptr);
    dialog_script_click(IDOK);
    EXPECT_EQ(
        DialogBoxIndirectParam(nullptr, (const DLGTEMPLATE*)t.words.data(), owner, test_proc, 0),
        11);
    ASSERT_EQ(dialog_shown_count(), 1);
    EXPECT_STREQ(dialog_shown_caption(0), "Made In Memory");
    std::vector<std::pair<int, int>> expected = {{1000, BN_CLICKED}, {IDOK, BN_CLICKED}};
    EXPECT_EQ(seen.commands, expected);
}

// The picture of the dialog as the window shows it.
struct picture {
    std::vector<DWORD> pixels = std::vector<DWORD>(640 * 480);
    DWORD at(int x, int y) const { return pixels[(size_t)y * 640 + x]; }
    // Pixels of a rectangle darker than half grey (ink of text and marks).
    int dark_in(const RECT& r) const
    {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                count += (at(x, y) & 0xFF) < 0x60 && ((at(x, y) >> 8) & 0xFF) < 0x60;
        return count;
    }
};

void paint_into(HWND dialog, void* data)
{
    dialog_paint(GetParent(dialog), ((picture*)data)->pixels.data(), 640, 480);
}

TEST_F(Dialogs, ThePictureShowsTheFrameTheCaptionTheTextAndTheCheckMark)
{
    platform_font_use(&platform_font_freetype_ops);
    picture unchecked, checked;
    dialog_script_call(paint_into, &unchecked);
    dialog_script_click(ID_BOX);
    dialog_script_call(paint_into, &checked);
    snapshot rects;
    RECT ok = {}, box = {};
    struct where {
        RECT* ok;
        RECT* box;
    } places = {&ok, &box};
    dialog_script_call(
        [](HWND dialog, void* data) {
            where* w = (where*)data;
            dialog_control_rect(dialog, IDOK, w->ok);
            dialog_control_rect(dialog, ID_BOX, w->box);
        },
        &places);
    run();
    platform_font_use(nullptr);

    EXPECT_EQ(unchecked.at(2, 2), 0u) << "transparent around the dialog";
    // The dialog is 210 x 80 units in the middle of the window.
    int width = 210 * 7 / 4 + 6, height = 80 * 14 / 8 + 6 + 22;
    int left = (640 - width) / 2, top = (480 - height) / 2;
    DWORD caption = unchecked.at(left + width / 2, top + 4);
    EXPECT_GT(caption & 0xFF, (caption >> 16) & 0xFF) << "a blue caption";
    EXPECT_EQ(unchecked.at(left + width / 2, top + height - 8), 0xFFD4D0C8u) << "the grey face";
    EXPECT_GT(unchecked.dark_in(ok), 10) << "the button's text";
    RECT mark = {box.left + 2, box.top + 2, box.left + 12, box.bottom - 2};
    EXPECT_GT(checked.dark_in(mark), unchecked.dark_in(mark) + 10) << "the tick";
}

TEST_F(Dialogs, AWindowWithADeviceShowsTheDialogOverItsPicture)
{
    ID3DXContext* context = nullptr;
    ASSERT_EQ(D3DXInitialize(), S_OK);
    ASSERT_EQ(D3DXCreateContextEx(D3DX_DEFAULT, 0, owner, nullptr, D3DX_DEFAULT, D3DX_DEFAULT,
                                  D3DX_DEFAULT, 0, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                  D3DX_DEFAULT, &context),
              S_OK);
    dialog_script_click(ID_BOX);
    run();
    EXPECT_GE(d3d_recorded_overlay_count(), 2) << "shown when it opened and after the click";
    context->Release();
    D3DXUninitialize();
}

}  // namespace
