#include "texture_container.h"

int32_t vk_bitmap_pixel_bytes(const void* vk_bitmap_ptr)
{
    const vk_bitmap* bitmap = (const vk_bitmap*)vk_bitmap_ptr;
    int32_t width = bitmap->vk_bitmap_width, height = bitmap->vk_bitmap_height;
    int32_t alpha = bitmap->vk_bitmap_has_alpha;
    if (width <= 0 || height <= 0 || (alpha != 0 && alpha != 1) || width > INT32_MAX / 4 ||
        bitmap->vk_bitmap_pitch != width * (alpha ? 4 : 3) ||
        height > INT32_MAX / bitmap->vk_bitmap_pitch)
        return -1;
    return height * bitmap->vk_bitmap_pitch;
}
