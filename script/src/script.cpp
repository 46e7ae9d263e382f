#include "script.h"

#include <strings.h>

#include <cstring>

#include "debug.h"
#include "dlink.h"
#include "file_io.h"
#include "gameglobals.h"
#include "gametime.h"
#include "math_util.h"
#include "script_imports.h"
#include "str_util.h"

running_script* script_global_running_script_list = nullptr;

namespace {

enum { SCRIPT_PATH_SIZE = 300 };

// A walk gives every script that runs when it begins its slice, and at most
// this many slices to the scripts started during it: scripts that end and
// start each other anew could otherwise keep one walk going for ever. Those
// it leaves run next frame, after the others; sane levels start a few
// scripts a frame.
enum { SCRIPT_MAX_NEW_SLICES_PER_WALK = 1024 };

// The list itself keeps no count; the family's list operations want one.
int32_t running_list_size = 0;

// The calls into the engine under way that run commands (walks and slices).
// A script ended inside one of them is released only once the outermost
// returns, since a caller further up may still hold it: until then it waits
// in `ended_scripts`, linked by next_ended.
int32_t engine_depth = 0;
running_script* ended_scripts = nullptr;

// The serial number of the last script started; 0 stands for none.
uint32_t last_serial = 0;

const char* shown(const char* text)
{
    return text ? text : "(null)";
}

// "<script directory>\<name><suffix>.scw"; 0 when it does not fit.
int script_path(char* path, size_t size, const char* name, const char* suffix)
{
    int length = snprintf(path, size, "%s\\%s%s.%s", game_globals.script_pathname, name, suffix,
                          "scw");
    return length >= 0 && (size_t)length < size;
}

// The script with its code, its tables and its command.
void release_script(running_script* script)
{
    parse_release_script_code(script);
    free_running_script(script);
}

// A start that failed once its record was made: the record goes, with all it
// holds.
float abandon_start(running_script* script)
{
    release_script(script);
    return -1.0f;
}

void release_ended_scripts(void)
{
    while (running_script* script = ended_scripts) {
        ended_scripts = script->next_ended;
        release_script(script);
    }
}

void engine_enter(void)
{
    ++engine_depth;
}

void engine_leave(void)
{
    if (--engine_depth == 0)
        release_ended_scripts();
}

// Every script whose tables may still be read: the running ones and those
// ended but not yet released.
template <typename Visit>
void for_each_script(Visit visit)
{
    running_script* head = script_global_running_script_list;
    for (running_script* script = head; script; script = parse_ring_next(head, script))
        visit(script);
    for (running_script* script = ended_scripts; script; script = script->next_ended)
        visit(script);
}

// Loads the entity `name` with the game's directories and appends it to the
// ring; NULL after the message when it does not load.
win_entity* load_into_ring(const char* name)
{
    win_entity* entity = entity_io_load(
        name, game_globals.entity_pathname, game_globals.model_pathname,
        game_globals.shaders_pathname, game_globals.bitmaps_pathname,
        game_globals.animation_pathname, game_globals.anim_table_pathname, game_globals.ai_pathname,
        game_globals.sound_pathname, game_globals.gravity, game_globals.x_wind,
        game_globals.z_wind);
    if (!entity) {
        LOG_ERROR("Could not entity_io_load '%s' in parse_load_all_entities\n", shown(name));
        return nullptr;
    }
    entity_io_add_to_ring(entity);
    return entity;
}

// Resolves the entity and sound tables as soon as each is linked; a table
// that does not resolve marks the start as flawed (*context).
void resolve_table(running_script* script, script_table table, void* context)
{
    int* flawed = (int*)context;
    if (table == SCRIPT_TABLE_ENTITY && script->parsed_entity_list &&
        !parse_load_all_entities(script->parsed_entity_list))
        *flawed = 1;
    if (table == SCRIPT_TABLE_SOUND && script->parsed_sound_list &&
        !parse_load_all_sounds(script->parsed_sound_list))
        *flawed = 1;
}

}  // namespace

// ---- Starting ----

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
    // A table that does not resolve leaves the start flawed: the script
    // starts all the same.
    int flawed = 0;
    if (!parse_link_script(script, image, size, resolve_table, &flawed))
        return abandon_start(script);
    script->wait_end_time = 0.0f;
    if (!(script->running_command = malloc_compiled_info()))
        return abandon_start(script);
    if (++last_serial == 0)
        ++last_serial;
    script->serial = last_serial;
    LOG_NOTICE("Script %s up and running\n", path);
    if (out)
        *out = script;
    if (!add_to_running_script_list(&script_global_running_script_list, &running_list_size, script))
        flawed = 1;
    if (flawed)
        LOG_ERROR("There was an error in script_initiate_script for '%s'\n", name);
    return game_time - start_time;
}

