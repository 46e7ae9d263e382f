#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "heap.h"
#include "parsestr.h"
#include "script_support.h"
#include "test_support.h"

namespace {

// ---- The golden script ----
//
// A small but real level script, written byte by byte: two entities, a
// variable, one built-in call, and commands with strings, an if with an
// else and unaligned operands. Its tables end at file offset 304.

std::string node(uint32_t kind, float value, bool children = false)
{
    return ImageBytes().word(children).word(children).word(kind).real(value).bytes();
}

std::string constant(float value)
{
    return node(EXPRESSION_CONSTANT, value);
}

std::string golden_script()
{
    std::string banner = "ZORLANDI SOFTWORKS varnock data file  ";
    banner.resize(64, '\0');
    ImageBytes bytes;
    bytes.raw(banner).word(16).word(106).raw(std::string(28, '\0'));
    // entity table: links, name, file name, entity (run time), id
    bytes.word(2);
    bytes.word(1).word(1).word(1).word(1).word(0).word(1).str("env").str("e2e_env");
    bytes.word(1).word(1).word(1).word(1).word(0).word(2).str("cam").str("e2e_cam");
    // variable table: links, name, value, id
    bytes.word(1).word(1).word(1).word(1).real(0.0f).word(1).str("n");
    bytes.word(0).word(0);  // state variables, attachments
    // function info table: entity_loaded with one tree, the entity id 1
    bytes.word(1).word(1).word(1).word(0).word(88).word(1).word(1).word(0).word(0).word(0).word(0);
    bytes.word(1).raw(constant(1.0f));
    bytes.word(0).word(0);  // sounds, shaders
    // offset 0: set_environment 1; 20: set_camera 2
    bytes.word(30).raw(constant(1.0f)).word(48).raw(constant(2.0f));
    // 40: if call(0) = 1, true 104, else 215, end 251
    bytes.word(7).word(104).word(215).word(251);
    bytes.raw(node(EXPRESSION_OPERATOR, 2.0f, true)).raw(node(EXPRESSION_FUNCTION, 0.0f));
    bytes.raw(constant(1.0f));
    // 104: display_message 10, 10, 255, 255, 255, 3, "ok"
    bytes.word(78);
    for (float value : {10.0f, 10.0f, 255.0f, 255.0f, 255.0f, 3.0f})
        bytes.raw(constant(value));
    bytes.raw(std::string("ok", 3));
    // 207: else 251 (unaligned); 215: assign var(1), 5; 251: wait 100
    bytes.word(17).word(251);
    bytes.word(4).raw(node(EXPRESSION_VARIABLE, 1.0f)).raw(constant(5.0f));
    bytes.word(31).raw(constant(100.0f));
    // 271: assign var(1), var(1) + 1
    bytes.word(4).raw(node(EXPRESSION_VARIABLE, 1.0f)).raw(node(EXPRESSION_OPERATOR, 8.0f, true));
    bytes.raw(node(EXPRESSION_VARIABLE, 1.0f)).raw(constant(1.0f));
    return bytes.bytes();
}

const char golden_source[] = R"(# The golden script in the assembler's words.
.entity "env", "e2e_env", 1
.entity "cam", "e2e_cam", 2
.variable "n", 0, 1
.function entity_loaded 1

set_environment 1
set_camera 2
if call(0) = 1, shown, other, done
shown: display_message 10, 10, 255, 255, 255, 3, "ok"
    else done
other: assign var(1), 5
done: wait 100
assign var(1), var(1) + 1
)";

const std::vector<std::string> golden_listing = {
    "set_environment 1",
    "set_camera 2",
    "if (call(0) = 1), 104, 215, 251",
    "display_message 10, 10, 255, 255, 255, 3, \"ok\"",
    "else 251",
    "assign var(1), 5",
    "wait 100",
    "assign var(1), (var(1) + 1)",
};

// Where the golden script's commands start and its code ends, from the
// first command.
const int32_t golden_commands[] = {0, 20, 40, 104, 207, 215, 251, 271, 339};
const int32_t golden_code_start = 304;

}  // namespace

