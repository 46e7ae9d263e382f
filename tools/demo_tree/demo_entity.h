// Entities of the demo level, one of each kind, built with the entity records
// and written as entity files with the game's own entity writer, for the demo
// data tree and for tests that need real entity files. Each maker returns a
// new entity tree (release it with free_win_entity), or NULL after a log line
// when it cannot be made. Wherever it makes sense the values stand away from
// the records' defaults, so that a reader or writer that drops one shows.
#pragma once

#include <initializer_list>

#include "win_entity.h"

// The hero's state table: one state, "wave", playing the animation
// "demo_wave" whole and entering itself again at its end.
enum { DEMO_ENTITY_HERO_STATES = 1 };

// "hero": a character posed from the demo figure (model file "demo_figure"),
// visible, driven and a target, 50 units along z, with its own state table
// (file name "hero"), the AI file "hero", the state names "door_open" and
// "alarm" with the values 0 and 1, hit points 80 of 100 and weapon values of
// its own (clip 4, 2 shots since the reload, charge 0.5 of 2 gained at 0.25
// a second, ammo 12 of 40). It names the entity file "torch" as a
// sub-entity (loaded by the runtime) and holds one in its tree: "sword", a
// melee weapon held at the figure's arm joint (1).
win_entity* demo_entity_make_hero(void);

// "courtyard": an environment with the collision file "courtyard_wall" and
// the slot of that hull (four corners, one outline block of five corner
// indexes, so that what follows it lies 2 bytes off a multiple of 4), the
// trigger "gate" (volume "gate_zone", script "open_gate"), the explore camera
// "gate_cam" (zone "gate_zone", script "look_at_gate") and the navigation map
// file "courtyard".
win_entity* demo_entity_make_courtyard(void);

// "lamp": a warm point light (diffuse 255, 200, 120 in the files' 0 to 255)
// of range 300 above the courtyard, its light named "lamp_light".
win_entity* demo_entity_make_lamp(void);

// "camera": a camera with a field of view of 0.9 radians following "hero"
// at its arm joint (1), then the fixed point (0, 40, -120) of the target
// "gate".
win_entity* demo_entity_make_camera(void);

// "sparks": an emitter of 12 copies of the entity "spark", 4 a second,
// launched at twice 30 (+- 7) units a second, for 1.5 (+- 0.5) seconds.
win_entity* demo_entity_make_sparks(void);

// The demo level as one tree: the courtyard, with the hero (and through it
// the sword), the lamp, the camera and the sparks as its sub-entities, in
// that order.
win_entity* demo_entity_make_level(void);

// The makers' building blocks, for the demo level's own entities
// (demo_level.h).

// A new entity of `type` without payload, placed at `position` (NULL when it
// cannot be made).
win_entity* demo_entity_new(const char* name, int32_t type, win_vect3 position);
// Heap copies of `names` in a new array of name slots from `malloc_array`,
// stored with its count; false when something could not be made (whatever
// was made is held by the record).
bool demo_entity_set_names(char*** array, int32_t* array_size,
                           std::initializer_list<const char*> names,
                           char** (*malloc_array)(int32_t));
// Appends `child` (NULL: false) to the sub-entities of `parent`.
bool demo_entity_adopt(win_entity* parent, win_entity* child);
// What an emitter launches: `count` particles, `rate` a second, at twice
// `speed` (+- `speed_variance`), within `spread` degrees about each axis,
// living `life` (+- `life_variance`) seconds.
struct demo_emission {
    int32_t count;
    float rate;
    float speed;
    int32_t speed_variance;
    float spread;
    float life;
    float life_variance;
};
// A new emitter entity of copies of the entity `particle_template`.
win_entity* demo_entity_new_emitter(const char* name, win_vect3 position,
                                    const char* particle_template, const demo_emission& emission);
// `entity` when `ok`, else NULL with the entity released.
win_entity* demo_entity_finished(win_entity* entity, bool ok);

// Writes `entity` with its whole tree as an entity file at `path` (header,
// then the entity stream). 1, or 0 after a log line.
int demo_entity_write_file(const char* path, const win_entity* entity);
