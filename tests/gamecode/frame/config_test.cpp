#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfloat>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "config.h"
#include "d3dxframe.h"
#include "dxinput.h"
#include "file_io.h"
#include "gameglobals.h"
#include "service_doubles.h"
#include "test_support.h"

namespace {

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// The value lines of the file (the text before "//"), trimmed, in order;
// comment-only and empty lines dropped, as the reader sees them.
std::vector<std::string> values_of(const std::string& text)
{
    std::vector<std::string> values;
    for (std::string line : split_lines(text)) {
        line = line.substr(0, line.find("//"));
        line.erase(line.find_last_not_of(" \t") + 1);
        if (!line.empty())
            values.push_back(line);
    }
    return values;
}

std::string replace_line(const std::string& text, const std::string& key, const std::string& value)
{
    std::string out;
    for (const std::string& line : split_lines(text)) {
        if (line.find("//  " + key) != std::string::npos && line.rfind("//", 0) != 0)
            out += value + "//  " + key + "\n";
        else
            out += line + "\n";
    }
    return out;
}

class Config : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        gameglobals_init();
        d3dxframe_set_defaults();
        session = dir.path() + "/varnock";
    }
    // The file's path as the program names it: lower case.
    std::string cfg() const
    {
        std::string path = session + ".cfg";
        for (char& c : path)
            c = (char)tolower((unsigned char)c);
        return path;
    }
    std::string file() const { return read_host_file(dir.path() + "/varnock.cfg"); }
    void put(const std::string& text) const { dir.write("varnock.cfg", text); }

    TempDir dir;
    LogCapture log;
    std::string session;
};

TEST_F(Config, WithoutAFileTheDefaultsAreWrittenInSectionOrder)
{
    EXPECT_EQ(config_read_engine_config_file(session.c_str()), 0);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0], "Could not find '" + cfg() + "'");
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);

    std::string text = file();
    std::vector<std::string> expected = {"21",
                                         "124",
                                         "c:\\data\\win\\entity",
                                         "c:\\data\\win\\model",
                                         "c:\\data\\win\\anim",
                                         "c:\\data\\win\\animtab",
                                         "c:\\data\\win\\script",
                                         "c:\\data\\win\\collision",
                                         "c:\\data\\win\\shader",
                                         "c:\\data\\win\\bitmap",
                                         "c:\\data\\win\\sound",
                                         "c:\\data\\win\\ai",
                                         "c:\\data\\win\\collision_tab",
                                         "c:\\data\\win",
                                         "startup",
                                         "1",
                                         "0",
                                         "0",
                                         "1",
                                         "1",
                                         "0",
                                         "0",
                                         "0.000000",
                                         "0.000000",
                                         "3.000000",
                                         "100.000000"};
    std::vector<std::string> values = values_of(text);
    ASSERT_GE(values.size(), expected.size() + 12 + 1 + 14);
    EXPECT_EQ(std::vector<std::string>(values.begin(), values.begin() + (long)expected.size()),
              expected);
    // d3dxframe's 12 values, then sound's one, then the 14 key names.
    EXPECT_EQ(values[expected.size() + 12], "0");
    std::vector<std::string> keys(values.end() - 14, values.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"DOWN", "LEFT", "RIGHT", "UP", "A", "B", "C", "X",
                                              "Y", "Z", "L", "R", "M", "ENTER"}));
    EXPECT_EQ(values.size(), expected.size() + 12 + 1 + 14);

    size_t game = text.find("//  [gameglobals]"), frame = text.find("//  [d3dxframe]");
    size_t sound = text.find("//  [sound]"), input = text.find("//  [dxinput]");
    EXPECT_TRUE(game < frame && frame < sound && sound < input && input != std::string::npos);
    EXPECT_NE(text.find("//  " + session), std::string::npos) << "the session-name line";
    EXPECT_NE(text.find(std::string("c:\\data\\win\\entity") + std::string(44 - 18, ' ') +
                        "//  game_globals.entity_pathname\n"),
              std::string::npos)
        << "values are left-aligned in 44 columns";
}