TEST(CompiledScript, TheGoldenFileLinksToItsTablesAndDecodesToItsCommands)
{
    std::string bytes = golden_script();
    ASSERT_EQ(bytes.size(), 643u);
    LogCapture log;
    LinkedScript script(bytes, "golden");
    ASSERT_TRUE(script.linked());
    EXPECT_EQ(script->code_size, 643);
    EXPECT_EQ(script->code_start - script->code_image, golden_code_start);
    EXPECT_EQ(script->pc, script->code_start);

    parsed_entity* entity = script->parsed_entity_list;
    ASSERT_NE(entity, nullptr);
    EXPECT_STREQ(entity->parsed_entity_name, "env");
    EXPECT_STREQ(entity->entity_filename, "e2e_env");
    EXPECT_EQ(entity->id, 1);
    EXPECT_EQ(entity->entity, nullptr);
    EXPECT_STREQ(entity->next->parsed_entity_name, "cam");
    EXPECT_STREQ(entity->next->entity_filename, "e2e_cam");
    EXPECT_EQ(entity->next->id, 2);
    EXPECT_EQ(entity->next->next, entity);
    parsed_variable* variable = script->parsed_variable_list;
    ASSERT_NE(variable, nullptr);
    EXPECT_STREQ(variable->parsed_variable_name, "n");
    EXPECT_EQ(variable->value, 0.0f);
    EXPECT_EQ(variable->id, 1);
    EXPECT_EQ(variable->next, variable);
    compiled_info* function = script->function_info_list;
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function->compiled_info_type, COMMAND_ENTITY_LOADED);
    ASSERT_EQ(function->n_expr, 1);
    EXPECT_EQ(render_tree(function->arg_ptr_array[0].exp_ptr), "1");
    EXPECT_EQ(function->n_str, 0);
    EXPECT_EQ(function->n_const, 0);
    EXPECT_EQ(script->parsed_state_variable_list, nullptr);
    EXPECT_EQ(script->parsed_attach_info_list, nullptr);
    EXPECT_EQ(script->parsed_sound_list, nullptr);
    EXPECT_EQ(script->shader_info_list, nullptr);

    EXPECT_EQ(script.listing(), golden_listing);
    EXPECT_TRUE(log.errors().empty());
}

TEST(CompiledScript, TheAssemblerWritesTheGoldenBytes)
{
    EXPECT_EQ(assemble(golden_source), golden_script());
}

