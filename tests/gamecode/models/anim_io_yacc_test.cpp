#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "anim_io.h"
#include "anim_io_yacc.h"
#include "ast_files_test.h"
#include "demo_model.h"
#include "heap.h"
#include "lexparse.h"
#include "model_io.h"
#include "test_support.h"

namespace {

// The joints of the test model, in joint order.
const char* const arm_joints[] = {"root",          "spine",      "neck",      "head",
                                  "left_shoulder", "left_elbow", "left_hand", "right_shoulder",
                                  "right_elbow",   "right_hand", "hips",      "left_knee",
                                  "left_foot",     "Right_Knee"};
constexpr int32_t ARM_JOINTS = (int32_t)(sizeof arm_joints / sizeof arm_joints[0]);

class AnimIoYacc : public AstFilesTest {
protected:
    void SetUp() override
    {
        AstFilesTest::SetUp();
        // A model of 14 joints (the last one named with capitals) as "arms.mow".
        mow_model* model = malloc_mow_model("arms");
        model->mow_joint_array = malloc_mow_joint_array(ARM_JOINTS);
        model->mow_joint_array_size = ARM_JOINTS;
        for (int32_t j = 0; j < ARM_JOINTS; ++j) {
            model->mow_joint_array[j].mow_joint_name = STRDUP(arm_joints[j]);
            model->mow_joint_array[j].mow_joint_parent_idx = j - 1;
        }
        EXPECT_EQ(demo_model_write_file(dir.file("arms.mow").c_str(), model), 1);
        free_mow_model(model);
        anim_io_yacc_set_model_directory(dir.path().c_str());
        log.clear();
    }
};

std::string lower(std::string text)
{
    for (char& c : text)
        c = (char)std::tolower((unsigned char)c);
    return text;
}

// The ranges of the table's joint tables, "name: first..last first..last".
std::vector<std::string> joint_tables(const win_ast* table)
{
    std::vector<std::string> tables;
    const win_joint_table* joints = table->win_joint_table_list;
    for (int32_t t = 0; t < table->win_joint_table_list_size; ++t, joints = joints->next_ptr) {
        std::string text = std::string(joints->win_joint_table_name) + ":";
        const win_joint_pair* pair = joints->win_joint_pair_list;
        for (int32_t p = 0; p < joints->win_joint_pair_list_size; ++p, pair = pair->next_ptr)
            text += " " + std::to_string(pair->first_joint_idx) + ".." +
                    std::to_string(pair->last_joint_idx);
        EXPECT_EQ(pair, joints->win_joint_pair_list);
        tables.push_back(text);
    }
    return tables;
}

}  // namespace

TEST_F(AnimIoYacc, ACollisionBlockMakesANamedTableOfJointRanges)
{
    std::string path = ast("spaz_model_name ARMS  // the name is lower-cased\n"
                           "collision_joint_table Arms { left_shoulder..left_hand , 12 } ;\n"
                           "step.wav\n"
                           "end\n");
    win_ast* table = malloc_win_ast("guard");
    EXPECT_EQ(parse_ast_for_collision_tables(path.c_str(), table), 1);
    EXPECT_STREQ(table->spaz_model_name, "arms");
    EXPECT_EQ(joint_tables(table), std::vector<std::string>{"Arms: 4..6 12..12"});
    EXPECT_TRUE(log.errors().empty());
    EXPECT_EQ(log.notices().front(), "Parsing AST '" + path + "'");
    // The model was held for the pass only: nothing holds it now, and the
    // sweep at the end of the pass took it from the list.
    EXPECT_EQ(model_io_global_mow_model_list, nullptr);
    EXPECT_EQ(free_win_ast(table), 1);

    // A file without either construct adds nothing.
    table = malloc_win_ast("guard");
    EXPECT_EQ(parse_ast_for_collision_tables(ast("end\nidle\nend\n").c_str(), table), 1);
    EXPECT_EQ(table->spaz_model_name, nullptr);
    EXPECT_EQ(table->win_joint_table_list, nullptr);
    EXPECT_EQ(free_win_ast(table), 1);
}

