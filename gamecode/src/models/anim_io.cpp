#include "anim_io.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include <utility>

#include "anim_io_yacc.h"
#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "math_util.h"
#include "runtime_services.h"
#include "text_io.h"
#include "token.h"

mow_anim* anim_io_global_mow_anim_list = nullptr;
int32_t anim_io_global_mow_anim_list_size = 0;

namespace {

const char* or_empty(const char* text)
{
    return text ? text : "";
}

// The table's names and slots, checked to run side by side: a slot for
// every name. The number of names, or -1 after an error line.
int32_t animation_count(const win_ast* table)
{
    int32_t names = table->mow_anim_filename_array_size;
    if (names <= 0)
        return 0;
    if (!table->mow_anim_filename_array) {
        LOG_ERROR("win_ast '%s' has mow_anim_filename_array_size = %ld without its names.\n",
                  or_empty(table->win_ast_name), (long)names);
        return -1;
    }
    if (!table->mow_anim_ptr_array || table->mow_anim_ptr_array_size < names) {
        LOG_ERROR("win_ast '%s' has %ld animation slots for %ld animation names.\n",
                  or_empty(table->win_ast_name),
                  (long)(table->mow_anim_ptr_array ? table->mow_anim_ptr_array_size : 0),
                  (long)names);
        return -1;
    }
    return names;
}

// Slot `i` filled from the animation directory; 0 after a log line.
int load_slot(win_ast* table, int32_t i, int32_t expected_num_tracks, const char* anim_directory)
{
    const char* name = table->mow_anim_filename_array[i];
    if (!name) {
        LOG_ERROR("Animation name %ld of '%s' is NULL.\n", (long)i, or_empty(table->win_ast_name));
        return 0;
    }
    char path[ANIM_IO_PATH_SIZE];
    if (snprintf(path, sizeof path, "%s\\%s.%s", anim_directory, name, "trw") >= (int)sizeof path) {
        LOG_ERROR("Animation path '%s\\%s.%s' is too long.\n", anim_directory, name, "trw");
        return 0;
    }
    mow_anim* anim = anim_load_anim(path);
    table->mow_anim_ptr_array[i] = anim;
    if (!anim)
        return 0;
    if (expected_num_tracks != -1 && anim->mow_track_array_size != expected_num_tracks) {
        LOG_ERROR(
            "win_track_array_size (%ld) from '%s' does not match expected_num_tracks (%ld).\n",
            (long)anim->mow_track_array_size, or_empty(table->win_ast_name),
            (long)expected_num_tracks);
        return 0;
    }
    return 1;
}

// One time of a state moved into [first, last], with a warning when it moves.
void clamp_time(float* time, const char* which, const char* low_end, float first, float last,
                const char* table_name)
{
    if (*time < first) {
        LOG_WARNING("Anim table's %s time %f too small (min = %f), setting to %s, '%s'\n", which,
                    *time, first, low_end, table_name);
        *time = first;
    } else if (*time > last) {
        LOG_WARNING("Anim table's %s time %f too large (max = %f), setting to maximum time, '%s'\n",
                    which, *time, last, table_name);
        *time = last;
    }
}

// A state's stretch inside its animation's range: no times are the whole
// range, times outside it are moved to its nearer end.
void clamp_state_times(win_anim_table_base* state, const mow_anim* anim, const char* table_name)
{
    const float first = anim->mow_anim_begin_time;
    const float last = anim->mow_anim_end_time;
    if (state->begin_time == -1.0f || state->end_time == -1.0f) {
        state->begin_time = first;
        state->end_time = last;
    }
    clamp_time(&state->begin_time, "begin", "default minimum time", first, last, table_name);
    clamp_time(&state->end_time, "end", "minimum time", first, last, table_name);
}

// Animation files and the error lines of their loader.
const versioned_record_file anim_file = {
    FILE_TYPE_ANIM,
    FILE_VERSION_ANIM,
    [](FILE* file) -> void* { return read_mow_anim_bin(file); },
    [](const char* path, int32_t) { LOG_ERROR("Bad file type or file version '%s'\n", path); },
    [](const char* path) { LOG_ERROR("Could not read-to-verify mow_animation file '%s'\n", path); },
};

}  // namespace

