// The record streams and link forms of every declared record type, checked
// against each other. The first input byte picks the type from the table
// below, the second the form (one record, an array or a list) and the count;
// the rest is the stored image. The stream reader (read_X_bin) and the link
// form (link_X over the same bytes in an arena) must both refuse it or both
// take the same bytes into equal records; what the stream reader took must
// write back into bytes that read back the same.
//
// A new record type joins the table with one line; its seeds (each form, with
// owned items two levels deep) are made from its description.
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "heap.h"
#include "mow_anim.h"
#include "mow_geo.h"
#include "parsestr.h"
#include "record.h"
#include "texture_container.h"
#include "win_ast.h"
#include "win_collision.h"
#include "win_entity.h"
#include "win_geo.h"
#include "win_shader.h"
#include "win_sound.h"
#include "win_trigger.h"

namespace {

const record_type* const fuzzed_types[] = {
    // value and vertex records
    &win_vect3_desc,
    &win_vect3_ptr_desc,
    &win_vect4_desc,
    &win_quat_desc,
    &win_norm_desc,
    &win_norm_ptr_desc,
    &win_plane_desc,
    &win_rot_desc,
    &win_scale_desc,
    &win_uv_desc,
    &win_rgba_desc,
    &win_diffuse_desc,
    &win_xform_desc,
    &win_matrix33_desc,
    &win_matrix43_desc,
    &win_matrix44_desc,
    &win_bbox_desc,
    &win_spatial_desc,
    &win_sector_desc,
    &win_vtx_diffuse_desc,
    &win_vtx_norm_diffuse_desc,
    &win_vtx_norm_uv_desc,
    &win_vtx_norm_diffuse_uv_desc,
    &win_vtx_rhw_diffuse_uv_desc,
    // file names and load scripts
    &win_filename_ptr_desc,
    &win_load_script_desc,
    // textures
    &vk_bitmap_desc,
    &texture_container_desc,
    &texture_container_ptr_desc,
    &transparent_texture_desc,
    // models
    &mow_joint_desc,
    &mow_cluster_vtx_desc,
    &mow_cluster_desc,
    &mow_shader_group_desc,
    &mow_mesh_desc,
    &mow_segment_info_desc,
    &mow_appendage_info_desc,
    &mow_model_desc,
    &mow_track_augment_desc,
    // animations
    &mow_rot_key_desc,
    &mow_trans_key_desc,
    &mow_scale_key_desc,
    &mow_shader_idx_key_desc,
    &mow_sphere_key_desc,
    &mow_segment_key_desc,
    &mow_appendage_sphere_key_desc,
    &mow_appendage_key_desc,
    &mow_track_desc,
    &mow_anim_desc,
    &mow_anim_ptr_desc,
    // collision hulls
    &win_line_block_desc,
    &win_planar_block_desc,
    &win_convex_poly_block_desc,
    &win_block_desc,
    &win_collision_desc,
    // entity slots, AI records, navigation maps
    &win_collision_ptr_desc,
    &win_state_name_ptr_desc,
    &win_hot_sector_desc,
    &win_personality_desc,
    &win_goal_entry_desc,
    &win_ai_desc,
    &win_path_node_desc,
    &win_path_desc,
    &win_map_desc,
    // state tables
    &win_anim_table_entry_desc,
    &win_joint_pair_desc,
    &win_joint_table_desc,
    &win_anim_table_base_desc,
    &win_sound_fx_ptr_desc,
    &win_ast_desc,
    // shaders
    &win_shader_desc,
    // entities and their payloads
    &win_weapon_data_desc,
    &win_character_desc,
    &win_explore_cam_desc,
    &win_environment_desc,
    &d3d_light_desc,
    &win_light_desc,
    &win_camera_target_desc,
    &win_camera_desc,
    &win_emitter_desc,
    &win_entity_desc,
    &win_entity_ptr_desc,
    // triggers
    &win_trigger_desc,
    // sound containers
    &win_sound_container_desc,
    &win_sound_container_ptr_desc,
    // scripts
    &expression_desc,
    &string_desc,
    &expression_ptr_desc,
    &compiled_info_desc,
    &running_script_desc,
};
constexpr size_t type_count = sizeof fuzzed_types / sizeof fuzzed_types[0];

enum form { FORM_SINGLE, FORM_ARRAY, FORM_LIST };

// ---- Records in memory, read through the description

char* at(void* rec, uint32_t offset)
{
    return (char*)rec + offset;
}
void* pointer(const void* rec, uint32_t offset)
{
    void* value;
    std::memcpy(&value, (const char*)rec + offset, sizeof value);
    return value;
}
void set_pointer(void* rec, uint32_t offset, const void* value)
{
    std::memcpy(at(rec, offset), &value, sizeof value);
}
int32_t word(const void* rec, uint32_t offset)
{
    int32_t value;
    std::memcpy(&value, (const char*)rec + offset, sizeof value);
    return value;
}
void set_word(void* rec, uint32_t offset, int32_t value)
{
    std::memcpy(at(rec, offset), &value, sizeof value);
}
const record_type* variant_of(const record_field& field, const void* rec)
{
    for (uint32_t i = 0; i < field.n_variants; ++i)
        if (field.variants[i].tag == word(rec, field.count_offset))
            return field.variants[i].type;
    return nullptr;
}

bool same_record(const record_type* type, const void* a, const void* b);

bool same_text(const char* a, const char* b)
{
    return (!a && !b) || (a && b && std::strcmp(a, b) == 0);
}

bool same_array(const record_type* type, const void* a, const void* b, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        if (!same_record(type, (const char*)a + (size_t)i * type->size,
                         (const char*)b + (size_t)i * type->size))
            return false;
    return true;
}

bool same_list(const record_type* type, const void* a, const void* b, int32_t count)
{
    const dlink* x = (const dlink*)a;
    const dlink* y = (const dlink*)b;
    for (int32_t i = 0; i < count; ++i, x = x->next_ptr, y = y->next_ptr)
        if (!same_record(type, x, y) || x->next_ptr->prev_ptr != x || y->next_ptr->prev_ptr != y)
            return false;
    return x == a && y == b;  // the lists close after `count` nodes
}

// Equal content: words, strings, counts and every owned item, field by field.
bool same_record(const record_type* type, const void* a, const void* b)
{
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        bool holds_pointer = record_kind_owns(field.kind) || field.kind == RECORD_SLOT;
        const void* pa = holds_pointer ? pointer(a, field.offset) : nullptr;
        const void* pb = holds_pointer ? pointer(b, field.offset) : nullptr;
        int32_t count = record_kind_has_count(field.kind) ? word(a, field.count_offset) : 0;
        if (record_kind_has_count(field.kind) && count != word(b, field.count_offset))
            return false;
        if (record_kind_owns(field.kind) && (pa == nullptr) != (pb == nullptr))
            return false;
        // No count is left beside items that were not read.
        if (record_kind_counts_items(field.kind) && !pa && count != 0)
            return false;
        bool same = true;
        switch (field.kind) {
        case RECORD_WORDS:
            same = std::memcmp(at((void*)a, field.offset), at((void*)b, field.offset),
                               field.size) == 0;
            break;
        case RECORD_LINKS:  // the list walk checks them
            break;
        case RECORD_NAME:
        case RECORD_STRING:
            same = same_text((const char*)pa, (const char*)pb);
            break;
        case RECORD_REF_CNT:
            same = word(a, field.offset) == word(b, field.offset);
            break;
        case RECORD_ARRAY:
            same = !pa || same_array(field.elem, pa, pb, count);
            break;
        case RECORD_LIST:
            same = !pa || same_list(field.elem, pa, pb, count);
            break;
        case RECORD_RECORD:
            same = !pa || same_record(field.elem, pa, pb);
            break;
        case RECORD_NUMBERS:
            same = !pa || std::memcmp(pa, pb, (size_t)count * field.elem_size) == 0;
            break;
        case RECORD_VARIANT:
            same = !pa || same_record(variant_of(field, a), pa, pb);
            break;
        case RECORD_BYTES:
            same = !pa || std::memcmp(pa, pb, (size_t)field.byte_count(a)) == 0;
            break;
        case RECORD_SLOT:
            same = pa == pb;
            break;
        case RECORD_RUNTIME_ARRAY:  // the count is compared above; the slots are made at load
            same = !pointer(a, field.offset) && !pointer(b, field.offset);
            break;
        case RECORD_RUNTIME:
        case RECORD_UNSTORED:
        case RECORD_REFERENCE:  // 0 after every read and link
            for (uint32_t byte = 0; byte < field.size; ++byte)
                same = same && *at((void*)a, field.offset + byte) == 0 &&
                       *at((void*)b, field.offset + byte) == 0;
            break;
        }
        if (!same)
            return false;
    }
    return true;
}

