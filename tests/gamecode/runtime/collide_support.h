// Fixtures of the collision suites: hulls, environments and moving entities
// built in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "collide.h"
#include "win_entity.h"
#include "win_trigger.h"

// One block of a hull: its type and the corners or planes it names.
struct HullBlock {
    int32_t type;
    std::vector<int32_t> indexes;
};

// A hull with one reference, holding the corners, planes and blocks given.
win_collision* make_hull(const char* name, const std::vector<win_vect3>& corners,
                         const std::vector<win_plane>& planes,
                         const std::vector<HullBlock>& blocks);
// One wall from (0, 0, 0) to (100, 0, 0): its front faces +z.
win_collision* wall_hull();
// A square room, 0 to 100 in x and z, its four walls facing in.
win_collision* room_hull();
// A floor: the square 0 to 100 in x and z of the plane y = 0, facing up. Its
// edges go round: x <= 100, z <= 100, x >= 0, z >= 0.
extern const std::vector<win_plane> floor_planes;
win_collision* floor_hull();

// Releases the hull's reference with the object.
struct HullHolder {
    win_collision* hull;
    explicit HullHolder(win_collision* h) : hull(h) {}
    ~HullHolder() { free_win_collision(hull); }
    HullHolder(const HullHolder&) = delete;
    HullHolder& operator=(const HullHolder&) = delete;
};

// An environment entity whose hull slots hold `hulls` (NULL: an empty
// slot), taking their references; released with free_win_entity.
win_entity* make_environment(const char* name, const std::vector<win_collision*>& hulls);
// Gives the environment `count` triggers, each of the defaults, and returns
// them.
win_trigger* give_triggers(win_entity* environment, int32_t count);
// Sets a trigger's name, its volume (taking the hull's reference) and its
// script (NULL: none).
void set_trigger(win_trigger* trigger, const char* name, win_collision* volume,
                 const char* script_name);
// Gives the environment one explore camera for each name, its zone the hull
// beside it (taking its reference; NULL: none), and returns them.
struct ZoneCam {
    const char* name;
    win_collision* zone;
};
win_explore_cam* give_explore_cams(win_entity* environment, const std::vector<ZoneCam>& cams);

// An entity of `type` at `at`, turned by `turn_y` about y, with the default
// flags; a character gets its payload, with a model of sphere `radius` when
// that is above 0. Released with free_win_entity.
win_entity* make_mover(const char* name, int32_t type, win_vect3 at, float radius = 0.0f,
                       float turn_y = 0.0f);

// Releases an entity with the object.
struct EntityHolder {
    win_entity* entity;
    explicit EntityHolder(win_entity* e) : entity(e) {}
    ~EntityHolder() { free_win_entity(entity); }
    EntityHolder(const EntityHolder&) = delete;
    EntityHolder& operator=(const EntityHolder&) = delete;
    win_entity* operator->() const { return entity; }
};