mow_anim* anim_load_anim(const char* path)
{
    if (!path) {
        LOG_ERROR("%s\n", "cannot anim_load_anim with NULL win_filename.");
        return nullptr;
    }
    const char* base = get_base_filename(path);
    if (!base)
        return nullptr;
    // A file is shared when the name stored in it is its base name.
    mow_anim* anim = (mow_anim*)dlink_find((dlink*)anim_io_global_mow_anim_list, base);
    if (anim) {
        ++anim->mow_anim_ref_cnt;
        return anim;
    }
    LOG_NOTICE("Reading TRW '%s'\n", path);
    anim = (mow_anim*)file_read_versioned_record(path, path, &anim_file);
    if (!anim)
        return nullptr;
    // The list takes one more reference; the one it was read with is the
    // caller's.
    if (!add_to_mow_anim_list(&anim_io_global_mow_anim_list, &anim_io_global_mow_anim_list_size,
                              anim)) {
        LOG_ERROR("Unable to add mow_animation %s to global list.\n",
                  or_empty(anim->mow_anim_name));
        free_mow_anim(anim);
        return nullptr;
    }
    return anim;
}

int anim_io_load_ast_anims(win_ast* win_ast_ptr, int32_t expected_num_tracks,
                           const char* anim_directory)
{
    REFUSE_NULL(win_ast_ptr, "anim_io_load_ast_anims", "win_ast", 0);
    REFUSE_NULL(anim_directory, "anim_io_load_ast_anims", "anim_directory", 0);
    const char* table_name = or_empty(win_ast_ptr->win_ast_name);
    const int32_t animations = animation_count(win_ast_ptr);
    int ok = animations >= 0;
    for (int32_t i = 0; i < animations; ++i)
        ok = load_slot(win_ast_ptr, i, expected_num_tracks, anim_directory) && ok;
    if (!ok) {
        LOG_ERROR("%s\n", "Could not load all animations");
        return 0;
    }
    const int32_t states = win_ast_ptr->win_anim_table_base_array
                               ? win_ast_ptr->win_anim_table_base_array_size
                               : 0;
    for (int32_t s = 0; s < states; ++s) {
        win_anim_table_base* state = &win_ast_ptr->win_anim_table_base_array[s];
        if (state->mow_anim_index < 0)
            continue;
        // A table read from its binary form carries its indexes unchecked.
        if (state->mow_anim_index >= animations) {
            LOG_WARNING("State %ld of '%s' names animation %ld of %ld.\n", (long)s, table_name,
                        (long)state->mow_anim_index, (long)animations);
            continue;
        }
        clamp_state_times(state, win_ast_ptr->mow_anim_ptr_array[state->mow_anim_index],
                          table_name);
    }
    return 1;
}

int32_t anim_io_resolve_mow_anim_index(const win_ast* win_ast_ptr, const char* name)
{
    REFUSE_NULL(win_ast_ptr, "anim_io_resolve_mow_anim_index", "win_ast", -1);
    REFUSE_NULL(name, "anim_io_resolve_mow_anim_index", "name", -1);
    if (strcasecmp(name, "none") == 0)
        return -1;
    const win_filename_ptr* names = win_ast_ptr->mow_anim_filename_array;
    for (int32_t i = 0; names && i < win_ast_ptr->mow_anim_filename_array_size; ++i)
        if (names[i] && std::strcmp(names[i], name) == 0)
            return i;
    LOG_ERROR("Could not find resolve mow_anim %s to index.\n", name);
    return -1;
}

int32_t anim_io_resolve_anim_index(const char (*name_table)[ANIM_IO_NAME_SIZE], int32_t count,
                                   const char* name)
{
    REFUSE_NULL(name_table, "anim_io_resolve_anim_index", "name_table", -1);
    REFUSE_NULL(name, "anim_io_resolve_anim_index", "name", -1);
    for (int32_t i = 0; i < count; ++i)
        if (std::strncmp(name_table[i], name, ANIM_IO_NAME_SIZE) == 0)
            return i;
    LOG_WARNING("Could not find resolve anim %s to index.\n", name);
    return -1;
}

void anim_io_reset(void)
{
    while (mow_anim* anim = anim_io_global_mow_anim_list) {
        remove_from_mow_anim_list(&anim_io_global_mow_anim_list, &anim_io_global_mow_anim_list_size,
                                  anim);
        anim->mow_anim_ref_cnt = 1;
        free_mow_anim(anim);
    }
    anim_io_global_mow_anim_list_size = 0;
}