TEST(CompiledScript, ShapesFollowTheCountTables)
{
    struct {
        int32_t code;
        command_branch branch;
        int32_t trees, strings, constants;
    } const cases[] = {
        {COMMAND_MOVE, COMMAND_BRANCH_NONE, 5, 0, 0},
        {COMMAND_LOAD, COMMAND_BRANCH_NONE, 0, 1, 0},
        {COMMAND_OPEN_PAREN, COMMAND_BRANCH_NONE, 0, 0, 0},  // arguments -1
        {COMMAND_IF, COMMAND_BRANCH_IF, 1, 0, 0},
        {COMMAND_ELSE, COMMAND_BRANCH_ELSE, 0, 0, 0},
        {COMMAND_ORIENT, COMMAND_BRANCH_NONE, 1, 0, 3},
        {COMMAND_ATTACH_ENTITY, COMMAND_BRANCH_NONE, 1, 0, 0},  // tree override
        {COMMAND_ATTACH_ENTITY_ID, COMMAND_BRANCH_NONE, 2, 0, 0},
        {COMMAND_LOAD_COLLISION, COMMAND_BRANCH_NONE, 2, 1, 0},
        {COMMAND_ADD_NEW_GOAL, COMMAND_BRANCH_NONE, 7, 0, 0},
        {COMMAND_SHADER_ANIMATE_CONT, COMMAND_BRANCH_NONE, 1, 0, 0},
        {COMMAND_DISPLAY_MESSAGE, COMMAND_BRANCH_NONE, 6, 1, 0},
        {COMMAND_NOT_RUNNING, COMMAND_BRANCH_NONE, 0, 0, 0},
        {COMMAND_IN_COLLISION, COMMAND_BRANCH_NONE, 1, 1, 6},
        {COMMAND_CHANGE_GAME_MODE, COMMAND_BRANCH_NONE, 0, 1, 0},
        {COMPILED_COMMAND_COUNT, COMMAND_BRANCH_NONE, 0, 0, 0},  // outside the table
        {-1, COMMAND_BRANCH_NONE, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        command_shape shape = parse_command_shape(c.code);
        EXPECT_EQ(shape.branch, c.branch);
        EXPECT_EQ(shape.trees, c.trees);
        EXPECT_EQ(shape.strings, c.strings);
        EXPECT_EQ(shape.constants, c.constants);
    }
    EXPECT_EQ(COMPILED_COMMAND_COUNT, 117);
    EXPECT_STREQ(compiled_command_table[COMMAND_CHANGE_GAME_MODE].keyword, "change_game_mode");
    EXPECT_EQ(parse_command_code("set_camera_braking_dist"), 113);
    EXPECT_EQ(parse_command_code("<="), 16);
    EXPECT_EQ(parse_command_code("teleport"), -1);
}

// Each of the 117 codes, assembled with distinct operands of its shape and
// followed by another command, decodes to exactly those operands and leaves
// pc on the next command.
TEST(CompiledScript, EveryCodeDecodesItsOperands)
{
    for (int32_t code = 0; code < COMPILED_COMMAND_COUNT; ++code) {
        SCOPED_TRACE(compiled_command_table[code].keyword);
        command_shape shape = parse_command_shape(code);
        std::vector<std::string> operands;
        for (int32_t i = 0; i < shape.trees; ++i)
            operands.push_back(i == 0 ? "var(1)" : "(" + std::to_string(i) + " * 2)");
        if (shape.branch == COMMAND_BRANCH_IF)
            operands.insert(operands.end(), {"4", "0", "8"});
        if (shape.branch == COMMAND_BRANCH_ELSE)
            operands.push_back("12");
        for (int32_t i = 0; i < shape.strings; ++i)
            operands.push_back("\"text " + std::to_string(i) + "\"");
        for (int32_t i = 0; i < shape.constants; ++i)
            operands.push_back(std::to_string(i) + ".5");
        std::string line = compiled_command_table[code].keyword;
        for (size_t i = 0; i < operands.size(); ++i)
            line += (i == 0 ? " " : ", ") + operands[i];

        LogCapture log;
        LinkedScript script(assemble(line + "\nwait 7\n"));
        ASSERT_TRUE(script.linked());
        EXPECT_EQ(script.listing(), (std::vector<std::string>{line, "wait 7"}));
        EXPECT_TRUE(log.errors().empty());
    }
}

TEST(CompiledScript, EdgesOfTheCommandStream)
{
    LogCapture log;
    // Seven empty tables and no code: nothing to decode.
    std::string empty = assemble("");
    EXPECT_EQ(empty.size(), 128u);
    EXPECT_TRUE(LinkedScript(empty).listing().empty());

    // Inline strings are bare and unaligned: the next code follows at once.
    std::string unaligned = assemble("run_script \"a\"\nwait 7\n");
    EXPECT_EQ(unaligned.substr(128 + 4, 2), std::string("a", 2));
    EXPECT_EQ(unaligned[128 + 6], (char)COMMAND_WAIT);
    EXPECT_EQ(LinkedScript(unaligned).listing(),
              (std::vector<std::string>{"run_script \"a\"", "wait 7"}));

    // A code in the last bytes of the file is not run, with or without
    // operands that would follow it; neither is a code with one byte after it.
    EXPECT_EQ(LinkedScript(assemble("wait 7\nendif\n")).listing(),
              std::vector<std::string>{"wait 7"});
    EXPECT_EQ(LinkedScript(assemble("wait 7\nendif\n") + "x").listing(),
              std::vector<std::string>{"wait 7"});

    // Codes outside the table have no operands and still decode.
    EXPECT_EQ(LinkedScript(assemble(".code 200\n.code -3\nwait 7\n")).listing(),
              (std::vector<std::string>{".code 200", ".code -3", "wait 7"}));
    EXPECT_TRUE(log.errors().empty());
}

TEST(CompiledScript, AnyNonzeroFlagWordMeansPresent)
{
    // The entity's name flag, the function slot's flag, and the left and
    // right flags of the if's condition.
    std::string bytes = golden_script();
    for (size_t offset : {112, 276, 304 + 56, 304 + 60})
        bytes = patch_word(bytes, offset, 0xdeadbeef);
    LinkedScript script(bytes);
    ASSERT_TRUE(script.linked());
    EXPECT_STREQ(script->parsed_entity_list->parsed_entity_name, "env");
    EXPECT_EQ(render_tree(script->function_info_list->arg_ptr_array[0].exp_ptr), "1");
    EXPECT_EQ(script.listing(), golden_listing);
}

TEST(CompiledScript, DecodingAgainAfterAJumpBackGivesTheSameCommand)
{
    LinkedScript script(golden_script());
    script->pc = script->code_start + 40;
    ASSERT_EQ(parse_decode_command(script.get()), PARSE_COMMAND_READY);
    std::string first = render_command(script.get());
    EXPECT_EQ(script->pc, script->code_start + 104);
    script->pc = script->code_start + 40;
    ASSERT_EQ(parse_decode_command(script.get()), PARSE_COMMAND_READY);
    EXPECT_EQ(render_command(script.get()), first);
}

// Tables that do not fit fail the link with the family's message and the
// table's, whatever their count or length words claim.
TEST(CompiledScript, CorruptTablesAreRefusedWithTheirMessages)
{
    struct {
        const char* what;
        std::vector<std::pair<size_t, uint32_t>> patches;
        std::vector<std::string> errors;
    } const cases[] = {
        {"negative entity count",
         {{100, 0xffffffff}},
         {"Bad parsed_entity_list_size = -1",
          "Could not read entity list from file in script_initiate_script"}},
        {"huge entity count",
         {{100, 0x7fffffff}},
         {"Bad parsed_entity_list_size = 2147483647 with 539 bytes left",
          "Could not read entity list from file in script_initiate_script"}},
        {"entity name longer than the file",
         {{128, 1000}},
         {"Bad string length 1000 with 511 bytes left", "Could not link_str parsed_entity_name.",
          "Could not link_parsed_entity_list.",
          "Could not read entity list from file in script_initiate_script"}},
        {"negative state-variable count",
         {{224, 0xfffffffb}},
         {"Bad parsed_state_variable_list_size = -5",
          "Could not read state variable list from file in script_initiate_script"}},
        {"attach count past the end",
         {{228, 100}},
         {"Bad parsed_attach_info_list_size = 100 with 411 bytes left",
          "Could not read attach list from file in script_initiate_script"}},
        {"huge tree count of a function",
         {{252, 1000000}},
         {"Bad expression_ptr_array_size = 1000000 with 367 bytes left",
          "Could not link_expression_ptr_array.", "Could not link_compiled_info_list.",
          "Could not read function info list from file in script_initiate_script"}},
        {"negative constant count of a function",
         {{268, 0xffffffff}, {272, 1}},
         {"Could not link_const_arg.", "Could not link_compiled_info_list.",
          "Could not read function info list from file in script_initiate_script"}},
        {"sound count past the end",
         {{296, 100}},
         {"Bad parsed_sound_list_size = 100 with 343 bytes left",
          "Could not read sound list from file in script_initiate_script"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = golden_script();
        for (auto [offset, word] : c.patches)
            bytes = patch_word(bytes, offset, word);
        LogCapture log;
        LinkedScript script(bytes);
        EXPECT_FALSE(script.linked());
        EXPECT_EQ(log.errors(), c.errors);
    }
}

// Code is linked once into a script record: a second image, or one without
// a record, is refused, and the image is released all the same.
TEST(CompiledScript, LinkingNeedsARecordWithoutCode)
{
    LinkedScript script(golden_script());
    ASSERT_TRUE(script.linked());
    LogCapture log;
    const int64_t live = heap_live_blocks();
    for (running_script* record : {script.get(), (running_script*)nullptr}) {
        const std::string bytes = golden_script();
        char* image = (char*)MALLOC(bytes.size());
        std::memcpy(image, bytes.data(), bytes.size());
        EXPECT_EQ(parse_link_script(record, image, (int32_t)bytes.size()), 0);
        EXPECT_EQ(heap_live_blocks(), live);
    }
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Cannot parse_link_script into a script that holds code.",
                                        "Cannot parse_link_script with NULL running_script_ptr."}));
}

