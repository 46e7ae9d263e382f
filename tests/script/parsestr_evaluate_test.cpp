#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "parsestr.h"
#include "rand_util.h"
#include "script.h"
#include "script_support.h"
#include "service_doubles.h"
#include "test_support.h"

namespace {

// The tables every case evaluates with. The door (id 1) loads through the
// fake host and holds the state values 0.5 and 1.5; the ghost (id -1) is
// never loaded.
const std::string tables = R"(
.entity "door", "door", 1
.entity "ghost", "ghost", -1
.variable "n", 2.5, 1
.variable "m", -4, 2
.variable "shadowed", 9, 1
.state_variable "open", 0, 1, 1      # 0: slot 1 of the door
.state_variable "seven", 1, 7, 1     # 1: the constant 7
.state_variable "beyond", 0, 5, 1    # 2: a slot the door does not have
.state_variable "lost", 0, 0, -1     # 3: the ghost's
.state_variable "odd", 2, 0, 1       # 4: an unknown type
.state_variable "below", 0, -1, 1    # 5: a slot below the first
)";

struct Outcome {
    float value;
    std::vector<std::string> errors;
    std::vector<std::string> notices;
    std::vector<std::string> calls;
};

class Evaluation : public ::testing::Test {
protected:
    void SetUp() override { test_reset_state(); }

    // Decodes `command` in a script of the common tables and `functions`,
    // lets `prepare` change the linked script, then runs `act` on it (by
    // default: evaluates the command's first tree) and reports the result
    // with the lines logged and the runtime calls made meanwhile.
    Outcome run(const std::string& command, const std::string& functions = "",
                const std::function<void(running_script*)>& prepare = {},
                const std::function<float(running_script*)>& act = {})
    {
        LinkedScript script(assemble(tables + functions + command + "\n"));
        EXPECT_TRUE(script.linked());
        parse_load_all_entities(script->parsed_entity_list);
        door = script->parsed_entity_list->entity;
        service_double_state_values(door) = {0.5f, 1.5f};
        EXPECT_EQ(parse_decode_command(script.get()), PARSE_COMMAND_READY);
        if (prepare)
            prepare(script.get());
        rand_util_srand(1);
        log.clear();
        service_calls.clear();
        Outcome outcome;
        outcome.value = act ? act(script.get())
                            : parse_evaluate_expression(
                                  script->running_command->arg_ptr_array[0].exp_ptr, script.get());
        outcome.errors = log.errors();
        outcome.notices = log.notices();
        outcome.calls = service_calls;
        return outcome;
    }

    LogCapture log;
    win_entity* door = nullptr;
};

const float inf = std::numeric_limits<float>::infinity();