TEST_F(AnimIoYacc, JointRangesByNumberNameAndWord)
{
    struct Case {
        const char* pairs;
        std::string ranges;  // empty: refused with `error`
        std::string error;
    };
    const std::string at = " at " + dir.file("test.ast") + "(4)";
    const Case cases[] = {
        {"all", "0..13", ""},
        {"first .. last", "0..13", ""},
        {"first", "0..0", ""},
        {"last", "13..13", ""},
        {"LEFT_HAND", "6..6", ""},
        {"3 .. left_foot , hips", "3..12 10..10", ""},
        {"3 .. all", "", "Illegal last_joint_str = 'all'" + at},
        {"5 .. 3", "", "last_joint_idx = 3 is less than first_joint_idx = 5" + at},
        {"14", "", "first_joint_idx = 14 out-of-range (max idx = 13)" + at},
        {"1 .. 14", "", "last_joint_idx = 14 out-of-range" + at},
        {"tail", "", "Joint 'tail' not found in model 'arms' at " + dir.file("test.ast") + "(4)"},
        {"1 .. tail", "",
         "Joint 'tail' not found in model 'arms' at " + dir.file("test.ast") + "(4)"},
        // Joint names are compared with the text lower-cased.
        {"right_knee", "",
         "Joint 'right_knee' not found in model 'arms' at " + dir.file("test.ast") + "(4)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pairs);
        std::string path = ast("spaz_model_name arms\ncollision_joint_table t { " +
                               std::string(c.pairs) + " } ;\n");
        win_ast* table = malloc_win_ast("guard");
        log.clear();
        EXPECT_EQ(parse_ast_for_collision_tables(path.c_str(), table), c.ranges.empty() ? 0 : 1);
        if (c.ranges.empty()) {
            ASSERT_GE(log.errors().size(), 1u);
            EXPECT_EQ(log.errors().front(), c.error);
            EXPECT_EQ(table->win_joint_table_list, nullptr);  // the open table was freed
        } else {
            EXPECT_EQ(joint_tables(table), std::vector<std::string>{"t: " + c.ranges});
            EXPECT_TRUE(log.errors().empty());
        }
        EXPECT_EQ(free_win_ast(table), 1);
        EXPECT_EQ(model_io_global_mow_model_list, nullptr);
    }
}

TEST_F(AnimIoYacc, ABrokenPassFailsWithItsLineAndKeepsTheTablesThatEnded)
{
    struct Case {
        const char* what;
        std::string body;
        std::string first_error;
        int tables_kept;
    };
    const std::string file = dir.file("test.ast");
    std::string model = read_host_file(dir.file("arms.mow"));
    dir.write("cut.mow", model.substr(0, model.size() / 2));
    const Case cases[] = {
        {"a range before the model", "collision_joint_table t { 1\n} ;\nspaz_model_name arms\n",
         "Cannot anim_io_yacc_win_joint_pair with NULL yacc_spaz_mow_model.", 0},
        {"a second model",
         "spaz_model_name arms\ncollision_joint_table t { 1\n} ;\nspaz_model_name legs\n",
         "spaz_model_name was already defined as 'arms' before " + file + "(6)", 1},
        // The model's reader names the model; the parse stops with the line.
        {"a model cut to half its length", "spaz_model_name cut\n",
         "Bad mow_joint_array_size = 14 with 648 bytes left", 0},
        {"a model that is not there", "spaz_model_name legs\n",
         "Could not find '" + lower(dir.path()) + "\\legs.mow' for reading", 0},
        // A name is kept as written and looked for lower-cased: only a
        // repeated lower-case name is noticed.
        {"a table defined twice",
         "spaz_model_name arms\ncollision_joint_table T { 1\n} ;\n"
         "collision_joint_table T { 2\n} ;\ncollision_joint_table t { 3\n} ;\n"
         "collision_joint_table t { 4\n} ;\n",
         "win_joint_table 't' already defined before " + file + "(10)", 3},
        // The parser engine's own errors name the file and line too.
        {"a block without ranges", "spaz_model_name arms\ncollision_joint_table t {\n} ;\n",
         "Parse error near " + file + "(5): syntax error", 0},
        {"a comma outside a block", "idle , walk\n",
         "Parse error near " + file + "(3): syntax error", 0},
        {"a quoted string", "\"idle\"\n", "Parse error near " + file + "(3): syntax error", 0},
        {"a comment never closed", "idle /* walk\n",
         "Nesting comment never terminated.  Last nested comment start was at " + file + "(3)", 0},
    };
    // Nothing of it goes to the terminal as a bare line.
    testing::internal::CaptureStderr();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = ast(c.body);
        int64_t live = heap_live_blocks();
        win_ast* table = malloc_win_ast("guard");
        log.clear();
        EXPECT_EQ(parse_ast_for_collision_tables(path.c_str(), table), 0);
        std::vector<std::string> logged = log.errors();
        ASSERT_GE(logged.size(), 2u);
        EXPECT_EQ(logged.front(), c.first_error);
        EXPECT_EQ(logged.back(), "There was an error loading '" + path + "' near line " +
                                     std::to_string(lex_line_cnt));
        EXPECT_EQ(table->win_joint_table_list_size, c.tables_kept);
        EXPECT_EQ(model_io_global_mow_model_list, nullptr);
        EXPECT_EQ(free_win_ast(table), 1);
        EXPECT_EQ(heap_live_blocks(), live);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // The file cannot be opened.
    win_ast* table = malloc_win_ast("guard");
    log.clear();
    EXPECT_EQ(parse_ast_for_collision_tables(dir.file("none.ast").c_str(), table), 0);
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{"File '" + dir.file("none.ast") + "' not found"});
    dir.write("old.ast", "24\n111\nend\n");
    log.clear();
    EXPECT_EQ(parse_ast_for_collision_tables(dir.file("old.ast").c_str(), table), 0);
    EXPECT_EQ(log.warnings(), std::vector<std::string>{"'" + dir.file("old.ast") +
                                                       "' has bad file version 111, expected 112"});
    EXPECT_EQ(free_win_ast(table), 1);
}

