// The demo episode: the prologue level that the first menu button starts,
// written into the data directories of game_globals with the game's own
// writers and the script assembler.
//
// The level is a walled courtyard about the origin, built to the demo
// figure's measure (it stands 3 units tall): a stone floor and walls (the
// model "yard") with the matching collision hulls, at dusk (an ambient and
// a directional light, a lamp, fog). The hero starts at its south end facing
// north (-z, the way an unturned entity faces), a full figure of 26 joints
// with a tail and weight, a sword in hand and a sling at his side that
// shoots stones; his AI description gives him what the hit rules ask of a
// character they hurt and names his end script, which closes the level
// when he falls. A flask lies in his way (the trigger "flask" takes it; Y
// drinks it); a hound roams the south yard. A band across the courtyard
// before the closed wooden gate (the model "gate" and its hull) is the
// trigger "gate", which opens the gate (the gate goes and its wall is
// switched off), puts the guard's comrades on the walkway behind the north
// wall (an emitter of copies of the guard) and sets the guard, who walks to
// his post at the start, on the hero. North of the gate the yard is gravel
// (a trigger changes the hero's step). The fighters' hurt states play their
// sounds and shake the camera through their scripts; a fatal blow fells a
// fighter, who lies still. When the guard is beaten, its end script opens
// the trigger "exit", a band at the north end that fires for a hero facing
// north, and walking into it ends the episode: a crane (an emitter of
// cameras) lifts the camera, the screen fades, the closing words stand for a
// few seconds and the game goes back to the menu. The camera follows the
// hero, comes down behind him at the start, swings to the gate while he
// stands before it and cuts between the north yard's views; embers rise and
// glow by the way out, their shader flickering. F7 runs the script "cheat":
// a hint for where the hero stands, his health whole again and the sling's
// pouch full. The fighters and the hound are the demo figure with volume,
// closed boxes round its body and head (the models "hero", "foe" and
// "hound"), so that they read from every side.
//
// The other four episode buttons start scripts that say on the console that
// their episode is not in the demo, and go back to the menu.
#pragma once

#include "win_geo.h"

// Where things stand, in the figure's units (y is up).
constexpr win_vect3 DEMO_LEVEL_HERO_START = {0.0f, 0.0f, 18.0f};
constexpr win_vect3 DEMO_LEVEL_GUARD_START = {0.0f, 0.0f, -6.0f};  // his post
constexpr float DEMO_LEVEL_HALF_SIDE = 24.0f;                      // the courtyard's walls
constexpr float DEMO_LEVEL_GATE_ZONE[2] = {5.0f, 11.0f};           // z of the gate trigger
constexpr float DEMO_LEVEL_GATE_WALL[2] = {1.0f, 3.0f};            // z of the gate
constexpr float DEMO_LEVEL_EXIT_ZONE[2] = {-24.0f, -17.0f};        // z of the exit trigger
constexpr float DEMO_LEVEL_HERO_SPEED = 4.0f;                      // units a second while walking
constexpr win_vect3 DEMO_LEVEL_FLASK_START = {1.5f, 0.0f, 13.5f};
constexpr float DEMO_LEVEL_FLASK_ZONE[2] = {12.0f, 15.0f};  // z of the flask's trigger
// The fight: each side's hitpoints and blows (a blow takes its value less
// the other side's armour: 3 for the hero, 2 for the guard), the stones in
// the sling's pouch and what a stone takes (less the guard's armour, 2).
constexpr float DEMO_LEVEL_HERO_HITPOINTS = 100.0f;
constexpr float DEMO_LEVEL_GUARD_HITPOINTS = 30.0f;
constexpr int32_t DEMO_LEVEL_HERO_BLOW = 12;
constexpr int32_t DEMO_LEVEL_GUARD_BLOW = 20;
constexpr int32_t DEMO_LEVEL_SLING_STONES = 9;
constexpr float DEMO_LEVEL_STONE_DAMAGE = 8.0f;
// The hitpoints the flask gives back (up to the hero's whole health).
constexpr float DEMO_LEVEL_FLASK_MEAD = 40.0f;

// The scripts the game starts by name.
extern const char* const demo_level_start_script;      // the first menu button's
extern const char* const demo_level_flask_script;      // walking over the flask
extern const char* const demo_level_flask_use_script;  // "<item>_use": Y with the flask
extern const char* const demo_level_gate_script;
extern const char* const demo_level_guard_end_script;  // the guard's AI's end script
extern const char* const demo_level_hero_end_script;   // the hero's AI's end script
extern const char* const demo_level_end_script;
extern const char* const demo_level_cheat_script;   // the Hints key's
extern const char* const demo_level_gravel_script;  // walking north of the gate

// Writes every file of the episode (entities, models with their shaders and
// textures, collision hulls, state tables, animations, the AI description
// and navigation map, sounds and compiled scripts) into the directories of
// game_globals, which must exist. The textures' pictures are plain, with no
// text: the game font need not be open. 1, or 0 after a message on stderr
// or a log line.
int demo_level_write(void);