// A command that runs past the end of the code, nests too deep or (an else)
// jumps outside the code ends the script with one error; the commands before
// it decode.
TEST(CompiledScript, BrokenCommandsEndTheScriptWithAnError)
{
    std::string deep_ok = "wait " + std::string(EXPRESSION_MAX_DEPTH - 1, '!') + "1\n";
    std::string too_deep = "wait " + std::string(EXPRESSION_MAX_DEPTH, '!') + "1\n";
    std::string deep_right = "wait 1\nwait ";  // a chain of right children
    for (int i = 0; i < EXPRESSION_MAX_DEPTH; ++i)
        deep_right += "node(2, 8, _, ";
    deep_right += "1" + std::string(EXPRESSION_MAX_DEPTH, ')') + "\n";
    struct {
        const char* what;
        std::string bytes;
        size_t listed;
        std::string error;
    } const cases[] = {
        {"tree as deep as allowed", assemble(deep_ok), 1, ""},
        {"tree one deeper", assemble(too_deep), 0,
         "Script test: a tree of the command at code offset 0 nests deeper than 256 nodes"},
        {"right-leaning tree too deep", assemble(deep_right), 1,
         "Script test: a tree of the command at code offset 20 nests deeper than 256 nodes"},
        {"string without its zero", assemble("wait 7\nrun_script \"ab\"\n").substr(0, 128 + 26), 1,
         "Script test: the command at code offset 20 runs past the end of the code"},
        {"constants cut short", assemble("wait 7\norient 1, 1, 2, 3\n").substr(0, 128 + 46), 1,
         "Script test: the command at code offset 20 runs past the end of the code"},
        {"tree cut short", assemble("wait 7\nwait 1 + 2\n").substr(0, 128 + 60), 1,
         "Script test: the command at code offset 20 runs past the end of the code"},
        {"code cut short", assemble("wait 7\n") + "ab", 1,
         "Script test: the command at code offset 20 runs past the end of the code"},
        // The target an if takes is checked when it runs (script_commands_test).
        {"if whose targets lie outside", assemble("if 1, 999, 53, -4\nwait 7\n"), 2, ""},
        {"else outside", assemble("wait 7\nelse -1\nwait 7\n"), 1,
         "Script test: the command at code offset 20 jumps to -1, outside the code of 48 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        LinkedScript script(c.bytes);
        ASSERT_TRUE(script.linked());
        EXPECT_EQ(script.listing().size(), c.listed);
        EXPECT_EQ(log.errors(),
                  c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error});
    }
}

