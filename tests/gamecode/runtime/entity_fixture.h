// Entities built in memory as the loader leaves them, for the update and
// render suites: a character posed from the demo figure with a state table
// playing the demo wave, lights, cameras, emitters with their particles, and
// the ring that holds them.
#pragma once

#include <cstdint>
#include <vector>

#include "win_entity.h"

// The wave's root walks 2 units along z over its 1000 ms.
constexpr float WAVE_WALK_PER_MS = 2.0f / 1000.0f;

// A character named `name` at (x, y, z): with the demo figure and a pose
// array when `with_model`, with the demo relay table over the demo wave
// (demo_ast.h; in DEMO_RELAY_LONG, at its beginning) when `with_table`.
win_entity* fixture_character(const char* name, bool with_model, bool with_table, float x = 0.0f,
                              float y = 0.0f, float z = 0.0f);
// A light of D3D light type `type` (0 the ambient light), diffuse white.
win_entity* fixture_light(const char* name, uint32_t type);
// A camera at the origin with an AI but no brain: the camera AI puts the
// eye where the camera stands and pursues no goals.
win_entity* fixture_camera(const char* name);
// An emitter of `particles` character particles (no model), firing `rate`
// a second at speed 50, each particle living 1 second.
win_entity* fixture_emitter(const char* name, int32_t particles, float rate);

// Hangs `child` on `parent` at `joint_idx` (-1 the parent's world matrix).
win_entity* fixture_attach(win_entity* parent, win_entity* child, int32_t joint_idx = -1);

// The entity ring of the runtime, emptied and every entity released at the
// end of the test.
class FixtureRing {
public:
    FixtureRing() = default;
    ~FixtureRing();
    FixtureRing(const FixtureRing&) = delete;
    FixtureRing& operator=(const FixtureRing&) = delete;
    win_entity* add(win_entity* entity);
};

// Gives back the references of the weapon icon, item icon and closeup slots
// of game_globals and empties them, as a test ends.
void fixture_release_hud_textures(void);

// The sub-entities of `entity` in ring order.
std::vector<win_entity*> fixture_children(const win_entity* entity);
// The position (translation row) of a matrix.
win_vect3 fixture_position(const win_matrix43& matrix);
