#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "d3dxframe.h"
#include "dialogs.h"
#include "dlink.h"
#include "dxinput.h"
#include "gameglobals.h"
#include "platform/dialog_test.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "service_doubles.h"
#include "test_support.h"
#include "winmain2.h"

namespace {

std::string list_file(const std::string& body, int version = 100)
{
    return "// load scripts\n\n" + std::to_string(54) + "  // file_type\n" +
           std::to_string(version) + "  // file_version\n" + body;
}

std::vector<std::string> names_of(win_load_script* list)
{
    std::vector<std::string> names;
    if (!list)
        return names;
    win_load_script* node = list;
    do {
        names.push_back(node->win_load_script_name);
        node = node->next_ptr;
    } while (node != list);
    return names;
}

// A control's rectangle, right and bottom edges excluded.
struct box {
    int left, top, right, bottom;
};
box box_of(const platform_dialog_item& item)
{
    return {item.x, item.y, item.x + item.cx, item.y + item.cy};
}
box box_of(const RECT& rect)
{
    return {(int)rect.left, (int)rect.top, (int)rect.right, (int)rect.bottom};
}
bool overlap(const box& a, const box& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
bool inside(const box& inner, const box& outer)
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

class LoadScriptList : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        log = std::make_unique<LogCapture>();
    }
    TempDir dir;
    std::unique_ptr<LogCapture> log;
};

TEST_F(LoadScriptList, NamesAreReadLowerCasedInFileOrder)
{
    std::string path = dir.write("load_script.slt",
                                 list_file("Intro level2\n/* not this */ Third // nor this\n"));
    win_load_script* list = read_win_load_script_text_file(path.c_str());
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"intro", "level2", "third"}));
    EXPECT_EQ(dlink_pos((dlink*)list, dlink_find((dlink*)list, "third")), 2);
    free_win_load_script_list(list);
    EXPECT_TRUE(log->errors().empty());
}

TEST_F(LoadScriptList, FilesThatCannotBeReadGiveNoList)
{
    std::string wrong = dir.write("wrong.slt", list_file("intro\n", 99));
    std::string empty = dir.write("empty.slt", list_file(""));
    std::string missing = dir.file("missing.slt");
    struct {
        const char* path;
        std::vector<std::string> errors, warnings;
    } cases[] = {
        {nullptr,
         {"Cannot read_win_load_script_text_file with NULL win_load_script_filename."},
         {}},
        {missing.c_str(), {}, {"Could not find '" + missing + "'"}},
        {wrong.c_str(),
         {"Wrong file version in '" + wrong + "', found 99 expected 100",
          "Bad file_type or file_version, found version 99, expected 100 for '" + wrong + "'"},
         {}},
        {empty.c_str(), {}, {}},
    };
    for (const auto& c : cases) {
        log->clear();
        EXPECT_EQ(read_win_load_script_text_file(c.path), nullptr);
        EXPECT_EQ(log->errors(), c.errors);
        EXPECT_EQ(log->warnings(), c.warnings);
    }
}

// Memory that runs out part way through the list gives no list, and keeps
// neither a block nor the file open.
TEST_F(LoadScriptList, AFailedAllocationKeepsNothingAndClosesTheFile)
{
    std::string path = dir.write("load_script.slt", list_file("intro level2\n"));
    auto open_files = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto files = open_files();
    EXPECT_GT(heap_failure_sweep([&] {
                  win_load_script* list = read_win_load_script_text_file(path.c_str());
                  EXPECT_EQ(open_files(), files);
                  if (!list)
                      return false;
                  free_win_load_script_list(list);
                  return true;
              }),
              1);
}

// The dialogs of the executable, answered by a script, owned by a plain
// window; the frame has no device.
class GameDialogs : public LoadScriptList {
protected:
    void SetUp() override
    {
        LoadScriptList::SetUp();
        dialogs_register_resources();
        window = test_make_window("Dialog Test Owner", DefWindowProc);
        ShowWindow(window, SW_SHOW);
        d3dxframe_set_defaults();
        // The list two levels above the script directory, in "win\script".
        dir.write("win/script/load_script.slt", list_file("Intro level2\n"));
        snprintf(game_globals.script_pathname, sizeof game_globals.script_pathname, "%s\\x\\y",
                 dir.path().c_str());
        dialog_script_begin();
        win32_message_box_script(1, IDOK);
    }
    void TearDown() override
    {
        dialog_script_end();
        win32_reset();
    }
    INT_PTR run(const char* name, DLGPROC procedure)
    {
        log->clear();
        return DialogBoxParam(nullptr, name, window, procedure, 0);
    }
    // The script the dialog started, "" for none.
    std::string started()
    {
        std::vector<std::string> calls = service_calls_of("script_initiate_script");
        if (calls.empty())
            return "";
        const std::string& call = calls.back();
        return call.substr(call.find('(') + 1, call.size() - call.find('(') - 2);
    }
    HWND window = nullptr;
};