TEST_F(Config, EverySectionReadsBackByPosition)
{
    std::strcpy(game_globals.entity_pathname, "d:\\tree\\entity");
    std::strcpy(game_globals.startup_script_filename, "intro");
    game_globals.bShowStats = 0;
    game_globals.skip_splash = 1;
    game_globals.hide_gui = 1;
    game_globals.gravity = 0.0f;
    game_globals.z_wind = -2.5f;
    game_globals.debug_mouse_speed = 12.25f;
    d3dx_globals.windowed_width = 800;
    d3dx_globals.gamma = 1.5f;
    service_double_sound_enable_3d = 1;
    dxinput_key_bindings[13] = 0x39;  // start on SPACE
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);

    gameglobals_init();
    d3dxframe_set_defaults();
    service_double_sound_enable_3d = 0;
    dxinput_reset();
    ASSERT_EQ(config_read_engine_config_file(session.c_str()), 1);
    EXPECT_STREQ(game_globals.entity_pathname, "d:\\tree\\entity");
    EXPECT_STREQ(game_globals.model_pathname, "c:\\data\\win\\model");
    EXPECT_STREQ(game_globals.startup_script_filename, "intro");
    EXPECT_EQ(game_globals.bShowStats, 0);
    EXPECT_EQ(game_globals.skip_splash, 1);
    EXPECT_EQ(game_globals.hide_gui, 1);
    EXPECT_EQ(game_globals.sound_enable, 1);
    EXPECT_EQ(game_globals.gravity, 0.0f);
    EXPECT_EQ(game_globals.z_wind, -2.5f);
    EXPECT_EQ(game_globals.debug_mouse_speed, 12.25f);
    EXPECT_EQ(d3dx_globals.windowed_width, 800);
    EXPECT_EQ(d3dx_globals.gamma, 1.5f);
    EXPECT_EQ(service_double_sound_enable_3d, 1);
    EXPECT_EQ(dxinput_key_bindings[13], 0x39);
    EXPECT_EQ(dxinput_key_bindings[0], 0xD0);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Config, ReadingNeedsNoHeapSoNoAllocationCanFailIt)
{
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    EXPECT_EQ(heap_failure_sweep([&] { return config_read_engine_config_file(session.c_str()); }),
              0);
}

TEST_F(Config, ValuesAreTakenByPositionAndSwitchesReadOnlyOneAsOn)
{
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    std::string text = file();
    // Exchange the first two directory lines: the comments stay wrong.
    text = replace_line(text, "game_globals.entity_pathname", "c:\\data\\win\\model");
    text = replace_line(text, "game_globals.model_pathname", "c:\\data\\win\\entity");
    text = replace_line(text, "game_globals.bShowStats", "2");
    text = replace_line(text, "game_globals.gravity", "7");
    put(text);
    game_globals.gravity = 1.0f;
    ASSERT_EQ(config_read_engine_config_file(session.c_str()), 1);
    EXPECT_STREQ(game_globals.entity_pathname, "c:\\data\\win\\model");
    EXPECT_STREQ(game_globals.model_pathname, "c:\\data\\win\\entity");
    EXPECT_EQ(game_globals.bShowStats, 0);
    EXPECT_EQ(game_globals.gravity, 0.0f);

    // Only exactly the gravity constant is written as 1.
    game_globals.gravity = -386.4f;
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    EXPECT_NE(file().find(std::string("1") + std::string(43, ' ') + "//  game_globals.gravity"),
              std::string::npos);
    game_globals.gravity = -386.5f;
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    EXPECT_NE(file().find(std::string("0") + std::string(43, ' ') + "//  game_globals.gravity"),
              std::string::npos);
}

TEST_F(Config, ABadOrShortFileIsRefusedAndKeepsWhatWasRead)
{
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    std::string good = file();

    // Another version.
    std::string old = good;
    old.replace(old.find("124"), 3, "123");
    put(old);
    EXPECT_EQ(config_read_engine_config_file(session.c_str()), 0);
    EXPECT_TRUE(log.contains("'" + cfg() + "' found, but bad file type or file version"));

    // A file that ends inside the gameglobals section: what was read stays.
    log.clear();
    std::string text = replace_line(good, "game_globals.entity_pathname", "e:\\short");
    put(text.substr(0, text.find("game_globals.animation_pathname")));
    game_globals.bShowStats = 0;
    EXPECT_EQ(config_read_engine_config_file(session.c_str()), 0);
    EXPECT_STREQ(game_globals.entity_pathname, "e:\\short");
    EXPECT_EQ(game_globals.bShowStats, 0);

    // Text where a number belongs: that reader fails, the number stays.
    text = replace_line(good, "game_globals.x_wind", "windy");
    put(text);
    game_globals.x_wind = 4.0f;
    EXPECT_EQ(config_read_engine_config_file(session.c_str()), 0);
    EXPECT_EQ(game_globals.x_wind, 4.0f);
}

