#include "ai_camera.h"
#include "ai_hit.h"
#include "collide.h"
#include "collide_character.h"
#include "entity.h"
#include "entity_io.h"
#include "entity_ops.h"
#include "entity_weapon.h"
#include "sound.h"
#include "test_support.h"
#include "varnock.h"
#include "vk_auto_aim.h"
#include "vk_tail.h"

TEST_RESET(runtime)
{
    sound_reset();
    varnock_reset();
    vk_tail_free();
    vk_auto_aim_reset();
    entity_io_reset();
    entity_reset();
    entity_ops_reset();
    entity_weapon_reset();
    ai_camera_reset();
    ai_hit_reset();
    collide_reset_check_count();
    collide_character_reset();
}