struct choice {
    LRESULT selection = -2;
    LRESULT data = -2;
    std::string text;
    UINT remember = 9;
};
void look(HWND dialog, void* data)
{
    choice* seen = (choice*)data;
    seen->selection = SendDlgItemMessage(dialog, IDC_LOAD_SCRIPT_LIST, CB_GETCURSEL, 0, 0);
    seen->data = SendDlgItemMessage(dialog, IDC_LOAD_SCRIPT_LIST, CB_GETITEMDATA,
                                    (WPARAM)seen->selection, 0);
    char text[64];
    GetDlgItemText(dialog, IDC_LOAD_SCRIPT_LIST, text, sizeof text);
    seen->text = text;
    seen->remember = IsDlgButtonChecked(dialog, IDC_LOAD_SCRIPT_REMEMBER);
}

TEST_F(GameDialogs, TheStartUpScriptIsChosenFirstAndOkStartsTheChoice)
{
    strcpy(game_globals.startup_script_filename, "level2");
    choice at_start;
    dialog_script_call(look, &at_start);
    dialog_script_click(IDOK);
    EXPECT_EQ(run("IDD_LOAD_SCRIPT", load_script_dlg_proc), IDOK);
    EXPECT_EQ(at_start.selection, 1);
    EXPECT_EQ(at_start.data, 1);
    EXPECT_EQ(at_start.text, "level2");
    EXPECT_EQ(at_start.remember, (UINT)BST_CHECKED);
    EXPECT_EQ(started(), "level2");
    EXPECT_TRUE(service_called("entity_unload_all(1)"));
    EXPECT_EQ(dialogs_load_script_list, nullptr) << "the list lives while the dialog does";
    EXPECT_EQ(dialogs_load_script_list_size, 0);
}

TEST_F(GameDialogs, TheChoiceBecomesTheStartUpScriptUnlessTheBoxIsCleared)
{
    struct {
        bool clear_box;
        const char* startup_after;
    } cases[] = {{false, "intro"}, {true, "startup"}};
    for (const auto& c : cases) {
        strcpy(game_globals.startup_script_filename, "startup");
        dialog_script_click(IDC_LOAD_SCRIPT_LIST);
        dialog_script_click_item(IDC_LOAD_SCRIPT_LIST, 0);
        if (c.clear_box)
            dialog_script_click(IDC_LOAD_SCRIPT_REMEMBER);
        dialog_script_key("Return", 0);
        run("IDD_LOAD_SCRIPT", load_script_dlg_proc);
        EXPECT_STREQ(game_globals.startup_script_filename, c.startup_after);
        EXPECT_EQ(started(), "intro");
    }
}

TEST_F(GameDialogs, TypedNamesAreFoundWithoutRegardToCaseAndOthersStartNothing)
{
    struct {
        const char* typed;
        const char* started;
    } cases[] = {{"LEVEL2", "level2"}, {"nowhere", ""}};
    for (const auto& c : cases) {
        service_calls.clear();
        dialog_script_click(IDC_LOAD_SCRIPT_LIST);  // the list opens
        dialog_script_key("Escape", 0);             // and closes
        for (int i = 0; i < 6; ++i)
            dialog_script_key("Backspace", 0);
        dialog_script_text(c.typed);
        dialog_script_click(IDOK);
        EXPECT_EQ(run("IDD_LOAD_SCRIPT", load_script_dlg_proc), IDOK);
        EXPECT_EQ(started(), c.started) << c.typed;
    }
}

TEST_F(GameDialogs, CancelStartsNothing)
{
    dialog_script_click(IDCANCEL);
    dialog_script_click(IDOK);  // for a dialog still open after Cancel
    EXPECT_EQ(run("IDD_LOAD_SCRIPT", load_script_dlg_proc), IDCANCEL);
    EXPECT_EQ(started(), "");
    EXPECT_FALSE(service_calls_of("entity_unload_all").size());
    EXPECT_EQ(dialogs_load_script_list, nullptr);
}

