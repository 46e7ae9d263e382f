// The script engine's records and the compiled script file.
//
// Records: the running script, the seven kinds of table record a compiled
// script brings (entities, sounds, variables, state variables, attachments,
// function calls as `compiled_info`, shader animations), the nodes of its
// float expression trees, the operand block of `if` and the two element
// records of a command's arrays. Each has its generated family (record.h):
// memory, stream and link forms.
//
// The compiled script file ("scw", type 16, version 106) is the common
// header, then seven tables, each an int32 count followed by that many
// records in the list stream form, then the command stream to the end of the
// file. A command is an int32 code followed by operands whose shape the code
// gives (compiled_command_table): expression trees in pre-order, bare
// zero-terminated strings, raw floats; `if` carries an if_info before its
// condition tree and `else` one offset. The stream is not aligned.
//
// Loading gives the whole file to the script's code arena: the table records
// are linked from it and live there, and the commands are decoded one at a
// time, at the program counter, into the script's running_command, which
// owns what it holds. Every count, length, offset and code is checked against
// the bytes there are; nothing is read outside the image.
#pragma once

#include <cstdint>
#include <type_traits>

#include "dlink.h"
#include "record.h"
#include "win_geo.h"

struct win_entity;
struct win_sound_container;

// ---- Records ----

// Entity table: an entity the script uses, by name and entity file; `entity`
// is found or loaded when the script starts.
struct parsed_entity {
    parsed_entity* prev;
    parsed_entity* next;
    char* parsed_entity_name;
    char* entity_filename;
    win_entity* entity;
    int32_t id;
};
RECORD_BEGIN(parsed_entity, 24)
    REC_LINKS(prev, next)
    REC_NAME(parsed_entity_name)
    REC_STRING(entity_filename)
    REC_RUNTIME(entity)
    REC_WORDS(id)
RECORD_END(parsed_entity, NAMED_LIST, .id = -1)

// Sound table: a sound the script plays, by name and sound file.
struct parsed_sound {
    parsed_sound* prev;
    parsed_sound* next;
    char* parsed_sound_name;
    char* sound_filename;
    win_sound_container* sound_container;
    int32_t id;
};
RECORD_BEGIN(parsed_sound, 24)
    REC_LINKS(prev, next)
    REC_NAME(parsed_sound_name)
    REC_STRING(sound_filename)
    REC_RUNTIME(sound_container)
    REC_WORDS(id)
RECORD_END(parsed_sound, NAMED_LIST, .id = -1)

// Variable table: a float the script reads and assigns, by id.
struct parsed_variable {
    parsed_variable* prev;
    parsed_variable* next;
    char* parsed_variable_name;
    float value;
    int32_t id;
};
RECORD_BEGIN(parsed_variable, 20)
    REC_LINKS(prev, next)
    REC_NAME(parsed_variable_name)
    REC_WORDS(value)
    REC_WORDS(id)
RECORD_END(parsed_variable, NAMED_LIST, .value = -1.0f, .id = -1)

// State-variable table: state_type 0 is slot `slot` of the state-value array
// of the entity whose id is `entity_id`; state_type 1 is the integer `slot`.
struct parsed_state_variable {
    parsed_state_variable* prev;
    parsed_state_variable* next;
    char* parsed_state_variable_name;
    int32_t state_type;
    int32_t slot;
    int32_t entity_id;
};
RECORD_BEGIN(parsed_state_variable, 24)
    REC_LINKS(prev, next)
    REC_NAME(parsed_state_variable_name)
    REC_WORDS(state_type)
    REC_WORDS(slot)
    REC_WORDS(entity_id)
RECORD_END(parsed_state_variable, NAMED_LIST, .slot = -1, .entity_id = -1)

// A node of a float expression tree; it owns its whole subtree.
struct expression {
    expression* left;
    expression* right;
    uint32_t expression_type;
    float value;
};
RECORD_BEGIN(expression, 16)
    REC_RECORD(left, expression)
    REC_RECORD(right, expression)
    REC_WORDS(expression_type)
    REC_WORDS(value)