// A blank line in the key section shifted every later binding (left became
// RIGHT, up became A), and a deleted section made the next one read the
// wrong lines. A line that cannot be read counts as its own line: that
// setting keeps its value, with a warning naming it, and no other moves.
TEST_F(Config, ALineThatCannotBeReadMovesNoOtherSetting)
{
    const int32_t custom[DXINPUT_BINDING_COUNT] = {0x1F, 0x24, 0x25, 0x17, 0x2A, 0x12, 0x39,
                                                   0x10, 0x11, 0x13, 0x14, 0x15, 0x16, 0x1C};
    std::memcpy(dxinput_key_bindings, custom, sizeof custom);
    service_double_sound_enable_3d = 1;
    d3dx_globals.windowed_width = 800;
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    const std::string good = file();
    auto line_of = [&](const std::string& key) {
        std::vector<std::string> all = split_lines(good);
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].find("//  " + key) != std::string::npos)
                return std::to_string(i + 1);
        return std::string("?");
    };
    auto without_section = [&](const std::string& marker, int lines) {
        std::vector<std::string> kept;
        std::vector<std::string> all = split_lines(good);
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i] == "//  " + marker) {
                i += (size_t)lines;
                continue;
            }
            kept.push_back(all[i]);
        }
        std::string text;
        for (const std::string& line : kept)
            text += line + "\n";
        return text;
    };
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> warnings;
        int32_t left, enable_3d, windowed_width;
    } cases[] = {
        {"the left key blanked, comment and all kept",
         replace_line(good, "left_key", std::string(44, ' ')),
         {"Line " + line_of("left_key") + " of '" + cfg() +
          "' holds no value for left_key: it keeps its value LEFT."},
         0xCB,
         1,
         800},
        {"the left key's line erased but for its name",
         replace_line(good, "left_key", ""),
         {"Line " + line_of("left_key") + " of '" + cfg() +
          "' holds no value for left_key: it keeps its value LEFT."},
         0xCB,
         1,
         800},
        {"text where a number belongs",
         replace_line(good, "Windowed Width", "wide"),
         {"Line " + line_of("Windowed Width") + " of '" + cfg() +
          "' holds no value for Windowed Width: it keeps its value 640."},
         0x24,
         1,
         640},
        {"the sound section deleted",
         without_section("[sound]", 1),
         {"'" + cfg() + "' has no line for enable_3d: it keeps its value 0."},
         0x24,
         0,
         800},
        {"the frame's section deleted",
         without_section("[d3dxframe]", 12),
         {"'" + cfg() + "' has no line for d3dx_globals.device_index: it keeps its value -1."},
         0x24,
         1,
         640},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put(c.text);
        gameglobals_init();
        d3dxframe_set_defaults();
        service_double_sound_enable_3d = 0;
        dxinput_reset();
        log.clear();
        EXPECT_EQ(config_read_engine_config_file(session.c_str()), 0) << "kept aside at start-up";
        ASSERT_FALSE(log.warnings().empty()) << (log.errors().empty() ? "" : log.errors().front());
        EXPECT_EQ(log.warnings().front(), c.warnings.front());
        EXPECT_TRUE(log.errors().empty()) << log.errors().front();
        EXPECT_EQ(dxinput_key_bindings[1], c.left);
        for (int i = 2; i < DXINPUT_BINDING_COUNT; ++i)
            EXPECT_EQ(dxinput_key_bindings[i], custom[i]) << i;
        EXPECT_EQ(dxinput_key_bindings[0], custom[0]);
        EXPECT_EQ(service_double_sound_enable_3d, c.enable_3d);
        EXPECT_EQ(d3dx_globals.windowed_width, c.windowed_width);
        EXPECT_STREQ(game_globals.entity_pathname, "c:\\data\\win\\entity");
    }
}

