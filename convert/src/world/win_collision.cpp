#include "win_collision.h"

#include "debug.h"

namespace {

// The entries of an owned array: its count while the pointer is set, else
// none (a count means nothing without its array).
int32_t entries(int32_t array_size, const void* array)
{
    return array ? array_size : 0;
}

// Whether `idx` indexes an array of `array_size` entries; logged when not.
int index_fits(const win_collision* hull, int32_t block_idx, const char* idx_word, long idx,
               const char* array_word, int32_t array_size)
{
    if (idx >= 0 && idx < array_size)
        return 1;
    LOG_ERROR("Bad %s = %ld in win_block %ld of win_collision %s with %s_size = %ld\n", idx_word,
              idx, (long)block_idx, hull->win_collision_name ? hull->win_collision_name : "(null)",
              array_word, (long)array_size);
    return 0;
}

}  // namespace

int win_collision_check_indexes(const void* win_collision_ptr)
{
    const win_collision* hull = (const win_collision*)win_collision_ptr;
    REFUSE_NULL(hull, "win_collision_check_indexes", "win_collision_ptr", 0);
    int32_t vtx_count = entries(hull->win_vtx_array_size, hull->win_vtx_array);
    int32_t plane_count = entries(hull->win_plane_array_size, hull->win_plane_array);
    int32_t block_count = entries(hull->win_block_array_size, hull->win_block_array);
    for (int32_t b = 0; b < block_count; ++b) {
        const win_block* block = &hull->win_block_array[b];
        if (!block->win_block_data)
            continue;
        switch (block->win_block_type) {
        case WIN_BLOCK_TYPE_LINE: {
            const win_line_block* line = (const win_line_block*)block->win_block_data;
            int32_t n = entries(line->win_vtx_idx_array_size, line->win_vtx_idx_array);
            for (int32_t k = 0; k < n; ++k)
                if (!index_fits(hull, b, "vtx_idx", line->win_vtx_idx_array[k], "win_vtx_array",
                                vtx_count))
                    return 0;
            break;
        }
        case WIN_BLOCK_TYPE_PLANAR: {
            // -1 names no plane; the runtime passes over planar blocks anyway.
            int32_t plane_idx = ((const win_planar_block*)block->win_block_data)->plane_idx;
            if (plane_idx != -1 &&
                !index_fits(hull, b, "plane_idx", plane_idx, "win_plane_array", plane_count))
                return 0;
            break;
        }
        case WIN_BLOCK_TYPE_CONVEX_POLY: {
            const win_convex_poly_block* poly = (const win_convex_poly_block*)block->win_block_data;
            int32_t n = entries(poly->win_plane_idx_array_size, poly->win_plane_idx_array);
            for (int32_t k = 0; k < n; ++k)
                if (!index_fits(hull, b, "plane_idx", poly->win_plane_idx_array[k],
                                "win_plane_array", plane_count))
                    return 0;
            break;
        }
        default:
            LOG_ERROR("Unknown win_block_type = %ld\n", (long)block->win_block_type);
            return 0;
        }
    }
    return 1;
}
