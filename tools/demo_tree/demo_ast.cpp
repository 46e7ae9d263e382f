#include "demo_ast.h"

#include <strings.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "anim_io.h"
#include "debug.h"
#include "demo_text.h"
#include "file_io.h"
#include "heap.h"

namespace {

// ---- The guard and the fighters ----

const char* const state_names[DEMO_AST_HERO_STATES] = {
    "stand",       "walk",          "strike",        "hurt",        "turn_left",  "turn_right",
    "walk_left",   "walk_right",    "fall",          "lie",         "draw_sword", "draw_sling",
    "wield",       "holster_sword", "holster_sling", "lower_sling", "unaim",      "stow",
    "raise_sling", "aim_sling",     "shoot",         "reload_sling"};

// A name array of copies of `names` into `*array` and `*size`; false when
// one could not be made (what was made is the table's to release).
bool set_names(win_filename_ptr** array, int32_t* size, const std::vector<const char*>& names)
{
    if (!(*array = malloc_win_filename_ptr_array((int32_t)names.size())))
        return false;
    *size = (int32_t)names.size();
    int32_t i = 0;
    for (const char* name : names)
        if (!((*array)[i++] = STRDUP(name)))
            return false;
    return true;
}

bool add_transition(win_anim_table_base* state, int32_t condition_mask, int32_t target)
{
    win_anim_table_entry* entry = malloc_win_anim_table_entry();
    if (!entry)
        return false;
    entry->condition_mask = condition_mask;
    entry->target_anim_index = target;
    return add_to_win_anim_table_entry_list(&state->win_anim_table_entry_list,
                                            &state->win_anim_table_entry_list_size, entry);
}

bool add_joint_table(win_ast* table, const char* name, int32_t first, int32_t last)
{
    win_joint_table* joints = malloc_win_joint_table(name);
    win_joint_pair* pair = malloc_win_joint_pair();
    if (!joints || !pair) {
        if (joints)
            free_win_joint_table(joints);
        if (pair)
            free_win_joint_pair(pair);
        return false;
    }
    pair->first_joint_idx = first;
    pair->last_joint_idx = last;
    add_to_win_joint_pair_list(&joints->win_joint_pair_list, &joints->win_joint_pair_list_size,
                               pair);
    return add_to_win_joint_table_list(&table->win_joint_table_list,
                                       &table->win_joint_table_list_size, joints);
}

// The guard's states, as demo_ast.h describes them.
bool fill_guard_states(win_anim_table_base* states)
{
    for (int32_t i = 0; i < DEMO_AST_GUARD_STATES; ++i) {
        states[i].anim_index = i;
        states[i].next_anim_index = DEMO_AST_STAND;
        states[i].translation_multiplier = {1.0f, 1.0f, 1.0f};
        states[i].rotation_multiplier = {1.0f, 1.0f, 1.0f};
    }
    win_anim_table_base& stand = states[DEMO_AST_STAND];
    stand.mow_anim_index = 0;
    stand.anim_time_multiplier = 1.5f;
    stand.rotation_multiplier = {0.0f, 1.0f, 0.0f};
    stand.anim_type_flags = 0x8000 | 0x10000;  // use_tail_idle, idle_anim
    stand.win_joint_table_idx = 0;

    win_anim_table_base& walk = states[DEMO_AST_WALK];
    walk.mow_anim_index = 1;
    walk.begin_time = 250.0f;
    walk.end_time = 1000.0f;
    walk.translation_multiplier = {1.0f, 0.0f, 2.0f};
    walk.extra_translation_velocity = {0.0f, 0.0f, 10.0f};
    walk.sound_effect = 0;
    walk.anim_type_flags = 0x2000 | 0x4000;  // turn, side_step
    walk.play_script = STRDUP("guard_walks");

    win_anim_table_base& strike = states[DEMO_AST_STRIKE];
    strike.mow_anim_index = 1;
    strike.anim_type_flags = ANIM_IO_ATTACK_FLAG | 0x80000;  // attack, force_reset
    strike.attack_value = 12;
    strike.reaction_flags = 0x8 | 0x800 | 0x2000;  // melee_1, hard, front
    strike.extra_rotation_velocity = {0.0f, 0.5f, 0.0f};
    strike.combat_win_joint_table_idx = 1;
    strike.vulnerable_win_joint_table_idx = 0;
    strike.block_to_anim_index = DEMO_AST_HURT;
    strike.block_to_value = 40;

    win_anim_table_base& hurt = states[DEMO_AST_HURT];
    hurt.mow_anim_index = 0;
    hurt.anim_type_flags = 0x1 | 0x4;       // hit, impervious_to_projectile
    hurt.reaction_flags = 0x4000 | 0x1000;  // back, fatal

    return walk.play_script && add_transition(&stand, 0x8, DEMO_AST_WALK) &&
           add_transition(&stand, 0x40, DEMO_AST_STRIKE) &&
           add_transition(&walk, 0x8, DEMO_AST_WALK) &&
           add_transition(&walk, WIN_AST_END_OF_ANIM, DEMO_AST_STAND) &&
           add_transition(&strike, 0x8 | 0x20, DEMO_AST_STRIKE);
}

// ---- Writing ----

// Whether `name` passes the collision-table pass, which reads the whole
// file: words of letters, digits and "_" that begin with a letter or a
// digit, joined by "." and "-".
bool passes_grammar(const char* name)
{
    bool word_start = true;
    for (const char* c = name; *c; ++c) {
        if (*c == '.' || *c == '-') {
            word_start = true;
            continue;
        }
        if (!std::isalnum((unsigned char)*c) && (*c != '_' || word_start))
            return false;
        word_start = false;
    }
    return true;
}

// Whether `name` reads back as a line of a name list.
bool list_name(const char* name)
{
    return name && demo_text_reads_as_line(name) && passes_grammar(name) &&
           strcasecmp(name, "end") != 0;
}

// A word the grammar takes as an identifier: it begins with a letter.
bool identifier(const char* name)
{
    return name && demo_text_reads_as_token(name) && std::isalpha((unsigned char)name[0]) &&
           passes_grammar(name);
}

// The keywords of a state with their values, gathered into lines of up to
// 100 characters: the reader takes them as one stream of tokens.
struct keyword_lines {
    demo_text_sink* out;
    std::string line;
};

void add_words(keyword_lines* lines, const std::string& words)
{
    if (!lines->line.empty() && lines->line.size() + 1 + words.size() > 100) {
        demo_text_put_line(lines->out, "%s", lines->line.c_str());
        lines->line.clear();
    }
    lines->line += (lines->line.empty() ? "" : " ") + words;
}

void end_words(keyword_lines* lines)
{
    if (!lines->line.empty())
        demo_text_put_line(lines->out, "%s", lines->line.c_str());
    lines->line.clear();
}

std::string number_text(demo_text_sink* out, float value)
{
    return demo_text_real_of(out, value).text;
}

void add_vector(keyword_lines* lines, const char* keyword, const win_vect3& vector,
                const win_vect3& plain)
{
    if (std::memcmp(&vector, &plain, sizeof vector) == 0)
        return;
    add_words(lines, std::string(keyword) + " " + number_text(lines->out, vector.x) + " " +
                         number_text(lines->out, vector.y) + " " +
                         number_text(lines->out, vector.z));
}

// The keywords of the set bits of `flags`; every bit must have one.
void add_flag_words(keyword_lines* lines, int32_t flags, const anim_io_flag_keyword* table)
{
    for (; table->keyword; ++table)
        if (flags & table->bit) {
            add_words(lines, table->keyword);
            flags &= ~table->bit;
        }
    if (flags)
        demo_text_refuse(lines->out, "flag bits that no keyword gives");
}

void put_names(demo_text_sink* out, const win_filename_ptr* names, int32_t count)
{
    for (int32_t i = 0; names && i < count; ++i) {
        if (!list_name(names[i]))
            demo_text_refuse(out, "a name that does not read back as a line of its list");
        else
            demo_text_put_line(out, "%s", names[i]);
    }
    demo_text_put_line(out, "end");
}

void put_collision_section(demo_text_sink* out, const win_ast* table)
{
    if (table->spaz_model_name) {
        if (!identifier(table->spaz_model_name))
            demo_text_refuse(out, "a model name that is no word");
        demo_text_put_line(out, "spaz_model_name %s", table->spaz_model_name);
    }
    const win_joint_table* joints = table->win_joint_table_list;
    for (int32_t t = 0; joints && t < table->win_joint_table_list_size; ++t) {
        const char* name = joints->win_joint_table_name;
        if (!identifier(name))
            demo_text_refuse(out, "a joint table name that is no word");
        if (!joints->win_joint_pair_list)
            demo_text_refuse(out, "a joint table without ranges");
        // The ";" that closes a block stands on a line of its own.
        std::string line = std::string("collision_joint_table ") + (name ? name : "") + " {";
        const win_joint_pair* pair = joints->win_joint_pair_list;
        for (int32_t p = 0; pair && p < joints->win_joint_pair_list_size; ++p) {
            line += p ? " , " : " ";
            line += std::to_string(pair->first_joint_idx);
            if (pair->first_joint_idx != pair->last_joint_idx)
                line += " .. " + std::to_string(pair->last_joint_idx);
            pair = pair->next_ptr;
        }
        demo_text_put_line(out, "%s", line.c_str());
        demo_text_put_line(out, "} ;");
        joints = joints->next_ptr;
    }
}

// The seconds that begin_end_time turns back into `time` exactly.
std::string seconds_of(demo_text_sink* out, float time)
{
    float seconds = time / 1000.0f;
    if (seconds * 1000.0f != time)
        demo_text_refuse(out, "a time that seconds do not give back");
    return number_text(out, seconds);
}

void put_keywords(demo_text_sink* out, const win_ast* table, const win_anim_table_base& state)
{
    const win_anim_table_base& plain = *(const win_anim_table_base*)win_anim_table_base_desc.templ;
    const win_vect3 unscaled = {1.0f, 1.0f, 1.0f};
    const char* const* states = table->win_anim_state_filename_array;
    keyword_lines lines = {out, ""};
    if (state.anim_time_multiplier != 1.0f)
        add_words(&lines, "anim_time_multiplier " + number_text(out, state.anim_time_multiplier));
    if (state.begin_time != -1.0f || state.end_time != -1.0f)
        add_words(&lines, "begin_end_time " + seconds_of(out, state.begin_time) + " " +
                              seconds_of(out, state.end_time));
    add_vector(&lines, "translation_multiplier", state.translation_multiplier, unscaled);
    add_vector(&lines, "rotation_multiplier", state.rotation_multiplier, unscaled);
    add_vector(&lines, "extra_rotation_velocity", state.extra_rotation_velocity,
               plain.extra_rotation_velocity);
    add_vector(&lines, "extra_translation_velocity", state.extra_translation_velocity,
               plain.extra_translation_velocity);
    if (state.sound_effect != -1)
        add_words(&lines, "sound_effect " + std::to_string(state.sound_effect));
    if (state.anim_type_flags & ANIM_IO_ATTACK_FLAG)
        add_words(&lines, "attack " + std::to_string(state.attack_value));
    else if (state.attack_value != -1)
        demo_text_refuse(out, "an attack value without the attack flag");
    if (state.block_to_anim_index != -1)
        add_words(&lines, std::string("block_to ") + states[state.block_to_anim_index] + " " +
                              std::to_string(state.block_to_value));
    else if (state.block_to_value != -1)
        demo_text_refuse(out, "a block value without its state");
    if (state.play_script) {
        if (!demo_text_reads_as_token(state.play_script) || !passes_grammar(state.play_script))
            demo_text_refuse(out, "a play script name that is no word");
        add_words(&lines, std::string("play_script ") + state.play_script);
    }
    const struct {
        const char* keyword;
        int32_t index;
        bool needs_tables;
    } joint_tables[] = {
        {"joint_table", state.win_joint_table_idx, false},
        {"combat_joint_table", state.combat_win_joint_table_idx, true},
        {"vulnerable_joint_table", state.vulnerable_win_joint_table_idx, true},
    };
    for (const auto& joint_table : joint_tables) {
        if (joint_table.index == -1)
            continue;
        if (joint_table.needs_tables && !table->win_joint_table_list)
            demo_text_refuse(out, "a joint table index in a table without joint tables");
        add_words(&lines,
                  std::string(joint_table.keyword) + " " + std::to_string(joint_table.index));
    }
    // The attack flag went with its value.
    add_flag_words(&lines, state.anim_type_flags & ~ANIM_IO_ATTACK_FLAG, anim_io_type_flag_table);
    add_flag_words(&lines, state.reaction_flags, anim_io_reaction_flag_table);
    end_words(&lines);
}

// Each transition as its input tokens (the short ones, which no keyword
// spells), ";" and its target.
void put_transitions(demo_text_sink* out, const win_ast* table, const win_anim_table_base& state)
{
    const win_anim_table_entry* entry = state.win_anim_table_entry_list;
    for (int32_t e = 0; entry && e < state.win_anim_table_entry_list_size; ++e) {
        std::string line;
        int32_t mask = entry->condition_mask;
        for (const anim_io_input_token& input : anim_io_input_token_table)
            if (mask & input.mask) {
                line += std::string(input.token) + " ";
                mask &= ~input.mask;
            }
        if (mask)
            demo_text_refuse(out, "mask bits that no input token gives");
        if (entry->target_anim_index < 0)
            demo_text_refuse(out, "a transition without a target");
        else
            demo_text_put_line(out, "%s; %s", line.c_str(),
                               table->win_anim_state_filename_array[entry->target_anim_index]);
        entry = entry->next_ptr;
    }
    demo_text_put_line(out, "end_of_entries");
}

void put_states(demo_text_sink* out, const win_ast* table)
{
    const int32_t count = table->win_anim_table_base_array ? table->win_anim_table_base_array_size
                                                           : 0;
    const int32_t names = table->win_anim_state_filename_array
                              ? table->win_anim_state_filename_array_size
                              : 0;
    if (count == 0 || names != count) {
        demo_text_refuse(out, "states without a name each");
        return;
    }
    for (int32_t i = 0; i < count && out->ok; ++i) {
        const win_anim_table_base& state = table->win_anim_table_base_array[i];
        if (state.anim_index != i)
            demo_text_refuse(out, "a state out of its place");
        if (state.next_anim_index < 0)
            demo_text_refuse(out, "a state without a next state");
        if (!out->ok)
            return;
        demo_text_put_line(out, "%s", table->win_anim_state_filename_array[i]);
        demo_text_put_line(out, "%s",
                           state.mow_anim_index < 0
                               ? "none"
                               : table->mow_anim_filename_array[state.mow_anim_index]);
        demo_text_put_line(out, "%s", table->win_anim_state_filename_array[state.next_anim_index]);
        put_keywords(out, table, state);
        put_transitions(out, table, state);
    }
}

// The four turning states of a fighter, turning about y while the key is
// held: on the spot (idle at its own pace) with "l" or "r", walking (as
// walk does) with "u l" or "u r", from standing, walking or turning; a
// strike goes straight.
bool add_turns(win_anim_table_base* states)
{
    enum { L = 0x2, R = 0x4, U = 0x8 };
    const struct {
        int32_t state, keys, like;
        float pace;
    } turns[] = {
        {DEMO_AST_TURN_LEFT, L, DEMO_AST_STAND, -DEMO_AST_TURN_PACE},
        {DEMO_AST_TURN_RIGHT, R, DEMO_AST_STAND, DEMO_AST_TURN_PACE},
        {DEMO_AST_WALK_LEFT, U | L, DEMO_AST_WALK, -DEMO_AST_TURN_PACE},
        {DEMO_AST_WALK_RIGHT, U | R, DEMO_AST_WALK, DEMO_AST_TURN_PACE},
    };
    bool ok = true;
    for (const auto& turn : turns) {
        win_anim_table_base& state = states[turn.state];
        const win_anim_table_base& like = states[turn.like];
        state.anim_index = turn.state;
        state.next_anim_index = DEMO_AST_STAND;
        state.mow_anim_index = like.mow_anim_index;
        state.begin_time = like.begin_time;
        state.end_time = like.end_time;
        state.sound_effect = like.sound_effect;
        state.translation_multiplier = turn.like == DEMO_AST_STAND ? win_vect3{0.0f, 0.0f, 0.0f}
                                                                   : like.translation_multiplier;
        state.rotation_multiplier = {1.0f, 1.0f, 1.0f};
        state.extra_rotation_velocity = {0.0f, turn.pace, 0.0f};
        // Every state a fighter moves in leads here with these keys.
        for (int32_t from : {DEMO_AST_STAND, DEMO_AST_WALK, DEMO_AST_TURN_LEFT, DEMO_AST_TURN_RIGHT,
                             DEMO_AST_WALK_LEFT, DEMO_AST_WALK_RIGHT})
            ok = add_transition(&states[from], turn.keys, turn.state) && ok;
        ok = add_transition(&state, U, DEMO_AST_WALK) &&
             add_transition(&state, WIN_AST_END_OF_ANIM, DEMO_AST_STAND) && ok;
    }
    states[DEMO_AST_STRIKE].extra_rotation_velocity = {0.0f, 0.0f, 0.0f};
    return ok;
}

// A fighter's sounds and where its states take them.
enum { SOUND_STEP, SOUND_SWING, SOUND_FALL, SOUND_TWANG };
// A fighter's animations.
enum { ANIM_IDLE, ANIM_WAVE, ANIM_FALL };

// A fighter's own changes to the guard's states, and the fatal hit that
// fells it (demo_ast.h).
bool add_fall(win_anim_table_base* states)
{
    win_anim_table_base& strike = states[DEMO_AST_STRIKE];
    strike.sound_effect = SOUND_SWING;
    // A hit that cannot be hit again while it plays: one blow, one wound. It
    // staggers, the beginning of the fall: an animation of its own, so that
    // it starts afresh (with its play script) from any state.
    win_anim_table_base& hurt = states[DEMO_AST_HURT];
    hurt.anim_type_flags = 0x1 | 0x2;  // hit, impervious
    hurt.reaction_flags = 0x2000;      // front
    hurt.mow_anim_index = ANIM_FALL;
    hurt.begin_time = 0.0f;
    hurt.end_time = 200.0f;
    for (int32_t i : {DEMO_AST_FALL, DEMO_AST_LIE}) {
        win_anim_table_base& state = states[i];
        state.anim_index = i;
        state.mow_anim_index = ANIM_FALL;
        state.next_anim_index = DEMO_AST_LIE;
        state.translation_multiplier = {0.0f, 0.0f, 0.0f};
        state.rotation_multiplier = {0.0f, 0.0f, 0.0f};
    }
    win_anim_table_base& fall = states[DEMO_AST_FALL];
    fall.anim_type_flags = 0x1 | 0x2;  // hit, impervious
    fall.reaction_flags = 0x1000;      // fatal
    fall.sound_effect = SOUND_FALL;
    win_anim_table_base& lie = states[DEMO_AST_LIE];
    lie.anim_type_flags = 0x2;  // impervious
    lie.begin_time = 900.0f;
    lie.end_time = 1000.0f;
    return true;
}

// The hero's weapon states (demo_ast.h).
bool add_weapons(win_anim_table_base* states)
{
    constexpr int32_t MELEE_1 = 0x8, PROJECTILE_1 = 0x40, FROM_AIMING = 0x20000;
    const struct {
        int32_t state, type, reaction, next;
    } weapons[] = {
        {DEMO_AST_DRAW_SWORD, 0x100, MELEE_1, DEMO_AST_WIELD},
        {DEMO_AST_DRAW_SLING, 0x100, PROJECTILE_1, DEMO_AST_WIELD},
        {DEMO_AST_WIELD, 0x200, 0, DEMO_AST_STAND},
        {DEMO_AST_HOLSTER_SWORD, 0x400, MELEE_1, DEMO_AST_STOW},
        {DEMO_AST_HOLSTER_SLING, 0x400, PROJECTILE_1, DEMO_AST_STOW},
        {DEMO_AST_LOWER_SLING, 0x400, PROJECTILE_1 | FROM_AIMING, DEMO_AST_UNAIM},
        {DEMO_AST_UNAIM, 0x40000, PROJECTILE_1, DEMO_AST_STOW},
        {DEMO_AST_STOW, 0x800, 0, DEMO_AST_STAND},
        {DEMO_AST_RAISE_SLING, 0x20000, PROJECTILE_1, DEMO_AST_AIM_SLING},
        {DEMO_AST_AIM_SLING, 0x20, PROJECTILE_1, DEMO_AST_AIM_SLING},
        {DEMO_AST_SHOOT, ANIM_IO_ATTACK_FLAG, PROJECTILE_1, DEMO_AST_AIM_SLING},
        {DEMO_AST_RELOAD_SLING, 0x1000, PROJECTILE_1, DEMO_AST_AIM_SLING},
    };
    for (const auto& weapon : weapons) {
        win_anim_table_base& state = states[weapon.state];
        state.anim_index = weapon.state;
        state.mow_anim_index = ANIM_IDLE;
        state.begin_time = 0.0f;
        state.end_time = 250.0f;
        state.next_anim_index = weapon.next;
        state.translation_multiplier = {0.0f, 0.0f, 0.0f};
        state.rotation_multiplier = {0.0f, 0.0f, 0.0f};
        state.anim_type_flags = weapon.type;
        state.reaction_flags = weapon.reaction;
    }
    win_anim_table_base& shoot = states[DEMO_AST_SHOOT];
    shoot.mow_anim_index = ANIM_WAVE;
    shoot.end_time = 500.0f;
    shoot.attack_value = 5;
    shoot.sound_effect = SOUND_TWANG;
    states[DEMO_AST_RELOAD_SLING].end_time = 500.0f;
    enum { L = 0x2, R = 0x4, U = 0x8 };
    win_anim_table_base* aim = &states[DEMO_AST_AIM_SLING];
    return add_transition(aim, U, DEMO_AST_WALK) && add_transition(aim, L, DEMO_AST_TURN_LEFT) &&
           add_transition(aim, R, DEMO_AST_TURN_RIGHT);
}

// A table of the first `state_count` states, with `anims` animations and
// `sounds` sounds.
win_ast* make_table(const char* name, const char* model_name, int32_t state_count,
                    const std::vector<std::string>& anims, const std::vector<const char*>& sounds)
{
    win_ast* table = malloc_win_ast(name);
    std::vector<const char*> anim_names;
    for (const std::string& anim : anims)
        anim_names.push_back(anim.c_str());
    bool ok =
        table &&
        set_names(&table->sound_fx_filename_array, &table->sound_fx_filename_array_size, sounds) &&
        set_names(&table->mow_anim_filename_array, &table->mow_anim_filename_array_size,
                  anim_names) &&
        set_names(&table->win_anim_state_filename_array, &table->win_anim_state_filename_array_size,
                  std::vector<const char*>(state_names, state_names + state_count)) &&
        (table->win_anim_table_base_array = malloc_win_anim_table_base_array(state_count));
    if (ok) {
        win_anim_table_base* states = table->win_anim_table_base_array;
        table->win_anim_table_base_array_size = state_count;
        ok = model_name && (table->spaz_model_name = STRDUP(model_name)) &&
             fill_guard_states(states) &&
             (state_count == DEMO_AST_GUARD_STATES || (add_turns(states) && add_fall(states))) &&
             (state_count < DEMO_AST_HERO_STATES || add_weapons(states)) &&
             add_joint_table(table, "body", 0, 1) && add_joint_table(table, "arm", 1, 1);
    }
    if (!ok) {
        LOG_ERROR("Could not make the demo state table %s.\n", name ? name : "(null)");
        if (table)
            free_win_ast(table);
        return nullptr;
    }
    table->current_anim_index = 0;
    return table;
}

// A fighter's table of `state_count` states.
win_ast* make_fighter(const char* name, const char* model_name, const char* anim_prefix,
                      int32_t state_count)
{
    const std::string prefix = anim_prefix ? anim_prefix : "";
    std::vector<const char*> sounds = {"step.wav", "swing.wav", "fall.wav"};
    if (state_count == DEMO_AST_HERO_STATES)
        sounds.push_back("twang.wav");
    return make_table(name, model_name, state_count,
                      {prefix + "idle", prefix + "wave", prefix + "fall"}, sounds);
}

}  // namespace