// ---- One form of a type through the engine

void* read_form(const record_type* type, form how, int32_t count, FILE* file)
{
    switch (how) {
    case FORM_ARRAY:
        return record_read_array_bin(type, file, count);
    case FORM_LIST:
        return record_read_list_bin(type, file, count);
    default:
        return record_read_bin(type, file);
    }
}

void* link_form(const record_type* type, form how, int32_t count, link_cursor* cursor)
{
    switch (how) {
    case FORM_ARRAY:
        return record_link_array(type, cursor, count);
    case FORM_LIST:
        return record_link_list(type, cursor, count);
    default:
        return record_link(type, cursor);
    }
}

int write_form(const record_type* type, form how, int32_t count, FILE* file, const void* rec)
{
    switch (how) {
    case FORM_ARRAY:
        return record_write_array_bin(type, file, rec, count);
    case FORM_LIST:
        return record_write_list_bin(type, file, rec, count);
    default:
        return record_write_bin(type, file, rec);
    }
}

void free_form(const record_type* type, form how, int32_t count, void* rec)
{
    switch (how) {
    case FORM_ARRAY:
        FUZZ_CHECK(record_free_array(type, rec, count));
        break;
    case FORM_LIST:
        FUZZ_CHECK(record_free_list(type, rec));
        break;
    default:
        FUZZ_CHECK(record_free(type, rec));
    }
}

