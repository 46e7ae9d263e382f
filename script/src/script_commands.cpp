// The script commands: what each command code does when a script runs its
// decoded command. One table holds a row per command: the code, the
// operands in the order the action takes them, and the action, whose result
// is the command's (1 done, 0 not finished: the script runs the command again
// in its next slice). Most actions are operations of the game runtime, so
// whether a command blocks is that operation's contract, except for the
// sound commands: they are done whatever the sound module answers, since
// what they fail on does not change by the next frame (done_anyway). The
// rest are the bodies below (flow, animation through state variables,
// shaders, attachments, camera targets, loading and unloading entities).
// This is the one file through which the script engine's commands reach the
// runtime.
//
// Operands, as the rows name them (i: the operand's place in its kind):
//   V<i>    tree i evaluated             N<i>    V<i> truncated toward zero
//   E<i>    the entity whose id is tree i's root value, unevaluated (NULL
//           when the script's table does not resolve it)
//   Snd<i>  the sound named likewise     R<i>    tree i's root value
//   C<i>    constant i                   Str<i>  inline string i
// and a few of one command's own (the script, a fixed number, a point).
#include <array>
#include <tuple>

#include "d3dxframe.h"
#include "debug.h"
#include "gameglobals.h"
#include "math_util.h"
#include "script.h"
#include "script_imports.h"
#include "win_entity.h"