TEST_F(GameDialogs, WithoutAListTheDialogSaysSoAndCloses)
{
    snprintf(game_globals.script_pathname, sizeof game_globals.script_pathname, "%s\\none\\x\\y",
             dir.path().c_str());
    dialog_script_click(IDOK);  // never reached
    run("IDD_LOAD_SCRIPT", load_script_dlg_proc);
    ASSERT_EQ(win32_message_box_count(), 1);
    const char* text = nullptr;
    const char* caption = nullptr;
    UINT type = 0;
    HWND owner = window;
    win32_message_box_get(0, &owner, &text, &caption, &type);
    EXPECT_EQ(owner, nullptr);
    EXPECT_STREQ(caption, "Load Script List Not Loaded");
    EXPECT_EQ(type, (UINT)MB_ICONWARNING);
    EXPECT_EQ(std::string(text).rfind("Could not open '", 0), 0u);
    EXPECT_TRUE(log->contains(text));
    EXPECT_EQ(started(), "");
}

struct boxes {
    UINT bilinear = 9, hide_gui = 9, not_used = 9, lighting = 9;
};
void look_at_options(HWND dialog, void* data)
{
    boxes* seen = (boxes*)data;
    seen->bilinear = IsDlgButtonChecked(dialog, IDC_BILINEAR);
    seen->hide_gui = IsDlgButtonChecked(dialog, IDC_HIDE_GUI);
    seen->not_used = IsDlgButtonChecked(dialog, IDC_NOT_USED_1);
    seen->lighting = IsDlgButtonChecked(dialog, IDC_DYNAMIC_LIGHTING);
}

TEST_F(GameDialogs, OptionsShowTheSettingsAndTurnThemOverAsTheyAreClicked)
{
    boxes at_start, after;
    int32_t filtering_seen = -1;
    dialog_script_call(look_at_options, &at_start);
    dialog_script_click(IDC_BILINEAR);
    dialog_script_call([](HWND, void* data) { *(int32_t*)data = d3dx_globals.bBilinearFiltering; },
                       &filtering_seen);
    dialog_script_click(IDC_HIDE_GUI);
    dialog_script_click(IDC_NOT_USED_1);
    dialog_script_call(look_at_options, &after);
    dialog_script_click(IDOK);
    run("IDD_OPTIONS", options_dlg_proc);
    EXPECT_EQ(at_start.bilinear, (UINT)BST_CHECKED);
    EXPECT_EQ(at_start.lighting, (UINT)BST_CHECKED);
    EXPECT_EQ(at_start.hide_gui, (UINT)BST_UNCHECKED);
    EXPECT_EQ(filtering_seen, 0) << "at once, before OK";
    EXPECT_EQ(after.bilinear, (UINT)BST_UNCHECKED);
    EXPECT_EQ(after.hide_gui, (UINT)BST_CHECKED);
    EXPECT_EQ(after.not_used, (UINT)BST_UNCHECKED) << "nothing behind it";
    EXPECT_EQ(game_globals.hide_gui, 1);
    EXPECT_EQ(d3dx_globals.bBilinearFiltering, 0);
}

// The check boxes stand in one column, one under the other, and OK is
// centred under them.
TEST_F(GameDialogs, OptionsStandInOneColumnWithOkCentredBelow)
{
    static const int ids[] = {IDC_BILINEAR,       IDC_ANTI_ALIAS,    IDC_OLD_COLLISION,
                              IDC_NOT_USED_1,     IDC_NOT_USED_2,    IDC_DYNAMIC_LIGHTING,
                              IDC_COLLISION_DATA, IDC_TRIPLE_BUFFER, IDC_WIREFRAME,
                              IDC_MAP_NODES,      IDC_HIDE_GUI,      IDOK};
    static std::vector<box> boxes;
    boxes.clear();
    dialog_script_call(
        [](HWND dialog, void*) {
            for (int id : ids) {
                RECT rect = {};
                EXPECT_EQ(dialog_control_rect(dialog, id, &rect), 1) << id;
                boxes.push_back(box_of(rect));
            }
        },
        nullptr);
    dialog_script_click(IDOK);
    run("IDD_OPTIONS", options_dlg_proc);
    ASSERT_EQ(boxes.size(), std::size(ids));
    const box& ok = boxes.back();
    for (size_t i = 0; i + 1 < boxes.size(); ++i) {
        SCOPED_TRACE(ids[i]);
        EXPECT_EQ(boxes[i].left, boxes[0].left);
        EXPECT_EQ(boxes[i].right, boxes[0].right);
        EXPECT_GE(boxes[i + 1].top, boxes[i].bottom) << "each below the one before";
        // The centres agree to a pixel (dialog units round to pixels).
        EXPECT_NEAR(boxes[i].left + boxes[i].right, ok.left + ok.right, 1);
    }
}

TEST_F(GameDialogs, AboutEndsWithOneOnOkOrEsc)
{
    dialog_script_click(IDOK);
    EXPECT_EQ(run("IDD_ABOUT", about_dlg_proc), 1);
    dialog_script_key("Escape", 0);
    EXPECT_EQ(run("IDD_ABOUT", about_dlg_proc), 1);
    ASSERT_EQ(dialog_shown_count(), 2);
    EXPECT_STREQ(dialog_shown_caption(0), "About/Help");
}

