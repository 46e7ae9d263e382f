// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

#include "collide.h"
#include "gameglobals.h"

// collide: until the environment's own test lands, the line-of-sight core
// over the current environment's hulls answers.
int collide_check_line_of_sight(const win_vect3* from, const win_vect3* to)
{
    const win_environment* environment = win_entity_environment(game_globals.current_environment);
    if (!environment || !environment->win_collision_ptr_array)
        return 0;
    return collide_check_line_of_sight_hulls(from, to, environment->win_collision_ptr_array,
                                             environment->win_collision_ptr_array_size);
}

// entity_weapon: until weapons land, every attack uses the standard weapon.
win_entity* entity_find_weapon_by_attack(win_entity*, int32_t)
{
    return NULL;
}