RECORD_END(expression, PLAIN, .value = -1.0f)

// The operand block of `if`: where the code goes on when the condition holds,
// when it does not (0: no else branch, go to the end of the if) and where
// the if ends, as byte offsets from the first command.
struct if_info {
    int32_t true_offset;
    int32_t else_offset;
    int32_t endif_offset;
};
RECORD_BEGIN(if_info, 12)
    REC_WORDS(true_offset)
    REC_WORDS(else_offset)
    REC_WORDS(endif_offset)
RECORD_END(if_info, PLAIN, .true_offset = -1, .else_offset = -1, .endif_offset = -1)

// Element of the string arrays of a command.
struct string {
    char* str;
};
RECORD_BEGIN(string, 4)
    REC_STRING(str)
RECORD_END(string, PLAIN)

// Element of the expression-tree arrays of a command.
struct expression_ptr {
    expression* exp_ptr;
};
RECORD_BEGIN(expression_ptr, 4)
    REC_RECORD(exp_ptr, expression)
RECORD_END(expression_ptr, PLAIN)

// A command or built-in call with its arguments: trees, strings, constants.
struct compiled_info {
    compiled_info* prev;
    compiled_info* next;
    int32_t reserved;  // never set
    int32_t compiled_info_type;
    int32_t n_expr;
    expression_ptr* arg_ptr_array;
    int32_t n_str;
    string* string_arg_array;
    int32_t n_const;
    float* const_arg;
};
RECORD_BEGIN(compiled_info, 40)
    REC_LINKS(prev, next)
    REC_WORDS(reserved)
    REC_WORDS(compiled_info_type)
    REC_ARRAY(n_expr, arg_ptr_array, expression_ptr)
    REC_ARRAY(n_str, string_arg_array, string)
    REC_NUMBERS(n_const, const_arg, const_arg)
RECORD_END(compiled_info, LIST, .compiled_info_type = -1)

// Attach table: how `attach_entity_id` hangs on `target_entity_id`.
struct parsed_attach_info {
    parsed_attach_info* prev;
    parsed_attach_info* next;
    int32_t target_entity_id;
    int32_t attach_entity_id;
    win_matrix43 attach_matrix;
    int32_t joint_index;
};
RECORD_BEGIN(parsed_attach_info, 72)
    REC_LINKS(prev, next)
    REC_WORDS(target_entity_id)
    REC_WORDS(attach_entity_id)
    REC_WORDS(attach_matrix)
    REC_WORDS(joint_index)
RECORD_END(parsed_attach_info, LIST, .target_entity_id = -1, .attach_entity_id = -1,
           .joint_index = -1)

// Shader table: animation `shader_anim_index` of shader `shader_slot` of the
// entity at `entity_position` in the entity table.
struct shader_info {
    shader_info* prev;
    shader_info* next;
    int32_t entity_position;
    int32_t shader_slot;
    int32_t shader_anim_index;
};
RECORD_BEGIN(shader_info, 20)
    REC_LINKS(prev, next)
    REC_WORDS(entity_position)
    REC_WORDS(shader_slot)
    REC_WORDS(shader_anim_index)
RECORD_END(shader_info, LIST, .entity_position = -1, .shader_slot = -1, .shader_anim_index = -1)