// Leaves of every kind, the operators and the node shapes.
TEST_F(Evaluation, ValuesOfEveryKindOfNode)
{
    struct {
        const char* expression;
        float value;
        std::vector<std::string> errors = {};
        std::vector<std::string> notices = {};
    } const cases[] = {
        {"3.25", 3.25f},
        {"node(9, 4)", 4.0f},  // an unlisted kind is a constant
        {"var(1)", 2.5f},      // the first variable of that id
        {"var(2.9)", -4.0f},   // ids are truncated
        {"var(3)", -1.0f, {"Bad variable id 3 in parse_get_variable_value"}},
        {"state(0)", 1.5f, {}, {"Found state var value 1.500000 index 1 entity door"}},
        {"state(1)", 7.0f},
        {"state(6)", 1.5f, {}, {"Found state var value 1.500000 index 1 entity door"}},  // wraps
        {"state(-2)", -1.0f},  // counts back to "odd"
        {"state(3)", -1.0f},   // the ghost does not resolve
        {"0 or 0", 0.0f},
        {"0 or -2", 1.0f},
        {"3 and 0", 0.0f},
        {"3 and 0.5", 1.0f},
        {"2 = 2", 1.0f},
        {"2 != 2", 0.0f},
        {"3 > 2", 1.0f},
        {"3 < 2", 0.0f},
        {"2 >= 2", 1.0f},
        {"2.5 <= 2", 0.0f},
        {"2 > 2", 0.0f},
        {"2 < 2", 0.0f},
        {"1.5 < 2", 1.0f},
        {"2 >= 2.5", 0.0f},
        {"2 <= 2", 1.0f},
        {"1.5 + 2.25", 3.75f},
        {"1.5 - 2.25", -0.75f},
        {"1.5 * -2", -3.0f},
        {"3 / 4", 0.75f},
        {"1 / 0", inf},
        {"(0 / 0) = (0 / 0)", 0.0f},
        {"(0 / 0) != (0 / 0)", 1.0f},
        {"7 % 3", 1.0f},
        {"-7 % 3", -1.0f},
        {"7.9 % 3.9", 1.0f},
        {"7 % -3", 1.0f},
        {"!0", 1.0f},
        {"!2.5", 0.0f},
        {"var(1) + state(1) * 2", 16.5f},
        {"node(2, 12.9, 7, 3)", 1.0f},  // the operator index is truncated
        {"node(5, 6, 2, _)", 2.0f},     // a left child alone passes its value
        {"node(2, 3, 2, _)", 0.0f, {"Bad binary expression in parse_evaluate_expression"}},
        {"node(2, 8, _, 5)", 0.0f, {"Bad expression in parse_evaluate expression"}},
        {"node(3, 2, 4, 4)", 1.0f, {"Uhh... yeah... this script expression is the wrong type..."}},
        {"node(2, 13, 1, 2)",
         -1.0f,
         {"Unknown binary expression opcode in parse_evaluate_expression"}},
        {"node(2, -1, 1, 2)",
         -1.0f,
         {"Unknown binary expression opcode in parse_evaluate_expression"}},
        {"call(0)",
         -1.0f,
         {"Cannot dlink_get_nth with NULL list_ptr.",
          "Couldn't find function_info_idx 0 in function list"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression);
        Outcome outcome = run(std::string("wait ") + c.expression);
        EXPECT_EQ(outcome.value, c.value);
        EXPECT_EQ(outcome.errors, c.errors);
        EXPECT_EQ(outcome.notices, c.notices);
    }
}

// Each built-in against the fake host. The generator starts from seed 1,
// whose first number is 41.
TEST_F(Evaluation, BuiltInFunctions)
{
    struct {
        const char* function;
        std::function<void()> host;
        float value;
        std::vector<std::string> calls;
        std::vector<std::string> notices = {};
        const char* expression = "call(0)";
    } const cases[] = {
        {"random_number 100", {}, 41.0f, {}},
        {"random_number -7", {}, 6.0f, {}},
        {"random_number var(1) * 4", {}, 1.0f, {}},  // 41 % 10
        {"holding_weapon 1", {}, -1.0f, {}},
        {"entity_loaded 1", {}, 1.0f, {}},
        {"entity_loaded -1", {}, 0.0f, {}},
        {"entity_loaded 3", {}, 0.0f, {}},
        {"get_hitpoints 1",
         [] { service_double_host.hitpoints = 75.0f; },
         75.0f,
         {"entity_get_hitpoints(door)"}},
        {"get_hitpoints -1",
         [] { service_double_host.hitpoints = 75.0f; },
         75.0f,
         {"entity_get_hitpoints(NULL)"}},
        {"distance_to_entity 1, -1",
         [] { service_double_host.distance = 12.5f; },
         12.5f,
         {"entity_calc_dist_to_entity(door, NULL)"}},
        {"in_environment \"caves\"",
         [] { service_double_host.environment_named = 1; },
         1.0f,
         {"entity_check_environment_name(caves)"}},
        {"in_environment \"caves\"", {}, 0.0f, {"entity_check_environment_name(caves)"}},
        {"is_facing_plus_x 1",
         [] { service_double_host.facing = 1; },
         1.0f,
         {"entity_is_facing_pos_x_dir(door)"}},
        {"is_facing_neg_x 1", {}, 0.0f, {"entity_is_facing_neg_x_dir(door)"}},
        {"is_facing_plus_z 1",
         [] { service_double_host.facing = 1; },
         1.0f,
         {"entity_is_facing_pos_z_dir(door)"}},
        {"is_facing_neg_z 1", {}, 0.0f, {"entity_is_facing_neg_z_dir(door)"}},
        {"is_facing_entity 1, -1",
         [] { service_double_host.relative_direction = 0x2000; },
         1.0f,
         {"ai_get_relative_direction_flags(door, NULL)"}},
        {"is_facing_entity 1, 1",
         [] { service_double_host.relative_direction = 0x4000; },
         0.0f,
         {"ai_get_relative_direction_flags(door, door)"}},
        {"in_collision 1, \"gate\", 0, 1.5, 0, 0, 0.25, 0",
         [] { service_double_host.in_trigger = service_double_host.in_facing_arc = 1; },
         1.0f,
         {"entity_check_trigger_name(door, gate)",
          "collide_check_facing_arc(door, (0 1.5 0), (0 0.25 0))"}},
        {"in_collision 1, \"gate\", 0, 0, 0, 0, 0, 0",
         {},
         0.0f,
         {"entity_check_trigger_name(door, gate)"},
         {"door was not in trigger gate"}},
        {"in_collision -1, \"gate\", 0, 0, 0, 0, 0, 0", {}, 0.0f, {}},
        {"not_running", {}, 1.0f, {}},  // the script runs alone
        // Both sides of `and` are evaluated, the built-in on the right too.
        {"get_hitpoints 1", {}, 0.0f, {"entity_get_hitpoints(door)"}, {}, "0 and call(0)"},
        // Positions wrap around the table.
        {"get_hitpoints 1", {}, 0.0f, {"entity_get_hitpoints(door)"}, {}, "call(1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.function) + " / " + c.expression);
        test_reset_state();
        if (c.host)
            c.host();
        Outcome outcome = run(std::string("wait ") + c.expression,
                              std::string(".function ") + c.function + "\n");
        EXPECT_EQ(outcome.value, c.value);
        EXPECT_EQ(outcome.calls, c.calls);
        EXPECT_EQ(outcome.notices, c.notices);
        EXPECT_TRUE(outcome.errors.empty());
    }
}

TEST_F(Evaluation, AFunctionRecordOfAnotherCodeIsRefused)
{
    Outcome outcome = run("wait call(0)", ".function assign var(1), 2\n");
    EXPECT_EQ(outcome.value, -1.0f);
    EXPECT_EQ(outcome.errors,
              std::vector<std::string>{
                  "Unrecognized function command type 4 in parse_execute_expression_function"});
}

// What the file or the script may hold that would fault, trap or hang: each
// is refused with its line and a neutral value, touching nothing.
TEST_F(Evaluation, RefusalsAndTheirTexts)
{
    std::string chain;  // 20 calls, each calling the next twice: 2^20 calls
    for (int i = 0; i < 20; ++i)
        chain += ".function random_number call(" + std::to_string(i + 1) + ") + call(" +
                 std::to_string(i + 1) + ") + 1\n";
    chain += ".function random_number 5\n";
    auto evaluate_null = [](running_script* script) {
        return parse_evaluate_expression(nullptr, script);
    };
    auto call_without_script = [](running_script*) {
        int success = 1;
        return parse_execute_expression_function(0.0f, nullptr, &success);
    };
    auto call_without_flag = [](running_script* script) {
        return parse_execute_expression_function(0.0f, script, nullptr);
    };
    struct {
        const char* name;
        const char* command;
        std::string functions;
        std::function<void(running_script*)> prepare;
        std::function<float(running_script*)> act;
        float value;
        std::vector<std::string> errors;
    } const cases[] = {
        {"remainder by zero",
         "wait 7 % 0.5",
         "",
         {},
         {},
         0.0f,
         {"Script remainder of 7 by 0 in parse_evaluate_expression"}},
        {"remainder of the lowest integer by -1", "wait -2147483648 % -1", "", {}, {}, 0.0f, {}},
        {"random number of no range",
         "wait call(0)",
         ".function random_number 0.75\n",
         {},
         {},
         0.0f,
         {"random_number with a range of 0 in parse_execute_expression_function"}},
        {"state slot past the values",
         "wait state(2)",
         "",
         {},
         {},
         -1.0f,
         {"State slot 5 is outside the 2 state values of entity door"}},
        {"state slot below the values",
         "wait state(5)",
         "",
         {},
         {},
         -1.0f,
         {"State slot -1 is outside the 2 state values of entity door"}},
        {"state values of an entity that has none",
         "wait state(0)",
         "",
         [](running_script* script) {
             service_double_state_values(script->parsed_entity_list->entity).clear();
         },
         {},
         -1.0f,
         {"State slot 1 is outside the 0 state values of entity door"}},
        {"constants missing",
         "wait call(0)",
         ".function in_collision 1, \"gate\", 0, 0, 0, 0, 0, 0\n",
         [](running_script* script) { script->function_info_list->n_const = 5; },
         {},
         -1.0f,
         {"Built-in in_collision at function_info_idx 0 lacks its operands in "
          "parse_execute_expression_function"}},
        {"a tree missing",
         "wait call(0)",
         ".function distance_to_entity 1, 1\n",
         [](running_script* script) { script->function_info_list->n_expr = 1; },
         {},
         -1.0f,
         {"Built-in distance_to_entity at function_info_idx 0 lacks its operands in "
          "parse_execute_expression_function"}},
        {"a null tree slot",
         "wait call(0)",
         ".function get_hitpoints 1\n",
         [](running_script* script) {
             script->function_info_list->arg_ptr_array[0].exp_ptr = nullptr;
         },
         {},
         -1.0f,
         {"Built-in get_hitpoints at function_info_idx 0 lacks its operands in "
          "parse_execute_expression_function"}},
        {"a null string slot",
         "wait call(0)",
         ".function in_environment \"caves\"\n",
         [](running_script* script) {
             script->function_info_list->string_arg_array[0].str = nullptr;
         },
         {},
         -1.0f,
         {"Built-in in_environment at function_info_idx 0 lacks its operands in "
          "parse_execute_expression_function"}},
        {"a null tree",
         "wait 1",
         "",
         {},
         evaluate_null,
         -1.0f,
         {"Cannot parse_evaluate_expression with NULL expression_ptr."}},
        {"a built-in whose argument calls itself",
         "wait call(0)",
         ".function random_number call(0)\n",
         {},
         {},
         -1.0f,
         {"Script expression nests deeper than 512 in parse_evaluate_expression"}},
        {"calls that branch into calls",
         "wait call(0)",
         chain,
         {},
         {},
         -1.0f,
         {"Script expression takes more than 65536 nodes in parse_evaluate_expression"}},
        {"a call without a script",
         "wait 1",
         "",
         {},
         call_without_script,
         -1.0f,
         {"Can't parse_execute_expression_function with NULL script"}},
        {"a call without a success flag",
         "wait 1",
         "",
         {},
         call_without_flag,
         -1.0f,
         {"Can't parse_execute_expression_function with NULL success flag"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome = run(c.command, c.functions, c.prepare, c.act);
        EXPECT_EQ(outcome.value, c.value);
        EXPECT_EQ(outcome.errors, c.errors);
        EXPECT_TRUE(outcome.calls.empty());
    }
}

TEST_F(Evaluation, AssignWritesVariablesAndStateValues)
{
    LinkedScript script(assemble(tables + "wait 1\n"));
    parse_load_all_entities(script->parsed_entity_list);
    win_entity* door = script->parsed_entity_list->entity;
    std::vector<float>& values = service_double_state_values(door);
    values = {0.5f, 1.5f};
    log.clear();

    EXPECT_EQ(parse_assign_variable(2.0f, 6.0f, script.get()), 1);  // the variable of id 2
    EXPECT_EQ(parse_get_variable_value(2.0f, script->parsed_variable_list), 6.0f);
    EXPECT_EQ(parse_assign_variable(0.0f, 3.0f, script.get()), 1);  // no variable 0: state 0
    EXPECT_EQ(values, (std::vector<float>{0.5f, 3.0f}));
    // No variable has the id 1.5 or 2.5 (ids compare as floats): states 1
    // and 2, whose slots the door does not have, a constant's too. They are
    // reported and done, the values untouched.
    EXPECT_EQ(parse_assign_variable(1.5f, 8.0f, script.get()), 1);
    EXPECT_EQ(parse_assign_variable(2.5f, 8.0f, script.get()), 1);
    EXPECT_EQ(values, (std::vector<float>{0.5f, 3.0f}));
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "State slot 7 is outside the 2 state values of entity door",
                                "State slot 5 is outside the 2 state values of entity door"}));
    // The ghost's record waits for its entity.
    EXPECT_EQ(parse_assign_variable(3.0f, 1.0f, script.get()), 0);

    LinkedScript bare(assemble(".variable \"n\", 0, 1\nwait 1\n"));
    EXPECT_EQ(parse_assign_variable(4.0f, 1.0f, bare.get()), 0);  // no state variables at all
}

// entity_in_range gives the table position of the nearest entity; an
// entity the table does not hold gets a record of its own, once.
TEST_F(Evaluation, EntityInRangeGrowsTheTableOnce)
{
    LinkedScript script(assemble(tables + ".function entity_in_range 1, 250\n" + "wait call(0)\n"));
    parse_load_all_entities(script->parsed_entity_list);
    win_entity* door = script->parsed_entity_list->entity;
    ASSERT_EQ(parse_decode_command(script.get()), PARSE_COMMAND_READY);
    const expression* call = script->running_command->arg_ptr_array[0].exp_ptr;

    EXPECT_EQ(parse_evaluate_expression(call, script.get()), -1.0f);  // nothing near
    service_double_host.closest = door;
    EXPECT_EQ(parse_evaluate_expression(call, script.get()), 0.0f);
    win_entity* crate = service_double_entity("crate");
    service_double_host.closest = crate;
    EXPECT_EQ(parse_evaluate_expression(call, script.get()), 2.0f);
    EXPECT_EQ(parse_evaluate_expression(call, script.get()), 2.0f);
    EXPECT_EQ(dlink_count((dlink*)script->parsed_entity_list), 3u);
    const parsed_entity* added = script->parsed_entity_list->prev;
    EXPECT_STREQ(added->parsed_entity_name, "crate");
    EXPECT_EQ(added->entity, crate);
    EXPECT_EQ(added->id, 2);
    EXPECT_EQ(parse_find_entity_by_id(2.0f, script->parsed_entity_list), crate);
    EXPECT_EQ(service_calls_of("entity_find_closest"),
              std::vector<std::string>(4, "entity_find_closest(door, 250)"));

    // A script with no entity table at all: the record is its first.
    LinkedScript bare(assemble(".function entity_in_range 1, -1\nwait call(0)\n"));
    ASSERT_EQ(parse_decode_command(bare.get()), PARSE_COMMAND_READY);
    EXPECT_EQ(
        parse_evaluate_expression(bare->running_command->arg_ptr_array[0].exp_ptr, bare.get()),
        0.0f);
    EXPECT_EQ(bare->parsed_entity_list->entity, crate);
}

TEST_F(Evaluation, EntityRecordsById)
{
    LinkedScript script(assemble(tables + "wait 1\n"));
    parse_load_all_entities(script->parsed_entity_list);
    log.clear();
    EXPECT_STREQ(parse_get_entity_value(-1, script->parsed_entity_list)->parsed_entity_name,
                 "ghost");
    EXPECT_EQ(parse_get_entity_value(7, script->parsed_entity_list), nullptr);
    EXPECT_EQ(parse_get_entity_value(7, nullptr), nullptr);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Bad entity id 7 in parse_get_entity_value"});
    EXPECT_EQ(parse_find_entity_by_id(1.5f, script->parsed_entity_list), nullptr);   // as floats
    EXPECT_EQ(parse_find_entity_by_id(-1.0f, script->parsed_entity_list), nullptr);  // not loaded
}

}  // namespace