int parse_load_all_entities(parsed_entity* list)
{
    if (!list) {
        LOG_ERROR("%s\n", "Null list passed to parse_load_all_entities\n");
        return 0;
    }
    for (parsed_entity* record = list; record; record = parse_ring_next(list, record)) {
        // Id 0: not loaded at the start. A negative id only refers to an
        // entity that something else loads.
        if (record->id != 0) {
            win_entity* entity = entity_io_find_in_ring(record->entity_filename);
            if (!entity && record->id > 0 && !(entity = load_into_ring(record->entity_filename)))
                return 0;
            record->entity = entity;
        }
    }
    return 1;
}

int parse_load_all_sounds(parsed_sound* list)
{
    // Sound off, or no output: nothing to load, and nothing a play needs.
    if (!sound_is_enabled())
        return 1;
    if (!list) {
        LOG_ERROR("%s\n", "Null list passed to parse_load_all_sounds\n");
        return 0;
    }
    // The sound module tells the scripts of every sound it unloads.
    sound_add_forget_funct(script_forget_sound);
    for (parsed_sound* record = list; record; record = parse_ring_next(list, record)) {
        // A negative id only refers to a sound that something else loads.
        win_sound_container* sound = sound_find(record->sound_filename);
        if (!sound && record->id >= 0)
            sound = sound_load(record->sound_filename, 0, game_globals.sound_pathname);
        if (sound) {
            record->sound_container = sound;
        } else if (record->id >= 0) {
            LOG_ERROR("Couldn't find sound %s in parse_load_all_sounds",
                      shown(record->sound_filename));
            return 0;
        } else {
            LOG_WARNING("Script references sound %s that is not loaded\n",
                        shown(record->sound_filename));
        }
    }
    return 1;
}

int script_load_referenced_entity(float id, parsed_entity* list)
{
    parsed_entity* record = nullptr;
    for (parsed_entity* r = list; r && !record; r = parse_ring_next(list, r))
        if ((float)r->id == id)
            record = r;
    if (!record) {
        LOG_ERROR("Couldn't find entity id %d in script_load_referenced_entity\n",
                  (int)math_util_float_to_int(id));
        return 1;
    }
    // Found in the ring, the entity resolves the record as a load would.
    win_entity* entity = entity_io_find_in_ring(record->parsed_entity_name);
    if (!entity && !(entity = load_into_ring(record->parsed_entity_name)))
        return 0;
    record->entity = entity;
    return 1;
}

// ---- Running ----

namespace {

int32_t logged_count(void)
{
    return debug_log.error_count + debug_log.warning_count;
}

// A blocked command runs again in every slice until it finishes. One that
// blocked with an error (an entity that did not load, a camera that is not
// there) would say it again in every frame, and a level with a damaged file
// would fill the log: what it said once, its retries do not repeat.
bool retry_blocked_command(running_script* script)
{
    if (script->blocked_said)
        debug_mute_begin();
    const bool finished = parse_run_command(script) != 0;
    if (script->blocked_said)
        debug_mute_end();
    if (finished)
        script->blocked = script->blocked_said = 0;
    return finished;
}

}  // namespace

int parse_run_script(running_script* script)
{
    REFUSE_NULL(script, "parse_run_script", "running_script_ptr", 0);
    if (script->ended)  // ended inside a call still under way: nothing more runs
        return 1;
    engine_enter();
    int ok = 1;
    bool going = true;
    if (script->blocked)
        going = retry_blocked_command(script);
    // Each command may end the script (its own `unload_script`, a nested
    // slice of another script): the slice then stops, and the record stays
    // until the outermost call returns.
    while (going && !script->ended) {
        switch (parse_decode_command(script)) {
        case PARSE_CODE_END:
            script_terminate_script(script);
            going = false;
            break;
        case PARSE_COMMAND_LOST:
            ok = 0;
            break;
        case PARSE_COMMAND_READY: {
            const int32_t said = logged_count();
            if (!parse_run_command(script)) {
                script->blocked = 1;
                script->blocked_said = logged_count() != said;
                going = false;
            }
            break;
        }
        }
    }
    engine_leave();
    return ok;
}

