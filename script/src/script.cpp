#include "script.h"

#include <strings.h>

#include <cstring>

#include "debug.h"
#include "file_io.h"
#include "gameglobals.h"
#include "gametime.h"
#include "str_util.h"

running_script* script_global_running_script_list = nullptr;

namespace {

enum { SCRIPT_PATH_SIZE = 300 };

// The list itself keeps no count; the family's list operations want one.
int32_t running_list_size = 0;

// The walk of script_update_script: the script whose slice runs, and, once
// that script has been ended during its slice, the successor it had then.
running_script* walk_current = nullptr;
running_script* walk_next = nullptr;
bool walk_current_ended = false;

// "<script directory>\<name>.scw"; 0 when it does not fit.
int script_path(char* path, size_t size, const char* name, const char* suffix)
{
    int length = snprintf(path, size, "%s\\%s%s.%s", game_globals.script_pathname, name, suffix,
                          "scw");
    return length >= 0 && (size_t)length < size;
}

// A start that failed once its record was made: the record goes, with all it
// holds.
float abandon_start(running_script* script)
{
    parse_release_script_code(script);
    free_running_script(script);
    return -1.0f;
}

}  // namespace

float script_initiate_script(const char* name, running_script** out)
{
    float start_time = game_time;
    if (out)
        *out = nullptr;
    if (!name) {
        LOG_ERROR("%s\n", "Null file name passed to script_initiate_script\n");
        return -1.0f;
    }
    char path[SCRIPT_PATH_SIZE];
    if (!script_path(path, sizeof path, name, "")) {
        LOG_ERROR("Couldn't open the script file %s for reading\n", name);
        return -1.0f;
    }
    if (running_script* head = script_global_running_script_list) {
        running_script* script = head;
        do {
            if (strcasecmp(script->running_script_name, path) == 0)
                return game_time - start_time;
            script = script->next;
        } while (script != head);
    }

    running_script* script = malloc_running_script(path);
    if (!script) {
        LOG_ERROR("Could not malloc_running_script for '%s'\n", name);
        return -1.0f;
    }
    int found = 0;
    int32_t size = 0;
    char* image = file_mem_load_search_verify_version_bin(path, nullptr, FILE_TYPE_SCRIPT,
                                                          FILE_VERSION_SCRIPT, &found, &size);
    if (!image) {
        if (found)
            LOG_ERROR("Couldn't load compiled script '%s' in script_initiate_script\n", path);
        else
            LOG_ERROR("Couldn't open the script file %s for reading\n", path);
        return abandon_start(script);
    }
    if (!parse_link_script(script, image, size))
        return abandon_start(script);
    // The entity and sound tables are resolved here once the game runtime
    // loads entities and sounds.
    script->wait_end_time = 0.0f;
    if (!(script->running_command = malloc_compiled_info()))
        return abandon_start(script);
    LOG_NOTICE("Script %s up and running\n", path);
    if (out)
        *out = script;
    add_to_running_script_list(&script_global_running_script_list, &running_list_size, script);
    return game_time - start_time;
}

int parse_run_script(running_script* script)
{
    REFUSE_NULL(script, "parse_run_script", "running_script_ptr", 0);
    // Commands are decoded one after another until the code ends. Running
    // them comes with the game runtime; until then each one is done as soon
    // as it is decoded, so nothing blocks.
    int ok = 1;
    for (;;) {
        switch (parse_decode_command(script)) {
        case PARSE_CODE_END:
            return script_terminate_script(script) && ok;
        case PARSE_COMMAND_LOST:
            ok = 0;
            break;
        case PARSE_COMMAND_READY:
            break;
        }
    }
}

float script_update_script(void)
{
    float start_time = game_time;
    running_script* script = script_global_running_script_list;
    while (script) {
        // The slice may end the script and release its name.
        char name[SCRIPT_PATH_SIZE];
        STR_CPY(name, sizeof name, script->running_script_name ? script->running_script_name : "");
        walk_current = script;
        walk_current_ended = false;
        if (!parse_run_script(script))
            LOG_ERROR("Script %s execution error in script_update_script\n", name);
        running_script* head = script_global_running_script_list;
        running_script* next = walk_current_ended ? walk_next : script->next;
        walk_current = nullptr;
        if (!head || !next || next == head)
            break;
        script = next;
    }
    float elapsed = game_time - start_time;
    return elapsed < 0.0f ? 0.0f : elapsed;
}

int script_terminate_script(running_script* script)
{
    REFUSE_NULL(script, "script_terminate_script", "running_script_ptr", 0);
    // The tables live with the code image and end with it; the running
    // command goes with the record.
    parse_release_script_code(script);

    // Keep the walk of script_update_script on live scripts: it goes on with
    // the successor that an ended script had when it was unlinked.
    running_script* successor = script->next == script ? nullptr : script->next;
    if (script == walk_current) {
        walk_current_ended = true;
        walk_next = successor;
    } else if (walk_current_ended && script == walk_next) {
        walk_next = successor;
    }
    if (script_global_running_script_list)
        remove_from_running_script_list(&script_global_running_script_list, &running_list_size,
                                        script);
    free_running_script(script);
    return 1;
}

int script_unload_script(const char* name)
{
    char path[SCRIPT_PATH_SIZE];
    if (name && script_path(path, sizeof path, name, ""))
        if (dlink* found = dlink_find((dlink*)script_global_running_script_list, path))
            return script_terminate_script((running_script*)found);
    LOG_NOTICE("Didn't find script %s to remove\n", name ? name : "(null)");
    return 1;
}

int script_cleanup_script_list(void)
{
    int ok = 1;
    while (script_global_running_script_list)
        ok = script_terminate_script(script_global_running_script_list) && ok;
    return ok;
}

int script_abort_all_scripts(void)
{
    running_script* script = script_global_running_script_list;
    if (!script)
        return 1;
    // Companions started during the pass are appended after this tail and
    // are not examined.
    running_script* tail = script->prev;
    for (;;) {
        bool last = script == tail;
        running_script* next = script->next;
        const char* base = get_base_filename(script->running_script_name);
        char base_name[SCRIPT_PATH_SIZE];
        char companion_path[SCRIPT_PATH_SIZE];
        int found = 0;
        FILE* companion = nullptr;
        if (base && STR_CPY(base_name, sizeof base_name, base) &&
            script_path(companion_path, sizeof companion_path, base_name, "_abort"))
            companion = file_open_search_verify_version_bin(
                companion_path, nullptr, FILE_TYPE_SCRIPT, FILE_VERSION_SCRIPT, &found);
        if (companion) {
            file_close(companion);
            STR_CAT(base_name, sizeof base_name, "_abort");
            script_initiate_script(base_name, nullptr);
            script_terminate_script(script);
        }
        if (last || !script_global_running_script_list)
            break;
        script = next;
    }
    return 1;
}

void script_reset(void)
{
    debug_quiet_begin();
    script_cleanup_script_list();
    debug_quiet_end();
    running_list_size = 0;
    walk_current = walk_next = nullptr;
    walk_current_ended = false;
}
