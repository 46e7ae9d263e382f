// The AI description and navigation map files: what they read into, what
// they refuse and with which lines, and what the demo writers write.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ai_io.h"
#include "demo_ai.h"
#include "heap.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

// The lines joined into a file's text.
std::string text_of(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// `lines` with line `number` (counted from 1) replaced; with `keep` set,
// only the lines up to it.
Lines with_line(Lines lines, size_t number, const std::string& line)
{
    lines.at(number - 1) = line;
    return lines;
}
Lines up_to_line(Lines lines, size_t number)
{
    lines.resize(number);
    return lines;
}

// An AI description that sets every value away from its default, spreading
// the keyword section over three lines; its line numbers are those of the
// file.
const Lines guard_lines = {
    "27",  // 1
    "105",
    "5       // personality_long_1",
    "-1",
    "2.5     // attack_interval",  // 5
    "3       // mobility_type",
    "12",
    "20",
    "35",
    "2",  // 10
    "4",
    "6",
    "demeanor chicken flying_speed 12.5",
    "FAST_FLYING_SPEED 30 give_hit_script guard_strikes",
    "Receive_Hit_Script guard_hurt target_joint -3",  // 15
    "Guard_Beaten",
    "21      // guard a point",
    "100 0 100",
    "1       // attack sectors",
    "10 200",  // 20
    "-45 45",
    "melee_2",
    "1       // hit-reaction sectors",
    "0 100",
    "-45 45",  // 25
    "7",
};

// A map of two nodes, each with a path toward either.
const Lines yard_lines = {
    "57",  // 1
    "100",
    "2       // nodes",
    "gate",
    "0 0 0",  // 5
    "2       // paths",
    "1",
    "0",
    "1",
    "1",  // 10
    "tower",
    "100 0 0",
    "2",
    "1",
    "0",  // 15
    "1",
    "1",
};

class AiIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        log.clear();
    }

    // The loaders as the entity loader calls them, with a name of its own
    // that they lower-case.
    win_ai* load_ai(std::string name = "guard") const
    {
        return ai_load_file(name.data(), dir.path().c_str());
    }
    win_map* load_map(std::string name = "yard") const
    {
        return ai_load_map_file(name.data(), dir.path().c_str());
    }
    // The path the loaders build, as their messages quote it.
    std::string path(const std::string& file) const { return dir.path() + "\\" + file; }
    void put(const std::string& file, const Lines& lines) const { dir.write(file, text_of(lines)); }

    struct Refusal {
        const char* what;
        Lines lines;
        Lines errors;
    };
    // Each row's lines, put at `file` and loaded with `load`, are refused with
    // the row's error lines, leaving no heap block and no warning behind (so
    // no release of a record that was never read).
    template <class Load>
    void expect_refusals(const std::string& file, const std::vector<Refusal>& rows, Load load)
    {
        for (const Refusal& row : rows) {
            SCOPED_TRACE(row.what);
            put(file, row.lines);
            log.clear();
            int64_t live = heap_live_blocks();
            EXPECT_EQ(load(), nullptr);
            EXPECT_EQ(log.errors(), row.errors);
            EXPECT_TRUE(log.warnings().empty());
            EXPECT_EQ(heap_live_blocks(), live);
        }
    }

    TempDir dir;
    LogCapture log;
};

std::vector<float> sector_values(const win_hot_sector* s)
{
    return {s->sector.f[0], s->sector.f[1], s->sector.f[2], s->sector.f[3], (float)s->sector_kind};
}

// Every sector of a list, in list order.
std::vector<std::vector<float>> sectors_of(const win_hot_sector* list, int32_t size)
{
    std::vector<std::vector<float>> rows;
    const win_hot_sector* s = list;
    for (int32_t i = 0; i < size; ++i, s = s->next_ptr)
        rows.push_back(sector_values(s));
    EXPECT_EQ(s, list) << "the ring holds as many sectors as its size";
    return rows;
}

std::string str(const char* text)
{
    return text ? text : "(null)";
}

