// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

// collide_character
int collide_check_entity_to_entity(win_entity*, win_entity*, win_vect3*)
{
    return 0;
}

// shader_io
win_shader* load_win_shader_array(win_filename_ptr*, int32_t, const char*, const char*, const char*,
                                  const char*, const char*)
{
    return nullptr;
}

// entity_dup
win_entity* entity_duplicate_win_entity(win_entity*)
{
    return nullptr;
}
