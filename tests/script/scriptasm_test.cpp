#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file_io.h"
#include "script_support.h"
#include "scriptasm.h"
#include "test_support.h"

// Labels may be used before or after they are defined; targets may be
// plain offsets; operators bind as written and parentheses group.
TEST(ScriptAssembler, LabelsOperatorsAndRawNodes)
{
    LinkedScript script(assemble(R"(
top:    if !(var(1) > 2 or state(0) <= -1.5) and call(1) % 3, 0, end, 36
        wait node(9, 4) * 2 - 1 / 5   # kinds the engine reads as constants
        else top
end:    wait node(2, 8, var(1), _) + node(7, 1, _, 2e1)
)"));
    EXPECT_EQ(script.listing(),
              (std::vector<std::string>{
                  "if (!((var(1) > 2) or (state(0) <= -1.5)) and (call(1) % 3)), 0, 332, 36",
                  "wait ((node(9, 4) * 2) - (1 / 5))",
                  "else 0",
                  "wait (!var(1) + node(7, 1, _, 20))",
              }));
}

TEST(ScriptAssembler, MistakesAreReportedByLineAndLeaveNoFile)
{
    struct {
        const char* source;
        const char* error;
    } const cases[] = {
        {"wait 1\nteleport 5\n", "line 2: unknown keyword \"teleport\""},
        {"wait\n", "line 1: expected a number"},
        {"wait 1, 2\n", "line 1: unexpected \",\""},
        {"run_script 5\n", "line 1: expected a string"},
        {"run_script \"a\n", "line 1: the string has no closing quote"},
        {"orient 1, 2, 3\n", "line 1: expected \",\" before \"the end of the line\""},
        {"wait (1 + 2\n", "line 1: expected \")\" before \"the end of the line\""},
        {"else nowhere\n", "line 1: no label \"nowhere\""},
        {"a: wait 1\na: wait 2\n", "line 2: the label \"a\" is defined twice"},
        {"wait 1\n.entity \"e\", \"e\", 1\n",
         "line 2: table records come before the first command"},
        {".table 1\n", "line 1: unknown directive \".table\""},
        {".attach 1, 2\n", "line 1: expected \",\" before \"the end of the line\""},
        {".function teleport\n", "line 1: unknown keyword \"teleport\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        TempDir dir;
        std::string path = dir.file("bad.scw");
        std::string error;
        EXPECT_EQ(scriptasm_write(c.source, path.c_str(), &error), 0);
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(file_exists(path.c_str()));
    }
}

// Table records of every kind, written with the game's own writers, link
// back to the values given.
TEST(ScriptAssembler, TablesOfEveryKind)
{
    LinkedScript script(assemble(R"(
.entity "env", "e2e_env", 1
.variable "n", -2.5, 7
.state_variable "door", 1, 3, 2
.attach 1, 2, -1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 4, 5, 6, 56
.attach 3, 4, 2
.function in_collision var(1), "trigger", 1, 2, 3, 4, 5, 6
.function 300
.sound "boom", "boom.wav", 0
.shader 0, 1, 2
)"));
    ASSERT_TRUE(script.linked());
    EXPECT_EQ(script->parsed_variable_list->value, -2.5f);
    EXPECT_EQ(script->parsed_variable_list->id, 7);
    parsed_state_variable* state = script->parsed_state_variable_list;
    EXPECT_STREQ(state->parsed_state_variable_name, "door");
    EXPECT_EQ(state->state_type, 1);
    EXPECT_EQ(state->slot, 3);
    EXPECT_EQ(state->entity_id, 2);
    parsed_attach_info* attach = script->parsed_attach_info_list;
    EXPECT_EQ(attach->attach_entity_id, 2);
    EXPECT_EQ(attach->joint_index, -1);
    EXPECT_EQ(attach->attach_matrix.m[3][2], 6.0f);
    EXPECT_EQ(attach->attach_matrix.attrib, 56);
    EXPECT_EQ(attach->next->target_entity_id, 3);
    EXPECT_EQ(attach->next->attach_matrix.m[0][0], 0.0f);
    compiled_info* call = script->function_info_list;
    EXPECT_EQ(call->compiled_info_type, COMMAND_IN_COLLISION);
    ASSERT_EQ(call->n_expr, 1);
    EXPECT_EQ(render_tree(call->arg_ptr_array[0].exp_ptr), "var(1)");
    ASSERT_EQ(call->n_str, 1);
    EXPECT_STREQ(call->string_arg_array[0].str, "trigger");
    ASSERT_EQ(call->n_const, 6);
    EXPECT_EQ(call->const_arg[5], 6.0f);
    EXPECT_EQ(call->next->compiled_info_type, 300);
    EXPECT_EQ(call->next->n_expr, 0);
    EXPECT_STREQ(script->parsed_sound_list->sound_filename, "boom.wav");
    EXPECT_EQ(script->parsed_sound_list->id, 0);
    EXPECT_EQ(script->shader_info_list->shader_anim_index, 2);
    EXPECT_EQ(script->code_start, script->code_image + script->code_size);
}
