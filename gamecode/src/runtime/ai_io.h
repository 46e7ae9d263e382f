// The AI's two text files, and the codes they carry:
//   AI descriptions (".int", in the AI directory) give one character its
//   personality, keyword values, scripts, default goal and hot sectors;
//   navigation maps ("map", in the AI directory) give an environment its
//   nodes and, for each node, one path toward every node of the map.
// Each reader builds a new record from the whole file. A file that does not
// read whole is refused: the log names the file and the line that failed, and
// nothing that was built for it is kept. In an AI description, though, a
// number line that cannot be read leaves its values at their defaults with a
// warning, and reading goes on.
//
// The code sets (goal types, the argument each default goal takes, attack
// kinds and the words for them, the keywords) are the ones the goal machine
// reads and any writer of these files writes.
#pragma once

#include <cstdint>

#include "win_entity.h"

// ---- Codes ----

// ai_goal_type: the goal codes shared by the script command add_new_goal
// (which passes them on as numbers), the AI description files and the goal
// machine, 0 to 36. Codes without a name have no behaviour of their own.
enum ai_goal_type : int32_t {
    AI_GOAL_IDLE = 0,
    AI_GOAL_FACE_AND_WALK_TO_POINT = 1,
    AI_GOAL_WALK_TO_POINT = 2,
    AI_GOAL_HUNT_TARGET = 4,
    AI_GOAL_WAIT = 7,
    AI_GOAL_ROAM_NODES = 8,
    AI_GOAL_SEEK_PLAYER = 10,
    AI_GOAL_TURN_TO_POINT = 12,
    AI_GOAL_ATTACK = 13,
    AI_GOAL_TURN_TO_TARGET = 18,
    AI_GOAL_APPROACH_TARGET = 19,
    AI_GOAL_FACE_ATTACK_SECTOR = 20,
    AI_GOAL_GUARD_POINT = 21,
    AI_GOAL_HUNT_TARGET_TO_WEAKNESS = 22,
    AI_GOAL_PICK_RANDOM_NODE = 23,
    AI_GOAL_WALK_TO_NODE = 24,
    AI_GOAL_WALK_STRAIGHT_TO_NODE = 25,
    AI_GOAL_DRIFT_TO_POINT = 26,
    AI_GOAL_BACK_TO_POINT = 28,
    AI_GOAL_SIDESTEP_TO_POINT = 29,
    AI_GOAL_ATTACK_OR_ROAM = 31,
    AI_GOAL_RUN_TO_NODE = 32,
    AI_GOAL_RUN_TO_POINT = 33,
    AI_GOAL_ATTACK_FROM_NODE = 34,
    AI_GOAL_RETREAT_FROM_POINT = 35,
    AI_GOAL_GO_TO_POINT_ALERT = 36,
    AI_GOAL_TYPE_COUNT = 37,
};

// What follows the default goal's type in an AI description.
enum ai_goal_argument {
    AI_GOAL_ARGUMENT_NONE,   // nothing
    AI_GOAL_ARGUMENT_POINT,  // a line of three floats, x y z: the goal point
    AI_GOAL_ARGUMENT_NAME,   // a line holding the target's name
};
// The argument of a default goal of `goal_type`; NONE for codes outside the
// table.
ai_goal_argument ai_default_goal_argument(int32_t goal_type);

// ai_attack_kind: the kind bits of an attack hot sector, which select the
// weapon an attack uses. Kinds with the bit AI_ATTACK_WEAPON add the bit of
// one weapon kind; that bit alone uses no weapon.
enum ai_attack_kind : int32_t {
    AI_ATTACK_STANDARD_1 = 0x1,
    AI_ATTACK_STANDARD_2 = 0x2,
    AI_ATTACK_STANDARD_3 = 0x4,
    AI_ATTACK_WEAPON = 0x4000,
    AI_ATTACK_MELEE_1 = 0x4008,
    AI_ATTACK_MELEE_2 = 0x4010,
    AI_ATTACK_MELEE_3 = 0x4020,
    AI_ATTACK_PROJECTILE_1 = 0x4040,
    AI_ATTACK_PROJECTILE_2 = 0x4080,
    AI_ATTACK_PROJECTILE_3 = 0x4100,
};
// The kind an attack sector's kind word gives (the case of the word does not
// matter): a word of the table, or AI_ATTACK_WEAPON for any other word.
int32_t ai_attack_kind_of_word(const char* word);
// A word that gives `kind`, or NULL when none does.
const char* ai_attack_kind_word(int32_t kind);

// ---- AI descriptions ----

// The ten numbers an AI description begins with, one a line, in file order:
// each a long or a float of win_personality at `offset`.
struct ai_file_number {
    const char* name;
    uint32_t offset;
    bool real;
};
enum { AI_FILE_NUMBER_COUNT = 10 };
extern const ai_file_number ai_file_numbers[AI_FILE_NUMBER_COUNT];

// The keyword section after them: pairs of a keyword and its value (a word,
// a number or a script name), in any number and order, spread over the lines
// in any way, ended by the first token that is no keyword: the end script's
// name, or "none". Keywords and demeanor words are read without regard to
// case.
enum ai_keyword {
    AI_KEYWORD_DEMEANOR,            // one of ai_demeanor_words
    AI_KEYWORD_FLYING_SPEED,        // a number
    AI_KEYWORD_FAST_FLYING_SPEED,   // a number
    AI_KEYWORD_GIVE_HIT_SCRIPT,     // a name
    AI_KEYWORD_RECEIVE_HIT_SCRIPT,  // a name
    AI_KEYWORD_TARGET_JOINT,        // a whole number
    AI_KEYWORD_COUNT,
};
extern const char* const ai_keywords[AI_KEYWORD_COUNT];
// The words of the demeanors, by win_personality.demeanor (WIN_DEMEANOR_*).
extern const char* const ai_demeanor_words[3];
// The end-script name that stands for no script.
extern const char* const ai_no_end_script;

// Reads `directory`\`filename`.int (the file name is lower-cased in place)
// into a new win_ai, which the caller owns; NULL after the log lines.
win_ai* ai_load_file(char* filename, const char* directory);

// ---- Navigation maps ----

// Reads `directory`\`filename`.map (the file name is lower-cased in place)
// into a new win_map named by the file name; NULL after the log lines.
//
// The file holds the node count N, then for each node its name, its point
// (x y z), its path count and its paths; each path is its node count and its
// node indexes, one a line. The goal machine walks from node i toward node j
// by the first index of path j of node i, so every node must hold a path
// toward each node of the map (at least N paths, each with at least one
// index), and every index must name a node of the map: a map that does not
// is refused.
win_map* ai_load_map_file(char* filename, const char* directory);
