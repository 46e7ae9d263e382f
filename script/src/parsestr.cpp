#include "parsestr.h"

#include <bit>
#include <cstring>

#include "debug.h"
#include "file_io.h"
#include "heap.h"

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
struct script_table {
    const record_type* type;
    void (*store)(running_script* script, void* list);
    const char* word;
};

const script_table script_tables[] = {
    {&parsed_entity_desc,
     [](running_script* script, void* list) { script->parsed_entity_list = (parsed_entity*)list; },
     "entity"},
    {&parsed_variable_desc,
     [](running_script* script, void* list) {
         script->parsed_variable_list = (parsed_variable*)list;
     },
     "variable"},
    {&parsed_state_variable_desc,
     [](running_script* script, void* list) {
         script->parsed_state_variable_list = (parsed_state_variable*)list;
     },
     "state variable"},
    {&parsed_attach_info_desc,
     [](running_script* script, void* list) {
         script->parsed_attach_info_list = (parsed_attach_info*)list;
     },
     "attach"},
    {&compiled_info_desc,
     [](running_script* script, void* list) { script->function_info_list = (compiled_info*)list; },
     "function info"},
    {&parsed_sound_desc,
     [](running_script* script, void* list) { script->parsed_sound_list = (parsed_sound*)list; },
     "sound"},
    {&shader_info_desc,
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

    if (shape.branch == COMMAND_BRANCH_ELSE)
        return jump_inside(script, image_int32(layout->branch), command);
    if (shape.branch == COMMAND_BRANCH_IF) {
        // Only the targets that the if can take: the false branch goes to the
        // else part when there is one, else to the end of the if.
        int32_t else_offset = image_int32(layout->branch + 4);
        return jump_inside(script, image_int32(layout->branch), command) &&
               jump_inside(script, else_offset > 0 ? else_offset : image_int32(layout->branch + 8),
                           command);
    }
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

int parse_link_script(running_script* script, char* image, int32_t size)
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
    for (const script_table& table : script_tables) {
        void* list = nullptr;
        bool linked = cursor.data && cursor.end - cursor.data >= 4;
        if (linked) {
            int32_t count = image_int32(cursor.data);
            cursor.data += 4;
            if (count != 0)
                linked = (list = record_link_list(table.type, &cursor, count)) != nullptr;
        }
        if (!linked) {
            LOG_ERROR("Could not read %s list from file in script_initiate_script\n", table.word);
            return 0;
        }
        table.store(script, list);
    }
    script->code_start = script->pc = cursor.data;
    return 1;
}

void parse_release_script_code(running_script* script)
{
    if (!script)
        return;
    link_arena_free(&script->code_arena);
    script->code_image = script->code_start = script->pc = nullptr;
    for (const script_table& table : script_tables)
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
