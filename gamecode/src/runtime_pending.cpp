// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

#include "debug.h"
#include "win_entity.h"
#include "win_math.h"

// ---- ai (ai.cpp) ----

// The sector test as the AI module gives it, for the auto-aim until then:
// the entity's xz facing turned by each bounding angle decides the side, the
// xz distance the range.
int32_t ai_check_hot_sector(const win_entity* entity, const win_entity* target,
                            const win_hot_sector* sector)
{
    REFUSE_NULL(entity, "ai_check_hot_sector", "entity", 0);
    REFUSE_NULL(target, "ai_check_hot_sector", "target", 0);
    REFUSE_NULL(sector, "ai_check_hot_sector", "sector", 0);
    const float* f = sector->sector.f;  // minimum, maximum, angle from, angle to
    const win_vect3 position = {entity->local_matrix.m[3][0], entity->local_matrix.m[3][1],
                                entity->local_matrix.m[3][2]};
    const win_vect3 aim = {target->local_matrix.m[3][0], target->local_matrix.m[3][1],
                           target->local_matrix.m[3][2]};
    win_vect3 facing[2];
    for (int i = 0; i < 2; ++i) {
        win_matrix43 turn, turned;
        win_math_set_rotate_y_matrix43(&turn, f[2 + i]);
        win_math_multiply_matrix43(&turned, &turn, &entity->local_matrix);
        win_math_calc_xz_direction_vect3(&facing[i], &turned);
    }
    const float ox = aim.x - position.x;
    const float oz = aim.z - position.z;
    if (facing[0].z * ox - facing[0].x * oz < 0.0f)
        return 4;
    if (facing[1].z * ox - facing[1].x * oz > 0.0f)
        return 5;
    const float r = win_math_calc_xz_dist(&position, &aim);
    if (r < f[0])
        return 3;
    if (r > f[1])
        return 2;
    return 1;
}
