// The AI files of the demo level: a guard's AI description and the
// navigation map it walks, built as records and written in the text forms
// that the game's AI file readers take (ai_io.h), for the demo data tree and
// for tests and fuzz seeds that need real AI files.
#pragma once

#include "win_entity.h"

// The demo map's nodes: the corners of a square of DEMO_AI_MAP_SIDE units
// on the ground, "gate" at the origin, then "tower" (+x), "well" and "yard"
// (+z), in that order around it.
enum { DEMO_AI_MAP_NODES = 4 };
constexpr float DEMO_AI_MAP_SIDE = 200.0f;

// A new guard (release with free_win_ai): hostile, walking and running, with
// an end script and both hit scripts, guarding a point of the map, with a
// melee sector near it and a standard attack farther out, and two
// hit-reaction sectors. Every value its description holds but the demeanor
// stands away from its default. NULL after a log line.
win_ai* demo_ai_make_guard(void);

// A new map of the square (release with free_win_map, named `name`): each
// node holds one path toward every node, the shorter way around the square
// (the first way round, clockwise, when both are as short), and the path
// toward itself holds the node alone. NULL after a log line.
win_map* demo_ai_make_map(const char* name);

// Writes `ai` as an AI description at `path` (a path of the game's form).
// 1, or 0 after a log line, with nothing left at `path`, when the file cannot
// be written or the record holds what the file has no way to say: a
// demeanor other than the three, a number that is not finite, a script name
// that does not read back as one word (or, for the end script, reads as a
// keyword or as "none"), a default goal's target name that does not read back
// as its own line, or an attack kind that no word gives. What lives only at
// run time (the goals, the current goal, the attack timer) and the default
// goal's extra value are no part of the file. The reader lower-cases the end
// script's name and keeps attack angles in radians, which the file gives in
// degrees.
int demo_ai_write(const char* path, const win_ai* ai);

// Writes `map` as a navigation map at `path`: 1, or 0 after a log line, with
// nothing left at `path`, when the file cannot be written or a node's name
// does not read back as its own line or its point is not finite. The counts
// and indexes are written as they stand, whether the reader takes them or
// not; the map's name (the reader names a map by its file) and the
// connecting-node arrays are no part of the file.
int demo_ai_write_map(const char* path, const win_map* map);