// A file that cannot be read may still hold the player's key bindings: it
// is set aside before the defaults replace it, or else left alone.
TEST_F(Config, AnUnreadableFileIsKeptAsBadBeforeItIsReplaced)
{
    EXPECT_EQ(config_keep_unreadable_file(session.c_str()), 1) << "no file, nothing to keep";
    EXPECT_TRUE(log.errors().empty());

    put("21\n124\ncustom bindings, damaged\n");
    dir.write("varnock.cfg.bad", "an older damaged file\n");
    EXPECT_EQ(config_keep_unreadable_file(session.c_str()), 1);
    EXPECT_EQ(read_host_file(dir.file("varnock.cfg.bad")), "21\n124\ncustom bindings, damaged\n");
    EXPECT_TRUE(log.contains("The unreadable '" + cfg() + "' is kept as '" + cfg() + ".bad'."));
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);

    // Where it cannot be set aside, nothing writes over it in this run.
    put("custom bindings again\n");
    std::remove(dir.file("varnock.cfg.bad").c_str());
    dir.write("varnock.cfg.bad/in_the_way", "");
    log.clear();
    EXPECT_EQ(config_keep_unreadable_file(session.c_str()), 0);
    EXPECT_EQ(write_edit_session_file(session.c_str()), 0);
    EXPECT_EQ(file(), "custom bindings again\n");
    EXPECT_TRUE(log.contains("Unable to keep the unreadable '" + cfg() + "' as '" + cfg() +
                             ".bad'; it is not written over."));
    EXPECT_TRUE(log.contains("Not writing over the unreadable '" + cfg() + "'."));
}

// The player's settings survive a write that fails (a full disk at exit)
// and a kill at the write: the previous file stays whole, and the log says so.
TEST_F(Config, AWriteThatFailsOrIsKilledLeavesThePreviousFileWhole)
{
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    const std::string previous = file();
    game_globals.wireframe_mode = !game_globals.wireframe_mode;

    static const char* step;
    step = "sync";
    file_io_set_replace_hook([](const char* at) { return std::strcmp(at, step) != 0 ? 1 : 0; });
    log.clear();
    EXPECT_EQ(write_edit_session_file(session.c_str()), 0);
    EXPECT_EQ(file(), previous);
    EXPECT_TRUE(log.contains("Could not write '" + cfg() +
                             "': writing to the disk failed (No "
                             "space left on device); the previous file is kept."));
    file_io_set_replace_hook(nullptr);

    // Killed once the settings are written and before they reach the disk:
    // the moment a kill used to leave the file empty.
    step = "write";
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        file_io_set_replace_hook([](const char* at) {
            if (std::strcmp(at, step) == 0)
                raise(SIGKILL);
            return 1;
        });
        write_edit_session_file(session.c_str());
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(file(), previous);
    EXPECT_EQ(config_read_engine_config_file(session.c_str()), 1);
}

TEST_F(Config, ADirectoryLongerThanItsFieldIsRefusedNotCut)
{
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    std::string long_path = "c:\\" + std::string(160, 'a');
    put(replace_line(file(), "game_globals.script_pathname", long_path));
    log.clear();
    EXPECT_EQ(config_read_engine_config_file(session.c_str()), 0);
    EXPECT_STREQ(game_globals.script_pathname, "c:\\data\\win\\script");
    EXPECT_STREQ(game_globals.collision_pathname, "c:\\data\\win\\collision");
    EXPECT_EQ(log.errors().size(), 1u);
}

