#include "script_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "heap.h"
#include "scriptasm.h"
#include "test_support.h"

std::string assemble(const std::string& source)
{
    TempDir dir;
    std::string path = dir.file("assembled.scw");
    std::string error;
    EXPECT_EQ(scriptasm_write(source.c_str(), path.c_str(), &error), 1) << error;
    return read_host_file(path);
}

std::string patch_word(std::string bytes, size_t offset, uint32_t word)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = (char)(word >> (8 * i) & 0xff);
    return bytes;
}

LinkedScript::LinkedScript(const std::string& bytes, const char* name)
{
    script_ = malloc_running_script(name);
    char* image = (char*)MALLOC(bytes.empty() ? 1 : bytes.size());
    std::memcpy(image, bytes.data(), bytes.size());
    linked_ = parse_link_script(script_, image, (int32_t)bytes.size()) == 1;
}

LinkedScript::~LinkedScript()
{
    parse_release_script_code(script_);
    free_running_script(script_);
}

std::vector<std::string> LinkedScript::listing()
{
    std::vector<std::string> commands;
    for (;;) {
        parse_decode_result result = parse_decode_command(script_);
        if (result == PARSE_CODE_END)
            return commands;
        commands.push_back(result == PARSE_COMMAND_READY ? render_command(script_) : "(lost)");
    }
}

namespace {

std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", (double)value);
    return text;
}

}  // namespace

std::string render_tree(const expression* node)
{
    if (!node)
        return "_";
    std::string value = number(node->value);
    std::string kind = std::to_string(node->expression_type);
    if (!node->left && !node->right) {
        switch (node->expression_type) {
        case EXPRESSION_CONSTANT:
            return value;
        case EXPRESSION_VARIABLE:
            return "var(" + value + ")";
        case EXPRESSION_STATE_VARIABLE:
            return "state(" + value + ")";
        case EXPRESSION_FUNCTION:
            return "call(" + value + ")";
        default:
            return "node(" + kind + ", " + value + ")";
        }
    }
    int index = (int)node->value;
    if (node->expression_type == EXPRESSION_OPERATOR && node->left && node->right &&
        (float)index == node->value && index >= 0 && index < 13)
        return "(" + render_tree(node->left) + " " +
               compiled_command_table[expression_operator_codes[index]].keyword + " " +
               render_tree(node->right) + ")";
    if (node->expression_type == EXPRESSION_OPERATOR && node->left && !node->right &&
        node->value == EXPRESSION_NOT_VALUE)
        return "!" + render_tree(node->left);
    return "node(" + kind + ", " + value + ", " + render_tree(node->left) + ", " +
           render_tree(node->right) + ")";
}

std::string render_command(const running_script* script)
{
    const compiled_info* command = script->running_command;
    int32_t code = command->compiled_info_type;
    std::string text = code >= 0 && code < COMPILED_COMMAND_COUNT
                           ? compiled_command_table[code].keyword
                           : ".code " + std::to_string(code);
    std::vector<std::string> operands;
    for (int32_t i = 0; i < command->n_expr; ++i)
        operands.push_back(render_tree(command->arg_ptr_array[i].exp_ptr));
    if (code == COMMAND_IF)
        for (int32_t offset :
             {script->branch.true_offset, script->branch.else_offset, script->branch.endif_offset})
            operands.push_back(std::to_string(offset));
    if (code == COMMAND_ELSE)
        operands.push_back(std::to_string(script->branch.endif_offset));
    for (int32_t i = 0; i < command->n_str; ++i)
        operands.push_back("\"" + std::string(command->string_arg_array[i].str) + "\"");
    for (int32_t i = 0; i < command->n_const; ++i)
        operands.push_back(number(command->const_arg[i]));
    for (size_t i = 0; i < operands.size(); ++i)
        text += (i == 0 ? " " : ", ") + operands[i];
    return text;
}