bool same_form(const record_type* type, form how, int32_t count, const void* a, const void* b)
{
    switch (how) {
    case FORM_ARRAY:
        return same_array(type, a, b, count);
    case FORM_LIST:
        return same_list(type, a, b, count);
    default:
        return same_record(type, a, b);
    }
}

// What `write` puts into a memory stream.
std::string written(const record_type* type, form how, int32_t count, const void* rec)
{
    char* buffer = nullptr;
    size_t length = 0;
    FILE* file = open_memstream(&buffer, &length);
    FUZZ_CHECK(write_form(type, how, count, file, rec));
    std::fclose(file);
    std::string bytes(buffer, length);
    std::free(buffer);
    return bytes;
}

// ---- Seeds: records with owned items two levels deep

void fill(const record_type* type, void* rec, int depth);

void* made_record(const record_type* type, int depth)
{
    void* rec = record_malloc(type, type->named ? "node" : nullptr);
    fill(type, rec, depth);
    return rec;
}

// Appends a new node; the list's reference is the one the node was made
// with, as the readers leave it.
void append(const record_type* type, void** list, int32_t* size, int depth)
{
    void* node = made_record(type, depth);
    record_add_to_list(type, (dlink**)list, size, (dlink*)node);
    if (type->counted)
        set_word(node, type->ref_cnt_offset, word(node, type->ref_cnt_offset) - 1);
}

void fill(const record_type* type, void* rec, int depth)
{
    bool deeper = depth < 2;
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        void* item = nullptr;
        int32_t count = 2;
        switch (field.kind) {
        case RECORD_STRING:
            item = STRDUP(depth % 2 ? "c:\\data\\win\\model" : "a");
            break;
        case RECORD_ARRAY:
            if (deeper && (item = record_malloc_array(field.elem, count)))
                for (int32_t e = 0; e < count; ++e)
                    fill(field.elem, at(item, (uint32_t)(e * field.elem->size)), depth + 1);
            break;
        case RECORD_LIST:
            for (int32_t n = 0, size = 0; deeper && n < count; ++n)
                append(field.elem, &item, &size, depth + 1);
            break;
        case RECORD_RECORD:
            if (deeper)
                item = made_record(field.elem, depth + 1);
            break;
        case RECORD_NUMBERS:
            count = 3;
            if ((item = MALLOC((size_t)count * field.elem_size)))
                std::memset(item, 7, (size_t)count * field.elem_size);
            break;
        case RECORD_VARIANT:
            set_word(rec, field.count_offset, field.variants[0].tag);
            if (deeper)
                item = made_record(field.variants[0].type, depth + 1);
            break;
        case RECORD_SLOT:
            set_pointer(rec, field.offset, (void*)(uintptr_t)7);
            break;
        default:  // words keep the template; names come with record_malloc
            break;
        }
        if (item) {
            set_pointer(rec, field.offset, item);
            if (record_kind_has_count(field.kind))
                set_word(rec, field.count_offset, count);
        }
    }
}