// One started script, a node of the running list, keyed by its full path.
//
// Its compiled file belongs to `code_arena`: `code_image` is the file (header
// included), the table lists are linked from it and live in the arena (never
// release them with the family's free operations), `code_start` and `pc`
// point into it. The entity table may grow at run time (`entity_in_range`):
// the records after the first `linked_entity_count` are heap records of the
// script's own. parse_release_script_code releases all of it; the script's
// own release operation does not, so a script that holds code is ended
// through script_terminate_script. `running_command` owns the decoded
// command with its trees, strings and constants.
struct running_script {
    running_script* prev;
    running_script* next;
    char* running_script_name;
    running_script* child_script;  // the child this script waits for
    parsed_entity* parsed_entity_list;
    parsed_sound* parsed_sound_list;
    char* code_start;
    char* code_image;
    char* pc;
    int32_t code_size;
    int32_t blocked;  // 1 while running_command has not finished
    compiled_info* running_command;
    float wait_end_time;
    parsed_variable* parsed_variable_list;
    parsed_state_variable* parsed_state_variable_list;
    parsed_attach_info* parsed_attach_info_list;
    compiled_info* function_info_list;
    shader_info* shader_info_list;
    // Kept in memory only, outside the image:
    link_arena code_arena;  // owns code_image and the tables linked from it
    if_info branch;         // an `if` command's if_info; an `else` one's target in endif_offset
    char* command;          // where the command in running_command begins
    int32_t blocked_said;   // 1 when the command blocked with an error or a warning
    int32_t linked_entity_count;  // entity records linked from the file
    // The run model's own (script.cpp): a number no other script of the run
    // has; the child this script waits for, by its number, since a child's
    // address may be reused once it has ended; and, once the script has
    // ended (left the list, its release put off until the engine's outermost
    // call returns), the successor it had in the list and the next ended
    // script waiting for release.
    uint32_t serial;
    uint32_t child_serial;
    int32_t ended;
    running_script* successor;
    running_script* next_ended;
};
RECORD_BEGIN(running_script, 72)
    REC_LINKS(prev, next)
    REC_NAME(running_script_name)
    REC_RUNTIME(child_script)
    REC_RUNTIME(parsed_entity_list)
    REC_RUNTIME(parsed_sound_list)
    REC_RUNTIME(code_start)
    REC_RUNTIME(code_image)
    REC_RUNTIME(pc)
    REC_WORDS(code_size)
    REC_WORDS(blocked)
    REC_RECORD(running_command, compiled_info)
    REC_WORDS(wait_end_time)
    REC_RUNTIME(parsed_variable_list)
    REC_RUNTIME(parsed_state_variable_list)
    REC_RUNTIME(parsed_attach_info_list)
    REC_RUNTIME(function_info_list)
    REC_RUNTIME(shader_info_list)
    REC_UNSTORED(code_arena)
    REC_UNSTORED(branch)
    REC_UNSTORED(command)
    REC_UNSTORED(blocked_said)
    REC_UNSTORED(linked_entity_count)
    REC_UNSTORED(serial)
    REC_UNSTORED(child_serial)
    REC_UNSTORED(ended)
    REC_UNSTORED(successor)
    REC_UNSTORED(next_ended)
RECORD_END(running_script, NAMED_LIST, .code_size = -1, .wait_end_time = -1.0f)

// The record after `record` in the ring whose head is `head`; NULL after
// the last, so that a loop visits every record of a table (or script of
// the running list) once:
//     for (parsed_entity* record = head; record; record = parse_ring_next(head, record))
template <typename T>
T* parse_ring_next(std::type_identity_t<const T*> head, T* record)
{
    return dlink_ring_step<T>(head, record->next);
}

// The record at `position` of a table: positions wrap around the table, and
// a negative one counts back from the first record (dlink_get_nth). NULL,
// after the list's message, only for an empty table.
template <typename T>
T* parse_table_record(T* head, int32_t position)
{
    return (T*)dlink_get_nth((dlink*)head, position);
}

// ---- Command codes ----

