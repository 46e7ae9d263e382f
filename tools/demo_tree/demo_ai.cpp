#include "demo_ai.h"

#include <strings.h>

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ai_io.h"
#include "debug.h"
#include "demo_text.h"
#include "dlink.h"
#include "file_io.h"
#include "heap.h"
#include "text_io.h"
#include "token.h"

namespace {

// ---- The demo records ----

const char* const map_node_names[DEMO_AI_MAP_NODES] = {"gate", "tower", "well", "yard"};
const win_vect3 map_node_points[DEMO_AI_MAP_NODES] = {
    {0.0f, 0.0f, 0.0f},
    {DEMO_AI_MAP_SIDE, 0.0f, 0.0f},
    {DEMO_AI_MAP_SIDE, 0.0f, DEMO_AI_MAP_SIDE},
    {0.0f, 0.0f, DEMO_AI_MAP_SIDE},
};

// Attack angles: the file gives degrees, the reader keeps radians.
float to_radians(float angle)
{
    return angle * 3.1415927f / 180.0f;
}

// The degrees that the reader turns into `radians` exactly, where there are
// such (the nearest turn back may miss by a step of the last digit).
float to_degrees(float radians)
{
    float angle = radians * 180.0f / 3.1415927f;
    float up = angle, down = angle;
    for (int step = 0; step < 4 && to_radians(angle) != radians; ++step) {
        up = std::nextafter(up, INFINITY);
        down = std::nextafter(down, -INFINITY);
        if (to_radians(up) == radians)
            angle = up;
        else if (to_radians(down) == radians)
            angle = down;
    }
    return angle;
}

struct demo_sector {
    float min, max, from, to;  // angles in degrees
    int32_t kind;
};
// Attack sectors turn their angles into radians, as the reader does;
// hit-reaction sectors keep them as the file gives them.
const demo_sector guard_attack_sectors[] = {
    {0.0f, 60.0f, -30.0f, 30.0f, AI_ATTACK_MELEE_1},
    {60.0f, 300.0f, -20.0f, 20.0f, AI_ATTACK_STANDARD_2},
};
const demo_sector guard_hit_reaction_sectors[] = {
    {0.0f, 100.0f, -90.0f, 90.0f, 1},
    {0.0f, 100.0f, 90.0f, -90.0f, 2},
};

bool add_sectors(win_hot_sector** list, int32_t* list_size, const demo_sector* sectors, int count,
                 bool radians)
{
    for (int i = 0; i < count; ++i) {
        win_hot_sector* sector = malloc_win_hot_sector();
        if (!sector)
            return false;
        const demo_sector& s = sectors[i];
        sector->sector = {{s.min, s.max, radians ? to_radians(s.from) : s.from,
                           radians ? to_radians(s.to) : s.to}};
        sector->sector_kind = s.kind;
        add_to_win_hot_sector_list(list, list_size, sector);
    }
    return true;
}

// The nodes from `from` toward `to` around the square, `to` last; the node
// alone when the two are one.
int32_t square_route(int32_t from, int32_t to, int32_t* route)
{
    if (from == to) {
        route[0] = from;
        return 1;
    }
    int32_t ahead = (to - from + DEMO_AI_MAP_NODES) % DEMO_AI_MAP_NODES;
    int32_t step = ahead <= DEMO_AI_MAP_NODES / 2 ? 1 : DEMO_AI_MAP_NODES - 1;
    int32_t count = 0;
    for (int32_t node = from; node != to;) {
        node = (node + step) % DEMO_AI_MAP_NODES;
        route[count++] = node;
    }
    return count;
}

bool make_paths(win_path_node* node, int32_t i)
{
    node->path_array = malloc_win_path_array(DEMO_AI_MAP_NODES);
    if (!node->path_array)
        return false;
    node->path_array_size = DEMO_AI_MAP_NODES;
    for (int32_t j = 0; j < DEMO_AI_MAP_NODES; ++j) {
        win_path* path = &node->path_array[j];
        int32_t route[DEMO_AI_MAP_NODES];
        int32_t count = square_route(i, j, route);
        path->win_path_name = STRDUP("path");
        path->node_idx_array = (int32_t*)MALLOC((size_t)count * sizeof(int32_t));
        if (!path->win_path_name || !path->node_idx_array)
            return false;
        std::memcpy(path->node_idx_array, route, (size_t)count * sizeof(int32_t));
        path->node_idx_array_size = count;
    }
    return true;
}

// ---- Writing ----

void put_reals(demo_text_sink* out, const float* values, int count, const char* comment)
{
    char line[TEXT_LINE_SIZE] = "";
    for (int i = 0; i < count; ++i) {
        std::strcat(line, i ? " " : "");
        std::strcat(line, demo_text_real_of(out, values[i]).text);
    }
    demo_text_put_value(out, line, comment);
}

void put_long(demo_text_sink* out, int32_t value, const char* comment)
{
    char text[16];
    std::snprintf(text, sizeof text, "%ld", (long)value);
    demo_text_put_value(out, text, comment);
}

void put_keywords(demo_text_sink* out, const win_ai* ai)
{
    const win_personality& personality = ai->personality;
    if (personality.demeanor < 0 || personality.demeanor > 2) {
        demo_text_refuse(out, "a demeanor that has no word");
        return;
    }
    demo_text_put_line(out, "%s %s", ai_keywords[AI_KEYWORD_DEMEANOR],
                       ai_demeanor_words[personality.demeanor]);
    demo_text_put_line(out, "%s %s", ai_keywords[AI_KEYWORD_FLYING_SPEED],
                       demo_text_real_of(out, personality.flying_speed).text);
    demo_text_put_line(out, "%s %s", ai_keywords[AI_KEYWORD_FAST_FLYING_SPEED],
                       demo_text_real_of(out, personality.fast_flying_speed).text);
    const struct {
        ai_keyword keyword;
        const char* script;
    } scripts[] = {{AI_KEYWORD_GIVE_HIT_SCRIPT, ai->give_hit_script},
                   {AI_KEYWORD_RECEIVE_HIT_SCRIPT, ai->receive_hit_script}};
    for (const auto& script : scripts) {
        if (!script.script)
            continue;
        if (!demo_text_reads_as_token(script.script))
            demo_text_refuse(out, "a hit script name that is no word");
        demo_text_put_line(out, "%s %s", ai_keywords[script.keyword], script.script);
    }
    demo_text_put_line(out, "%s %ld", ai_keywords[AI_KEYWORD_TARGET_JOINT], (long)ai->target_joint);

    // The section ends at the first word that is no keyword: the end script.
    const char* end_script = ai->end_script ? ai->end_script : ai_no_end_script;
    bool keyword = false;
    for (const char* word : ai_keywords)
        keyword = keyword || strcasecmp(end_script, word) == 0;
    if (ai->end_script && (!demo_text_reads_as_token(end_script) || keyword ||
                           strcasecmp(end_script, ai_no_end_script) == 0))
        demo_text_refuse(out, "an end script name that does not read back as itself");
    demo_text_put_value(out, end_script, "end script");
}

void put_default_goal(demo_text_sink* out, const win_goal_entry& goal)
{
    put_long(out, goal.ai_goal_type, "default goal type");
    switch (ai_default_goal_argument(goal.ai_goal_type)) {
    case AI_GOAL_ARGUMENT_POINT:
        put_reals(out, &goal.goal_point.x, 3, "default goal point");
        break;
    case AI_GOAL_ARGUMENT_NAME:
        if (!goal.target_name || !demo_text_reads_as_line(goal.target_name))
            demo_text_refuse(out, "a default goal target name that is no line of its own");
        else
            demo_text_put_value(out, goal.target_name, "default goal target");
        break;
    case AI_GOAL_ARGUMENT_NONE:
        break;
    }
}

void put_sectors(demo_text_sink* out, const win_hot_sector* list, bool attack)
{
    int32_t count = list ? dlink_count((dlink*)list) : 0;
    put_long(out, count, attack ? "attack sectors" : "hit-reaction sectors");
    const win_hot_sector* sector = list;
    for (int32_t i = 0; i < count; ++i, sector = sector->next_ptr) {
        const float* f = sector->sector.f;
        put_reals(out, f, 2, "distances");
        if (!attack) {
            put_reals(out, f + 2, 2, "angles");
            put_long(out, sector->sector_kind, "kind");
            continue;
        }
        float angles[2] = {to_degrees(f[2]), to_degrees(f[3])};
        put_reals(out, angles, 2, "angles in degrees");
        const char* word = ai_attack_kind_word(sector->sector_kind);
        if (!word)
            demo_text_refuse(out, "an attack kind that no word gives");
        else
            demo_text_put_value(out, word, "attack kind");
    }
}

}  // namespace

