// The configuration file, with a write-read-write round trip: the input is
// read as "varnock.cfg" over the defaults, as at start-up; what was read is
// written, read again over the defaults and written again. The written file
// must read without a fault, and both writes must be the same file (but for
// the time it was written at): whatever is read is written so that it reads
// back to the same values.
#include <string>

#include "config.h"
#include "d3dxframe.h"
#include "dxinput.h"
#include "fuzz_support.h"
#include "gameglobals.h"
#include "sound.h"

namespace {

void defaults(void)
{
    gameglobals_init();
    d3dxframe_set_defaults();
    sound_reset();
    dxinput_reset();
}

// The file without its third line, which holds the time of writing.
std::string written_file(const std::string& path)
{
    std::string text = read_host_file(path);
    size_t line_2 = text.find('\n');
    size_t line_3 = line_2 == std::string::npos ? line_2 : text.find('\n', line_2 + 1);
    size_t line_4 = line_3 == std::string::npos ? line_3 : text.find('\n', line_3 + 1);
    FUZZ_CHECK(line_4 != std::string::npos);
    return text.substr(0, line_3) + text.substr(line_4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string session = fuzz_dir() + "/varnock";
    std::string path = fuzz_file("varnock.cfg", data, size);
    defaults();
    config_read_engine_config_file(session.c_str());
    FUZZ_CHECK(write_edit_session_file(session.c_str()));
    std::string first = written_file(path);

    defaults();
    FUZZ_CHECK(config_read_engine_config_file(session.c_str()));
    FUZZ_CHECK(write_edit_session_file(session.c_str()));
    FUZZ_CHECK(written_file(path) == first);
    return 0;
}

void fuzz_write_seeds(void)
{
    // The defaults, and every setting away from its default, as written.
    std::string session = fuzz_dir() + "/varnock";
    defaults();
    write_edit_session_file(session.c_str());
    const std::string written = read_host_file(session + ".cfg");
    fuzz_seed("defaults.cfg", written);
    // A key line whose value was erased, and a file whose sound section was
    // deleted: both once moved every setting after them.
    std::string blank_key = written;
    size_t left = blank_key.find("LEFT ");
    if (left != std::string::npos)
        blank_key.replace(left, 4, "    ");
    fuzz_seed("blank_key.cfg", blank_key);
    std::string no_sound = written;
    size_t sound = no_sound.find("//  [sound]");
    size_t dxinput = no_sound.find("//  [dxinput]");
    if (sound != std::string::npos && dxinput != std::string::npos)
        no_sound.erase(sound, dxinput - sound);
    fuzz_seed("no_sound_section.cfg", no_sound);

    std::snprintf(game_globals.entity_pathname, sizeof game_globals.entity_pathname, "%s",
                  "d:/a/directory/of/forty-four/characters/or/more/");
    game_globals.bShowStats = 0;
    game_globals.gravity = 0.0f;
    game_globals.x_wind = -3.4e38f;
    game_globals.z_wind = 1e-7f;
    d3dx_globals.gamma = 1.5f;
    d3dx_globals.windowed_width = 800;
    sound_module.enable_3d = 1;
    dxinput_key_bindings[13] = 0x39;
    write_edit_session_file(session.c_str());
    fuzz_seed("changed.cfg", read_host_file(session + ".cfg"));
    defaults();
}
