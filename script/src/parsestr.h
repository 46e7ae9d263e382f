// The script engine's records, each with its generated family (see record.h):
// the running script, the command record (`compiled_info`), the nodes of the
// float expression trees and the two element records of its arrays.
//
// The table records of a compiled script (entities, sounds, variables, state
// variables, attachments, shader animations) are declared with the
// compiled-script loader that fills them.
#pragma once

#include <cstdint>

#include "record.h"

struct parsed_entity;
struct parsed_sound;
struct parsed_variable;
struct parsed_state_variable;
struct parsed_attach_info;
struct shader_info;

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

// A command or built-in call with its arguments.
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

// One started script, a node of the running list, keyed by its full path.
// The table lists and the code pointers point into `code_image`, the whole
// compiled file, which the run model owns: script_terminate_script releases
// it (its size word comes after it, so it is not an array of the family).
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
RECORD_END(running_script, NAMED_LIST, .code_size = -1, .wait_end_time = -1.0f)