float script_update_script(void)
{
    float start_time = game_time;
    // A command may unload an entity that the running scripts' tables or
    // the walk's caller still hold: the memory goes when the walk has ended.
    entity_io_begin_walk();
    engine_enter();
    // Serial numbers after this one are those of scripts started during the
    // walk (they wrap around, so they are compared by their difference).
    const uint32_t walk_serial = last_serial;
    int32_t new_slices = 0;
    for (running_script* script = script_global_running_script_list; script;) {
        if ((int32_t)(script->serial - walk_serial) > 0 &&
            ++new_slices > SCRIPT_MAX_NEW_SLICES_PER_WALK) {
            LOG_ERROR("script_update_script stops after %d slices of the scripts it started; the "
                      "rest run next frame\n",
                      (int)SCRIPT_MAX_NEW_SLICES_PER_WALK);
            break;
        }
        if (!parse_run_script(script))
            LOG_ERROR("Script %s execution error in script_update_script\n",
                      script->running_script_name);
        // The successor as the list stands now; a script that has left the
        // list gives the successor it had then, and so on past every script
        // that left after it.
        running_script* next = script->ended ? script->successor : script->next;
        while (next && next->ended)
            next = next->successor;
        running_script* head = script_global_running_script_list;
        script = head && next != head ? next : nullptr;
    }
    engine_leave();
    entity_io_end_walk();
    float elapsed = game_time - start_time;
    return elapsed < 0.0f ? 0.0f : elapsed;
}

int parse_wait(float ms, float* wait_end_time)
{
    REFUSE_NULL(wait_end_time, "parse_wait", "wait_end_time", 1);
    if (*wait_end_time == 0.0f) {
        *wait_end_time = game_time + ms;
        return 0;
    }
    if (game_time < *wait_end_time)
        return 0;
    *wait_end_time = 0.0f;
    return 1;
}

int parse_block_for_script(running_script* script, const char* name)
{
    REFUSE_NULL(script, "parse_block_for_script", "running_script_ptr", 1);
    if (!script->child_serial) {
        // A script of that path that runs already starts nothing: the start
        // is tried again at every slice until that copy has ended.
        running_script* child = nullptr;
        if (script_initiate_script(name, &child) == -1.0f) {
            LOG_ERROR("Couldn't init subscript %s", shown(name));
            return 1;
        }
        script->child_script = child;
        script->child_serial = child ? child->serial : 0;
        return 0;
    }
    running_script* head = script_global_running_script_list;
    if (!head)
        LOG_ERROR("What? No scripts in script list in call to parse_block_for_script\n");
    for (running_script* other = head; other; other = parse_ring_next(head, other))
        if (other->serial == script->child_serial)
            return 0;
    script->child_script = nullptr;
    script->child_serial = 0;
    return 1;
}

// ---- Ending ----

int script_terminate_script(running_script* script)
{
    REFUSE_NULL(script, "script_terminate_script", "running_script_ptr", 0);
    if (script->ended)
        return 1;
    script->ended = 1;
    script->successor = script->next == script ? nullptr : script->next;
    if (script_global_running_script_list &&
        dlink_pos((dlink*)script_global_running_script_list, (dlink*)script) >= 0)
        remove_from_running_script_list(&script_global_running_script_list, &running_list_size,
                                        script);
    if (engine_depth > 0) {
        script->next_ended = ended_scripts;
        ended_scripts = script;
    } else {
        release_script(script);
    }
    return 1;
}

int script_unload_script(const char* name)
{
    char path[SCRIPT_PATH_SIZE];
    if (name && script_path(path, sizeof path, name, ""))
        if (dlink* found = dlink_find((dlink*)script_global_running_script_list, path))
            return script_terminate_script((running_script*)found);
    LOG_NOTICE("Didn't find script %s to remove\n", shown(name));
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

// ---- Forgetting ----

namespace {

// Clears `field` of every record of the table that refers to `target`.
template <typename Record, typename Target>
void forget_in_table(Record* head, Target* Record::*field, const Target* target)
{
    for (Record* record = head; record; record = parse_ring_next(head, record))
        if (record->*field == target)
            record->*field = nullptr;
}

}  // namespace

void script_forget_entity(const win_entity* entity)
{
    for_each_script([&](running_script* script) {
        forget_in_table(script->parsed_entity_list, &parsed_entity::entity, entity);
    });
}

void script_forget_sound(const win_sound_container* sound)
{
    for_each_script([&](running_script* script) {
        forget_in_table(script->parsed_sound_list, &parsed_sound::sound_container, sound);
    });
}

void script_reset(void)
{
    debug_quiet_begin();
    script_cleanup_script_list();
    debug_quiet_end();
    engine_depth = 0;
    release_ended_scripts();
    running_list_size = 0;
    last_serial = 0;
}
