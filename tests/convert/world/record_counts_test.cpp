// Every record description with a count beside an array, a list or numbers:
// a count stored without its items (one flipped byte of a file) reads as 0
// with a line, in both forms, so that no walk bounded by the count goes
// round a ring, or along an array, that is not there.
#include <gtest/gtest.h>

#include "mow_anim.h"
#include "mow_geo.h"
#include "record_support.h"
#include "texture_container.h"
#include "win_ast.h"
#include "win_collision.h"
#include "win_entity.h"
#include "win_geo.h"
#include "win_shader.h"
#include "win_sound.h"
#include "win_trigger.h"

TEST(RecordCounts, ACountWithoutItsItemsReadsAsZeroInEveryDescription)
{
    const record_type* const types[] = {
        &win_filename_ptr_desc,
        &win_load_script_desc,
        &vk_bitmap_desc,
        &texture_container_desc,
        &mow_cluster_desc,
        &mow_shader_group_desc,
        &mow_mesh_desc,
        &mow_segment_info_desc,
        &mow_appendage_info_desc,
        &mow_model_desc,
        &mow_track_desc,
        &mow_anim_desc,
        &win_line_block_desc,
        &win_planar_block_desc,
        &win_convex_poly_block_desc,
        &win_collision_desc,
        &win_hot_sector_desc,
        &win_goal_entry_desc,
        &win_ai_desc,
        &win_path_desc,
        &win_path_node_desc,
        &win_map_desc,
        &win_anim_table_base_desc,
        &win_joint_table_desc,
        &win_ast_desc,
        &win_shader_desc,
        &win_character_desc,
        &win_environment_desc,
        &win_camera_desc,
        &win_emitter_desc,
        &win_entity_desc,
        &win_trigger_desc,
        &win_sound_container_desc,
    };
    int32_t counts = 0;
    for (const record_type* type : types)
        counts += expect_counts_follow_items(type);
    EXPECT_GT(counts, 30) << "the descriptions hold that many counts beside their items";
}