// The golden file cut at every length: a cut in the tables fails the link
// with the message of the table it falls in; a cut in the code decodes the
// commands before it and ends, with an error unless the cut leaves only a
// code that would not run anyway. Nothing is read past the cut (ASan) and
// nothing leaks.
TEST(CompiledScript, EveryTruncationEndsCleanly)
{
    const std::string bytes = golden_script();
    const struct {
        size_t end;
        const char* table;
    } tables[] = {{192, "entity"}, {224, "variable"},      {228, "state variable"},
                  {232, "attach"}, {296, "function info"}, {300, "sound"},
                  {304, "shader"}};
    for (size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE(length);
        LogCapture log;
        LinkedScript script(bytes.substr(0, length));
        if (length < (size_t)golden_code_start) {
            EXPECT_FALSE(script.linked());
            size_t table = 0;
            while (tables[table].end <= length)
                ++table;
            ASSERT_FALSE(log.errors().empty());
            EXPECT_EQ(log.errors().back(), std::string("Could not read ") + tables[table].table +
                                               " list from file in script_initiate_script");
            continue;
        }
        ASSERT_TRUE(script.linked());
        // What the rules of the stream make of the cut code.
        int32_t code_length = (int32_t)length - golden_code_start;
        size_t decoded = 0;
        bool error = false;
        for (size_t i = 0; i + 1 < std::size(golden_commands); ++i) {
            int32_t rest = code_length - golden_commands[i];
            if (rest <= 1 || rest == 4 || rest == 5)
                break;  // no code, or a code that reaches the last byte
            // The else jumps to 251 (an if's targets are checked when it runs).
            int32_t target = golden_commands[i] == 207 ? 251 : 0;
            error = rest < 4 || golden_commands[i + 1] > code_length || target > code_length;
            if (error)
                break;
            ++decoded;
        }
        std::vector<std::string> listed = script.listing();
        EXPECT_EQ(listed, std::vector<std::string>(golden_listing.begin(),
                                                   golden_listing.begin() + decoded));
        EXPECT_EQ(log.errors().size(), error ? 1u : 0u);
    }
}