namespace {

// ---- Operands ----

// The decoder gives each command exactly the operands its code's shape
// has; a row asks only for those (checked when the row is compiled).
const expression* command_tree(const running_script* script, int32_t i)
{
    const compiled_info* command = script->running_command;
    INVARIANT(i < command->n_expr);
    return command->arg_ptr_array[i].exp_ptr;
}

template <int32_t I>
struct Tree {
    static constexpr bool fits(command_shape shape) { return I < shape.trees; }
    static const expression* get(running_script* script) { return command_tree(script, I); }
};

template <int32_t I>
struct V : Tree<I> {
    static float get(running_script* script)
    {
        return parse_evaluate_expression(command_tree(script, I), script);
    }
};

template <int32_t I>
struct N : Tree<I> {
    static int32_t get(running_script* script) { return math_util_float_to_int(V<I>::get(script)); }
};

template <int32_t I>
struct R : Tree<I> {
    static float get(running_script* script) { return command_tree(script, I)->value; }
};

template <int32_t I>
struct E : Tree<I> {
    static win_entity* get(running_script* script)
    {
        return parse_find_entity_by_id(R<I>::get(script), script->parsed_entity_list);
    }
};

template <int32_t I>
struct Snd : Tree<I> {
    static win_sound_container* get(running_script* script)
    {
        return parse_find_sound_by_id(R<I>::get(script), script->parsed_sound_list);
    }
};

template <int32_t I>
struct C {
    static constexpr bool fits(command_shape shape) { return I < shape.constants; }
    static float get(running_script* script)
    {
        const compiled_info* command = script->running_command;
        INVARIANT(I < command->n_const);
        return command->const_arg[I];
    }
};

template <int32_t I>
struct Str {
    static constexpr bool fits(command_shape shape) { return I < shape.strings; }
    static const char* get(running_script* script)
    {
        const compiled_info* command = script->running_command;
        INVARIANT(I < command->n_str);
        return command->string_arg_array[I].str;
    }
};

// An operand that every command has.
struct Always {
    static constexpr bool fits(command_shape) { return true; }
};

struct Script : Always {
    static running_script* get(running_script* script) { return script; }
};

// Where `wait` keeps the time it waits for.
struct WaitEndTime : Always {
    static float* get(running_script* script) { return &script->wait_end_time; }
};

template <int32_t K>
struct Int : Always {
    static int32_t get(running_script*) { return K; }
};

// No point (a sound played at the listener, without velocity).
struct NoPoint : Always {
    static const win_vect3* get(running_script*) { return nullptr; }
};

// The point (V<X>, V<Y>, V<Z>), passed as its address.
template <int32_t X, int32_t Y, int32_t Z>
struct Point {
    struct held {
        win_vect3 point;
        operator const win_vect3*() const { return &point; }
    };
    static constexpr bool fits(command_shape shape)
    {
        return Tree<X>::fits(shape) && Tree<Y>::fits(shape) && Tree<Z>::fits(shape);
    }
    static held get(running_script* script)
    {
        return {{V<X>::get(script), V<Y>::get(script), V<Z>::get(script)}};
    }
};

// The colour (V<R>, V<G>, V<B>) with a zero fourth component, passed as its
// address.
template <int32_t Red, int32_t Green, int32_t Blue>
struct Colour {
    struct held {
        win_rgba colour;
        operator const win_rgba*() const { return &colour; }
    };
    static constexpr bool fits(command_shape shape) { return Point<Red, Green, Blue>::fits(shape); }
    static held get(running_script* script)
    {
        return {{V<Red>::get(script), V<Green>::get(script), V<Blue>::get(script), 0.0f}};
    }
};

// A life span: -999 is how scripts write one that never runs out.
template <int32_t I>
struct LifeSpan : Tree<I> {
    static float get(running_script* script)
    {
        float seconds = V<I>::get(script);
        return seconds == -999.0f ? ETERNAL_LIFE_SPAN : seconds;
    }
};

// ---- The table ----

typedef int (*command_funct)(running_script* script);

template <int32_t code, auto action, typename... Operands>
int run_command(running_script* script)
{
    static_assert((Operands::fits(parse_command_shape(code)) && ...),
                  "the row asks for an operand that its command does not have");
    // Braces take the operands in order, left to right: an evaluation may
    // have side effects (random_number, entity_in_range).
    std::tuple<decltype(Operands::get(script))...> operands{Operands::get(script)...};
    return std::apply(action, operands);
}

struct command_row {
    int32_t code;
    command_funct run;
};

template <int32_t code, auto action, typename... Operands>
constexpr command_row command = {code, run_command<code, action, Operands...>};

// A sound command is done whatever its operation answers (the sound module
// has said what failed): a sound that is missing or unloaded, a file that
// does not load and a volume out of range stay so, and channels that are all
// busy may stay so for good (looping sounds). A script that waited there
// would stop, and an effect played late belongs to no moment.
template <int32_t code, auto action, typename... Operands>
int run_done_anyway(running_script* script)
{
    run_command<code, action, Operands...>(script);
    return 1;
}

template <int32_t code, auto action, typename... Operands>
constexpr command_row done_anyway = {code, run_done_anyway<code, action, Operands...>};

// ---- Bodies ----

int parse_if(float condition, running_script* script)
{
    const if_info& branch = script->branch;
    int32_t target;
    if (condition != 0.0f) {
        LOG_NOTICE("IF eval'd to TRUE\n");
        target = branch.true_offset;
    } else {
        LOG_NOTICE("IF eval'd to FALSE\n");
        target = branch.else_offset > 0 ? branch.else_offset : branch.endif_offset;
    }
    // A target outside the code ends the script, as a broken command does.
    script->pc = parse_jump_inside(script, target) ? script->code_start + target
                                                   : script->code_image + script->code_size;
    return 1;
}

int parse_else(running_script* script)
{
    // The decoder has checked that an else's target lies inside the code
    // (lay_out_command); an if's targets are checked when it has chosen one.
    const int32_t target = script->branch.endif_offset;
    INVARIANT(target >= 0 && script->code_start + target <= script->code_image + script->code_size);
    script->pc = script->code_start + target;
    return 1;
}

int parse_move(const expression* tree)
{
    if (tree->expression_type == EXPRESSION_CONSTANT && tree->value == 0.0f)
        LOG_NOTICE("Moving da camera\n");
    return 0;
}

// Commands of the source language that the game never carried out: a script
// stays on one for good.
int never_completes(void)
{
    return 0;
}

int does_nothing(void)
{
    return 1;
}

// The player's step sound waits for a player, whom a later frame may bring;
// what else it fails on (no sound slot, a file that does not load) stays so,
// and the script goes on without it.
int parse_set_player_step_sound(const char* name)
{
    if (!game_globals.player_character)
        return entity_set_player_step_sound(name);
    entity_set_player_step_sound(name);
    return 1;
}

int parse_load_collision(const char* name)
{
    LOG_ERROR("collision tables are no longer implemented for '%s'\n", name);
    return 0;
}

int parse_animate_play(float position, running_script* script)
{
    win_entity* entity = nullptr;
    float state = parse_get_state_variable_value(position, script, &entity);
    if (!entity) {
        LOG_ERROR("%s\n", "Couldn't get the entity pointer in parse_animate_play\n");
        return 1;
    }
    return entity_play_anim2(entity, math_util_float_to_int(state));
}

// The state starts whether or not it runs already; an entity without a state
// table is refused by the runtime. Done either way.
int parse_animate_loop(float position, running_script* script)
{
    win_entity* entity = nullptr;
    float state = parse_get_state_variable_value(position, script, &entity);
    if (!entity) {
        LOG_ERROR("%s\n", "Couldn't get the entity pointer in parse_animate_loop\n");
        return 1;
    }
    entity_start_next_anim_state(entity, math_util_float_to_int(state), 0, 1);
    return 1;
}

// The shader that the shader table's record at `position` names, with the
// animation state it plays in *state; NULL after the message when the record,
// its entity or that entity's shader is missing.
win_shader* shader_of(float position, running_script* script, int32_t* state)
{
    const shader_info* info = parse_table_record(script->shader_info_list,
                                                 math_util_float_to_int(position));
    if (!info) {
        LOG_ERROR("Couldn't retrieve shader information for index %d\n",
                  (int)math_util_float_to_int(position));
        return nullptr;
    }
    const parsed_entity* record = parse_table_record(script->parsed_entity_list,
                                                     info->entity_position);
    if (!record || !record->entity) {
        LOG_ERROR("Couldn't retrieve shader entity information for index %d\n",
                  (int)info->entity_position);
        return nullptr;
    }
    // Not every entity is a character with that many shaders.
    win_shader* shader = entity_shader(record->entity, info->shader_slot);
    if (!shader) {
        LOG_ERROR("The entity at index %d has no shader %d to animate\n",
                  (int)info->entity_position, (int)info->shader_slot);
        return nullptr;
    }
    *state = info->shader_anim_index;
    return shader;
}

int parse_shader_animate(float position, running_script* script)
{
    int32_t state = 0;
    win_shader* shader = shader_of(position, script, &state);
    return shader ? shader_play_anim2(shader, state) : 1;
}

int parse_shader_animate_cont(float position, running_script* script)
{
    int32_t state = 0;
    win_shader* shader = shader_of(position, script, &state);
    return shader ? shader_play_anim(shader, state) : 1;
}

// `attach_entity` (attach_id -999: the attach record's own child) and
// `attach_entity_id`: the child and the parent by id, the joint and the
// placing matrix from the attach record at `position`.
int parse_attach_entity(float position, running_script* script, int32_t attach_id)
{
    int32_t index = math_util_float_to_int(position);
    const parsed_attach_info* info = parse_table_record(script->parsed_attach_info_list, index);
    if (!info) {
        LOG_ERROR("Couldn't retrieve attach information for index %d\n", (int)index);
        return 1;
    }
    if (attach_id == -999)
        attach_id = info->attach_entity_id;
    const parsed_entity* child = parse_get_entity_value(attach_id, script->parsed_entity_list);
    if (!child) {
        LOG_ERROR("Couldn't retrieve attach entity information for index %d\n", (int)attach_id);
        return 1;
    }
    const parsed_entity* parent = parse_get_entity_value(info->target_entity_id,
                                                         script->parsed_entity_list);
    if (!parent) {
        LOG_ERROR("Couldn't retrieve target entity information for index %d\n",
                  (int)info->target_entity_id);
        return 1;
    }
    // -1 the parent's own frame, -2 the identity, n a joint of the parent
    // (which only the runtime can judge); nothing below.
    if (info->joint_index < -2) {
        LOG_ERROR("Attach information %d names joint %ld, which no entity has\n", (int)index,
                  (long)info->joint_index);
        return 1;
    }
    return entity_attach_to_joint(parent->entity, child->entity, info->joint_index,
                                  &info->attach_matrix);
}

// `set_camera_target`: here the attach record's two ids are positions in the
// entity table; a negative camera position passes no camera, a target
// position of 0 or less no target, and the target point is the translation
// of the record's matrix.
int parse_set_camera_target(float position, running_script* script)
{
    int32_t index = math_util_float_to_int(position);
    const parsed_attach_info* info = parse_table_record(script->parsed_attach_info_list, index);
    if (!info) {
        LOG_ERROR("Couldn't retrieve attach information for index %d\n", (int)index);
        return 1;
    }
    win_entity* camera = nullptr;
    if (info->attach_entity_id >= 0) {
        const parsed_entity* record = parse_table_record(script->parsed_entity_list,
                                                         info->attach_entity_id);
        if (!record) {
            LOG_ERROR("Couldn't retrieve attach entity information for index %d\n",
                      (int)info->attach_entity_id);
            return 1;
        }
        camera = record->entity;
    }
    win_entity* target = nullptr;
    if (info->target_entity_id > 0) {
        const parsed_entity* record = parse_table_record(script->parsed_entity_list,
                                                         info->target_entity_id);
        if (!record) {
            LOG_ERROR("Couldn't retrieve target entity information for index %d\n",
                      (int)info->target_entity_id);
            return 1;
        }
        target = record->entity;
    }
    const float* translation = info->attach_matrix.m[3];
    return entity_set_camera_target(camera, target, info->joint_index, translation[0],
                                    translation[1], translation[2]);
}

// `unload_entity`: the entity leaves its ring, found by identity (another
// entity of the same name, such as a particle copied from the same template,
// stays), and is unloaded; no script's table resolves it any more.
int parse_unload_entity(win_entity* entity)
{
    if (!entity) {
        LOG_ERROR("Can't remove a unload_entity a NULL entity!\n");
        return 1;
    }
    entity_io_remove_from_ring(entity);
    return entity_unload(entity, 0);
}

// `load_entity`: done at once when the entity resolves already.
int parse_load_entity(win_entity* entity, float id, running_script* script)
{
    return entity ? 1 : script_load_referenced_entity(id, script->parsed_entity_list);
}

// ---- The commands ----

// One row per command. A code without a row is no command: punctuation,
// operators and declarations of the source language and the built-in
// functions, which compiled scripts use inside expressions only.
// clang-format off
constexpr command_row command_rows[] = {
    // Flow and script control.
    command<COMMAND_IF, parse_if, V<0>, Script>,
    command<COMMAND_ELSE, parse_else, Script>,
    command<COMMAND_ASSIGN, parse_assign_variable, R<0>, V<1>, Script>,
    command<COMMAND_WAIT, parse_wait, V<0>, WaitEndTime>,
    command<COMMAND_RUN_SCRIPT, parse_block_for_script, Script, Str<0>>,
    command<COMMAND_RUN_SETUP_SCRIPT, parse_block_for_script, Script, Str<0>>,
    command<COMMAND_UNLOAD_SCRIPT, script_unload_script, Str<0>>,

    // One entity.
    command<COMMAND_PLACE, entity_place, E<0>, V<1>, V<2>, V<3>>,
    command<COMMAND_ORIENT, entity_orient, E<0>, C<0>, C<1>, C<2>>,
    command<COMMAND_SET_PLAYER, entity_set_player_character, E<0>>,
    command<COMMAND_SET_ENVIRONMENT, entity_set_environment, E<0>>,
    command<COMMAND_SET_SPEED, entity_set_velocity, E<0>, V<1>, V<2>, V<3>>,
    command<COMMAND_SET_ROTATION, entity_set_rot_velocity, E<0>, C<0>, C<1>, C<2>>,
    command<COMMAND_ENABLE_BRAIN, entity_enable_brain, E<0>, N<1>>,
    command<COMMAND_SET_CAMERA, entity_set_game_camera, E<0>>,
    command<COMMAND_CLEAR_GOALS, ai_clear_goals, E<0>>,
    command<COMMAND_SET_ACCELERATION, entity_set_acceleration, E<0>, V<1>, V<2>, V<3>>,
    command<COMMAND_ENABLE_COLLISION, entity_enable_collision, E<0>, N<1>>,
    command<COMMAND_SET_LIFESPAN, entity_set_life_span, E<0>, LifeSpan<1>>,
    command<COMMAND_DISPLAY_CLOSEUP, entity_display_closeup, E<0>>,
    command<COMMAND_ADD_HIT_POINTS, entity_add_hitpoints, E<0>, V<1>>,
    command<COMMAND_ADD_ROTATION, entity_add_rotation, E<0>, C<0>, C<1>, C<2>>,
    command<COMMAND_ADD_TRANSLATION, entity_add_translation, E<0>, V<1>, V<2>, V<3>>,
    command<COMMAND_HOLSTER_WEAPON, entity_holster_current_weapon, E<0>>,
    command<COMMAND_ENABLE_COLLISION_ENVIRONMENT, entity_enable_environment_collision, E<0>, N<1>>,
    command<COMMAND_ENABLE_COLLISION_CHARACTER, entity_enable_character_collision, E<0>, N<1>>,
    command<COMMAND_SET_MASS, entity_set_mass, E<0>, V<1>>,
    command<COMMAND_SET_CAMERA_BRAKING_DIST, entity_null_command, E<0>, V<1>>,
    command<COMMAND_UNLOAD_ALL, entity_unload_all, N<0>>,

    // Two entities.
    command<COMMAND_DETACH_CHILD_ENTITY, entity_detach_from_parent, E<0>, E<1>>,
    command<COMMAND_SET_CURRENT_WEAPON, entity_set_current_weapon, E<0>, E<1>>,
    command<COMMAND_SET_CURRENT_ITEM, entity_set_current_item, E<0>, E<1>>,
    command<COMMAND_FACE_ENTITY, entity_turn_to_face_entity, E<0>, E<1>>,
    command<COMMAND_FACE_ENTITY_NOW, entity_face_entity, E<0>, E<1>>,
    command<COMMAND_ADD_NEW_GOAL, ai_add_goal, E<0>, N<6>, E<1>, V<2>, V<3>, V<4>, N<5>>,

    // Loading and unloading entities.
    command<COMMAND_UNLOAD_ENTITY, parse_unload_entity, E<0>>,
    command<COMMAND_LOAD_ENTITY, parse_load_entity, E<0>, R<0>, Script>,

    // Animation and shaders.
    command<COMMAND_ANIMATE, parse_animate_play, R<0>, Script>,
    command<COMMAND_ANIMATE_LOOP, parse_animate_loop, R<0>, Script>,
    command<COMMAND_ANIMATE_CONT, parse_animate_loop, R<0>, Script>,
    command<COMMAND_ANIMATE_STOP, entity_play_anim2, E<0>, Int<0>>,
    command<COMMAND_SHADER_ANIMATE, parse_shader_animate, R<0>, Script>,
    command<COMMAND_SHADER_ANIMATE_CONT, parse_shader_animate_cont, R<0>, Script>,

    // Attachment and camera target, from the attach table.
    command<COMMAND_ATTACH_ENTITY, parse_attach_entity, V<0>, Script, Int<-999>>,
    command<COMMAND_ATTACH_ENTITY_ID, parse_attach_entity, V<0>, Script, N<1>>,
    command<COMMAND_SET_CAMERA_TARGET, parse_set_camera_target, V<0>, Script>,

    // Sounds.
    done_anyway<COMMAND_PLAY_SOUND, sound_play, Snd<0>, NoPoint, NoPoint, N<1>>,
    done_anyway<COMMAND_PLAY_3D_SOUND, sound_play, Snd<0>, Point<2, 3, 4>, NoPoint, N<1>>,
    done_anyway<COMMAND_STOP_SOUND, sound_stop, Snd<0>>,
    done_anyway<COMMAND_UNLOAD_SOUND, sound_unload, Snd<0>>,
    done_anyway<COMMAND_SET_VOLUME, sound_set_volume, Snd<0>, N<1>, N<2>>,
    command<COMMAND_SET_PLAYER_STEP_SOUND, parse_set_player_step_sound, Str<0>>,

    // Screen, camera and the player-character module.
    command<COMMAND_SET_AMBIENT_LIGHT, d3dxframe_set_ambient_light, N<0>, N<1>, N<2>>,
    command<COMMAND_FADE_OUT_GLOBAL, varnock_fade_out, V<0>>,
    command<COMMAND_FADE_IN_GLOBAL, varnock_fade_in, V<0>>,
    command<COMMAND_FADE_OUT_SCREEN, varnock_overlay_fade_out, V<0>>,
    command<COMMAND_FADE_IN_SCREEN, varnock_overlay_fade_in, V<0>>,
    command<COMMAND_FADE_OUT_SCREEN_COLOR, varnock_overlay_fade_out_color, V<0>, N<1>, N<2>, N<3>>,
    command<COMMAND_FADE_IN_SCREEN_COLOR, varnock_overlay_fade_in_color, V<0>, N<1>, N<2>, N<3>>,
    command<COMMAND_DISPLAY_MESSAGE, varnock_display_text, N<0>, N<1>, N<2>, N<3>, N<4>, N<5>,
            Str<0>>,
    command<COMMAND_SHAKE_CAMERA, entity_set_camera_shake, V<0>, V<1>, V<2>, V<3>>,
    command<COMMAND_ENABLE_ATTACK, varnock_set_attack_enabled, N<0>>,
    command<COMMAND_SET_FOG, varnock_set_fog, N<0>, Colour<1, 2, 3>, V<4>, V<5>>,
    command<COMMAND_SET_ACTION_BUTTON, varnock_set_action_button_script, Str<0>>,
    command<COMMAND_LETTERBOX, varnock_set_letterbox, N<0>>,
    command<COMMAND_CHANGE_GAME_MODE, varnock_change_game_mode, Str<0>>,

    // Collision data of the current environment.
    command<COMMAND_ENABLE_COLLISION_FILE, collide_enable_collision_data, Str<0>, N<0>>,
    command<COMMAND_ENABLE_TRIGGER_FILE, collide_enable_trigger_data, Str<0>, N<0>>,
    command<COMMAND_ENABLE_CAMZONE_FILE, collide_enable_camzone_data, Str<0>, N<0>>,
    command<COMMAND_LOAD_COLLISION, parse_load_collision, Str<0>>,

    // Done at once.
    command<COMMAND_LOAD_PSX_IMAGE, does_nothing>,
    command<COMMAND_PSX_SET_PRIORITY, does_nothing>,

    // Never done.
    command<COMMAND_MOVE, parse_move, Tree<0>>,
    command<COMMAND_CHANGE_CAMERA_MODE, never_completes>,
    command<COMMAND_LOAD, never_completes>,
    command<COMMAND_CAMERA_FOCUS_POINT, never_completes>,
    command<COMMAND_CAMERA_BIND, never_completes>,
    command<COMMAND_ENTITY_SET_INPUT, never_completes>,
};
// clang-format on

constexpr bool rows_distinct(void)
{
    for (size_t i = 0; i < std::size(command_rows); ++i)
        for (size_t j = i + 1; j < std::size(command_rows); ++j)
            if (command_rows[i].code == command_rows[j].code)
                return false;
    return true;
}
static_assert(rows_distinct(), "two rows for one command");

constexpr std::array<command_funct, COMPILED_COMMAND_COUNT> command_functs = [] {
    std::array<command_funct, COMPILED_COMMAND_COUNT> functs{};
    for (const command_row& row : command_rows)
        functs[row.code] = row.run;
    return functs;
}();

}  // namespace

int parse_run_command(running_script* script)
{
    REFUSE_NULL(script, "parse_run_command", "running_script_ptr", 1);
    int32_t code = script->running_command ? script->running_command->compiled_info_type : -1;
    command_funct run = code >= 0 && code < COMPILED_COMMAND_COUNT ? command_functs[code] : nullptr;
    if (!run) {
        LOG_ERROR("Bad compiled command type in parse_run_command\n");
        return 1;
    }
    return run(script);
}