// ---- State table files ----

const anim_io_flag_keyword anim_io_type_flag_table[] = {
    {"hit", 0x1},
    {"impervious", 0x2},
    {"impervious_to_projectile", 0x4},
    {"impervious_to_melee", 0x8},
    {"impervious_to_standard", 0x10},
    {"aiming", 0x20},
    {"drawing_1", 0x100},
    {"drawing_2", 0x200},
    {"holstering_1", 0x400},
    {"holstering_2", 0x800},
    {"reload", 0x1000},
    {"turn", 0x2000},
    {"side_step", 0x4000},
    {"use_tail_idle", 0x8000},
    {"idle_anim", 0x10000},
    {"raising_weapon", 0x20000},
    {"lowering_weapon", 0x40000},
    {"force_reset", 0x80000},
    {"impervious_to_standard_1", 0x100000},
    {"impervious_to_standard_2", 0x200000},
    {"impervious_to_standard_3", 0x400000},
    {nullptr, 0},
};

const anim_io_flag_keyword anim_io_reaction_flag_table[] = {
    {"standard_1", 0x1},
    {"standard_2", 0x2},
    {"standard_3", 0x4},
    {"melee_1", 0x8},
    {"melee_2", 0x10},
    {"melee_3", 0x20},
    {"projectile_1", 0x40},
    {"projectile_2", 0x80},
    {"projectile_3", 0x100},
    {"soft", 0x200},
    {"medium", 0x400},
    {"hard", 0x800},
    {"fatal", 0x1000},
    {"front", 0x2000},
    {"back", 0x4000},
    {"left", 0x8000},
    {"right", 0x10000},
    {"from_aiming", 0x20000},
    {"standard_1_reaction", 0x40000},
    {"standard_2_reaction", 0x80000},
    {"standard_3_reaction", 0x100000},
    {"react_projectile_1", 0x200000},
    {nullptr, 0},
};

const anim_io_input_token anim_io_input_token_table[ANIM_IO_INPUT_TOKENS] = {
    {"ni", 0x0},
    {"no_input", 0x0},
    {"d", 0x1},
    {"down", 0x1},
    {"l", 0x2},
    {"left", 0x2},
    {"r", 0x4},
    {"right", 0x4},
    {"u", 0x8},
    {"up", 0x8},
    {"a", 0x10},
    {"a_button", 0x10},
    {"b", 0x20},
    {"b_button", 0x20},
    {"c", 0x40},
    {"c_button", 0x40},
    {"x", 0x80},
    {"x_button", 0x80},
    {"y", 0x100},
    {"y_button", 0x100},
    {"z", 0x200},
    {"z_button", 0x200},
    {"l1", 0x400},
    {"l1_button", 0x400},
    {"r1", 0x800},
    {"r1_button", 0x800},
    {"m", 0x1000},
    {"m_button", 0x1000},
    {"s", 0x2000},
    {"start_button", 0x2000},
    {"e", WIN_AST_END_OF_ANIM},
    {"end_of_anim", WIN_AST_END_OF_ANIM},
    {"st", 0x8000},
    {"strafe", 0x8000},
};