win_ai* demo_ai_make_guard(void)
{
    win_ai* ai = malloc_win_ai();
    if (!ai) {
        LOG_ERROR("%s\n", "Could not make the demo guard's AI.");
        return nullptr;
    }
    win_personality& p = ai->personality;
    p.personality_long_1 = 3;
    p.personality_long_2 = 7;
    p.attack_interval = 2.5f;
    p.damage_1 = 12;
    p.damage_2 = 20;
    p.damage_3 = 35;
    p.armour = 2;
    p.melee_armour = 4;
    p.projectile_armour = 6;
    p.flying_speed = 12.5f;
    p.fast_flying_speed = 30.0f;
    p.mobility_type = 3;
    ai->end_script = STRDUP("guard_beaten");
    ai->give_hit_script = STRDUP("guard_strikes");
    ai->receive_hit_script = STRDUP("guard_hurt");
    ai->target_joint = 1;
    ai->default_goal.ai_goal_type = AI_GOAL_GUARD_POINT;
    ai->default_goal.goal_point = {DEMO_AI_MAP_SIDE / 2, 0.0f, DEMO_AI_MAP_SIDE / 2};
    bool ok = ai->end_script && ai->give_hit_script && ai->receive_hit_script &&
              add_sectors(&ai->attack_sector_list, &ai->attack_sector_list_size,
                          guard_attack_sectors, 2, true) &&
              add_sectors(&ai->hit_reaction_sector_list, &ai->hit_reaction_sector_list_size,
                          guard_hit_reaction_sectors, 2, false);
    if (!ok) {
        LOG_ERROR("%s\n", "Could not make the demo guard's AI.");
        free_win_ai(ai);
        return nullptr;
    }
    return ai;
}

