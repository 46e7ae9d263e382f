#include "ai_io.h"

#include <strings.h>

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "math_util.h"
#include "str_util.h"
#include "text_io.h"
#include "token.h"

// ---- Codes ----

namespace {

constexpr ai_goal_argument N = AI_GOAL_ARGUMENT_NONE;
constexpr ai_goal_argument P = AI_GOAL_ARGUMENT_POINT;
constexpr ai_goal_argument T = AI_GOAL_ARGUMENT_NAME;
// clang-format off
const ai_goal_argument default_goal_arguments[AI_GOAL_TYPE_COUNT] = {
    N, P, P, P, T, T, N, N, N, N,  //  0 to  9
    N, N, P, T, N, T, T, T, T, T,  // 10 to 19
    T, P, T, N, N, N, N, N, P, P,  // 20 to 29
    T, N, N, N, N, N, P,           // 30 to 36
};
// clang-format on

struct attack_kind_word {
    const char* word;
    int32_t kind;
};
// The first word of a kind is the one written for it.
const attack_kind_word attack_kind_words[] = {
    {"STANDARD", AI_ATTACK_STANDARD_1},       {"STANDARD_1", AI_ATTACK_STANDARD_1},
    {"STANDARD_2", AI_ATTACK_STANDARD_2},     {"STANDARD_3", AI_ATTACK_STANDARD_3},
    {"MELEE_1", AI_ATTACK_MELEE_1},           {"MELEE_2", AI_ATTACK_MELEE_2},
    {"MELEE_3", AI_ATTACK_MELEE_3},           {"PROJECTILE_1", AI_ATTACK_PROJECTILE_1},
    {"PROJECTILE_2", AI_ATTACK_PROJECTILE_2}, {"PROJECTILE_3", AI_ATTACK_PROJECTILE_3},
};
// Any word outside the table gives AI_ATTACK_WEAPON; this is the one written.
const char* const other_attack_word = "OTHER";

}  // namespace

ai_goal_argument ai_default_goal_argument(int32_t goal_type)
{
    if (goal_type < 0 || goal_type >= AI_GOAL_TYPE_COUNT)
        return AI_GOAL_ARGUMENT_NONE;
    return default_goal_arguments[goal_type];
}

int32_t ai_attack_kind_of_word(const char* word)
{
    REFUSE_NULL(word, "ai_attack_kind_of_word", "word", AI_ATTACK_WEAPON);
    for (const attack_kind_word& row : attack_kind_words)
        if (strcasecmp(word, row.word) == 0)
            return row.kind;
    return AI_ATTACK_WEAPON;
}

const char* ai_attack_kind_word(int32_t kind)
{
    for (const attack_kind_word& row : attack_kind_words)
        if (row.kind == kind)
            return row.word;
    return kind == AI_ATTACK_WEAPON ? other_attack_word : nullptr;
}

const ai_file_number ai_file_numbers[AI_FILE_NUMBER_COUNT] = {
    {"personality_long_1", offsetof(win_personality, personality_long_1), false},
    {"personality_long_2", offsetof(win_personality, personality_long_2), false},
    {"attack_interval", offsetof(win_personality, attack_interval), true},
    {"mobility_type", offsetof(win_personality, mobility_type), false},
    {"damage_1", offsetof(win_personality, damage_1), false},
    {"damage_2", offsetof(win_personality, damage_2), false},
    {"damage_3", offsetof(win_personality, damage_3), false},
    {"armour", offsetof(win_personality, armour), false},
    {"melee_armour", offsetof(win_personality, melee_armour), false},
    {"projectile_armour", offsetof(win_personality, projectile_armour), false},
};

const char* const ai_keywords[AI_KEYWORD_COUNT] = {
    "demeanor",        "flying_speed",       "fast_flying_speed",
    "give_hit_script", "receive_hit_script", "target_joint",
};

const char* const ai_demeanor_words[3] = {"neutral", "hostile", "chicken"};