// F1's list against the keys the game acts on: every accelerator whose
// command does something, and every keyboard binding, is named in it (as
// "<name>", the arrows together), with what it does beside it; the
// accelerators that act on nothing are not listed.
TEST(HelpKeys, F1ListsEveryKeyTheGameActsOn)
{
    std::map<std::string, std::string> listed;  // upper-cased key: meaning
    const platform_dialog_resource& about = dialogs_about_dialog;
    for (int i = 0; i + 1 < about.item_count; ++i) {
        std::string key = about.items[i].text;
        if (std::strcmp(about.items[i].class_name, "STATIC") != 0 || key.size() < 3 ||
            key.front() != '<' || key.back() != '>')
            continue;
        for (char& c : key)
            c = (char)std::toupper((unsigned char)c);
        listed[key.substr(1, key.size() - 2)] = about.items[i + 1].text;
    }
    const std::set<int> idle_commands = {IDM_OPTIONS, IDM_LOAD_SCRIPT, IDM_TEST_SCRIPT_2,
                                         IDM_TEST_SCRIPT_3};
    const std::map<WORD, std::string> key_names = {
        {VK_ESCAPE, "ESC"}, {VK_F1, "F1"}, {VK_F2, "F2"},        {VK_F3, "F3"},
        {VK_F4, "F4"},      {VK_F5, "F5"}, {VK_F6, "F6"},        {VK_F7, "F7"},
        {VK_F8, "F8"},      {VK_F9, "F9"}, {VK_RETURN, "ENTER"}, {'X', "X"}};
    for (const ACCEL& accel : winmain_main_accel) {
        ASSERT_EQ(key_names.count(accel.key), 1u) << "a new accelerator key " << accel.key;
        const std::string name = ((accel.fVirt & FALT) ? "ALT+" : "") + key_names.at(accel.key);
        const bool acts = idle_commands.count(accel.cmd) == 0;
        EXPECT_EQ(listed.count(name), acts ? 1u : 0u) << name;
        if (acts && listed.count(name)) {
            EXPECT_FALSE(listed[name].empty()) << name;
        }
    }
    for (int32_t code : dxinput_default_key_bindings) {
        std::string name = dxinput_get_display_string(code);
        if (name == "UP" || name == "DOWN" || name == "LEFT" || name == "RIGHT")
            name = "ARROW KEYS";
        EXPECT_EQ(listed.count(name), 1u) << name;
    }
}

// F1's page as a player reads it: nothing outside the dialog and nothing
// over anything else; each key with its meaning on one row of its group, the
// keys in one column and the meanings in another, the rows evenly spaced.
TEST(HelpKeys, TheKeysStandInRowsAndColumnsInsideTheirGroups)
{
    const platform_dialog_resource& about = dialogs_about_dialog;
    const box dialog = {0, 0, about.cx, about.cy};
    std::map<int, std::vector<int>> keys;  // group box: the items of its keys
    int group = -1;
    for (int i = 0; i < about.item_count; ++i) {
        const platform_dialog_item& item = about.items[i];
        SCOPED_TRACE(item.text);
        EXPECT_TRUE(inside(box_of(item), dialog));
        for (int j = 0; j < i; ++j) {
            if (j != group) {
                EXPECT_FALSE(overlap(box_of(item), box_of(about.items[j]))) << about.items[j].text;
            }
        }
        if (item.style == BS_GROUPBOX) {
            group = i;
            continue;
        }
        if (group < 0)
            continue;
        EXPECT_TRUE(inside(box_of(item), box_of(about.items[group])));
        if (item.text[0] == '<')
            keys[group].push_back(i);
    }
    ASSERT_EQ(keys.size(), 2u);
    for (const auto& [box_index, rows] : keys) {
        SCOPED_TRACE(about.items[box_index].text);
        const platform_dialog_item* first = &about.items[rows[0]];
        const int step = about.items[rows[1]].y - first->y;
        EXPECT_GE(step, first->cy);
        for (size_t row = 0; row < rows.size(); ++row) {
            const platform_dialog_item* key = &about.items[rows[row]];
            SCOPED_TRACE(key->text);
            EXPECT_EQ(key->x, first->x);
            EXPECT_EQ(key->y, first->y + (int)row * step);
            EXPECT_EQ(key[1].x, first[1].x) << "the meaning";
            EXPECT_EQ(key[1].y, key->y) << "the meaning";
        }
    }
}

}  // namespace