// The 117 codes of compiled scripts (`compiled_command_type`), with each
// code's keyword and the four counts that give its operands: arguments,
// inline strings, tree override and constants. The punctuation and operator
// codes belong to the source language (operators reappear as values of
// expression nodes); the built-in functions stand as the type of function
// info records.
// clang-format off
#define COMPILED_COMMANDS(X) \
    X(COMMAND_MOVE, "move", 5, 0, 0, 0) \
    X(COMMAND_CHANGE_CAMERA_MODE, "change_camera_mode", 1, 0, 0, 0) \
    X(COMMAND_LOAD, "load", 1, 1, 0, 0) \
    X(COMMAND_DEFINE, "define", 1, 0, 0, 0) \
    X(COMMAND_ASSIGN, "assign", 2, 0, 0, 0) \
    X(COMMAND_OPEN_PAREN, "(", -1, 0, 0, 0) \
    X(COMMAND_CLOSE_PAREN, ")", 0, 0, 0, 0) \
    X(COMMAND_IF, "if", -1, 0, 0, 0) \
    X(COMMAND_NOT, "!", -1, 0, 0, 0) \
    X(COMMAND_OR, "or", -1, 0, 0, 0) \
    X(COMMAND_AND, "and", -1, 0, 0, 0) \
    X(COMMAND_EQUAL, "=", -1, 0, 0, 0) \
    X(COMMAND_NOT_EQUAL, "!=", -1, 0, 0, 0) \
    X(COMMAND_GREATER, ">", -1, 0, 0, 0) \
    X(COMMAND_LESS, "<", -1, 0, 0, 0) \
    X(COMMAND_GREATER_EQUAL, ">=", -1, 0, 0, 0) \
    X(COMMAND_LESS_EQUAL, "<=", -1, 0, 0, 0) \
    X(COMMAND_ELSE, "else", 0, 0, 0, 0) \
    X(COMMAND_ENDIF, "endif", 0, 0, 0, 0) \
    X(COMMAND_OPEN_BRACE, "{", 0, 0, 0, 0) \
    X(COMMAND_CLOSE_BRACE, "}", 0, 0, 0, 0) \
    X(COMMAND_PLUS, "+", -1, 0, 0, 0) \
    X(COMMAND_MINUS, "-", -1, 0, 0, 0) \
    X(COMMAND_TIMES, "*", -1, 0, 0, 0) \
    X(COMMAND_DIVIDE, "/", -1, 0, 0, 0) \
    X(COMMAND_MODULO, "%", -1, 0, 0, 0) \
    X(COMMAND_PLACE, "place", 4, 0, 0, 0) \
    X(COMMAND_ORIENT, "orient", 4, 0, 0, 3) \
    X(COMMAND_DEFINE_ENTITY, "define_entity", 1, 0, 0, 0) \
    X(COMMAND_SET_PLAYER, "set_player", 1, 0, 0, 0) \
    X(COMMAND_SET_ENVIRONMENT, "set_environment", 1, 0, 0, 0) \
    X(COMMAND_WAIT, "wait", 1, 0, 0, 0) \
    X(COMMAND_ANIMATE, "animate", 1, 0, 0, 0) \
    X(COMMAND_ANIMATE_LOOP, "animate_loop", 1, 0, 0, 0) \
    X(COMMAND_UNLOAD_ENTITY, "unload_entity", 1, 0, 0, 0) \
    X(COMMAND_SET_AMBIENT_LIGHT, "set_ambient_light", 3, 0, 0, 0) \
    X(COMMAND_SET_SPEED, "set_speed", 4, 0, 0, 0) \
    X(COMMAND_SET_ROTATION, "set_rotation", 4, 0, 0, 3) \
    X(COMMAND_CAMERA_TARGET, "camera_target", 1, 0, 0, 0) \
    X(COMMAND_CAMERA_FOCUS_POINT, "camera_focus_point", 3, 0, 0, 0) \
    X(COMMAND_CAMERA_BIND, "camera_bind", 1, 0, 0, 0) \
    X(COMMAND_ANIMATE_STOP, "animate_stop", 1, 0, 0, 0) \
    X(COMMAND_ENABLE_BRAIN, "enable_brain", 2, 0, 0, 0) \
    X(COMMAND_ATTACH_ENTITY, "attach_entity", 9, 0, 1, 6) \
    X(COMMAND_ENTITY_IN_RANGE, "entity_in_range", 2, 0, 0, 0) \
    X(COMMAND_ATTACH_ENTITY_ID, "attach_entity_id", 9, 0, 2, 6) \
    X(COMMAND_ENTITY_SET_INPUT, "entity_set_input", 2, 0, 0, 0) \
    X(COMMAND_LOAD_COLLISION, "load_collision", 3, 1, 0, 0) \
    X(COMMAND_SET_CAMERA, "set_camera", 1, 0, 0, 0) \
    X(COMMAND_CLEAR_GOALS, "clear_goals", 1, 0, 0, 0) \
    X(COMMAND_SET_ACCELERATION, "set_acceleration", 4, 0, 0, 0) \
    X(COMMAND_UNLOAD_ALL, "unload_all", 1, 0, 0, 0) \
    X(COMMAND_ENABLE_COLLISION, "enable_collision", 2, 0, 0, 0) \
    X(COMMAND_ADD_NEW_GOAL, "add_new_goal", 7, 0, 0, 0) \
    X(COMMAND_FADE_OUT_GLOBAL, "fade_out_global", 1, 0, 0, 0) \
    X(COMMAND_FADE_IN_GLOBAL, "fade_in_global", 1, 0, 0, 0) \
    X(COMMAND_ENABLE_COLLISION_FILE, "enable_collision_file", 2, 1, 0, 0) \
    X(COMMAND_SET_LIFESPAN, "set_lifespan", 2, 0, 0, 0) \
    X(COMMAND_DETACH_CHILD_ENTITY, "detach_child_entity", 2, 0, 0, 0) \
    X(COMMAND_RUN_SCRIPT, "run_script", 1, 1, 0, 0) \
    X(COMMAND_LOAD_PSX_IMAGE, "load_psx_image", 2, 1, 0, 0) \
    X(COMMAND_DEFINE_SOUND, "define_sound", 1, 0, 0, 0) \
    X(COMMAND_PLAY_SOUND, "play_sound", 2, 0, 0, 0) \
    X(COMMAND_STOP_SOUND, "stop_sound", 1, 0, 0, 0) \
    X(COMMAND_UNLOAD_SOUND, "unload_sound", 1, 0, 0, 0) \
    X(COMMAND_SET_CAMERA_TARGET, "set_camera_target", 9, 0, 1, 6) \
    X(COMMAND_SET_CURRENT_WEAPON, "set_current_weapon", 2, 0, 0, 0) \
    X(COMMAND_ANIMATE_CONT, "animate_cont", 1, 0, 0, 0) \
    X(COMMAND_SHADER_ANIMATE, "shader_animate", 3, 0, 1, 0) \
    X(COMMAND_SHADER_ANIMATE_CONT, "shader_animate_cont", 3, 0, 1, 0) \
    X(COMMAND_SET_CURRENT_ITEM, "set_current_item", 2, 0, 0, 0) \
    X(COMMAND_DISTANCE_TO_ENTITY, "distance_to_entity", 2, 0, 0, 0) \
    X(COMMAND_DISPLAY_CLOSEUP, "display_closeup", 1, 0, 0, 0) \
    X(COMMAND_SET_VOLUME, "set_volume", 3, 0, 0, 0) \
    X(COMMAND_FACE_ENTITY, "face_entity", 2, 0, 0, 0) \
    X(COMMAND_FACE_ENTITY_NOW, "face_entity_now", 2, 0, 0, 0) \
    X(COMMAND_ENABLE_TRIGGER_FILE, "enable_trigger_file", 2, 1, 0, 0) \
    X(COMMAND_ENABLE_CAMZONE_FILE, "enable_camzone_file", 2, 1, 0, 0) \
    X(COMMAND_DISPLAY_MESSAGE, "display_message", 7, 1, 0, 0) \
    X(COMMAND_NOT_RUNNING, "not_running", 0, 0, 0, 0) \
    X(COMMAND_IN_ENVIRONMENT, "in_environment", 1, 1, 0, 0) \
    X(COMMAND_ADD_HIT_POINTS, "add_hit_points", 2, 0, 0, 0) \
    X(COMMAND_SHAKE_CAMERA, "shake_camera", 4, 0, 0, 0) \
    X(COMMAND_FADE_OUT_SCREEN, "fade_out_screen", 1, 0, 0, 0) \
    X(COMMAND_FADE_IN_SCREEN, "fade_in_screen", 1, 0, 0, 0) \
    X(COMMAND_REFERENCE_ENTITY, "reference_entity", 1, 0, 0, 0) \
    X(COMMAND_ADD_ROTATION, "add_rotation", 4, 0, 0, 3) \
    X(COMMAND_ADD_TRANSLATION, "add_translation", 4, 0, 0, 0) \
    X(COMMAND_ENTITY_LOADED, "entity_loaded", 1, 0, 0, 0) \
    X(COMMAND_LOAD_ENTITY, "load_entity", 1, 0, 0, 0) \
    X(COMMAND_UNLOAD_SCRIPT, "unload_script", 1, 1, 0, 0) \
    X(COMMAND_RUN_SETUP_SCRIPT, "run_setup_script", 1, 1, 0, 0) \
    X(COMMAND_HOLDING_WEAPON, "holding_weapon", 1, 0, 0, 0) \
    X(COMMAND_HOLSTER_WEAPON, "holster_weapon", 1, 0, 0, 0) \
    X(COMMAND_REFERENCE_SOUND, "reference_sound", 1, 0, 0, 0) \
    X(COMMAND_ENABLE_ATTACK, "enable_attack", 1, 0, 0, 0) \
    X(COMMAND_SET_FOG, "set_fog", 6, 0, 0, 0) \
    X(COMMAND_SET_ACTION_BUTTON, "set_action_button", 1, 1, 0, 0) \
    X(COMMAND_ENABLE_COLLISION_ENVIRONMENT, "enable_collision_environment", 2, 0, 0, 0) \
    X(COMMAND_ENABLE_COLLISION_CHARACTER, "enable_collision_character", 2, 0, 0, 0) \
    X(COMMAND_IN_COLLISION, "in_collision", 8, 1, 0, 6) \
    X(COMMAND_RANDOM_NUMBER, "random_number", 1, 0, 0, 0) \
    X(COMMAND_SET_MASS, "set_mass", 2, 0, 0, 0) \
    X(COMMAND_LETTERBOX, "letterbox", 1, 0, 0, 0) \
    X(COMMAND_PLAY_3D_SOUND, "play_3d_sound", 5, 0, 0, 0) \
    X(COMMAND_FADE_OUT_SCREEN_COLOR, "fade_out_screen_color", 4, 0, 0, 0) \
    X(COMMAND_FADE_IN_SCREEN_COLOR, "fade_in_screen_color", 4, 0, 0, 0) \
    X(COMMAND_SET_PLAYER_STEP_SOUND, "set_player_step_sound", 1, 1, 0, 0) \
    X(COMMAND_IS_FACING_PLUS_X, "is_facing_plus_x", 1, 0, 0, 0) \
    X(COMMAND_IS_FACING_NEG_X, "is_facing_neg_x", 1, 0, 0, 0) \
    X(COMMAND_IS_FACING_PLUS_Z, "is_facing_plus_z", 1, 0, 0, 0) \
    X(COMMAND_IS_FACING_NEG_Z, "is_facing_neg_z", 1, 0, 0, 0) \
    X(COMMAND_IS_FACING_ENTITY, "is_facing_entity", 2, 0, 0, 0) \
    X(COMMAND_SET_CAMERA_BRAKING_DIST, "set_camera_braking_dist", 2, 0, 0, 0) \
    X(COMMAND_GET_HITPOINTS, "get_hitpoints", 1, 0, 0, 0) \
    X(COMMAND_PSX_SET_PRIORITY, "psx_set_priority", 2, 0, 0, 0) \
    X(COMMAND_CHANGE_GAME_MODE, "change_game_mode", 1, 1, 0, 0)