TEST_F(AnimIoYacc, ABadBlockDoesNotSpoilTheNextFile)
{
    std::string bad = ast("spaz_model_name arms\ncollision_joint_table t { 1 .. 0\n} ;\n",
                          "bad.ast");
    std::string good = ast("spaz_model_name arms\ncollision_joint_table t { 1\n} ;\nend\n",
                           "good.ast");
    win_ast* table = malloc_win_ast("guard");
    EXPECT_EQ(parse_ast_for_collision_tables(bad.c_str(), table), 0);
    EXPECT_EQ(lex_parse_ok, 0);
    EXPECT_EQ(free_win_ast(table), 1);

    table = malloc_win_ast("guard");
    log.clear();
    EXPECT_EQ(parse_ast_for_collision_tables(good.c_str(), table), 1);
    EXPECT_EQ(joint_tables(table), std::vector<std::string>{"t: 1..1"});
    EXPECT_TRUE(log.errors().empty());
    EXPECT_EQ(free_win_ast(table), 1);
}

TEST_F(AnimIoYacc, EachFailingAllocationOfAParseIsRefusedWithoutALeak)
{
    std::string path = ast("spaz_model_name arms\ncollision_joint_table t { 1 .. 3 , hips } ;\n"
                           "collision_joint_table u { all } ;\n");
    int swept = heap_failure_sweep([&] {
        win_ast* table = malloc_win_ast("guard");
        if (!table)
            return false;
        int parsed = parse_ast_for_collision_tables(path.c_str(), table);
        free_win_ast(table);
        return parsed == 1;
    });
    EXPECT_GT(swept, 10);
}

// Without a model directory (none set, or one too long to hold) a model
// name is refused.
TEST_F(AnimIoYacc, AModelNeedsTheModelDirectory)
{
    EXPECT_EQ(anim_io_yacc_set_model_directory(nullptr), 1);
    std::string path = ast("spaz_model_name arms\n");
    win_ast* table = malloc_win_ast("guard");
    EXPECT_EQ(parse_ast_for_collision_tables(path.c_str(), table), 0);
    EXPECT_EQ(log.errors().front(),
              "Cannot anim_io_yacc_spaz_model_name with NULL model_directory.");
    EXPECT_EQ(free_win_ast(table), 1);
    log.clear();
    const std::string long_name(4096, 'd');
    EXPECT_EQ(anim_io_yacc_set_model_directory(long_name.c_str()), 0);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"Model directory '" + long_name + "' is too long."});
}

TEST_F(AnimIoYacc, TheTraceReducesTheRulesInTheirOrder)
{
    std::string path = ast("spaz_model_name arms\ncollision_joint_table t { 1 .. 2 , 3\n} ;\n");
    FILE* trace = std::tmpfile();
    anim_io_yacc_parser.yymdebug = 1;
    anim_io_yacc_parser.yymdebugout = trace;
    win_ast* table = malloc_win_ast("guard");
    EXPECT_EQ(parse_ast_for_collision_tables(path.c_str(), table), 1);
    EXPECT_EQ(free_win_ast(table), 1);

    std::vector<std::string> reduced;
    std::istringstream lines(file_contents(trace));
    std::fclose(trace);
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find(": reduce rule ");
        if (at != std::string::npos)
            reduced.push_back(line.substr(at + 14));
    }
    EXPECT_EQ(reduced,
              (std::vector<std::string>{
                  "$$1 : (1)",
                  "statements : (4)",
                  "spaz_model_name : SPAZ_MODEL_NAME IDENT (12)",
                  "statement : spaz_model_name (10)",
                  "statements : statements statement (3)",
                  "$$2 : (13)",
                  "joint_pair : NUMBER DOUBLE_DOT NUMBER (23)",
                  "joint_pair_list : joint_pair (17)",
                  "$$3 : (15)",
                  "joint_pair : NUMBER (19)",
                  "joint_pair_list : joint_pair_list ',' $$3 joint_pair (16)",
                  "collision_joint_table : COLLISION_JOINT_TABLE IDENT '{' $$2 joint_pair_list "
                  "'}' ';' (14)",
                  "statement : collision_joint_table (11)",
                  "statements : statements statement (3)",
                  "file : $$1 statements (2)",
              }));
}