TEST(ScriptRecords, NewRecordsHoldTheirDefaults)
{
    LogCapture log;
    parsed_entity* entity = malloc_parsed_entity("e");
    EXPECT_EQ(entity->id, -1);
    EXPECT_EQ(entity->next, entity);
    free_parsed_entity(entity);
    parsed_sound* sound = malloc_parsed_sound("s");
    EXPECT_EQ(sound->id, -1);
    free_parsed_sound(sound);
    parsed_variable* variable = malloc_parsed_variable("v");
    EXPECT_EQ(variable->value, -1.0f);
    EXPECT_EQ(variable->id, -1);
    free_parsed_variable(variable);
    parsed_state_variable* state = malloc_parsed_state_variable("s");
    EXPECT_EQ(state->state_type, 0);
    EXPECT_EQ(state->slot, -1);
    EXPECT_EQ(state->entity_id, -1);
    free_parsed_state_variable(state);
    expression* tree = malloc_expression();
    EXPECT_EQ(tree->expression_type, 0u);
    EXPECT_EQ(tree->value, -1.0f);
    free_expression(tree);
    if_info* branch = malloc_if_info();
    EXPECT_EQ(branch->true_offset, -1);
    EXPECT_EQ(branch->else_offset, -1);
    EXPECT_EQ(branch->endif_offset, -1);
    free_if_info(branch);
    compiled_info* info = malloc_compiled_info();
    EXPECT_EQ(info->compiled_info_type, -1);
    EXPECT_EQ(info->n_expr, 0);
    EXPECT_EQ(info->next, info);
    free_compiled_info(info);
    parsed_attach_info* attach = malloc_parsed_attach_info_array(3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(attach[i].next, &attach[i]);
        EXPECT_EQ(attach[i].target_entity_id, -1);
        EXPECT_EQ(attach[i].attach_entity_id, -1);
        EXPECT_EQ(attach[i].joint_index, -1);
        EXPECT_EQ(attach[i].attach_matrix.attrib, 0);
    }
    free_parsed_attach_info_array(attach, 3);
    shader_info* shader = malloc_shader_info();
    EXPECT_EQ(shader->entity_position, -1);
    EXPECT_EQ(shader->shader_slot, -1);
    EXPECT_EQ(shader->shader_anim_index, -1);
    free_shader_info(shader);
    running_script* script = malloc_running_script("r");
    EXPECT_EQ(script->code_size, -1);
    EXPECT_EQ(script->wait_end_time, -1.0f);
    EXPECT_EQ(script->code_arena.image, nullptr);
    free_running_script(script);
    EXPECT_TRUE(log.errors().empty());
}