// Whatever was read is written so that it reads back to the same values.
TEST_F(Config, WhatIsReadIsWrittenBackAsItWasRead)
{
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    std::string good = file();
    // A directory of 44 characters or more ending in "/" used to run into the
    // comment marker ("...///  key") and lose its "/" on every save.
    std::string directory = "c:/" + std::string(41, 'd') + "/";
    std::string text = replace_line(good, "game_globals.entity_pathname", directory + " ");
    // A float beyond the float range used to become infinity, which was then
    // written as "inf" and refused at the next start; now it is refused like
    // any bad number and the setting keeps its value.
    text = replace_line(text, "Gamma Correction", "1" + std::string(40, '0') + ".5");
    put(text);
    EXPECT_EQ(config_read_engine_config_file(session.c_str()), 0);
    EXPECT_EQ(std::string(game_globals.entity_pathname), directory);
    EXPECT_EQ(d3dx_globals.gamma, 2.2f);

    // The largest float and the long directory survive a save and a read.
    game_globals.x_wind = -FLT_MAX;
    ASSERT_EQ(write_edit_session_file(session.c_str()), 1);
    EXPECT_NE(file().find(directory + " //  game_globals.entity_pathname"), std::string::npos);
    gameglobals_init();
    log.clear();
    ASSERT_EQ(config_read_engine_config_file(session.c_str()), 1);
    EXPECT_EQ(std::string(game_globals.entity_pathname), directory);
    EXPECT_EQ(game_globals.x_wind, -FLT_MAX);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Config, ThePathIsInTheWorkingDirectoryAndLowerCase)
{
    TempDir upper;
    std::string directory = upper.path() + "/Game Dir";
    ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
    char previous[512];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(directory.c_str()), 0);
    char path[CONFIG_PATH_SIZE];
    int made = config_session_path("VarNock", path, sizeof path);
    int written = write_edit_session_file("VarNock");
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(made, 1);
    std::string expected = directory + "\\varnock.cfg";
    for (char& c : expected)
        c = (char)tolower((unsigned char)c);
    EXPECT_EQ(path, expected);
    EXPECT_EQ(written, 1);
    EXPECT_FALSE(read_host_file(directory + "/varnock.cfg").empty());

    ASSERT_EQ(config_session_path("d:\\saves\\Mine.ini", path, sizeof path), 1);
    EXPECT_STREQ(path, "d:\\saves\\mine.cfg");

    // A name no path can hold is refused, and nothing is written.
    const std::string too_long = "d:\\" + std::string(CONFIG_PATH_SIZE, 'n');
    EXPECT_EQ(config_session_path(too_long.c_str(), path, sizeof path), 0);
    EXPECT_EQ(write_edit_session_file(too_long.c_str()), 0);
}

TEST_F(Config, NullArgumentsAreRefusedWithTheirLines)
{
    int16_t line_cnt = 0;
    FILE* file = tmpfile();
    struct {
        int result;
        const char* message;
    } cases[] = {
        {write_edit_session_file(nullptr),
         "Cannot write_edit_session_file with NULL session_name."},
        {config_read_engine_config_file(nullptr),
         "Cannot config_read_engine_config_file with NULL session_name."},
        {gameglobals_write_config(nullptr),
         "Cannot gameglobals_write_config with NULL session_file."},
        {gameglobals_read_config(nullptr, &line_cnt),
         "Cannot gameglobals_read_config with NULL session_file."},
        {gameglobals_read_config(file, nullptr),
         "Cannot gameglobals_read_config with NULL line_cnt."},
        {dxinput_write_config(nullptr), "Cannot dxinput_write_config with NULL session_file."},
        {dxinput_read_config(nullptr, &line_cnt),
         "Cannot dxinput_read_config with NULL session_file."},
        {write_session_3_long(file, 1, 2, 3, nullptr),
         "Cannot write_session_3_long with NULL comment_str."},
        {write_session_4_long(nullptr, 1, 2, 3, 4, "x"),
         "Cannot write_session_4_long with NULL session_file."},
    };
    fclose(file);
    std::vector<std::string> errors = log.errors();
    ASSERT_EQ(errors.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].result, 0) << cases[i].message;
        EXPECT_EQ(errors[i], cases[i].message);
    }
}

TEST_F(Config, SeveralNumberLineWriters)
{
    std::string text = written_bytes([](FILE* file) {
        return write_session_3_long(file, 1, -2, 300, "three") &&
               write_session_4_long(file, 1, 2, 3, 4, "four") &&
               write_session_3_float(file, 0.5f, 1.0f, -2.0f, "floats");
    });
    // Each line pads its numbers to the 44 columns of the value lines.
    EXPECT_EQ(text, "1    -2   300  " + std::string(29, ' ') + "//  three\n" +
                        "1    2    3    4    " + std::string(24, ' ') + "//  four\n" +
                        "0.500000 1.000000 -2.000000 " + std::string(12, ' ') + "//  floats\n");
}

}  // namespace