namespace {

// The names of the list being read, line k in entry k; once the state list
// is read, the state names, which the rest of the file is resolved against.
char ast_scratch_name_table[ANIM_IO_MAX_NAMES + 1][ANIM_IO_NAME_SIZE];

// One state table file being read. `ok` is cleared by every failure; `ended`
// is set by those the load cannot go past (the end of the file, a bad input
// token, a list beyond the limits, a failed allocation), which stop it.
struct ast_reader {
    FILE* file;
    const char* filename;
    int16_t line_cnt;
    win_ast* table;
    const char* sound_directory;
    int ok;
    bool ended;
};

// Stops the load: the file ends (or can no longer be read) before the table
// does.
void end_of_file(ast_reader* r)
{
    if (!r->ended)
        LOG_ERROR("Unexpected end of '%s' at line %d\n", r->filename, (int)r->line_cnt);
    r->ok = 0;
    r->ended = true;
}

// Stops the load after the error line of its cause.
void stop(ast_reader* r)
{
    r->ok = 0;
    r->ended = true;
}

int read_line(ast_reader* r, char* line)
{
    if (get_text_line(r->file, &r->line_cnt, line, TEXT_LINE_SIZE))
        return 1;
    end_of_file(r);
    return 0;
}

// The next token, or NULL at the end of the file; valid until the next line
// is read.
const char* read_token(ast_reader* r)
{
    const char* token = get_next_token(r->file, &r->line_cnt);
    if (!token)
        end_of_file(r);
    return token;
}

// The next number (a "-" token before it negates it). A token that is no
// number is a failure the load reads past; the end of the file stops it.
int read_number(ast_reader* r, double* value)
{
    if (get_next_token_val(r->file, &r->line_cnt, value))
        return 1;
    if (token_end_flag)
        end_of_file(r);
    r->ok = 0;
    return 0;
}

// A number truncated toward zero into `*target`; left alone when none is read.
void read_int(ast_reader* r, int32_t* target)
{
    double value;
    if (read_number(r, &value))
        *target = math_util_float_to_int(value);
}

void read_float(ast_reader* r, float* target)
{
    double value;
    if (read_number(r, &value))
        *target = (float)value;
}

// Reads the lines of a name list into the scratch table up to its "end"
// line, starting with `first` when given; the number of names, or -1 when
// the list cannot be taken (the load is then stopped).
int32_t read_name_list(ast_reader* r, const char* first, const char* what)
{
    char line[TEXT_LINE_SIZE];
    if (first)
        std::snprintf(line, sizeof line, "%s", first);
    else if (!read_line(r, line))
        return -1;
    int32_t count = 0;
    while (strcasecmp(line, "end") != 0) {
        if (count == ANIM_IO_MAX_NAMES) {
            LOG_ERROR("More than %d names in the %s list of '%s' at line %d\n", ANIM_IO_MAX_NAMES,
                      what, r->filename, (int)r->line_cnt);
            stop(r);
            return -1;
        }
        if (std::strlen(line) >= ANIM_IO_NAME_SIZE) {
            LOG_ERROR("Name longer than %d characters in the %s list of '%s' at line %d\n",
                      ANIM_IO_NAME_SIZE - 1, what, r->filename, (int)r->line_cnt);
            stop(r);
            return -1;
        }
        std::memcpy(ast_scratch_name_table[count++], line, std::strlen(line) + 1);
        if (!read_line(r, line))
            return -1;
    }
    return count;
}

// A new array of heap copies of the first `count` scratch names, or NULL
// after an error line (the load is then stopped).
win_filename_ptr* copy_names(ast_reader* r, int32_t count, const char* array_word)
{
    win_filename_ptr* names = malloc_win_filename_ptr_array(count);
    for (int32_t i = 0; names && i < count; ++i)
        if (!(names[i] = STRDUP(ast_scratch_name_table[i]))) {
            free_win_filename_ptr_array(names, count);
            names = nullptr;
        }
    if (!names) {
        LOG_ERROR("Failed to allocate memory for the win_ast->%s.\n", array_word);
        stop(r);
    }
    return names;
}

int32_t state_index(int32_t states, const char* name)
{
    return anim_io_resolve_anim_index(ast_scratch_name_table, states, name);
}

// The slots of the table's sound effects, one per name, each with the sound
// loaded for it (a 3D sound; NULL when it does not load). A table holding
// sounds forgets each one the sound module unloads. 0 after an error line.
int load_sounds(win_ast* table, const char* sound_directory)
{
    const int32_t count = table->sound_fx_filename_array ? table->sound_fx_filename_array_size : 0;
    table->sound_fx_array_size = 0;
    if (count <= 0)
        return 1;
    table->sound_fx_array = malloc_win_sound_fx_ptr_array(count);
    if (!table->sound_fx_array) {
        LOG_ERROR("%s\n", "Failed to allocate memory for the win_ast->sound_fx_array.");
        return 0;
    }
    table->sound_fx_array_size = count;
    if (!sound_add_forget_funct(win_ast_forget_sound)) {
        LOG_ERROR("%s\n", "Could not sound_add_forget_funct for the state tables.");
        return 0;
    }
    win_ast_hold_sounds(table);
    for (int32_t i = 0; i < count; ++i)
        if (const char* name = table->sound_fx_filename_array[i])
            table->sound_fx_array[i] = sound_load(name, 1, sound_directory);
    return 1;
}

// One empty animation slot per animation name. A table without names gets
// none, after an error line, and loads on: it has nothing to play. 0 when
// the slots cannot be made.
int make_animation_slots(win_ast* table)
{
    const int32_t count = table->mow_anim_filename_array ? table->mow_anim_filename_array_size : 0;
    table->mow_anim_ptr_array_size = 0;
    if (count < 1) {
        LOG_ERROR("%s\n", "mow_anim_filename_array_size is < 1.");
        return 1;
    }
    table->mow_anim_ptr_array = malloc_mow_anim_ptr_array(count);
    if (!table->mow_anim_ptr_array) {
        LOG_ERROR("%s\n", "Failed to allocate memory for the win_ast->mow_anim_ptr_array.");
        return 0;
    }
    table->mow_anim_ptr_array_size = count;
    return 1;
}

// ---- The keywords of a state ----

struct state_keyword;
typedef void (*keyword_reader)(ast_reader* r, win_anim_table_base* state, int32_t state_idx,
                               const state_keyword& keyword);

// A keyword with values: how they are read, and for the readers that serve
// several keywords the member of the state they fill.
struct state_keyword {
    const char* keyword;
    keyword_reader read;
    win_vect3 win_anim_table_base::*vector = nullptr;     // read_vector
    int32_t win_anim_table_base::*joint_table = nullptr;  // read_joint_table: the index,
    const char* index_word = nullptr;                     //   its name in messages,
    bool number_unchecked = false;                        //   whether a number stands as it is
};

void read_time_multiplier(ast_reader* r, win_anim_table_base* state, int32_t, const state_keyword&)
{
    read_float(r, &state->anim_time_multiplier);
}

void read_play_script(ast_reader* r, win_anim_table_base* state, int32_t, const state_keyword&)
{
    const char* name = read_token(r);
    if (!name)
        return;
    char* copy = STRDUP(name);
    if (!copy) {
        LOG_ERROR("Could not strdup play_script '%s' at %s(%d)\n", name, r->filename,
                  (int)r->line_cnt);
        stop(r);
        return;
    }
    if (state->play_script)  // a second play_script replaces the first
        FREE(state->play_script);
    state->play_script = copy;
}

// Two numbers scaled into begin_time and end_time (milliseconds).
void read_stretch(ast_reader* r, win_anim_table_base* state, float scale, bool reversed_is_error)
{
    double begin, end;
    if (!read_number(r, &begin) || !read_number(r, &end))
        return;
    state->begin_time = (float)begin * scale;
    state->end_time = (float)end * scale;
    if (state->end_time >= state->begin_time)
        return;
    if (reversed_is_error) {
        LOG_ERROR("end_time before begin_time at %s(%d)\n", r->filename, (int)r->line_cnt);
        r->ok = 0;
    } else {
        LOG_NOTICE("end_time before begin_time at %s(%d)\n", r->filename, (int)r->line_cnt);
    }
}

void read_begin_end_time(ast_reader* r, win_anim_table_base* state, int32_t, const state_keyword&)
{
    read_stretch(r, state, 1000.0f, true);
}

void read_begin_end_frame(ast_reader* r, win_anim_table_base* state, int32_t, const state_keyword&)
{
    read_stretch(r, state, ANIM_IO_FRAME_TIME, false);
}

void read_vector(ast_reader* r, win_anim_table_base* state, int32_t, const state_keyword& keyword)
{
    win_vect3& vector = state->*keyword.vector;
    read_float(r, &vector.x);
    if (!r->ended)
        read_float(r, &vector.y);
    if (!r->ended)
        read_float(r, &vector.z);
}

void read_sound_effect(ast_reader* r, win_anim_table_base* state, int32_t, const state_keyword&)
{
    read_int(r, &state->sound_effect);
}

void read_attack(ast_reader* r, win_anim_table_base* state, int32_t, const state_keyword&)
{
    state->anim_type_flags |= ANIM_IO_ATTACK_FLAG;
    read_int(r, &state->attack_value);
}

void read_block_to(ast_reader* r, win_anim_table_base* state, int32_t state_idx,
                   const state_keyword&)
{
    const char* name = read_token(r);
    if (!name)
        return;
    state->block_to_anim_index = state_index(r->table->win_anim_table_base_array_size, name);
    if (state->block_to_anim_index < 0)
        LOG_ERROR("Couldn't find blocking animation state index for state %d\n", (int)state_idx);
    read_int(r, &state->block_to_value);
}

// A joint table by name or number. "joint_table" takes a number as it
// stands, even without tables, and passes over a name when there are none;
// its two sisters pass over any value without tables and check numbers too.
void read_joint_table(ast_reader* r, win_anim_table_base* state, int32_t,
                      const state_keyword& keyword)
{
    double value;
    int32_t is_number = 0;
    const char* text = get_token_or_token_val(r->file, &r->line_cnt, &value, &is_number);
    if (!text) {
        if (token_end_flag)
            end_of_file(r);
        r->ok = 0;
        return;
    }
    const win_ast* table = r->table;
    if (!table->win_joint_table_list) {
        if (keyword.number_unchecked && is_number)
            state->*keyword.joint_table = math_util_float_to_int(value);
        return;
    }
    int32_t index;
    if (is_number) {
        index = math_util_float_to_int(value);
        if (keyword.number_unchecked) {
            state->*keyword.joint_table = index;
            return;
        }
    } else {
        dlink* found = dlink_find((dlink*)table->win_joint_table_list, text);
        if (!found) {
            LOG_ERROR("Unknown win_joint_table '%s' at %s(%d)\n", text, r->filename,
                      (int)r->line_cnt);
            r->ok = 0;
            return;
        }
        index = dlink_pos((dlink*)table->win_joint_table_list, found);
    }
    state->*keyword.joint_table = index;
    if (index < 0 || index >= table->win_joint_table_list_size) {
        LOG_ERROR("%s = %ld out-of-range at %s(%d)\n", keyword.index_word, (long)index, r->filename,
                  (int)r->line_cnt);
        r->ok = 0;
    }
}

const state_keyword state_keywords[] = {
    {"anim_time_multiplier", read_time_multiplier},
    {"play_script", read_play_script},
    {"begin_end_time", read_begin_end_time},
    {"begin_end_frame", read_begin_end_frame},
    {"translation_multiplier", read_vector, &win_anim_table_base::translation_multiplier},
    {"rotation_multiplier", read_vector, &win_anim_table_base::rotation_multiplier},
    {"extra_rotation_velocity", read_vector, &win_anim_table_base::extra_rotation_velocity},
    {"extra_translation_velocity", read_vector, &win_anim_table_base::extra_translation_velocity},
    {"sound_effect", read_sound_effect},
    {"attacking", read_attack},
    {"attack", read_attack},
    {"block_to", read_block_to},
    {"joint_table", read_joint_table, nullptr, &win_anim_table_base::win_joint_table_idx,
     "win_joint_table_idx", true},
    {"combat_joint_table", read_joint_table, nullptr,
     &win_anim_table_base::combat_win_joint_table_idx, "combat_win_joint_table_idx", false},
    {"vulnerable_joint_table", read_joint_table, nullptr,
     &win_anim_table_base::vulnerable_win_joint_table_idx, "vulnerable_win_joint_table_idx", false},
};

// The bit of a flag keyword in `table` (any case), or 0.
int32_t flag_bit(const anim_io_flag_keyword* table, const char* token)
{
    for (; table->keyword; ++table)
        if (strcasecmp(table->keyword, token) == 0)
            return table->bit;
    return 0;
}

// Applies keywords until a token that is none, which is given back.
void read_keywords(ast_reader* r, win_anim_table_base* state, int32_t state_idx)
{
    while (!r->ended) {
        const char* token = read_token(r);
        if (!token)
            return;
        const state_keyword* keyword = nullptr;
        for (const state_keyword& row : state_keywords)
            if (!keyword && strcasecmp(row.keyword, token) == 0)
                keyword = &row;
        int32_t bit;
        if (keyword) {
            keyword->read(r, state, state_idx, *keyword);
        } else if ((bit = flag_bit(anim_io_type_flag_table, token))) {
            state->anim_type_flags |= bit;
        } else if ((bit = flag_bit(anim_io_reaction_flag_table, token))) {
            state->reaction_flags |= bit;
        } else {
            unget_token();
            return;
        }
    }
}

// ---- Transitions ----

const anim_io_input_token* input_token(const char* token)
{
    for (const anim_io_input_token& row : anim_io_input_token_table)
        if (std::strcmp(row.token, token) == 0)
            return &row;
    return nullptr;
}

// Reads entries up to "end_of_entries" into the state's transition list. An
// entry whose ";" never came is dropped.
void read_transitions(ast_reader* r, win_anim_table_base* state)
{
    win_anim_table_entry* entry = nullptr;
    while (const char* token = read_token(r)) {
        if (std::strcmp(token, "end_of_entries") == 0)
            break;
        if (!entry && !(entry = malloc_win_anim_table_entry())) {
            LOG_ERROR("%s\n", "Unable to allocate memory for win_anim_table_entry!.");
            stop(r);
            break;
        }
        if (std::strcmp(token, ";") == 0) {
            const char* target = read_token(r);
            if (!target)
                break;
            entry->target_anim_index = state_index(r->table->win_anim_table_base_array_size,
                                                   target);
            if (!add_to_win_anim_table_entry_list(&state->win_anim_table_entry_list,
                                                  &state->win_anim_table_entry_list_size, entry)) {
                r->ok = 0;
                free_win_anim_table_entry(entry);
            }
            entry = nullptr;
        } else if (const anim_io_input_token* input = input_token(token)) {
            entry->condition_mask |= input->mask;
        } else {
            LOG_ERROR("Bad input token '%s' in AST table at line %d\n", token, (int)r->line_cnt);
            stop(r);
            break;
        }
    }
    if (entry)
        free_win_anim_table_entry(entry);
}

// ---- The file ----

// Passes over the spaz_model_name line and the collision blocks, which the
// grammar pass has read; `line` holds the first line after them.
void skip_collision_section(ast_reader* r, char* line)
{
    if (!read_line(r, line))
        return;
    if (std::strncmp(line, "spaz_model_name", std::strlen("spaz_model_name")) == 0 &&
        !read_line(r, line))
        return;
    const size_t keyword = std::strlen("collision_joint_table");
    while (std::strncmp(line, "collision_joint_table", keyword) == 0) {
        // A block closed on its own line has nothing more to pass over.
        if (line[std::strlen(line) - 1] != ';') {
            const char* token;
            while ((token = read_token(r)) && std::strcmp(token, ";") != 0) {
            }
            if (!token)
                return;
        }
        if (!read_line(r, line))
            return;
    }
}

void read_state(ast_reader* r, int32_t i)
{
    win_ast* table = r->table;
    win_anim_table_base* state = &table->win_anim_table_base_array[i];
    state->translation_multiplier = {1.0f, 1.0f, 1.0f};
    state->rotation_multiplier = {1.0f, 1.0f, 1.0f};
    state->anim_type_flags = 0;
    state->reaction_flags = 0;
    const int32_t states = table->win_anim_table_base_array_size;
    char line[TEXT_LINE_SIZE];
    if (!read_line(r, line))
        return;
    state->anim_index = state_index(states, line);
    if (state->anim_index != i)
        LOG_ERROR("anim_index %ld does not equal expected value %ld.\n", (long)state->anim_index,
                  (long)i);
    if (!read_line(r, line))
        return;
    state->mow_anim_index = anim_io_resolve_mow_anim_index(table, line);
    if (!read_line(r, line))
        return;
    state->next_anim_index = state_index(states, line);
    read_keywords(r, state, i);
    if (!r->ended)
        read_transitions(r, state);
}

// The lists and the states, after the file's header.
void read_table(ast_reader* r)
{
    win_ast* table = r->table;
    char line[TEXT_LINE_SIZE];
    skip_collision_section(r, line);
    if (r->ended)
        return;

    int32_t sounds = read_name_list(r, line, "sound");
    if (sounds < 0)
        return;
    if (sounds > 0) {
        if (!(table->sound_fx_filename_array = copy_names(r, sounds, "sound_fx_filename_array")))
            return;
        table->sound_fx_filename_array_size = sounds;
        if (!load_sounds(table, r->sound_directory)) {
            stop(r);
            return;
        }
    }

    int32_t animations = read_name_list(r, nullptr, "animation");
    if (animations < 0)
        return;
    if (animations > 0) {
        if (!(table->mow_anim_filename_array = copy_names(r, animations,
                                                          "mow_anim_filename_array")))
            return;
        table->mow_anim_filename_array_size = animations;
    }
    if (!make_animation_slots(table)) {
        stop(r);
        return;
    }

    int32_t states = read_name_list(r, nullptr, "state");
    if (states < 0)
        return;
    if (states == 0) {
        LOG_ERROR("'%s' has no states at line %d\n", r->filename, (int)r->line_cnt);
        stop(r);
        return;
    }
    if (!(table->win_anim_state_filename_array = copy_names(r, states,
                                                            "win_anim_state_filename_array")))
        return;
    table->win_anim_state_filename_array_size = states;
    if (!(table->win_anim_table_base_array = malloc_win_anim_table_base_array(states))) {
        LOG_ERROR("%s\n", "Failed to allocate memory for the win_ast->win_anim_table_base_array.");
        stop(r);
        return;
    }
    table->win_anim_table_base_array_size = states;
    table->current_anim_index = 0;  // a table without states has no current one
    for (int32_t i = 0; i < states && !r->ended; ++i)
        read_state(r, i);
}

// The message of a state table file that cannot be opened.
void report_open_failure(const char* filename, int found)
{
    if (found)
        LOG_ERROR("'%s' found, but bad file type or file version\n", filename);
    else
        LOG_ERROR("Could not find '%s'\n", filename);
}

}  // namespace