win_map* demo_ai_make_map(const char* name)
{
    win_map* map = malloc_win_map(name);
    win_path_node* nodes = malloc_win_path_node_array(DEMO_AI_MAP_NODES);
    bool ok = map && nodes;
    if (map && nodes) {
        map->node_array = nodes;
        map->node_array_size = DEMO_AI_MAP_NODES;
    } else if (nodes) {
        free_win_path_node_array(nodes, DEMO_AI_MAP_NODES);
    }
    for (int32_t i = 0; ok && i < DEMO_AI_MAP_NODES; ++i) {
        win_path_node* node = &nodes[i];
        node->win_path_node_name = STRDUP(map_node_names[i]);
        node->win_path_node_idx = i;
        node->node_location = map_node_points[i];
        ok = node->win_path_node_name && make_paths(node, i);
    }
    if (!ok) {
        LOG_ERROR("%s\n", "Could not make the demo map.");
        if (map)
            free_win_map(map);
        return nullptr;
    }
    return map;
}

int demo_ai_write(const char* path, const win_ai* ai)
{
    REFUSE_NULL(path, "demo_ai_write", "path", 0);
    REFUSE_NULL(ai, "demo_ai_write", "ai", 0);
    demo_text_sink out;
    if (!demo_text_open(&out, path, FILE_TYPE_AI, FILE_VERSION_AI))
        return 0;
    for (const ai_file_number& number : ai_file_numbers) {
        const char* field = (const char*)&ai->personality + number.offset;
        if (number.real)
            demo_text_put_value(&out, demo_text_real_of(&out, *(const float*)field).text,
                                number.name);
        else
            put_long(&out, *(const int32_t*)field, number.name);
    }
    put_keywords(&out, ai);
    put_default_goal(&out, ai->default_goal);
    put_sectors(&out, ai->attack_sector_list, true);
    put_sectors(&out, ai->hit_reaction_sector_list, false);
    return demo_text_close(&out);
}

int demo_ai_write_map(const char* path, const win_map* map)
{
    REFUSE_NULL(path, "demo_ai_write_map", "path", 0);
    REFUSE_NULL(map, "demo_ai_write_map", "map", 0);
    demo_text_sink out;
    if (!demo_text_open(&out, path, FILE_TYPE_NAV_MAP, FILE_VERSION_NAV_MAP))
        return 0;
    // A count goes with its array: without the array there is nothing.
    int32_t node_count = map->node_array ? map->node_array_size : 0;
    put_long(&out, node_count, "nodes");
    for (int32_t i = 0; i < node_count; ++i) {
        const win_path_node* node = &map->node_array[i];
        char comment[32];
        std::snprintf(comment, sizeof comment, "node %ld", (long)i);
        const char* name = node->win_path_node_name;
        if (!name || !demo_text_reads_as_line(name))
            demo_text_refuse(&out, "a node name that is no line of its own");
        else
            demo_text_put_value(&out, name, comment);
        put_reals(&out, &node->node_location.x, 3, "location");
        int32_t path_count = node->path_array ? node->path_array_size : 0;
        put_long(&out, path_count, "paths");
        for (int32_t j = 0; j < path_count; ++j) {
            const win_path* route = &node->path_array[j];
            int32_t index_count = route->node_idx_array ? route->node_idx_array_size : 0;
            std::snprintf(comment, sizeof comment, "path %ld", (long)j);
            put_long(&out, index_count, comment);
            for (int32_t k = 0; k < index_count; ++k)
                demo_text_put_line(&out, "%ld", (long)route->node_idx_array[k]);
        }
    }
    return demo_text_close(&out);
}