// clang-format on

// clang-format off
enum compiled_command_type : int32_t {
#define COMPILED_COMMAND_CODE_(CODE, KEYWORD, ARGUMENTS, STRINGS, OVERRIDE, CONSTANTS) CODE,
    COMPILED_COMMANDS(COMPILED_COMMAND_CODE_)
#undef COMPILED_COMMAND_CODE_
    COMPILED_COMMAND_COUNT
};
// clang-format on

struct compiled_command_info {
    const char* keyword;
    int32_t arguments;
    int32_t inline_strings;
    int32_t tree_override;  // nonzero: this many trees, and the constants stay out of the stream
    int32_t constants;
};

inline constexpr compiled_command_info compiled_command_table[] = {
#define COMPILED_COMMAND_ROW_(CODE, KEYWORD, ARGUMENTS, STRINGS, OVERRIDE, CONSTANTS) \
    {KEYWORD, ARGUMENTS, STRINGS, OVERRIDE, CONSTANTS},
    COMPILED_COMMANDS(COMPILED_COMMAND_ROW_)
#undef COMPILED_COMMAND_ROW_
};
static_assert(std::size(compiled_command_table) == COMPILED_COMMAND_COUNT);

// Operands that the counts do not give: the if_info of `if`, before its
// condition tree, and the one offset of `else`.
enum command_branch { COMMAND_BRANCH_NONE, COMMAND_BRANCH_IF, COMMAND_BRANCH_ELSE };