// Everything an AI description holds is the same in both records.
void expect_same_description(const win_ai* read, const win_ai* made)
{
    for (const ai_file_number& number : ai_file_numbers) {
        const char* a = (const char*)&read->personality + number.offset;
        const char* b = (const char*)&made->personality + number.offset;
        if (number.real)
            EXPECT_EQ(*(const float*)a, *(const float*)b) << number.name;
        else
            EXPECT_EQ(*(const int32_t*)a, *(const int32_t*)b) << number.name;
    }
    EXPECT_EQ(read->personality.demeanor, made->personality.demeanor);
    EXPECT_EQ(read->personality.flying_speed, made->personality.flying_speed);
    EXPECT_EQ(read->personality.fast_flying_speed, made->personality.fast_flying_speed);
    EXPECT_EQ(str(read->end_script), str(made->end_script));
    EXPECT_EQ(str(read->give_hit_script), str(made->give_hit_script));
    EXPECT_EQ(str(read->receive_hit_script), str(made->receive_hit_script));
    EXPECT_EQ(read->target_joint, made->target_joint);
    EXPECT_EQ(read->default_goal.ai_goal_type, made->default_goal.ai_goal_type);
    EXPECT_EQ(str(read->default_goal.target_name), str(made->default_goal.target_name));
    EXPECT_EQ(read->default_goal.goal_point.x, made->default_goal.goal_point.x);
    EXPECT_EQ(read->default_goal.goal_point.y, made->default_goal.goal_point.y);
    EXPECT_EQ(read->default_goal.goal_point.z, made->default_goal.goal_point.z);
    EXPECT_EQ(sectors_of(read->attack_sector_list, read->attack_sector_list_size),
              sectors_of(made->attack_sector_list, made->attack_sector_list_size));
    EXPECT_EQ(sectors_of(read->hit_reaction_sector_list, read->hit_reaction_sector_list_size),
              sectors_of(made->hit_reaction_sector_list, made->hit_reaction_sector_list_size));
}

TEST_F(AiIo, ADescriptionFillsEveryValueOfItsRecord)
{
    put("guard.int", guard_lines);
    std::string name = "Guard";
    win_ai* ai = ai_load_file(name.data(), dir.path().c_str());
    ASSERT_NE(ai, nullptr);
    EXPECT_EQ(name, "guard") << "the name is lower-cased in place";
    EXPECT_EQ(log.notices(), (Lines{"           Loading Guard from file...",
                                    "Reading INT file '" + path("guard.int") + "'"}));
    EXPECT_TRUE(log.errors().empty());

    const win_personality& p = ai->personality;
    EXPECT_EQ(p.personality_long_1, 5);
    EXPECT_EQ(p.personality_long_2, -1);
    EXPECT_EQ(p.attack_interval, 2.5f);
    EXPECT_EQ(p.mobility_type, 3);
    EXPECT_EQ((std::vector<int32_t>{p.damage_1, p.damage_2, p.damage_3}),
              (std::vector<int32_t>{12, 20, 35}));
    EXPECT_EQ(p.armour, 2);
    EXPECT_EQ(p.melee_armour, 4);
    EXPECT_EQ(p.projectile_armour, 6);
    EXPECT_EQ(p.demeanor, WIN_DEMEANOR_CHICKEN);
    EXPECT_EQ(p.flying_speed, 12.5f);
    EXPECT_EQ(p.fast_flying_speed, 30.0f);
    EXPECT_STREQ(ai->give_hit_script, "guard_strikes");
    EXPECT_STREQ(ai->receive_hit_script, "guard_hurt");
    EXPECT_EQ(ai->target_joint, -3);
    EXPECT_STREQ(ai->end_script, "guard_beaten") << "a lower-cased copy";
    EXPECT_EQ(ai->default_goal.ai_goal_type, AI_GOAL_GUARD_POINT);
    EXPECT_EQ(ai->default_goal.goal_point.x, 100.0f);
    EXPECT_EQ(ai->default_goal.goal_point.z, 100.0f);
    EXPECT_EQ(ai->default_goal.target_name, nullptr);
    EXPECT_EQ(ai->default_goal.goal_arg, -1);
    EXPECT_EQ(ai->win_goal_entry_list, nullptr);
    EXPECT_EQ(ai->current_goal, nullptr);

    // Attack angles are kept in radians, hit-reaction angles as they stand.
    ASSERT_EQ(ai->attack_sector_list_size, 1);
    const float* attack = ai->attack_sector_list->sector.f;
    EXPECT_EQ(attack[0], 10.0f);
    EXPECT_EQ(attack[1], 200.0f);
    EXPECT_FLOAT_EQ(attack[2], -0.7853982f);
    EXPECT_FLOAT_EQ(attack[3], 0.7853982f);
    EXPECT_EQ(ai->attack_sector_list->sector_kind, AI_ATTACK_MELEE_2);
    EXPECT_EQ(ai->attack_sector_list->sector_kind, 0x4010);
    ASSERT_EQ(ai->hit_reaction_sector_list_size, 1);
    EXPECT_EQ(sector_values(ai->hit_reaction_sector_list),
              (std::vector<float>{0.0f, 100.0f, -45.0f, 45.0f, 7.0f}));
    free_win_ai(ai);
}