int anim_io_load_ast(const char* filename, win_ast* win_ast_ptr, const char* model_directory,
                     const char* sound_directory)
{
    REFUSE_NULL(filename, "anim_io_load_ast", "filename", 0);
    REFUSE_NULL(win_ast_ptr, "anim_io_load_ast", "win_ast", 0);
    if (!anim_io_yacc_set_model_directory(model_directory))
        return 0;
    if (!parse_ast_for_collision_tables(filename, win_ast_ptr)) {
        LOG_ERROR("Could not parse_ast_for_collision_tables from '%s'\n", filename);
        return 0;
    }
    LOG_NOTICE("Reading AST '%s'\n", filename);
    ast_reader r = {};
    r.filename = filename;
    r.table = win_ast_ptr;
    r.sound_directory = sound_directory;
    r.ok = 1;
    int found = 0;
    r.file = file_open_search_verify_version_text(
        filename, &r.line_cnt, nullptr, FILE_TYPE_AST_TEXT, FILE_VERSION_AST_TEXT, &found);
    if (!r.file) {
        report_open_failure(filename, found);
        return 0;
    }
    token_reset();
    win_ast_ptr->anim_input_flags = 0;
    read_table(&r);
    return file_close(r.file) && r.ok;
}

int anim_io_load_ast_bin(const char* filename, win_ast* win_ast_ptr, const char*,
                         const char* sound_directory)
{
    REFUSE_NULL(filename, "anim_io_load_ast_bin", "filename", 0);
    REFUSE_NULL(win_ast_ptr, "anim_io_load_ast_bin", "win_ast", 0);
    LOG_NOTICE("Reading AST '%s'\n", filename);
    int found = 0;
    FILE* file = file_open_search_verify_version_bin(filename, nullptr, FILE_TYPE_AST_BIN,
                                                     FILE_VERSION_AST_BIN, &found);
    if (!file) {
        report_open_failure(filename, found);
        return 0;
    }
    win_ast* read = read_win_ast_bin(file);
    int ok = file_close(file);
    if (!read) {
        LOG_ERROR("Failed to read_win_ast_bin %s.\n", filename);
        return 0;
    }
    // The caller's table takes the one read: all of it but the name, which
    // it keeps when it has one. What the caller's table held goes with the
    // shell of the one read (off the register of sound holders first: the
    // register knows tables by their address).
    win_ast_release(win_ast_ptr);
    std::swap(*win_ast_ptr, *read);
    if (read->win_ast_name)
        std::swap(win_ast_ptr->win_ast_name, read->win_ast_name);
    ok = free_win_ast(read) && ok;

    win_ast_ptr->anim_input_flags = 0;
    if (!win_ast_ptr->win_anim_table_base_array) {
        LOG_ERROR("'%s' has no states\n", filename);
        return 0;
    }
    win_ast_ptr->current_anim_index = 0;
    return load_sounds(win_ast_ptr, sound_directory) && make_animation_slots(win_ast_ptr) && ok;
}