// What follows a code in the command stream, in this order: the branch
// operands, `trees` expression trees, `strings` zero-terminated strings,
// `constants` raw floats. A code outside the table has no operands.
struct command_shape {
    command_branch branch;
    int32_t trees;
    int32_t strings;
    int32_t constants;
};

constexpr command_shape parse_command_shape(int32_t code)
{
    if (code == COMMAND_IF)
        return {COMMAND_BRANCH_IF, 1, 0, 0};
    if (code == COMMAND_ELSE)
        return {COMMAND_BRANCH_ELSE, 0, 0, 0};
    if (code < 0 || code >= COMPILED_COMMAND_COUNT)
        return {COMMAND_BRANCH_NONE, 0, 0, 0};
    const compiled_command_info& info = compiled_command_table[code];
    if (info.tree_override)
        return {COMMAND_BRANCH_NONE, info.tree_override, info.inline_strings, 0};
    int32_t trees = info.arguments - info.inline_strings - info.constants;
    return {COMMAND_BRANCH_NONE, trees > 0 ? trees : 0, info.inline_strings, info.constants};
}

// The code of a keyword; -1 when no code has it.
int32_t parse_command_code(const char* keyword);

// ---- Expression trees ----

// Kinds of node (expression_type).
enum : uint32_t {
    EXPRESSION_VARIABLE = 1,        // leaf: the variable whose id is `value`
    EXPRESSION_OPERATOR = 2,        // children: the operator of index `value`; left only: not
    EXPRESSION_CONSTANT = 3,        // leaf: `value` itself (so are leaves of unlisted kinds)
    EXPRESSION_STATE_VARIABLE = 4,  // leaf: the state variable at position `value`
    EXPRESSION_FUNCTION = 6,        // leaf: the built-in call at position `value`
};