void seed_form(size_t index, form how, int32_t count)
{
    const record_type* type = fuzzed_types[index];
    void* rec = nullptr;
    if (how == FORM_SINGLE) {
        rec = made_record(type, 0);
    } else if (how == FORM_ARRAY) {
        rec = record_malloc_array(type, count);
        for (int32_t e = 0; e < count; ++e)
            fill(type, at(rec, (uint32_t)(e * type->size)), 1);
    } else {
        int32_t size = 0;
        for (int32_t n = 0; n < count; ++n)
            append(type, &rec, &size, 1);
    }
    std::string bytes;
    bytes += (char)index;
    bytes += (char)(how + 3 * (count - 1));
    bytes += written(type, how, count, rec);
    free_form(type, how, count, rec);
    static const char* const form_names[] = {"one", "array", "list"};
    fuzz_seed(std::string(type->name) + "_" + form_names[how], bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const record_type* type = fuzzed_types[data[0] % type_count];
    form how = (form)(data[1] % 3);
    int32_t count = 1 + data[1] / 3 % 4;
    if (how == FORM_LIST && !type->list_type)
        how = FORM_SINGLE;
    const uint8_t* image = data + 2;
    size_t image_size = size - 2;

    FILE* file = fuzz_stream(image, image_size);
    void* read = read_form(type, how, count, file);
    long read_bytes = std::ftell(file);
    std::fclose(file);

    char* block = (char*)MALLOC(image_size);
    std::memcpy(block, image, image_size);
    link_arena arena = {};
    link_cursor cursor = link_arena_begin(&arena, block, (int32_t)image_size, 0);
    void* linked = link_form(type, how, count, &cursor);

    FUZZ_CHECK((read != nullptr) == (linked != nullptr));
    if (read) {
        FUZZ_CHECK(read_bytes == (long)(cursor.data - block));
        FUZZ_CHECK(same_form(type, how, count, read, linked));

        std::string again = written(type, how, count, read);
        FILE* rewritten = fuzz_stream((const uint8_t*)again.data(), again.size());
        void* reread = read_form(type, how, count, rewritten);
        FUZZ_CHECK(reread != nullptr);
        FUZZ_CHECK(std::ftell(rewritten) == (long)again.size());
        std::fclose(rewritten);
        FUZZ_CHECK(same_form(type, how, count, read, reread));
        free_form(type, how, count, reread);
        free_form(type, how, count, read);
    }
    link_arena_free(&arena);
    return 0;
}

// The type's default record stored with a count beside each array, list and
// numbers it does not hold: one flipped byte of a file. No seed for a type
// without such counts.
void seed_counts_without_items(size_t index)
{
    const record_type* type = fuzzed_types[index];
    void* rec = record_malloc(type, nullptr);
    std::string image = written(type, FORM_SINGLE, 1, rec);
    free_form(type, FORM_SINGLE, 1, rec);
    bool counted = false;
    uint32_t offset = 0;
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        if (record_kind_counts_items(field.kind) && word(image.data(), offset + 4) == 0) {
            set_word(image.data(), offset, 0x26000000);
            counted = true;
        }
        offset += record_image_bytes(field);
    }
    if (counted)
        fuzz_seed(std::string(type->name) + "_counts_without_items",
                  std::string(1, (char)index) + std::string(1, (char)FORM_SINGLE) + image);
}

void fuzz_write_seeds(void)
{
    for (size_t index = 0; index < type_count; ++index) {
        seed_counts_without_items(index);
        seed_form(index, FORM_SINGLE, 1);
        seed_form(index, FORM_ARRAY, 2);
        if (fuzzed_types[index]->list_type)
            seed_form(index, FORM_LIST, 3);
    }
}