win_ast* demo_ast_make_guard(const char* name, const char* model_name)
{
    return make_table(name, model_name, DEMO_AST_GUARD_STATES, {"idle", "wave"}, {"step.wav"});
}

win_ast* demo_ast_make_fighter(const char* name, const char* model_name, const char* anim_prefix)
{
    return make_fighter(name, model_name, anim_prefix, DEMO_AST_FIGHTER_STATES);
}

win_ast* demo_ast_make_hero(const char* name, const char* model_name, const char* anim_prefix)
{
    return make_fighter(name, model_name, anim_prefix, DEMO_AST_HERO_STATES);
}

win_ast* demo_ast_make_relay(const char* name, mow_anim* anim)
{
    win_ast* table = malloc_win_ast(name);
    bool ok = table && anim &&
              set_names(&table->mow_anim_filename_array, &table->mow_anim_filename_array_size,
                        {"walk"}) &&
              (table->mow_anim_ptr_array = malloc_mow_anim_ptr_array(1)) &&
              (table->win_anim_table_base_array = malloc_win_anim_table_base_array(2));
    if (!ok) {
        LOG_ERROR("%s\n", "Could not make the demo relay state table.");
        if (table)
            free_win_ast(table);
        if (anim)
            free_mow_anim(anim);
        return nullptr;
    }
    table->mow_anim_ptr_array_size = 1;
    table->mow_anim_ptr_array[0] = anim;
    table->win_anim_table_base_array_size = 2;
    const float ends[2] = {1000.0f, 500.0f};
    for (int32_t i = 0; i < 2; ++i) {
        win_anim_table_base& state = table->win_anim_table_base_array[i];
        state.anim_index = i;
        state.mow_anim_index = 0;
        state.begin_time = 0.0f;
        state.end_time = ends[i];
        state.next_anim_index = 1 - i;
        state.translation_multiplier = {1.0f, 1.0f, 1.0f};
        state.rotation_multiplier = {1.0f, 1.0f, 1.0f};
    }
    return table;
}

int demo_ast_write(const char* path, const win_ast* table)
{
    REFUSE_NULL(path, "demo_ast_write", "path", 0);
    REFUSE_NULL(table, "demo_ast_write", "table", 0);
    demo_text_sink out;
    if (!demo_text_open(&out, path, FILE_TYPE_AST_TEXT, FILE_VERSION_AST_TEXT))
        return 0;
    put_collision_section(&out, table);
    put_names(&out, table->sound_fx_filename_array, table->sound_fx_filename_array_size);
    put_names(&out, table->mow_anim_filename_array, table->mow_anim_filename_array_size);
    put_names(&out, table->win_anim_state_filename_array,
              table->win_anim_state_filename_array_size);
    put_states(&out, table);
    return demo_text_close(&out);
}