// The operators of binary nodes, by index: their command codes.
inline constexpr int32_t expression_operator_codes[] = {
    COMMAND_OR,    COMMAND_AND,           COMMAND_EQUAL,      COMMAND_NOT_EQUAL, COMMAND_GREATER,
    COMMAND_LESS,  COMMAND_GREATER_EQUAL, COMMAND_LESS_EQUAL, COMMAND_PLUS,      COMMAND_MINUS,
    COMMAND_TIMES, COMMAND_DIVIDE,        COMMAND_MODULO};
// The `value` of a left-only operator node that negates its child.
inline constexpr float EXPRESSION_NOT_VALUE = (float)COMMAND_NOT;

// Trees nest at most this deep (nodes from the root to a leaf); a deeper one
// in a file is refused.
enum { EXPRESSION_MAX_DEPTH = 256 };

// ---- The compiled script file ----

// The seven tables, in file order.
enum script_table {
    SCRIPT_TABLE_ENTITY,
    SCRIPT_TABLE_VARIABLE,
    SCRIPT_TABLE_STATE_VARIABLE,
    SCRIPT_TABLE_ATTACH,
    SCRIPT_TABLE_FUNCTION_INFO,
    SCRIPT_TABLE_SOUND,
    SCRIPT_TABLE_SHADER,
};
// Told each table as soon as it is linked, with the caller's `context`.
typedef void (*parse_table_linked_funct)(running_script* script, script_table table, void* context);