TEST_F(AiIo, DescriptionsWithoutKeywordsOrArgumentsAndEveryKindWord)
{
    struct Case {
        const char* what;
        Lines body;  // after the header and the ten numbers
        std::function<void(const win_ai*)> check;
    };
    const Case cases[] = {
        {"no keywords, no end script in any case, and a wait goal, which has no argument line",
         {"NoNe", "7", "0", "0"},
         [](const win_ai* ai) {
             EXPECT_EQ(ai->end_script, nullptr);
             EXPECT_EQ(ai->personality.demeanor, WIN_DEMEANOR_HOSTILE);
             EXPECT_EQ(ai->personality.flying_speed, 10.0f);
             EXPECT_EQ(ai->target_joint, -1);
             EXPECT_EQ(ai->default_goal.ai_goal_type, AI_GOAL_WAIT);
             EXPECT_EQ(ai->attack_sector_list, nullptr);
             EXPECT_EQ(ai->hit_reaction_sector_list, nullptr);
         }},
        {"every kind word in any case, in file order",
         {"none", "0", "5", "0 1", "0 0", "Standard", "0 2", "0 0", "STANDARD_3", "0 3", "0 0",
          "projectile_1", "0 4", "0 0", "bite", "0 5", "0 0", "Melee_3", "0"},
         [](const win_ai* ai) {
             std::vector<int32_t> kinds;
             const win_hot_sector* s = ai->attack_sector_list;
             for (int32_t i = 0; i < ai->attack_sector_list_size; ++i, s = s->next_ptr) {
                 EXPECT_EQ(s->sector.f[1], (float)(i + 1));
                 kinds.push_back(s->sector_kind);
             }
             EXPECT_EQ(kinds, (std::vector<int32_t>{0x1, 0x4, 0x4040, 0x4000, 0x4020}));
         }},
        {"a target goal's name is its whole line",
         {"none", "13", "the  player", "0", "0"},
         [](const win_ai* ai) {
             EXPECT_EQ(ai->default_goal.ai_goal_type, AI_GOAL_ATTACK);
             EXPECT_STREQ(ai->default_goal.target_name, "the  player");
         }},
        {"keyword values across lines and comments, a keyword given twice, and words after "
         "the end script on its line",
         {"give_hit_script", "first /* a comment", "over lines */ demeanor", "NEUTRAL",
          "give_hit_script second target_joint", "- 2", "finale trailing words", "0", "0", "0"},
         [](const win_ai* ai) {
             EXPECT_STREQ(ai->give_hit_script, "second");
             EXPECT_EQ(ai->personality.demeanor, WIN_DEMEANOR_NEUTRAL);
             EXPECT_EQ(ai->target_joint, -2);
             EXPECT_STREQ(ai->end_script, "finale");
             EXPECT_EQ(ai->default_goal.ai_goal_type, AI_GOAL_IDLE);
         }},
    };
    Lines head(guard_lines.begin(), guard_lines.begin() + 12);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Lines lines = head;
        lines.insert(lines.end(), c.body.begin(), c.body.end());
        put("guard.int", lines);
        log.clear();
        win_ai* ai = load_ai();
        ASSERT_NE(ai, nullptr);
        EXPECT_TRUE(log.errors().empty());
        c.check(ai);
        free_win_ai(ai);
    }
}