// The stream form of each record type that the golden script does not hold:
// its image, then its owned data; read back, it writes the same bytes.
TEST(ScriptRecords, EachTypeStreamsItsImageThenItsOwnedData)
{
    parsed_sound* sound = malloc_parsed_sound("boom");
    sound->sound_filename = STRDUP("boom.wav");
    sound->id = 3;
    parsed_state_variable* state = malloc_parsed_state_variable("door");
    state->state_type = 1;
    state->slot = 5;
    state->entity_id = 2;
    parsed_attach_info* attach = malloc_parsed_attach_info();
    attach->target_entity_id = 1;
    attach->attach_entity_id = 2;
    attach->attach_matrix.m[3][0] = 5.0f;
    attach->attach_matrix.attrib = WIN_ATTRIB_TRANSLATE_X;
    attach->joint_index = 4;
    shader_info* shader = malloc_shader_info();
    *shader = {shader, shader, 0, 1, 2};
    if_info* branch = malloc_if_info();
    *branch = {104, 0, 251};
    // Two slots, the first holding 1 + 2, the second empty: 40 + 8 + 48 bytes.
    compiled_info* call = malloc_compiled_info();
    call->compiled_info_type = COMMAND_RANDOM_NUMBER;
    call->arg_ptr_array = malloc_expression_ptr_array(2);
    call->n_expr = 2;
    expression* sum = call->arg_ptr_array[0].exp_ptr = malloc_expression();
    *sum = {malloc_expression(), malloc_expression(), EXPRESSION_OPERATOR, 8.0f};
    *sum->left = {nullptr, nullptr, EXPRESSION_CONSTANT, 1.0f};
    *sum->right = {nullptr, nullptr, EXPRESSION_CONSTANT, 2.0f};
    // The run-time words and what no image holds are not written.
    running_script* script = malloc_running_script("s");
    script->child_script = script;
    script->code_size = 5;
    script->blocked = 1;
    script->running_command = malloc_compiled_info();
    script->wait_end_time = 2.5f;
    script->branch = {1, 2, 3};

    const struct {
        const record_type* type;
        void* record;
        std::string expected;
    } cases[] = {
        {&parsed_sound_desc, sound,
         ImageBytes()
             .word(1)
             .word(1)
             .word(1)
             .word(1)
             .word(0)
             .word(3)
             .str("boom")
             .str("boom.wav")
             .bytes()},
        {&parsed_state_variable_desc, state,
         ImageBytes().word(1).word(1).word(1).word(1).word(5).word(2).str("door").bytes()},
        {&parsed_attach_info_desc, attach,
         ImageBytes()
             .word(1)
             .word(1)
             .word(1)
             .word(2)
             .raw(std::string(36, '\0'))
             .real(5.0f)
             .raw(std::string(8, '\0'))
             .word(WIN_ATTRIB_TRANSLATE_X)
             .word(4)
             .bytes()},
        {&shader_info_desc, shader, ImageBytes().word(1).word(1).word(0).word(1).word(2).bytes()},
        {&if_info_desc, branch, ImageBytes().word(104).word(0).word(251).bytes()},
        {&compiled_info_desc, call,
         ImageBytes()
             .word(1)
             .word(1)
             .word(0)
             .word(101)
             .word(2)
             .word(1)
             .word(0)
             .word(0)
             .word(0)
             .word(0)
             .word(1)
             .word(0)
             .raw(node(EXPRESSION_OPERATOR, 8.0f, true))
             .raw(constant(1.0f))
             .raw(constant(2.0f))
             .bytes()},
        {&running_script_desc, script,
         ImageBytes()
             .word(1)
             .word(1)
             .word(1)
             .raw(std::string(24, '\0'))
             .word(5)
             .word(1)
             .word(1)
             .real(2.5f)
             .raw(std::string(20, '\0'))
             .str("s")
             .word(1)
             .word(1)
             .word(0)
             .word(0xffffffff)
             .raw(std::string(24, '\0'))
             .bytes()},
    };
    LogCapture log;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type->name);
        std::string bytes = written_bytes(
            [&](FILE* file) { return record_write_bin(c.type, file, c.record); });
        EXPECT_EQ(bytes, c.expected);
        FILE* file = file_with_bytes(bytes);
        void* read = record_read_bin(c.type, file);
        std::fclose(file);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(written_bytes([&](FILE* out) { return record_write_bin(c.type, out, read); }),
                  bytes);
        record_free(c.type, read);
        record_free(c.type, c.record);
    }
    EXPECT_TRUE(log.errors().empty());
}
