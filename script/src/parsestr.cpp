#include "parsestr.h"

#include <strings.h>

#include <bit>
#include <cstring>

#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "math_util.h"
#include "rand_util.h"
#include "script_imports.h"
#include "win_entity.h"

namespace {

// ---- The image: little-endian words at any alignment ----

static_assert(std::endian::native == std::endian::little);

uint32_t image_word(const char* at)
{
    uint32_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

int32_t image_int32(const char* at)
{
    return (int32_t)image_word(at);
}

float image_float(const char* at)
{
    float value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

const char* script_name(const running_script* script)
{
    return script->running_script_name ? script->running_script_name : "(unnamed)";
}

// ---- Tables ----

// The seven tables in file order: the record type, where the script keeps the
// list, and the word of the table's failure message.
struct script_table_info {
    script_table table;
    const record_type* type;
    void (*store)(running_script* script, void* list);
    const char* word;
};

const script_table_info script_tables[] = {
    {SCRIPT_TABLE_ENTITY, &parsed_entity_desc,
     [](running_script* script, void* list) { script->parsed_entity_list = (parsed_entity*)list; },
     "entity"},
    {SCRIPT_TABLE_VARIABLE, &parsed_variable_desc,
     [](running_script* script, void* list) {
         script->parsed_variable_list = (parsed_variable*)list;
     },
     "variable"},
    {SCRIPT_TABLE_STATE_VARIABLE, &parsed_state_variable_desc,
     [](running_script* script, void* list) {
         script->parsed_state_variable_list = (parsed_state_variable*)list;
     },
     "state variable"},
    {SCRIPT_TABLE_ATTACH, &parsed_attach_info_desc,
     [](running_script* script, void* list) {
         script->parsed_attach_info_list = (parsed_attach_info*)list;
     },
     "attach"},
    {SCRIPT_TABLE_FUNCTION_INFO, &compiled_info_desc,
     [](running_script* script, void* list) { script->function_info_list = (compiled_info*)list; },
     "function info"},
    {SCRIPT_TABLE_SOUND, &parsed_sound_desc,
     [](running_script* script, void* list) { script->parsed_sound_list = (parsed_sound*)list; },
     "sound"},
    {SCRIPT_TABLE_SHADER, &shader_info_desc,
     [](running_script* script, void* list) { script->shader_info_list = (shader_info*)list; },
     "shader"},
};

// ---- Commands ----

// Bytes of the pre-order tree image at `at`: -1 when it runs past `end`, -2
// when it nests deeper than EXPRESSION_MAX_DEPTH. Walked without recursion,
// since the nesting comes from the file.
long tree_extent(const char* at, const char* end)
{
    // right_pending[d]: the node d levels above the next one still has its
    // right subtree to come.
    bool right_pending[EXPRESSION_MAX_DEPTH];
    int depth = 0;
    const char* node = at;
    for (;;) {
        if (end - node < 16)
            return -1;
        bool left = image_word(node) != 0;
        bool right = image_word(node + 4) != 0;
        node += 16;
        if (left || right) {
            if (depth + 2 > EXPRESSION_MAX_DEPTH)
                return -2;
            right_pending[depth++] = left && right;
            continue;
        }
        // A leaf completes every subtree that has no right side to come.
        while (depth > 0 && !right_pending[depth - 1])
            --depth;
        if (depth == 0)
            return (long)(node - at);
        right_pending[depth - 1] = false;
    }
}

// The tree at *at, which tree_extent has measured; *at moves past it. NULL
// when memory ran out (logged).
expression* build_tree(const char** at)
{
    expression* node = malloc_expression();
    if (!node)
        return nullptr;
    const char* image = *at;
    *at += 16;
    node->expression_type = image_word(image + 8);
    node->value = image_float(image + 12);
    if ((image_word(image) && !(node->left = build_tree(at))) ||
        (image_word(image + 4) && !(node->right = build_tree(at)))) {
        free_expression(node);
        return nullptr;
    }
    return node;
}

// Where the operands of a command lie in the image, once every one of them
// has been found inside it.
struct command_layout {
    const char* branch;  // the if_info or the else offset
    const char* trees;
    const char* strings;
    const char* constants;
    char* next;  // the next command
};

void report_overrun(const running_script* script, const char* command)
{
    LOG_ERROR("Script %s: the command at code offset %ld runs past the end of the code\n",
              script_name(script), (long)(command - script->code_start));
}

// A command's jump target: 0 up to the end of the code.
bool jump_inside(const running_script* script, int32_t offset, const char* command)
{
    long code_length = (long)(script->code_image + script->code_size - script->code_start);
    if (offset >= 0 && offset <= code_length)
        return true;
    LOG_ERROR("Script %s: the command at code offset %ld jumps to %ld, outside the code of %ld "
              "bytes\n",
              script_name(script), (long)(command - script->code_start), (long)offset, code_length);
    return false;
}

// Finds the operands of the command at `command` (its code read as `code`)
// inside the image, and checks where a branch would jump; false after the
// message when they run past the end or are broken.
bool lay_out_command(const running_script* script, char* command, int32_t code,
                     command_layout* layout)
{
    const char* end = script->code_image + script->code_size;
    long offset = (long)(command - script->code_start);
    command_shape shape = parse_command_shape(code);
    char* at = command + 4;
    long branch_bytes = shape.branch == COMMAND_BRANCH_IF     ? 12
                        : shape.branch == COMMAND_BRANCH_ELSE ? 4
                                                              : 0;
    bool inside = end - at >= branch_bytes;
    layout->branch = at;
    at += inside ? branch_bytes : 0;
    layout->trees = at;
    for (int32_t i = 0; inside && i < shape.trees; ++i) {
        long bytes = tree_extent(at, end);
        if (bytes == -2) {
            LOG_ERROR("Script %s: a tree of the command at code offset %ld nests deeper than %d "
                      "nodes\n",
                      script_name(script), offset, (int)EXPRESSION_MAX_DEPTH);
            return false;
        }
        inside = bytes > 0;
        at += inside ? bytes : 0;
    }
    layout->strings = at;
    for (int32_t i = 0; inside && i < shape.strings; ++i) {
        char* zero = (char*)std::memchr(at, '\0', (size_t)(end - at));
        inside = zero != nullptr;
        at = inside ? zero + 1 : at;
    }
    layout->constants = at;
    inside = inside && end - at >= 4L * shape.constants;
    if (!inside) {
        report_overrun(script, command);
        return false;
    }
    layout->next = at + 4L * shape.constants;

    // An if's targets are checked when its condition has chosen one
    // (parse_if): the other may lie anywhere.
    if (shape.branch == COMMAND_BRANCH_ELSE)
        return jump_inside(script, image_int32(layout->branch), command);
    return true;
}

void release_operands(compiled_info* command)
{
    if (command->arg_ptr_array)
        free_expression_ptr_array(command->arg_ptr_array, command->n_expr);
    if (command->string_arg_array)
        free_string_array(command->string_arg_array, command->n_str);
    if (command->const_arg)
        FREE(command->const_arg);
    command->arg_ptr_array = nullptr;
    command->string_arg_array = nullptr;
    command->const_arg = nullptr;
    command->n_expr = command->n_str = command->n_const = 0;
}

// Copies the operands that `layout` found into the command record; false
// when memory ran out (logged), the record holding what was copied so far.
bool take_operands(compiled_info* command, command_shape shape, const command_layout& layout)
{
    if (shape.trees > 0) {
        if (!(command->arg_ptr_array = malloc_expression_ptr_array(shape.trees)))
            return false;
        command->n_expr = shape.trees;
        const char* at = layout.trees;
        for (int32_t i = 0; i < shape.trees; ++i)
            if (!(command->arg_ptr_array[i].exp_ptr = build_tree(&at)))
                return false;
    }
    if (shape.strings > 0) {
        if (!(command->string_arg_array = malloc_string_array(shape.strings)))
            return false;
        command->n_str = shape.strings;
        const char* at = layout.strings;
        for (int32_t i = 0; i < shape.strings; ++i) {
            if (!(command->string_arg_array[i].str = STRDUP(at))) {
                LOG_ERROR("%s\n", "Couldn't malloc in parse_load_string_buffer\n");
                return false;
            }
            at += std::strlen(at) + 1;
        }
    }
    if (shape.constants > 0) {
        if (!(command->const_arg = (float*)MALLOC(sizeof(float) * (size_t)shape.constants))) {
            LOG_ERROR("%s\n", "Could not malloc const_arg.");
            return false;
        }
        command->n_const = shape.constants;
        std::memcpy(command->const_arg, layout.constants, sizeof(float) * (size_t)shape.constants);
    }
    return true;
}

}  // namespace

int32_t parse_command_code(const char* keyword)
{
    for (int32_t code = 0; keyword && code < COMPILED_COMMAND_COUNT; ++code)
        if (std::strcmp(compiled_command_table[code].keyword, keyword) == 0)
            return code;
    return -1;
}

int parse_link_script(running_script* script, char* image, int32_t size,
                      parse_table_linked_funct table_linked, void* context)
{
    if (!script || script->code_image) {
        LOG_ERROR("%s\n", script ? "Cannot parse_link_script into a script that holds code."
                                 : "Cannot parse_link_script with NULL running_script_ptr.");
        if (image)
            FREE(image);
        return 0;
    }
    link_cursor cursor = link_arena_begin(&script->code_arena, image, size, FILE_HDR_SIZE);
    script->code_image = image;
    script->code_size = size;
    for (const script_table_info& table : script_tables) {
        void* list = nullptr;
        int32_t count = 0;
        bool linked = cursor.data && cursor.end - cursor.data >= 4;
        if (linked) {
            count = image_int32(cursor.data);
            cursor.data += 4;
            if (count != 0)
                linked = (list = record_link_list(table.type, &cursor, count)) != nullptr;
        }
        if (!linked) {
            LOG_ERROR("Could not read %s list from file in script_initiate_script\n", table.word);
            return 0;
        }
        table.store(script, list);
        if (table.table == SCRIPT_TABLE_ENTITY)
            script->linked_entity_count = count;
        if (table_linked)
            table_linked(script, table.table, context);
    }
    script->code_start = script->pc = cursor.data;
    return 1;
}

void parse_release_script_code(running_script* script)
{
    if (!script)
        return;
    // The entity records that built-ins appended follow the linked ones.
    parsed_entity* head = script->parsed_entity_list;
    int32_t position = 0;
    for (parsed_entity* record = head; record;) {
        parsed_entity* next = parse_ring_next(head, record);
        if (position++ >= script->linked_entity_count)
            free_parsed_entity(record);
        record = next;
    }
    link_arena_free(&script->code_arena);
    script->code_image = script->code_start = script->pc = nullptr;
    script->linked_entity_count = 0;
    for (const script_table_info& table : script_tables)
        table.store(script, nullptr);
}

parse_decode_result parse_decode_command(running_script* script)
{
    REFUSE_NULL(script, "parse_decode_command", "running_script_ptr", PARSE_CODE_END);
    if (!script->code_image || !script->pc)
        return PARSE_CODE_END;
    // The code goes on while pc lies before the last byte of the image, and a
    // command whose code reaches that byte is not run.
    const char* end = script->code_image + script->code_size;
    char* command = script->pc;
    if (command >= end - 1)
        return PARSE_CODE_END;
    if (end - command < 4) {
        report_overrun(script, command);
        return PARSE_CODE_END;
    }
    int32_t code = image_int32(command);
    script->pc = command + 4;
    if (script->pc >= end - 1)
        return PARSE_CODE_END;

    command_layout layout;
    if (!lay_out_command(script, command, code, &layout))
        return PARSE_CODE_END;
    script->pc = layout.next;
    script->command = command;

    compiled_info* decoded = script->running_command;
    if (!decoded && !(decoded = script->running_command = malloc_compiled_info()))
        return PARSE_COMMAND_LOST;
    release_operands(decoded);
    decoded->compiled_info_type = code;
    command_shape shape = parse_command_shape(code);
    if (!take_operands(decoded, shape, layout)) {
        release_operands(decoded);
        return PARSE_COMMAND_LOST;
    }
    script->branch = {-1, -1, -1};
    if (shape.branch == COMMAND_BRANCH_IF) {
        script->branch.true_offset = image_int32(layout.branch);
        script->branch.else_offset = image_int32(layout.branch + 4);
        script->branch.endif_offset = image_int32(layout.branch + 8);
    } else if (shape.branch == COMMAND_BRANCH_ELSE) {
        script->branch.endif_offset = image_int32(layout.branch);
    }
    return PARSE_COMMAND_READY;
}

bool parse_jump_inside(const running_script* script, int32_t offset)
{
    return jump_inside(script, offset, script->command);
}

// ---- Evaluation ----

namespace {

// The first node, from the head of a ring, that `matches`; NULL when none.
template <typename T, typename Match>
T* ring_find(T* head, Match matches)
{
    for (T* node = head; node; node = parse_ring_next(head, node))
        if (matches(node))
            return node;
    return nullptr;
}

const char* entity_name(const win_entity* entity)
{
    return entity->win_entity_name ? entity->win_entity_name : "(unnamed)";
}

float truth(bool holds)
{
    return holds ? 1.0f : 0.0f;
}

// The evaluation under way, over its nested calls: how deep it nests, how
// many nodes it has taken, and whether it was cut short. A tree from the
// file may call a built-in whose argument calls it again, or branch into
// calls that branch again: a cut ends every evaluation still under way at
// once, so the work stays bounded.
struct evaluation_state {
    int32_t depth;
    int32_t nodes;
    bool cut;
};
evaluation_state evaluation;

// ---- Operators ----

// The remainder of the truncated operands, with the dividend's sign. The
// processor traps on a zero divisor and on INT32_MIN % -1; a script gets
// 0.0 for both, and an error for the zero.
float remainder_of(float left, float right)
{
    int32_t dividend = math_util_float_to_int(left);
    int32_t divisor = math_util_float_to_int(right);
    if (divisor == 0) {
        LOG_ERROR("Script remainder of %ld by 0 in parse_evaluate_expression\n", (long)dividend);
        return 0.0f;
    }
    return divisor == -1 ? 0.0f : (float)(dividend % divisor);
}

// The operators of binary nodes, by index.
struct expression_operator {
    int32_t code;
    float (*apply)(float left, float right);
};

constexpr expression_operator expression_operators[] = {
    {COMMAND_OR, [](float left, float right) { return truth(left != 0.0f || right != 0.0f); }},
    {COMMAND_AND, [](float left, float right) { return truth(left != 0.0f && right != 0.0f); }},
    {COMMAND_EQUAL, [](float left, float right) { return truth(left == right); }},
    {COMMAND_NOT_EQUAL, [](float left, float right) { return truth(left != right); }},
    {COMMAND_GREATER, [](float left, float right) { return truth(left > right); }},
    {COMMAND_LESS, [](float left, float right) { return truth(left < right); }},
    {COMMAND_GREATER_EQUAL, [](float left, float right) { return truth(left >= right); }},
    {COMMAND_LESS_EQUAL, [](float left, float right) { return truth(left <= right); }},
    {COMMAND_PLUS, [](float left, float right) { return left + right; }},
    {COMMAND_MINUS, [](float left, float right) { return left - right; }},
    {COMMAND_TIMES, [](float left, float right) { return left * right; }},
    {COMMAND_DIVIDE, [](float left, float right) { return left / right; }},
    {COMMAND_MODULO, remainder_of},
};

constexpr bool operators_follow_their_codes()
{
    if (std::size(expression_operators) != std::size(expression_operator_codes))
        return false;
    for (size_t i = 0; i < std::size(expression_operators); ++i)
        if (expression_operators[i].code != expression_operator_codes[i])
            return false;
    return true;
}
static_assert(operators_follow_their_codes());

// ---- Built-in functions ----

// Operands of a built-in call, which its function info record holds.
// Entity operands are trees whose root value is the entity's id, never
// evaluated. A built-in whose evaluated operand was cut short does nothing.
win_entity* entity_operand(const compiled_info* info, int32_t i, const running_script* script)
{
    return parse_find_entity_by_id(info->arg_ptr_array[i].exp_ptr->value,
                                   script->parsed_entity_list);
}

float value_operand(const compiled_info* info, int32_t i, running_script* script)
{
    return parse_evaluate_expression(info->arg_ptr_array[i].exp_ptr, script);
}

// The position of the entity nearest to E within r (-1.0 for none) in the
// script's entity table, which takes a record of its own for an entity it
// did not hold.
float entity_in_range(const compiled_info* info, running_script* script)
{
    win_entity* entity = entity_operand(info, 0, script);
    float range = value_operand(info, 1, script);
    if (evaluation.cut)
        return -1.0f;
    win_entity* closest = entity_find_closest(entity, range);
    if (!closest)
        return -1.0f;
    parsed_entity* head = script->parsed_entity_list;
    int32_t size = 0;
    for (parsed_entity* record = head; record; ++size) {
        if (record->entity == closest)
            return (float)size;
        record = parse_ring_next(head, record);
    }
    parsed_entity* record = malloc_parsed_entity(closest->win_entity_name);
    if (!record)
        return -1.0f;
    record->entity = closest;
    record->id = size;
    add_to_parsed_entity_list(&script->parsed_entity_list, &size, record);
    return (float)record->id;
}

float distance_to_entity(const compiled_info* info, running_script* script)
{
    return entity_calc_dist_to_entity(entity_operand(info, 0, script),
                                      entity_operand(info, 1, script));
}

// 1.0 when the script runs alone. Otherwise the other running scripts, from
// the script's successor on, are looked at for its own name (in any case):
// found, 1.0, else 0.0. The script itself is not among them, or it would
// always be found.
float not_running(const compiled_info*, running_script* script)
{
    if (script->next == script)
        return 1.0f;
    const char* name = script->running_script_name ? script->running_script_name : "";
    for (const running_script* other = script->next; other != script; other = other->next)
        if (other->running_script_name && strcasecmp(other->running_script_name, name) == 0)
            return 1.0f;
    return 0.0f;
}

float in_environment(const compiled_info* info, running_script*)
{
    return truth(entity_check_environment_name(info->string_arg_array[0].str));
}

float entity_loaded(const compiled_info* info, running_script* script)
{
    return truth(entity_operand(info, 0, script) != nullptr);
}

float holding_weapon(const compiled_info*, running_script*)
{
    return -1.0f;
}

// Whether E stands in the trigger named by string 0, facing within the arc
// of constants 0 to 2 (the facing) and 3 to 5 (the tolerance).
float in_collision(const compiled_info* info, running_script* script)
{
    win_entity* entity = entity_operand(info, 0, script);
    if (!entity)
        return 0.0f;
    const char* trigger = info->string_arg_array[0].str;
    if (!entity_check_trigger_name(entity, trigger)) {
        LOG_NOTICE("%s was not in trigger %s\n", entity_name(entity), trigger);
        return 0.0f;
    }
    const float* c = info->const_arg;
    win_rot facing = {c[0], c[1], c[2]};
    win_rot tolerance = {c[3], c[4], c[5]};
    return truth(collide_check_facing_arc(entity, &facing, &tolerance));
}

// A number from 0 up to |trunc(n)|, from the program's one generator; a
// range of 0 has no such number, and gives 0.0 with an error.
float random_number(const compiled_info* info, running_script* script)
{
    int32_t range = math_util_float_to_int(value_operand(info, 0, script));
    if (evaluation.cut)
        return -1.0f;
    if (range == 0) {
        LOG_ERROR("%s\n", "random_number with a range of 0 in parse_execute_expression_function");
        return 0.0f;
    }
    return (float)(rand_util_rand() % range);
}

template <int (*is_facing)(win_entity*)>
float facing_builtin(const compiled_info* info, running_script* script)
{
    return truth(is_facing(entity_operand(info, 0, script)) != 0);
}

// Whether B stands ahead of A.
float is_facing_entity(const compiled_info* info, running_script* script)
{
    win_entity* entity = entity_operand(info, 0, script);
    win_entity* target = entity_operand(info, 1, script);
    return truth(ai_get_relative_direction_flags(entity, target) == 0x2000);
}

float get_hitpoints(const compiled_info* info, running_script* script)
{
    return entity_get_hitpoints(entity_operand(info, 0, script));
}

// The fourteen built-ins: the code that names one in a function info
// record, the operands it needs there (trees, strings, constants), and the
// call.
struct builtin_function {
    int32_t code;
    int32_t trees;
    int32_t strings;
    int32_t constants;
    float (*call)(const compiled_info* info, running_script* script);
};

const builtin_function builtin_functions[] = {
    {COMMAND_ENTITY_IN_RANGE, 2, 0, 0, entity_in_range},
    {COMMAND_DISTANCE_TO_ENTITY, 2, 0, 0, distance_to_entity},
    {COMMAND_NOT_RUNNING, 0, 0, 0, not_running},
    {COMMAND_IN_ENVIRONMENT, 0, 1, 0, in_environment},
    {COMMAND_ENTITY_LOADED, 1, 0, 0, entity_loaded},
    {COMMAND_HOLDING_WEAPON, 0, 0, 0, holding_weapon},
    {COMMAND_IN_COLLISION, 1, 1, 6, in_collision},
    {COMMAND_RANDOM_NUMBER, 1, 0, 0, random_number},
    {COMMAND_IS_FACING_PLUS_X, 1, 0, 0, facing_builtin<entity_is_facing_pos_x_dir>},
    {COMMAND_IS_FACING_NEG_X, 1, 0, 0, facing_builtin<entity_is_facing_neg_x_dir>},
    {COMMAND_IS_FACING_PLUS_Z, 1, 0, 0, facing_builtin<entity_is_facing_pos_z_dir>},
    {COMMAND_IS_FACING_NEG_Z, 1, 0, 0, facing_builtin<entity_is_facing_neg_z_dir>},
    {COMMAND_IS_FACING_ENTITY, 2, 0, 0, is_facing_entity},
    {COMMAND_GET_HITPOINTS, 1, 0, 0, get_hitpoints},
};

// Whether the record holds every operand the built-in reads: its counts
// and slots come from the file.
bool operands_present(const compiled_info* info, const builtin_function& function)
{
    if (info->n_expr < function.trees || (function.trees > 0 && !info->arg_ptr_array) ||
        info->n_str < function.strings || (function.strings > 0 && !info->string_arg_array) ||
        info->n_const < function.constants || (function.constants > 0 && !info->const_arg))
        return false;
    for (int32_t i = 0; i < function.trees; ++i)
        if (!info->arg_ptr_array[i].exp_ptr)
            return false;
    for (int32_t i = 0; i < function.strings; ++i)
        if (!info->string_arg_array[i].str)
            return false;
    return true;
}

// ---- State values ----

// Slot `slot` of the entity's state values; NULL after an error line when
// the entity has no such slot.
float* state_slot(win_entity* entity, int32_t slot)
{
    int32_t size = 0;
    float* values = entity_state_array(entity, &size);
    if (!values)
        size = 0;
    if (slot < 0 || slot >= size) {
        LOG_ERROR("State slot %ld is outside the %ld state values of entity %s\n", (long)slot,
                  (long)size, entity_name(entity));
        return nullptr;
    }
    return values + slot;
}

// ---- Trees ----

float evaluate_node(const expression* node, running_script* script)
{
    REFUSE_NULL(node, "parse_evaluate_expression", "expression_ptr", -1.0f);
    REFUSE_NULL(script, "parse_evaluate_expression", "running_script_ptr", -1.0f);
    if (!node->left && !node->right) {
        switch (node->expression_type) {
        case EXPRESSION_VARIABLE:
            return parse_get_variable_value(node->value, script->parsed_variable_list);
        case EXPRESSION_STATE_VARIABLE:
            return parse_get_state_variable_value(node->value, script, nullptr);
        case EXPRESSION_FUNCTION: {
            int success = 1;
            return parse_execute_expression_function(node->value, script, &success);
        }
        default:
            return node->value;
        }
    }
    if (!node->left) {
        LOG_ERROR("Bad expression in parse_evaluate expression\n");
        return 0.0f;
    }
    // Both children are evaluated, the left first: `and` and `or` do not
    // stop early, and a built-in on either side runs.
    float left = parse_evaluate_expression(node->left, script);
    if (!node->right) {
        if (node->expression_type != EXPRESSION_OPERATOR)
            return left;
        if (node->value == EXPRESSION_NOT_VALUE)
            return truth(left == 0.0f);
        LOG_ERROR("Bad binary expression in parse_evaluate_expression\n");
        return 0.0f;
    }
    float right = parse_evaluate_expression(node->right, script);
    if (node->expression_type != EXPRESSION_OPERATOR)
        LOG_ERROR("Uhh... yeah... this script expression is the wrong type...\n");
    int32_t index = math_util_float_to_int(node->value);
    if (index < 0 || index >= (int32_t)std::size(expression_operators)) {
        LOG_ERROR("Unknown binary expression opcode in parse_evaluate_expression\n");
        return -1.0f;
    }
    return expression_operators[index].apply(left, right);
}

}  // namespace

float parse_evaluate_expression(const expression* node, running_script* script)
{
    if (evaluation.depth == 0)
        evaluation = {};
    if (evaluation.cut)
        return -1.0f;
    if (evaluation.depth >= EXPRESSION_MAX_EVALUATION_DEPTH ||
        evaluation.nodes >= EXPRESSION_MAX_EVALUATION_NODES) {
        if (evaluation.depth >= EXPRESSION_MAX_EVALUATION_DEPTH)
            LOG_ERROR("Script expression nests deeper than %d in parse_evaluate_expression\n",
                      (int)EXPRESSION_MAX_EVALUATION_DEPTH);
        else
            LOG_ERROR("Script expression takes more than %d nodes in parse_evaluate_expression\n",
                      (int)EXPRESSION_MAX_EVALUATION_NODES);
        evaluation.cut = true;
        return -1.0f;
    }
    ++evaluation.depth;
    ++evaluation.nodes;
    float value = evaluate_node(node, script);
    --evaluation.depth;
    return value;
}

float parse_get_variable_value(float id, const parsed_variable* list)
{
    if (!list)
        return -1.0f;
    int32_t wanted = math_util_float_to_int(id);
    const parsed_variable* variable = ring_find(
        list, [&](const parsed_variable* v) { return v->id == wanted; });
    if (!variable) {
        LOG_ERROR("Bad variable id %d in parse_get_variable_value\n", (int)wanted);
        return -1.0f;
    }
    return variable->value;
}

float parse_get_state_variable_value(float position, running_script* script, win_entity** entity)
{
    if (entity)
        *entity = nullptr;
    REFUSE_NULL(script, "parse_get_state_variable_value", "running_script_ptr", -1.0f);
    if (!script->parsed_state_variable_list)
        return -1.0f;
    const parsed_state_variable* record = parse_table_record(script->parsed_state_variable_list,
                                                             math_util_float_to_int(position));
    win_entity* owner = parse_find_entity_by_id((float)record->entity_id,
                                                script->parsed_entity_list);
    if (entity)
        *entity = owner;
    if (!owner)
        return -1.0f;
    switch (record->state_type) {
    case 0: {
        const float* slot = state_slot(owner, record->slot);
        if (!slot)
            return -1.0f;
        LOG_NOTICE("Found state var value %f index %d entity %s\n", (double)*slot,
                   (int)record->slot, entity_name(owner));
        return *slot;
    }
    case 1:
        return (float)record->slot;
    default:
        return -1.0f;
    }
}

float parse_execute_expression_function(float position, running_script* script, int* success)
{
    if (!script) {
        LOG_ERROR("%s\n", "Can't parse_execute_expression_function with NULL script\n");
        return -1.0f;
    }
    if (!success) {
        LOG_ERROR("%s\n", "Can't parse_execute_expression_function with NULL success flag\n");
        return -1.0f;
    }
    const compiled_info* info = parse_table_record(script->function_info_list,
                                                   math_util_float_to_int(position));
    if (!info) {
        LOG_ERROR("Couldn't find function_info_idx %d in function list\n",
                  (int)math_util_float_to_int(position));
        *success = 0;
        return -1.0f;
    }
    int32_t code = info->compiled_info_type;
    for (const builtin_function& function : builtin_functions) {
        if (function.code != code)
            continue;
        if (!operands_present(info, function)) {
            LOG_ERROR("Built-in %s at function_info_idx %d lacks its operands in "
                      "parse_execute_expression_function\n",
                      compiled_command_table[code].keyword, (int)math_util_float_to_int(position));
            return -1.0f;
        }
        return function.call(info, script);
    }
    LOG_ERROR("Unrecognized function command type %d in parse_execute_expression_function\n",
              (int)code);
    return -1.0f;
}

int parse_assign_variable(float target, float value, running_script* script)
{
    REFUSE_NULL(script, "parse_assign_variable", "running_script_ptr", 0);
    if (parsed_variable* variable = ring_find(
            script->parsed_variable_list,
            [&](const parsed_variable* v) { return v->id == target; })) {
        variable->value = value;
        return 1;
    }
    // A state value, whatever the record's type; while its entity is not
    // loaded, the command waits for it.
    if (!script->parsed_state_variable_list)
        return 0;
    const parsed_state_variable* record = parse_table_record(script->parsed_state_variable_list,
                                                             math_util_float_to_int(target));
    win_entity* owner = parse_find_entity_by_id((float)record->entity_id,
                                                script->parsed_entity_list);
    if (!owner)
        return 0;
    // A slot the entity does not have is reported and left alone: waiting
    // would not make it appear.
    if (float* slot = state_slot(owner, record->slot))
        *slot = value;
    return 1;
}

win_entity* parse_find_entity_by_id(float id, const parsed_entity* list)
{
    const parsed_entity* record = ring_find(
        list, [&](const parsed_entity* r) { return (float)r->id == id; });
    return record ? record->entity : nullptr;
}

win_sound_container* parse_find_sound_by_id(float id, const parsed_sound* list)
{
    const parsed_sound* record = ring_find(
        list, [&](const parsed_sound* r) { return (float)r->id == id; });
    return record ? record->sound_container : nullptr;
}

parsed_entity* parse_get_entity_value(int32_t id, parsed_entity* list)
{
    if (!list)
        return nullptr;
    parsed_entity* record = ring_find(list, [&](const parsed_entity* r) { return r->id == id; });
    if (!record)
        LOG_ERROR("Bad entity id %d in parse_get_entity_value\n", (int)id);
    return record;
}