// What follows a default goal's type: the table's ends and the codes
// beside them, and none for codes outside it.
TEST(AiIoCodes, TheArgumentOfADefaultGoalGoesByItsCode)
{
    const struct {
        int32_t type;
        ai_goal_argument argument;
    } cases[] = {
        {-1, AI_GOAL_ARGUMENT_NONE},
        {AI_GOAL_IDLE, AI_GOAL_ARGUMENT_NONE},
        {AI_GOAL_FACE_AND_WALK_TO_POINT, AI_GOAL_ARGUMENT_POINT},
        {AI_GOAL_HUNT_TARGET, AI_GOAL_ARGUMENT_NAME},
        {AI_GOAL_GO_TO_POINT_ALERT, AI_GOAL_ARGUMENT_POINT},
        {AI_GOAL_TYPE_COUNT, AI_GOAL_ARGUMENT_NONE},
        {INT32_MAX, AI_GOAL_ARGUMENT_NONE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ai_default_goal_argument(c.type), c.argument) << c.type;
}

TEST_F(AiIo, AnUnknownDemeanorIsKeptWithAWarning)
{
    put("guard.int", with_line(guard_lines, 13, "demeanor grumpy flying_speed 12.5"));
    win_ai* ai = load_ai();
    ASSERT_NE(ai, nullptr);
    EXPECT_EQ(ai->personality.demeanor, WIN_DEMEANOR_HOSTILE);
    EXPECT_EQ(log.warnings(),
              Lines{"Unknown demeanor 'grumpy' in '" + path("guard.int") + "' at line 13"});
    free_win_ai(ai);
}

// A number line that cannot be read leaves its values at their defaults
// with a warning, and reading goes on.
TEST_F(AiIo, AnUnreadableNumberLineKeepsItsDefaults)
{
    const std::string file = path("guard.int");
    struct Case {
        const char* what;
        Lines lines;
        Lines errors;  // of the line reader
        Lines warnings;
        std::function<void(const win_ai*)> check;
    };
    const Case cases[] = {
        {"a word for the attack interval",
         with_line(guard_lines, 5, "soon"),
         {"Invalid character 0 in 'soon' at line 5"},
         {"Could not read attack_interval in '" + file + "' at line 5; it keeps its default"},
         [](const win_ai* ai) {
             EXPECT_EQ(ai->personality.attack_interval, 5.0f);
             EXPECT_EQ(ai->personality.mobility_type, 3);
         }},
        {"a word for the mobility type",
         with_line(guard_lines, 6, "walk"),
         {"Invalid character in line 6"},
         {"Could not read mobility_type in '" + file + "' at line 6; it keeps its default"},
         [](const win_ai* ai) {
             EXPECT_EQ(ai->personality.mobility_type, 1);
             EXPECT_EQ(ai->personality.damage_1, 12);
         }},
        {"a goal point of two numbers",
         with_line(guard_lines, 18, "100 0"),
         {"Unable to scan all three numbers at line 18"},
         {"Could not read the default goal point in '" + file +
          "' at line 18; it keeps its default"},
         [](const win_ai* ai) {
             EXPECT_EQ(ai->default_goal.ai_goal_type, AI_GOAL_GUARD_POINT);
             EXPECT_EQ(ai->default_goal.goal_point.x, 0.0f);
             EXPECT_EQ(ai->default_goal.goal_point.y, 0.0f);
         }},
        {"a word among the angles",
         with_line(guard_lines, 21, "-45 right"),
         {"Invalid character 4 in '-45 right' at line 21"},
         {"Could not read the angles of attack sector 0 in '" + file +
          "' at line 21; it keeps its default"},
         [](const win_ai* ai) {
             EXPECT_EQ(sectors_of(ai->attack_sector_list, ai->attack_sector_list_size),
                       (std::vector<std::vector<float>>{
                           {10.0f, 200.0f, -1.0f, -1.0f, (float)AI_ATTACK_MELEE_2}}));
         }},
        {"a word for a hit-reaction kind",
         with_line(guard_lines, 26, "stagger"),
         {"Invalid character in line 26"},
         {"Could not read the kind of hit-reaction sector 0 in '" + file +
          "' at line 26; it keeps its default"},
         [](const win_ai* ai) {
             EXPECT_EQ(sectors_of(ai->hit_reaction_sector_list, ai->hit_reaction_sector_list_size),
                       (std::vector<std::vector<float>>{{0.0f, 100.0f, -45.0f, 45.0f, -1.0f}}));
         }},
        {"no hit-reaction sectors",
         up_to_line(guard_lines, 22),
         {"Unable to read an int at line 22"},
         {"Could not read hit_reaction_sector_list_size in '" + file +
          "' at line 22; it keeps its default"},
         [](const win_ai* ai) {
             EXPECT_EQ(ai->attack_sector_list_size, 1);
             EXPECT_EQ(ai->hit_reaction_sector_list, nullptr);
             EXPECT_EQ(ai->hit_reaction_sector_list_size, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put("guard.int", c.lines);
        log.clear();
        win_ai* ai = load_ai();
        ASSERT_NE(ai, nullptr);
        EXPECT_EQ(log.errors(), c.errors);
        EXPECT_EQ(log.warnings(), c.warnings);
        c.check(ai);
        free_win_ai(ai);
    }
}

TEST_F(AiIo, ABrokenDescriptionIsRefusedWithItsLineAndLeavesNothing)
{
    const std::string file = path("guard.int");
    // The bytes of the guard's description after line `number`.
    auto after_line = [](size_t number) {
        return text_of(Lines(guard_lines.begin() + (long)number, guard_lines.end())).size();
    };
    expect_refusals(
        "guard.int",
        {
            {"no end to the keyword section",
             up_to_line(guard_lines, 15),
             {"Could not read the end script name in '" + file + "' at line 15"}},
            {"a keyword without its value",
             up_to_line(with_line(guard_lines, 15, "Receive_Hit_Script"), 15),
             {"Could not read receive_hit_script in '" + file + "' at line 15"}},
            {"a word for a keyword's number",
             with_line(guard_lines, 13, "demeanor chicken flying_speed fast"),
             {"Could not convert 'fast' to value at line 13",
              "Could not read flying_speed in '" + file + "' at line 13"}},
            {"a keyword's number beyond a float",
             with_line(guard_lines, 13, "flying_speed 1" + std::string(39, '0')),
             {"The flying_speed in '" + file + "' at line 13 is out of range"}},
            {"a goal type past the table",
             with_line(guard_lines, 17, "37"),
             {"Unknown goal type 37 in '" + file + "' at line 17"}},
            {"a negative goal type",
             with_line(guard_lines, 17, "-1"),
             {"Unknown goal type -1 in '" + file + "' at line 17"}},
            {"no line for a target goal's name",
             up_to_line(with_line(guard_lines, 17, "4"), 17),
             {"Could not read the default goal target name in '" + file + "' at line 17"}},
            {"a negative sector count",
             with_line(guard_lines, 19, "-1"),
             {"Bad attack_sector_list_size = -1 in '" + file + "' at line 19"}},
            {"more sectors counted than the file has lines",
             with_line(guard_lines, 19, "1000"),
             {"Bad attack_sector_list_size = 1000 with " + std::to_string(after_line(19)) +
              " bytes left in '" + file + "' at line 19"}},
            {"no kind word",
             up_to_line(guard_lines, 21),
             {"Could not read the kind of attack sector 0 in '" + file + "' at line 21"}},
            {"another version",
             with_line(guard_lines, 2, "104"),
             {"Wrong file version in '" + file + "', found 104 expected 105",
              "'" + file + "' found, but bad file type or file version"}},
        },
        [&] { return load_ai(); });
    log.clear();
    EXPECT_EQ(load_ai("missing"), nullptr);
    EXPECT_EQ(log.errors(), Lines{"Could not find '" + path("missing.int") + "'"});
}

TEST_F(AiIo, TheDemoGuardReadsBackAsItWasMade)
{
    win_ai* guard = demo_ai_make_guard();
    ASSERT_NE(guard, nullptr);
    ASSERT_EQ(demo_ai_write(dir.file("guard.int").c_str(), guard), 1);
    win_ai* read = load_ai();
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(log.errors().empty());
    expect_same_description(read, guard);
    EXPECT_EQ(read->personality.time_since_attack, 0.0f) << "no part of the file";
    free_win_ai(read);

    // The other demeanors, no end script and no hit script for the hits it
    // gives, and a goal with a target whose name fills the value column and
    // ends in the first character of a comment.
    FREE(guard->end_script);
    FREE(guard->give_hit_script);
    guard->end_script = guard->give_hit_script = nullptr;
    guard->default_goal.ai_goal_type = AI_GOAL_HUNT_TARGET;
    guard->default_goal.target_name = STRDUP("the player, at the far end of the yard, by the /");
    guard->default_goal.goal_point = {};  // which such a goal does not use
    for (int32_t demeanor : {WIN_DEMEANOR_NEUTRAL, WIN_DEMEANOR_CHICKEN}) {
        guard->personality.demeanor = demeanor;
        ASSERT_EQ(demo_ai_write(dir.file("guard.int").c_str(), guard), 1);
        read = load_ai();
        ASSERT_NE(read, nullptr);
        expect_same_description(read, guard);
        free_win_ai(read);
    }
    free_win_ai(guard);
}

TEST_F(AiIo, EveryFailingAllocationOfADescriptionIsRefused)
{
    win_ai* guard = demo_ai_make_guard();
    guard->default_goal.ai_goal_type = AI_GOAL_HUNT_TARGET;
    guard->default_goal.target_name = STRDUP("the player");
    ASSERT_EQ(demo_ai_write(dir.file("guard.int").c_str(), guard), 1);
    free_win_ai(guard);
    int swept = heap_failure_sweep([&] {
        win_ai* ai = load_ai();
        return ai && free_win_ai(ai);
    });
    // The record, four strings and four sectors.
    EXPECT_EQ(swept, 9);
}

TEST_F(AiIo, NullArgumentsAndOverlongPathsAreRefused)
{
    std::string name = "guard";
    EXPECT_EQ(ai_load_file(nullptr, "c:\\ai"), nullptr);
    EXPECT_EQ(ai_load_file(name.data(), nullptr), nullptr);
    EXPECT_EQ(ai_load_map_file(nullptr, "c:\\ai"), nullptr);
    EXPECT_EQ(ai_load_map_file(name.data(), nullptr), nullptr);
    std::string directory(600, 'd');
    EXPECT_EQ(ai_load_map_file(name.data(), directory.c_str()), nullptr);
    EXPECT_EQ(log.errors(),
              (Lines{"Cannot ai_load_file with NULL filename.",
                     "Cannot ai_load_file with NULL directory.",
                     "Cannot ai_load_map_file with NULL filename.",
                     "Cannot ai_load_map_file with NULL directory.",
                     "The path of 'guard' in '" + directory + "' is longer than 511 characters"}));
}

// ---- Navigation maps ----

// The nodes of a path as a list.
std::vector<int32_t> route(const win_path* path)
{
    return std::vector<int32_t>(path->node_idx_array,
                                path->node_idx_array + path->node_idx_array_size);
}

TEST_F(AiIo, TheDemoMapReadsBackAsItWasMade)
{
    win_map* made = demo_ai_make_map("unused");
    ASSERT_NE(made, nullptr);
    ASSERT_EQ(demo_ai_write_map(dir.file("yard.map").c_str(), made), 1);
    std::string name = "Yard";
    win_map* map = ai_load_map_file(name.data(), dir.path().c_str());
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(log.notices(), (Lines{"           Loading Yard from file...",
                                    "Reading MAP file '" + path("yard.map") + "'"}));
    EXPECT_TRUE(log.errors().empty());
    EXPECT_STREQ(map->win_map_name, "yard") << "named by its file, in lower case";
    ASSERT_EQ(map->node_array_size, DEMO_AI_MAP_NODES);
    for (int32_t i = 0; i < DEMO_AI_MAP_NODES; ++i) {
        const win_path_node& node = map->node_array[i];
        const win_path_node& want = made->node_array[i];
        EXPECT_STREQ(node.win_path_node_name, want.win_path_node_name);
        EXPECT_EQ(node.win_path_node_idx, i);
        EXPECT_EQ(node.node_location.x, want.node_location.x);
        EXPECT_EQ(node.node_location.z, want.node_location.z);
        EXPECT_EQ(node.connecting_node_idx_array, nullptr);
        ASSERT_EQ(node.path_array_size, DEMO_AI_MAP_NODES);
        for (int32_t j = 0; j < DEMO_AI_MAP_NODES; ++j) {
            const win_path& path = node.path_array[j];
            EXPECT_STREQ(path.win_path_name, "path");
            EXPECT_EQ(path.win_path_idx, -1);
            EXPECT_EQ(path.next_ptr, &path);
            EXPECT_EQ(route(&path), route(&want.path_array[j])) << i << " toward " << j;
        }
    }
    // From the gate: itself, then one way round or the other.
    EXPECT_EQ(route(&map->node_array[0].path_array[0]), (std::vector<int32_t>{0}));
    EXPECT_EQ(route(&map->node_array[0].path_array[2]), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(route(&map->node_array[0].path_array[3]), (std::vector<int32_t>{3}));
    free_win_map(map);
    free_win_map(made);
}

TEST_F(AiIo, ABrokenMapIsRefusedWithItsLineAndLeavesNothing)
{
    const std::string file = path("yard.map");
    const std::string no_nodes = "Could not allocate memory for MAP node array.  Filename: yard";
    const std::string no_paths =
        "Could not allocate memory for MAP node path array.  Filename: yard";
    expect_refusals(
        "yard.map",
        {
            {"no nodes",
             with_line(yard_lines, 3, "0"),
             {"Bad node_array_size = 0 in '" + file + "' at line 3", no_nodes}},
            {"a word for the node count",
             with_line(yard_lines, 3, "two"),
             {"Invalid character in line 3", no_nodes}},
            {"more nodes than the file can hold",
             with_line(yard_lines, 3, "40"),
             {"Bad node_array_size = 40 with 60 bytes left in '" + file + "' at line 3", no_nodes}},
            {"a point of two numbers",
             with_line(yard_lines, 5, "0 0"),
             {"Unable to scan all three numbers at line 5", "Failed to read the node location."}},
            {"the second node missing",
             up_to_line(yard_lines, 10),
             {"Could not read a node name in '" + file + "' at line 10",
              "Failed to read the node location."}},
            {"a node without paths",
             with_line(yard_lines, 6, "0"),
             {"Bad path_array_size = 0 in '" + file + "' at line 6", no_paths}},
            {"a word for the path count",
             with_line(yard_lines, 13, "x"),
             {"Invalid character in line 13", "Failed to read the path array size."}},
            {"a node without a path toward every node",
             with_line(yard_lines, 6, "1"),
             {"Node 0 has 1 paths for the 2 nodes of '" + file + "' at line 6"}},
            {"a path without nodes",
             with_line(yard_lines, 9, "0"),
             {"Bad node_idx_array_size = 0 in '" + file + "' at line 9",
              "Failed to read the number of node indexes for path 1."}},
            {"a word for a path's node count",
             with_line(yard_lines, 14, "one"),
             {"Invalid character in line 14",
              "Failed to read the number of node indexes for path 0."}},
            {"a node the map lacks",
             with_line(yard_lines, 10, "2"),
             {"Bad node index = 2 in '" + file + "' at line 10",
              "Failed to read node index 0 of path 1."}},
            {"a negative node",
             with_line(yard_lines, 15, "-1"),
             {"Bad node index = -1 in '" + file + "' at line 15",
              "Failed to read node index 0 of path 0."}},
            {"the last index missing",
             up_to_line(yard_lines, 16),
             {"Bad node_idx_array_size = 1 with 0 bytes left in '" + file + "' at line 16",
              "Failed to read the number of node indexes for path 1."}},
            {"a line too few for the last index, which a comment does not make up for",
             [] {
                 Lines lines = with_line(yard_lines, 16, "2");
                 lines.push_back("// the end");
                 return lines;
             }(),
             {"Unable to read an int at line 18", "Failed to read node index 1 of path 1."}},
            {"the type of another file",
             with_line(yard_lines, 1, "56"),
             {"Wrong file type in '" + file + "', found 56 expected 57",
              "'" + file + "' map file found, but bad file type or file version"}},
        },
        [&] { return load_map(); });
    log.clear();
    EXPECT_EQ(load_map("missing"), nullptr);
    EXPECT_EQ(log.errors(), Lines{"Could not find map file '" + path("missing.map") + "'"});
}

TEST_F(AiIo, EveryFailingAllocationOfAMapIsRefused)
{
    put("yard.map", yard_lines);
    int swept = heap_failure_sweep([&] {
        win_map* map = load_map();
        return map && free_win_map(map);
    });
    // The map and its name, the nodes, and per node its name, its paths and
    // each path's name and nodes.
    EXPECT_EQ(swept, 3 + 2 * (2 + 2 * 2));
}

// ---- The writers ----

void replace_name(char** slot, const char* name)
{
    FREE(*slot);
    *slot = STRDUP(name);
}

TEST_F(AiIo, TheWritersRefuseWhatTheirFilesCannotSay)
{
    struct Case {
        const char* what;
        std::function<void(win_ai*)> spoil_ai;  // or else
        std::function<void(win_map*)> spoil_map;
        std::string error;
    };
    const Case cases[] = {
        {"a demeanor without a word", [](win_ai* ai) { ai->personality.demeanor = 5; }, nullptr,
         "a demeanor that has no word"},
        {"a speed that is no number", [](win_ai* ai) { ai->personality.flying_speed = NAN; },
         nullptr, "a number that is not finite"},
        {"an end script named as no script",
         [](win_ai* ai) { replace_name(&ai->end_script, "None"); }, nullptr,
         "an end script name that does not read back as itself"},
        {"an end script named as a keyword",
         [](win_ai* ai) { replace_name(&ai->end_script, "Target_Joint"); }, nullptr,
         "an end script name that does not read back as itself"},
        {"a hit script the tokenizer splits",
         [](win_ai* ai) { replace_name(&ai->give_hit_script, "guard.strikes"); }, nullptr,
         "a hit script name that is no word"},
        {"a target goal without a target",
         [](win_ai* ai) { ai->default_goal.ai_goal_type = AI_GOAL_HUNT_TARGET; }, nullptr,
         "a default goal target name that is no line of its own"},
        {"an attack kind no word gives",
         [](win_ai* ai) { ai->attack_sector_list->sector_kind = 0x4001; }, nullptr,
         "an attack kind that no word gives"},
        {"a node name holding a comment", nullptr,
         [](win_map* map) { replace_name(&map->node_array[1].win_path_node_name, "a // b"); },
         "a node name that is no line of its own"},
        {"a node point that is no number", nullptr,
         [](win_map* map) { map->node_array[3].node_location.y = INFINITY; },
         "a number that is not finite"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        int written;
        std::string file;
        if (c.spoil_ai) {
            win_ai* ai = demo_ai_make_guard();
            c.spoil_ai(ai);
            file = dir.file("guard.int");
            written = demo_ai_write(file.c_str(), ai);
            free_win_ai(ai);
        } else {
            win_map* map = demo_ai_make_map("yard");
            c.spoil_map(map);
            file = dir.file("yard.map");
            written = demo_ai_write_map(file.c_str(), map);
            free_win_map(map);
        }
        EXPECT_EQ(written, 0);
        EXPECT_EQ(log.errors(), Lines{"Cannot write " + c.error + " to '" + file + "'"});
        EXPECT_TRUE(read_host_file(file).empty()) << "nothing is left of the refused file";
    }
}

}  // namespace