// Gives `image`, the whole compiled script file of `size` bytes (a heap
// block, header checked), to the script, links its seven tables, telling
// `table_linked` (when given) of each, and sets code_size, code_start and pc.
// On a table that does not fit, 0 after the family's message and the
// table's ("Could not read entity list from file in script_initiate_script");
// the image is the script's either way.
int parse_link_script(running_script* script, char* image, int32_t size,
                      parse_table_linked_funct table_linked = nullptr, void* context = nullptr);
// Releases the script's code, the image with the tables linked from it, and
// clears the pointers into it (running_command is the record's own).
void parse_release_script_code(running_script* script);

enum parse_decode_result {
    PARSE_CODE_END,       // the script ends here: its code is over, or the command at pc
                          // runs past the end or is broken (logged)
    PARSE_COMMAND_READY,  // running_command (and branch) hold the command at pc; pc is past it
    PARSE_COMMAND_LOST,   // memory ran out while copying its operands (logged); pc is past
                          // them and there is nothing to run
};
// Decodes the command at the script's pc into its running_command, releasing
// the command held before.
parse_decode_result parse_decode_command(running_script* script);
// Whether `offset`, from code_start, lies in the script's code (its end
// included); when not, an error names the command being run and the offset.
bool parse_jump_inside(const running_script* script, int32_t offset);

// ---- Evaluation ----
//
// Every value is a float; ids, table positions and operator indices are
// whole numbers stored as floats, truncated toward zero where an integer is
// needed. Table positions wrap around their table (a negative one counts
// back from the first record). Nothing here stops a command: a fault is
// logged and replaced by a neutral value (-1.0 or 0.0), and the command goes
// on with it.

// The value of the tree at `node`, with the script's tables.
float parse_evaluate_expression(const expression* node, running_script* script);
// The value of the first variable whose id is trunc(id); -1.0 when none.
float parse_get_variable_value(float id, const parsed_variable* list);
// The value of the state variable at `position` of the script's table:
// slot `slot` of its entity's state values (with a notice), or the constant
// `slot`. `entity`, when given, receives the entity meant (NULL when it
// does not resolve). -1.0 when there is no value.
float parse_get_state_variable_value(float position, running_script* script, win_entity** entity);
// The result of the built-in call at `position` of the script's function
// info table; *success becomes 0 when there is no record to call.
float parse_execute_expression_function(float position, running_script* script, int* success);
// `assign`: the variable whose id equals `target`, else the state value that
// the state variable at position trunc(target) names, becomes `value`. 0
// when neither exists yet (the entity is not loaded), so the command waits.
int parse_assign_variable(float target, float value, running_script* script);

// Entity and sound arguments: the loaded entity (sound) of the first record
// whose id equals `id`; NULL when none or not loaded.
win_entity* parse_find_entity_by_id(float id, const parsed_entity* list);
win_sound_container* parse_find_sound_by_id(float id, const parsed_sound* list);
// The entity record with that id; NULL (logged) when none.
parsed_entity* parse_get_entity_value(int32_t id, parsed_entity* list);

// One evaluation, with the built-in calls inside it, nests at most this
// deep (tree levels and calls together) and takes at most this many nodes:
// a built-in whose argument calls it again, or calls that branch into calls,
// are cut short there with an error.
enum {
    EXPRESSION_MAX_EVALUATION_DEPTH = 2 * EXPRESSION_MAX_DEPTH,
    EXPRESSION_MAX_EVALUATION_NODES = 1 << 16,
};