const char* const ai_no_end_script = "none";

// ---- Reading ----

namespace {

// An open text file being read: the stream, its line count and the path its
// messages name.
struct text_source {
    FILE* file;
    int16_t line_cnt;
    const char* path;
};

// What the two kinds of file differ in, up to their contents.
struct text_kind {
    const char* extension;
    const char* label;         // of the reading notice
    const char* record;        // of the messages of a failed allocation
    const char* found_kind;    // of the messages of a refused header
    const char* missing_kind;  // and of a missing file
    int32_t file_type;
    int32_t file_version;
};
const text_kind ai_text = {"int", "INT", "AI", "", "", FILE_TYPE_AI, FILE_VERSION_AI};
const text_kind map_text = {
    "map", "MAP", "MAP", " map file", "map file ", FILE_TYPE_NAV_MAP, FILE_VERSION_NAV_MAP};

enum { AI_IO_PATH_SIZE = 512 };

// Logs the loading notices, lower-cases `filename`, builds the path into
// `path` and opens the file past its header into `in`. 0 after a log line.
int open_source(text_source* in, char (&path)[AI_IO_PATH_SIZE], char* filename,
                const char* directory, const text_kind& kind)
{
    LOG_NOTICE("           Loading %s from file...\n", filename);
    to_lower_case(filename);
    int length = std::snprintf(path, sizeof path, "%s\\%s.%s", directory, filename, kind.extension);
    if (length < 0 || length >= (int)sizeof path) {
        LOG_ERROR("The path of '%s' in '%s' is longer than %d characters\n", filename, directory,
                  (int)sizeof path - 1);
        return 0;
    }
    LOG_NOTICE("Reading %s file '%s'\n", kind.label, path);
    int found = 0;
    in->path = path;
    in->line_cnt = 0;
    in->file = file_open_search_verify_version_text(path, &in->line_cnt, nullptr, kind.file_type,
                                                    kind.file_version, &found);
    if (!in->file) {
        if (found)
            LOG_ERROR("'%s'%s found, but bad file type or file version\n", path, kind.found_kind);
        else
            LOG_ERROR("Could not find %s'%s'\n", kind.missing_kind, path);
        return 0;
    }
    // The tokenizer starts on this file with nothing left of another.
    token_reset();
    return 1;
}

// Every refusal names the line it stopped at; these answer 0.
int refuse_item(const text_source* in, const char* what)
{
    LOG_ERROR("Could not read %s in '%s' at line %d\n", what, in->path, (int)in->line_cnt);
    return 0;
}
int refuse_value(const text_source* in, const char* what, long value)
{
    LOG_ERROR("Bad %s = %ld in '%s' at line %d\n", what, value, in->path, (int)in->line_cnt);
    return 0;
}

// A number line of an AI description that cannot be read leaves its values
// at their defaults, and reading goes on (the line reader has said why).
void keep_default(const text_source* in, const char* what)
{
    LOG_WARNING("Could not read %s in '%s' at line %d; it keeps its default\n", what, in->path,
                (int)in->line_cnt);
}

// What could not be allocated for a file's record ("AI" or "MAP").
int out_of_memory(const char* record, const char* what, const char* filename)
{
    LOG_ERROR("Could not allocate memory for %s %s.  Filename: %s\n", record, what, filename);
    return 0;
}

// A count of the items that follow, which sizes an allocation: at least
// one, and no more than the rest of the file can hold, each item taking a
// line of its own (at least one character and its line end, but for the
// last). 1, or 0 after a log line.
int count_fits(const text_source* in, const char* what, int32_t count)
{
    if (count < 1)
        return refuse_value(in, what, count);
    int32_t left = file_bytes_left(in->file);
    if (count > ((int64_t)left + 1) / 2) {
        LOG_ERROR("Bad %s = %ld with %ld bytes left in '%s' at line %d\n", what, (long)count,
                  (long)left, in->path, (int)in->line_cnt);
        return 0;
    }
    return 1;
}

// A heap copy of `text` into *slot, releasing what the slot held.
int replace_string(char** slot, const char* text)
{
    char* copy = STRDUP(text);
    if (!copy)
        return 0;
    if (*slot)
        FREE(*slot);
    *slot = copy;
    return 1;
}

// The index of `word` among `count` words, without regard to case; -1 when
// it is none of them.
int find_word(const char* const* words, int count, const char* word)
{
    for (int i = 0; i < count; ++i)
        if (strcasecmp(word, words[i]) == 0)
            return i;
    return -1;
}

// ---- AI descriptions ----

void read_personality_numbers(text_source* in, win_ai* ai)
{
    for (const ai_file_number& number : ai_file_numbers) {
        char* field = (char*)&ai->personality + number.offset;
        float real = 0.0f;
        int32_t whole = 0;
        int ok = number.real ? read_float_text(in->file, &in->line_cnt, &real)
                             : read_long_text(in->file, &in->line_cnt, &whole);
        if (!ok)
            keep_default(in, number.name);
        else if (number.real)
            *(float*)field = real;
        else
            *(int32_t*)field = whole;
    }
}

// The number after a keyword, at most `limit` in size.
int read_keyword_number(text_source* in, const char* keyword, double limit, double* value)
{
    if (!get_next_token_val(in->file, &in->line_cnt, value))
        return refuse_item(in, keyword);
    if (!(std::fabs(*value) <= limit)) {
        LOG_ERROR("The %s in '%s' at line %d is out of range\n", keyword, in->path,
                  (int)in->line_cnt);
        return 0;
    }
    return 1;
}

int read_keyword_value(text_source* in, win_ai* ai, int keyword, const char* filename)
{
    const char* name = ai_keywords[keyword];
    win_personality& personality = ai->personality;
    double value = 0.0;
    switch (keyword) {
    case AI_KEYWORD_DEMEANOR: {
        const char* word = get_next_token(in->file, &in->line_cnt);
        if (!word)
            return refuse_item(in, name);
        int demeanor = find_word(ai_demeanor_words, 3, word);
        if (demeanor >= 0)
            personality.demeanor = demeanor;
        else
            LOG_WARNING("Unknown demeanor '%s' in '%s' at line %d\n", word, in->path,
                        (int)in->line_cnt);
        return 1;
    }
    case AI_KEYWORD_FLYING_SPEED:
    case AI_KEYWORD_FAST_FLYING_SPEED: {
        if (!read_keyword_number(in, name, FLT_MAX, &value))
            return 0;
        float* speed = keyword == AI_KEYWORD_FLYING_SPEED ? &personality.flying_speed
                                                          : &personality.fast_flying_speed;
        *speed = (float)value;
        return 1;
    }
    case AI_KEYWORD_TARGET_JOINT:
        if (!read_keyword_number(in, name, INT32_MAX, &value))
            return 0;
        ai->target_joint = math_util_float_to_int(value);
        return 1;
    default: {  // AI_KEYWORD_GIVE_HIT_SCRIPT, AI_KEYWORD_RECEIVE_HIT_SCRIPT
        const char* script = get_next_token(in->file, &in->line_cnt);
        if (!script)
            return refuse_item(in, name);
        char** slot = keyword == AI_KEYWORD_GIVE_HIT_SCRIPT ? &ai->give_hit_script
                                                            : &ai->receive_hit_script;
        return replace_string(slot, script) ? 1 : out_of_memory("AI", name, filename);
    }
    }
}

// The keyword section and the token that ends it, the end script's name.
int read_keyword_section(text_source* in, win_ai* ai, const char* filename)
{
    for (;;) {
        const char* token = get_next_token(in->file, &in->line_cnt);
        if (!token)
            return refuse_item(in, "the end script name");
        int keyword = find_word(ai_keywords, AI_KEYWORD_COUNT, token);
        if (keyword < 0) {
            if (strcasecmp(token, ai_no_end_script) == 0)
                return 1;
            if (!replace_string(&ai->end_script, token))
                return out_of_memory("AI", "end script", filename);
            to_lower_case(ai->end_script);
            return 1;
        }
        if (!read_keyword_value(in, ai, keyword, filename))
            return 0;
    }
}

// The default goal: its type, on the line after the end script's name, then
// the argument that type takes.
int read_default_goal(text_source* in, win_ai* ai, const char* filename)
{
    win_goal_entry& goal = ai->default_goal;
    int32_t goal_type = 0;
    if (!read_long_text(in->file, &in->line_cnt, &goal_type)) {
        keep_default(in, "the default goal type");
    } else if (goal_type < 0 || goal_type >= AI_GOAL_TYPE_COUNT) {
        LOG_ERROR("Unknown goal type %ld in '%s' at line %d\n", (long)goal_type, in->path,
                  (int)in->line_cnt);
        return 0;
    } else {
        goal.ai_goal_type = goal_type;
    }
    switch (ai_default_goal_argument(goal.ai_goal_type)) {
    case AI_GOAL_ARGUMENT_POINT: {
        win_vect3 point;
        if (read_3_floats_text(in->file, &in->line_cnt, &point.x, &point.y, &point.z))
            goal.goal_point = point;
        else
            keep_default(in, "the default goal point");
        return 1;
    }
    case AI_GOAL_ARGUMENT_NAME: {
        char name[TEXT_LINE_SIZE];
        if (!get_text_line(in->file, &in->line_cnt, name, sizeof name))
            return refuse_item(in, "the default goal target name");
        if (!replace_string(&goal.target_name, name))
            return out_of_memory("AI", "default goal target", filename);
        return 1;
    }
    case AI_GOAL_ARGUMENT_NONE:
        return 1;
    }
    return 1;
}

// How the two sector lists of an AI description differ.
struct sector_kind {
    const char* what;        // a sector of the list, in messages
    const char* count_what;  // its count
    bool attack;             // angles in degrees (kept in radians) and a kind word; else angles as
                             // they stand and a kind number
};
const sector_kind attack_sectors = {"attack sector", "attack_sector_list_size", true};
const sector_kind hit_reaction_sectors = {"hit-reaction sector", "hit_reaction_sector_list_size",
                                          false};

// A line of two numbers of sector `index` into `to`, or its defaults left
// when it cannot be read; whether it was read.
bool read_sector_pair(text_source* in, const sector_kind& kind, int32_t index, const char* item,
                      float* to)
{
    float pair[2];
    if (read_2_floats_text(in->file, &in->line_cnt, &pair[0], &pair[1])) {
        to[0] = pair[0];
        to[1] = pair[1];
        return true;
    }
    char what[64];
    std::snprintf(what, sizeof what, "the %s of %s %ld", item, kind.what, (long)index);
    keep_default(in, what);
    return false;
}

// One sector's three lines: its distances, its angles and its kind. A number
// line that cannot be read leaves the sector's defaults; an attack sector
// without its kind word is refused.
int read_sector(text_source* in, const sector_kind& kind, int32_t index, win_hot_sector* sector)
{
    float* f = sector->sector.f;
    read_sector_pair(in, kind, index, "distances", &f[0]);
    if (read_sector_pair(in, kind, index, "angles", &f[2]) && kind.attack)
        for (int i = 2; i < 4; ++i)
            f[i] = f[i] * 3.1415927f / 180.0f;
    char what[64];
    std::snprintf(what, sizeof what, "the kind of %s %ld", kind.what, (long)index);
    if (kind.attack) {
        char word[TEXT_LINE_SIZE];
        if (!get_text_line(in->file, &in->line_cnt, word, sizeof word))
            return refuse_item(in, what);
        sector->sector_kind = ai_attack_kind_of_word(word);
        return 1;
    }
    int32_t value = 0;
    if (read_long_text(in->file, &in->line_cnt, &value))
        sector->sector_kind = value;
    else
        keep_default(in, what);
    return 1;
}

int read_sector_list(text_source* in, const sector_kind& kind, win_hot_sector** list,
                     int32_t* list_size)
{
    int32_t count = 0;
    if (!read_long_text(in->file, &in->line_cnt, &count)) {
        keep_default(in, kind.count_what);
        count = 0;  // no sectors
    }
    if (count < 0)
        return refuse_value(in, kind.count_what, count);
    // Sectors whose lines cannot be read are kept with their defaults: no
    // more than the rest of the file holds lines.
    if (count > 0 && !count_fits(in, kind.count_what, count))
        return 0;
    for (int32_t i = 0; i < count; ++i) {
        win_hot_sector* sector = malloc_win_hot_sector();
        if (!sector) {
            LOG_ERROR("%s\n", "Unable to malloc_hot_sector.");
            return 0;
        }
        if (!read_sector(in, kind, i, sector)) {
            free_win_hot_sector(sector);
            return 0;
        }
        add_to_win_hot_sector_list(list, list_size, sector);
    }
    return 1;
}

int read_ai(text_source* in, win_ai* ai, const char* filename)
{
    read_personality_numbers(in, ai);
    return read_keyword_section(in, ai, filename) && read_default_goal(in, ai, filename) &&
           read_sector_list(in, attack_sectors, &ai->attack_sector_list,
                            &ai->attack_sector_list_size) &&
           read_sector_list(in, hit_reaction_sectors, &ai->hit_reaction_sector_list,
                            &ai->hit_reaction_sector_list_size);
}

// ---- Navigation maps ----
//
// While a map is read, each of its arrays counts the records begun so far:
// the rest own nothing yet, not even the name that their release looks for,
// so a map refused part way releases exactly what was read.

// Releases a map refused part way; an array of which no record was begun
// goes by itself.
void free_partial_map(win_map* map)
{
    for (int32_t i = 0; map->node_array && i < map->node_array_size; ++i) {
        win_path_node* node = &map->node_array[i];
        if (node->path_array && node->path_array_size == 0) {
            FREE(node->path_array);
            node->path_array = nullptr;
        }
    }
    if (map->node_array && map->node_array_size == 0) {
        FREE(map->node_array);
        map->node_array = nullptr;
    }
    free_win_map(map);
}

// Path `j` of `node`: its node count, then its node indexes, each naming one
// of the map's `node_count` nodes.
int read_path(text_source* in, int32_t node_count, win_path_node* node, int32_t j,
              const char* filename)
{
    win_path* path = &node->path_array[j];
    path->win_path_name = STRDUP("path");
    if (!path->win_path_name)
        return out_of_memory("MAP", "path name", filename);
    node->path_array_size = j + 1;

    int32_t count = 0;
    int ok = read_long_text(in->file, &in->line_cnt, &count);
    if (ok)
        ok = count_fits(in, "node_idx_array_size", count);
    if (!ok) {
        LOG_ERROR("Failed to read the number of node indexes for path %ld.\n", (long)j);
        return 0;
    }
    path->node_idx_array = (int32_t*)MALLOC((size_t)count * sizeof(int32_t));
    if (!path->node_idx_array)
        return out_of_memory("MAP", "path node index array", filename);
    path->node_idx_array_size = count;
    for (int32_t k = 0; k < count; ++k) {
        int32_t index = 0;
        ok = read_long_text(in->file, &in->line_cnt, &index);
        if (ok && (index < 0 || index >= node_count))
            ok = refuse_value(in, "node index", index);
        if (!ok) {
            LOG_ERROR("Failed to read node index %ld of path %ld.\n", (long)k, (long)j);
            return 0;
        }
        path->node_idx_array[k] = index;
    }
    return 1;
}

// Node `i` of `map`: its name, its point, its path count and its paths.
int read_node(text_source* in, int32_t node_count, win_map* map, int32_t i, const char* filename)
{
    char name[TEXT_LINE_SIZE];
    win_vect3 point = {};
    int ok = get_text_line(in->file, &in->line_cnt, name, sizeof name);
    if (!ok)
        refuse_item(in, "a node name");
    if (!ok || !read_3_floats_text(in->file, &in->line_cnt, &point.x, &point.y, &point.z)) {
        LOG_ERROR("%s\n", "Failed to read the node location.");
        return 0;
    }
    win_path_node* node = &map->node_array[i];
    node->win_path_node_name = STRDUP(name);
    if (!node->win_path_node_name)
        return out_of_memory("MAP", "node name", filename);
    map->node_array_size = i + 1;
    node->win_path_node_idx = i;
    node->node_location = point;

    int32_t count = 0;
    if (!read_long_text(in->file, &in->line_cnt, &count)) {
        LOG_ERROR("%s\n", "Failed to read the path array size.");
        return 0;
    }
    if (!count_fits(in, "path_array_size", count))
        return out_of_memory("MAP", "node path array", filename);
    // Path j leads toward node j: without one for each node, the walk from
    // this node toward the nodes beyond its paths has no way.
    if (count < node_count) {
        LOG_ERROR("Node %ld has %ld paths for the %ld nodes of '%s' at line %d\n", (long)i,
                  (long)count, (long)node_count, in->path, (int)in->line_cnt);
        return 0;
    }
    node->path_array = malloc_win_path_array(count);
    if (!node->path_array)
        return out_of_memory("MAP", "node path array", filename);
    for (int32_t j = 0; j < count; ++j)
        if (!read_path(in, node_count, node, j, filename))
            return 0;
    return 1;
}

int read_map(text_source* in, win_map* map, const char* filename)
{
    int32_t count = 0;
    int ok = read_long_text(in->file, &in->line_cnt, &count);
    if (ok)
        ok = count_fits(in, "node_array_size", count);
    if (!ok)
        return out_of_memory("MAP", "node array", filename);
    map->node_array = malloc_win_path_node_array(count);
    if (!map->node_array)
        return out_of_memory("MAP", "node array", filename);
    for (int32_t i = 0; i < count; ++i)
        if (!read_node(in, count, map, i, filename))
            return 0;
    return 1;
}

// The two loaders: the record made, read from the file and released when the
// file does not read whole.
template <class R>
R* load_text_file(char* filename, const char* directory, const text_kind& kind,
                  R* (*make)(const char* name), int (*read)(text_source*, R*, const char*),
                  void (*release)(R*))
{
    char path[AI_IO_PATH_SIZE];
    text_source in = {};
    if (!open_source(&in, path, filename, directory, kind))
        return nullptr;
    R* made = make(filename);
    if (!made) {
        out_of_memory(kind.record, "struct", filename);
        file_close(in.file);
        return nullptr;
    }
    int ok = read(&in, made, filename);
    file_close(in.file);
    if (!ok) {
        release(made);
        return nullptr;
    }
    return made;
}

win_ai* make_ai(const char*)
{
    return malloc_win_ai();
}

void release_ai(win_ai* ai)
{
    free_win_ai(ai);
}

}  // namespace

win_ai* ai_load_file(char* filename, const char* directory)
{
    REFUSE_NULL(filename, "ai_load_file", "filename", nullptr);
    REFUSE_NULL(directory, "ai_load_file", "directory", nullptr);
    return load_text_file(filename, directory, ai_text, make_ai, read_ai, release_ai);
}

win_map* ai_load_map_file(char* filename, const char* directory)
{
    REFUSE_NULL(filename, "ai_load_map_file", "filename", nullptr);
    REFUSE_NULL(directory, "ai_load_map_file", "directory", nullptr);
    return load_text_file(filename, directory, map_text, malloc_win_map, read_map,
                          free_partial_map);
}
