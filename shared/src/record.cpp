#include "record.h"

#include <bit>
#include <cstring>

#include "debug.h"
#include "heap.h"

// Images are little-endian 32-bit words; the words of a record are copied to
// and from them as they lie in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

// ---- Access to the members of a record ----

char* member(void* rec, uint32_t offset)
{
    return (char*)rec + offset;
}

const char* member(const void* rec, uint32_t offset)
{
    return (const char*)rec + offset;
}

void* get_ptr(const void* rec, uint32_t offset)
{
    void* ptr;
    std::memcpy(&ptr, member(rec, offset), sizeof ptr);
    return ptr;
}

void set_ptr(void* rec, uint32_t offset, const void* ptr)
{
    std::memcpy(member(rec, offset), &ptr, sizeof ptr);
}

int32_t get_int(const void* rec, uint32_t offset)
{
    int32_t value;
    std::memcpy(&value, member(rec, offset), sizeof value);
    return value;
}

void set_int(void* rec, uint32_t offset, int32_t value)
{
    std::memcpy(member(rec, offset), &value, sizeof value);
}

uint32_t image_word(const char* image)
{
    uint32_t word;
    std::memcpy(&word, image, sizeof word);
    return word;
}

void put_word(char* image, uint32_t word)
{
    std::memcpy(image, &word, sizeof word);
}

uint32_t presence(const void* ptr)
{
    return ptr ? 1u : 0u;
}

char* element(const record_type* type, void* array, int32_t index)
{
    return (char*)array + (size_t)index * type->size;
}

const char* element(const record_type* type, const void* array, int32_t index)
{
    return (const char*)array + (size_t)index * type->size;
}

// The word of the pointer of a row inside its stretch of the image.
uint32_t stored_pointer(const record_field& field, const char* image)
{
    return image_word(image + (record_kind_has_count(field.kind) ? 4 : 0));
}

void self_link(const record_type* type, void* rec)
{
    if (type->list_type)
        dlink_init((dlink*)rec);
}

void set_template(const record_type* type, void* rec)
{
    std::memcpy(rec, type->templ, type->size);
    self_link(type, rec);
}

// The write-message word of an owned row: its own when given, else the default.
const char* write_word(const record_field& field, const char* fallback)
{
    return field.word[0] ? field.word : fallback;
}

// The type that the tag of a variant row picks, or NULL (logged).
const record_type* variant_type(const record_field& field, const void* rec)
{
    int32_t tag = get_int(rec, field.count_offset);
    for (uint32_t i = 0; i < field.n_variants; ++i)
        if (field.variants[i].tag == tag)
            return field.variants[i].type;
    LOG_ERROR("Unknown %s = %ld\n", field.count_name, (long)tag);
    return nullptr;
}

// A record whose variant pointer is set under an unknown tag cannot be taken
// apart: nothing says what the pointer holds.
int variants_known(const record_type* type, const void* rec)
{
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        if (field.kind == RECORD_VARIANT && get_ptr(rec, field.offset) && !variant_type(field, rec))
            return 0;
    }
    return 1;
}

// ---- Images ----

void encode_image(const record_type* type, const void* rec, char* image)
{
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        switch (field.kind) {
        case RECORD_WORDS:
            std::memcpy(image, member(rec, field.offset), field.size);
            break;
        case RECORD_LINKS:
            put_word(image, presence(get_ptr(rec, field.offset)));
            put_word(image + 4, presence(get_ptr(rec, field.count_offset)));
            break;
        case RECORD_ARRAY:
        case RECORD_LIST:
        case RECORD_NUMBERS:
            put_word(image, (uint32_t)get_int(rec, field.count_offset));
            put_word(image + 4, presence(get_ptr(rec, field.offset)));
            break;
        case RECORD_REF_CNT:
            put_word(image, (uint32_t)get_int(rec, field.offset));
            break;
        case RECORD_SLOT:
            put_word(image, (uint32_t)(uintptr_t)get_ptr(rec, field.offset));
            break;
        case RECORD_RUNTIME:
        case RECORD_REFERENCE:
            put_word(image, 0);
            break;
        case RECORD_UNSTORED:
            break;
        default:  // owned pointers
            put_word(image, presence(get_ptr(rec, field.offset)));
        }
        image += record_image_bytes(field);
    }
}

// Takes a stored image into a record that holds the template (and, read
// singly, its own name, which stays). Owned pointers become NULL until their
// items are read; run-time and unstored members 0; the reference count
// `ref_cnt`.
void decode_image(const record_type* type, const char* image, void* rec, int32_t ref_cnt)
{
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        switch (field.kind) {
        case RECORD_WORDS:
            std::memcpy(member(rec, field.offset), image, field.size);
            break;
        case RECORD_LINKS:
            dlink_init((dlink*)rec);
            break;
        case RECORD_NAME:
            break;
        case RECORD_ARRAY:
        case RECORD_LIST:
        case RECORD_NUMBERS:
            set_int(rec, field.count_offset, (int32_t)image_word(image));
            set_ptr(rec, field.offset, nullptr);
            break;
        case RECORD_REF_CNT:
            set_int(rec, field.offset, ref_cnt);
            break;
        case RECORD_SLOT:
            set_ptr(rec, field.offset, (void*)(uintptr_t)image_word(image));
            break;
        case RECORD_RUNTIME:
        case RECORD_REFERENCE:
        case RECORD_UNSTORED:
            std::memset(member(rec, field.offset), 0, field.size);
            break;
        default:
            set_ptr(rec, field.offset, nullptr);
        }
        image += record_image_bytes(field);
    }
}

// ---- Release ----

// Releases what the record owns and the references it holds; 1 when every
// release inside succeeded. A tagged record under an unknown tag is reported
// and left where it is: nothing says what it holds.
int release_owned(const record_type* type, void* rec)
{
    int released = 1;
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        if (!record_kind_releases(field.kind))
            continue;
        void* ptr = get_ptr(rec, field.offset);
        if (field.kind == RECORD_NAME && !ptr) {
            LOG_WARNING("%s_ptr did not have %s_name to free.\n", type->name, type->name);
            continue;
        }
        if (!ptr)
            continue;
        switch (field.kind) {
        case RECORD_ARRAY:
            released &= record_free_array(field.elem, ptr, get_int(rec, field.count_offset));
            break;
        case RECORD_LIST:
            released &= record_free_list(field.elem, ptr);
            break;
        case RECORD_RECORD:
        case RECORD_REFERENCE:
            released &= record_free(field.elem, ptr);
            break;
        case RECORD_VARIANT:
            if (const record_type* variant = variant_type(field, rec))
                released &= record_free(variant, ptr);
            else
                released = 0;
            break;
        default:  // the name, strings, numbers
            FREE(ptr);
        }
    }
    return released;
}

int release_record(const record_type* type, void* rec)
{
    int released = release_owned(type, rec);
    set_template(type, rec);
    FREE(rec);
    return released;
}

// ---- Writing ----

// A byte buffer: its length, the bytes, zero padding to a multiple of 4.
int write_bytes(FILE* bin_file, const uint8_t* bytes, int32_t length)
{
    static const char padding[4] = {};
    return length > 0 && file_write(bin_file, &length, 4) && file_write(bin_file, bytes, length) &&
           (length % 4 == 0 || file_write(bin_file, padding, 4 - length % 4));
}

int write_owned(const record_type* type, FILE* bin_file, const void* rec, const char* form)
{
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        if (!record_kind_owns(field.kind))
            continue;
        const record_type* variant = nullptr;
        if (field.kind == RECORD_VARIANT && !(variant = variant_type(field, rec)))
            return 0;
        void* ptr = get_ptr(rec, field.offset);
        if (!ptr)
            continue;
        int32_t count = record_kind_has_count(field.kind) ? get_int(rec, field.count_offset) : 0;
        int ok;
        switch (field.kind) {
        case RECORD_NAME:
            if (!(ok = write_str_bin(bin_file, (const char*)ptr, 4)))
                LOG_ERROR("Could not write_%s%s_bin %s_name.\n", type->name, form, type->name);
            break;
        case RECORD_STRING:
            if (!(ok = write_str_bin(bin_file, (const char*)ptr, 4)))
                LOG_ERROR("%s\n", "Could not write_str_bin.");
            break;
        case RECORD_ARRAY:
            if (!(ok = record_write_array_bin(field.elem, bin_file, ptr, count)))
                LOG_ERROR("Could not write_%s_array_bin.\n", write_word(field, field.name));
            break;
        case RECORD_LIST:
            if (!(ok = record_write_list_bin(field.elem, bin_file, ptr, count)))
                LOG_ERROR("Could not write_%s_bin.\n", write_word(field, field.name));
            break;
        case RECORD_RECORD:
            if (!(ok = record_write_bin(field.elem, bin_file, ptr)))
                LOG_ERROR("Could not write_%s_bin.\n", write_word(field, field.elem->name));
            break;
        case RECORD_NUMBERS:
            ok = count > 0 && count <= INT32_MAX / (int32_t)field.elem_size &&
                 file_write(bin_file, ptr, count * (int32_t)field.elem_size);
            if (!ok)
                LOG_ERROR("Could not write_%s_bin.\n", field.name);
            break;
        case RECORD_BYTES:
            if (!(ok = write_bytes(bin_file, (const uint8_t*)ptr, field.byte_count(rec))))
                LOG_ERROR("Could not write_%s_bin.\n", field.name);
            break;
        default:  // RECORD_VARIANT
            if (!(ok = record_write_bin(variant, bin_file, ptr)))
                LOG_ERROR("Could not write_%s_bin.\n", variant->name);
        }
        if (!ok)
            return 0;
    }
    return 1;
}

// ---- Reading and linking ----

// Where records come from: the stream forms read a file and build on the
// heap, the link forms read an image and build in its arena. The operation
// names in the messages follow ("read_X_bin" or "link_X").
struct source {
    FILE* bin_file;
    link_cursor* data_hdl;

    const char* form() const { return bin_file ? "read" : "link"; }
    const char* suffix() const { return bin_file ? "_bin" : ""; }
    long left() const
    {
        return bin_file ? (long)file_bytes_left(bin_file) : (long)(data_hdl->end - data_hdl->data);
    }
};

// The arena hands out memory from chunks that it releases all together.
constexpr size_t arena_align = 16;
constexpr size_t arena_chunk_size = 16384;

}  // namespace

struct link_chunk {
    link_chunk* next;
    size_t size;
    size_t used;
};

namespace {

constexpr size_t chunk_header = record_align_up(sizeof(link_chunk), arena_align);

void* arena_alloc(link_arena* arena, size_t size)
{
    size = (size + arena_align - 1) / arena_align * arena_align;
    link_chunk* chunk = arena->chunks;
    if (!chunk || chunk->size - chunk->used < size) {
        size_t room = size > arena_chunk_size ? size : arena_chunk_size;
        chunk = (link_chunk*)MALLOC(chunk_header + room);
        if (!chunk)
            return nullptr;
        chunk->next = arena->chunks;
        chunk->size = room;
        chunk->used = 0;
        arena->chunks = chunk;
    }
    void* block = (char*)chunk + chunk_header + chunk->used;
    chunk->used += size;
    return block;
}

// The refusals every link form makes first.
int cursor_usable(const link_cursor* data_hdl, const char* type_name, const char* form)
{
    if (!data_hdl) {
        LOG_ERROR("Cannot link_%s%s with NULL   data_hdl.\n", type_name, form);
        return 0;
    }
    if (!data_hdl->data) {
        LOG_ERROR("Cannot link_%s%s with NULL * data_hdl.\n", type_name, form);
        return 0;
    }
    if (!data_hdl->arena) {
        LOG_ERROR("Cannot link_%s%s with NULL link_arena.\n", type_name, form);
        return 0;
    }
    return 1;
}

// Whether `count` records of the type can stand in the bytes left; logged when not.
int count_fits(const record_type* type, const char* form, int32_t count, long left)
{
    if (count <= 0) {
        LOG_ERROR("Bad %s_%s_size = %ld\n", type->name, form, (long)count);
        return 0;
    }
    if (count > left / type->image_size) {
        LOG_ERROR("Bad %s_%s_size = %ld with %ld bytes left\n", type->name, form, (long)count,
                  left);
        return 0;
    }
    return 1;
}

char* take_str(const source& src)
{
    return src.bin_file ? read_str_bin(src.bin_file, 4) : link_str(src.data_hdl, 4);
}

void* take_record(const record_type* type, const source& src)
{
    return src.bin_file ? record_read_bin(type, src.bin_file) : record_link(type, src.data_hdl);
}

void* take_array(const record_type* type, const source& src, int32_t count)
{
    return src.bin_file ? record_read_array_bin(type, src.bin_file, count)
                        : record_link_array(type, src.data_hdl, count);
}

void* take_list(const record_type* type, const source& src, int32_t count)
{
    return src.bin_file ? record_read_list_bin(type, src.bin_file, count)
                        : record_link_list(type, src.data_hdl, count);
}

// Raw numbers: a heap block read from the file, or a copy in the arena (in
// the image they may lie 2 bytes off a multiple of 4).
void* take_numbers(const record_field& field, const source& src, int32_t count)
{
    long left = src.left();
    if (count > 0 && count > left / (long)field.elem_size) {
        LOG_ERROR("Bad %s = %ld with %ld bytes left\n", field.count_name, (long)count, left);
        return nullptr;
    }
    size_t bytes = (size_t)count * field.elem_size;
    void* numbers = nullptr;
    if (count > 0)
        numbers = src.bin_file ? MALLOC(bytes) : arena_alloc(src.data_hdl->arena, bytes);
    if (!numbers) {
        LOG_ERROR("Could not %s_%s%s.\n", src.form(), field.name, src.suffix());
        return nullptr;
    }
    if (src.data_hdl) {
        std::memcpy(numbers, src.data_hdl->data, bytes);
        src.data_hdl->data += bytes;
    } else if (!file_read(src.bin_file, numbers, (int32_t)bytes)) {
        LOG_ERROR("Could not read_%s_bin.\n", field.word);
        FREE(numbers);
        return nullptr;
    }
    return numbers;
}

// A byte buffer whose length the record's words give: a heap block read from
// the file, or a copy in the arena. The stored length must be that length and
// fit, with its padding, in the bytes left.
void* take_bytes(const record_field& field, const source& src, const void* rec)
{
    int32_t expected = field.byte_count(rec);
    int32_t length = -1;
    if (src.data_hdl) {
        if (src.left() >= 4)
            std::memcpy(&length, src.data_hdl->data, 4);
    } else if (src.left() >= 4) {
        file_read(src.bin_file, &length, 4);
    }
    long left = src.left() - (src.data_hdl ? 4 : 0);
    long padded = length > 0 ? (long)length + (4 - length % 4) % 4 : 0;
    if (expected <= 0 || length != expected || padded > left) {
        LOG_ERROR("Bad %s length = %ld, expected %ld with %ld bytes left\n", field.name,
                  (long)length, (long)expected, left < 0 ? 0L : left);
        return nullptr;
    }
    void* bytes = src.bin_file ? MALLOC((size_t)padded)
                               : arena_alloc(src.data_hdl->arena, (size_t)padded);
    if (!bytes) {
        LOG_ERROR("Could not %s_%s%s.\n", src.form(), field.name, src.suffix());
        return nullptr;
    }
    if (src.data_hdl) {
        std::memcpy(bytes, src.data_hdl->data + 4, (size_t)padded);
        src.data_hdl->data += 4 + padded;
    } else if (!file_read(src.bin_file, bytes, (int32_t)padded)) {
        LOG_ERROR("Could not read_%s_bin.\n", field.name);
        FREE(bytes);
        return nullptr;
    }
    return bytes;
}

// Takes the owned items that the stored image announces, the name too when
// `with_name`. Each item is stored in the record at once, so releasing the
// record after a failure releases what was taken.
int take_owned(const record_type* type, const source& src, void* rec, const char* image,
               bool with_name)
{
    const char* form = src.form();
    const char* suffix = src.suffix();
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        const char* stored = image;
        image += record_image_bytes(field);
        if (!record_kind_owns(field.kind) || (field.kind == RECORD_NAME && !with_name))
            continue;
        const record_type* variant = nullptr;
        if (field.kind == RECORD_VARIANT && !(variant = variant_type(field, rec)))
            return 0;
        if (!stored_pointer(field, stored))
            continue;
        int32_t count = record_kind_has_count(field.kind) ? get_int(rec, field.count_offset) : 0;
        void* item = nullptr;
        switch (field.kind) {
        case RECORD_NAME:
            if (!(item = take_str(src)))
                LOG_ERROR("Could not %s_str%s %s_name.\n", form, suffix, type->name);
            break;
        case RECORD_STRING:
            if (!(item = take_str(src)))
                LOG_ERROR("Could not %s_str%s.\n", form, suffix);
            break;
        case RECORD_ARRAY:
            if (!(item = take_array(field.elem, src, count)))
                LOG_ERROR("Could not %s_%s_array%s.\n", form, field.elem->name, suffix);
            break;
        case RECORD_LIST:
            if (!(item = take_list(field.elem, src, count)))
                LOG_ERROR("Could not %s_%s_list%s.\n", form, field.elem->name, suffix);
            break;
        case RECORD_RECORD:
            if (!(item = take_record(field.elem, src)))
                LOG_ERROR("Could not %s_%s%s.\n", form, field.elem->name, suffix);
            break;
        case RECORD_NUMBERS:
            item = take_numbers(field, src, count);
            break;
        case RECORD_BYTES:
            item = take_bytes(field, src, rec);
            break;
        default:  // RECORD_VARIANT
            if (!(item = take_record(variant, src)))
                LOG_ERROR("Could not %s_%s%s.\n", form, variant->name, suffix);
        }
        if (!item)
            return 0;
        set_ptr(rec, field.offset, item);
    }
    return 1;
}

// Whether a record read or linked whole passes its type's check (RECORD_CHECK);
// the check logs its own line.
int check_passes(const record_type* type, const void* rec)
{
    return !type->check || type->check(rec);
}

int check_array_passes(const record_type* type, const void* array, int32_t array_size)
{
    for (int32_t i = 0; type->check && i < array_size; ++i)
        if (!type->check(element(type, array, i)))
            return 0;
    return 1;
}

// Decodes the elements of an array from their stored images, then takes
// each element's owned items in index order.
int fill_array(const record_type* type, const source& src, void* array, const char* images,
               int32_t array_size)
{
    for (int32_t i = 0; i < array_size; ++i)
        decode_image(type, images + (size_t)i * type->image_size, element(type, array, i), 0);
    for (int32_t i = 0; type->owns && i < array_size; ++i)
        if (!take_owned(type, src, element(type, array, i), images + (size_t)i * type->image_size,
                        true))
            return 0;
    return check_array_passes(type, array, array_size);
}

// Reads or links `list_size` records and appends them to a new list in order.
void* take_list_of(const record_type* type, const source& src, int32_t list_size)
{
    if (!count_fits(type, "list", list_size, src.left()))
        return nullptr;
    dlink* list = nullptr;
    int32_t taken = 0;
    for (int32_t i = 0; i < list_size; ++i) {
        dlink* node = (dlink*)take_record(type, src);
        if (!node) {
            LOG_ERROR("Could not %s_%s_list%s.\n", src.form(), type->name, src.suffix());
            if (list && src.bin_file)
                record_free_list(type, list);
            return nullptr;
        }
        record_add_to_list(type, &list, &taken, node);
        if (type->counted)  // the list's reference is the one the record came with
            set_int(node, type->ref_cnt_offset, get_int(node, type->ref_cnt_offset) - 1);
    }
    return list;
}

}  // namespace

// ---- Memory forms ----

void* record_malloc(const record_type* type, const char* name)
{
    void* rec = MALLOC(type->size);
    if (!rec) {
        LOG_ERROR("Could not malloc_%s.\n", type->name);
        return nullptr;
    }
    set_template(type, rec);
    if (type->named) {
        if (name && name[0]) {
            char* copy = STRDUP(name);
            if (!copy) {
                LOG_ERROR("Could not strdup '%s'\n", name);
                release_record(type, rec);
                return nullptr;
            }
            set_ptr(rec, type->name_offset, copy);
        } else {
            LOG_WARNING("%s_name is NULL (or 0 length) in malloc_%s %s_struct\n", type->name,
                        type->name, type->name);
        }
    }
    if (type->counted)
        set_int(rec, type->ref_cnt_offset, get_int(rec, type->ref_cnt_offset) + 1);
    return rec;
}

void* record_malloc_array(const record_type* type, int32_t array_size)
{
    if (array_size <= 0) {
        LOG_ERROR("Bad %s_array_size = %ld\n", type->name, (long)array_size);
        return nullptr;
    }
    void* array = MALLOC((size_t)array_size * type->size);
    if (!array) {
        LOG_ERROR("Could not malloc_%s_array.\n", type->name);
        return nullptr;
    }
    for (int32_t i = 0; i < array_size; ++i)
        set_template(type, element(type, array, i));
    return array;
}

namespace {

// The three refusals of both list operations.
int list_arguments(const record_type* type, const char* operation, dlink** list, int32_t* list_size,
                   dlink* rec)
{
    if (!list) {
        LOG_ERROR("Cannot %s_%s_list with NULL %s_list.\n", operation, type->name, type->name);
        return 0;
    }
    if (!list_size) {
        LOG_ERROR("Cannot %s_%s_list with NULL %s_list_size.\n", operation, type->name, type->name);
        return 0;
    }
    if (!rec) {
        LOG_ERROR("Cannot %s_%s_list with NULL %s_ptr.\n", operation, type->name, type->name);
        return 0;
    }
    return 1;
}

}  // namespace

int record_add_to_list(const record_type* type, dlink** list, int32_t* list_size, dlink* rec)
{
    if (!list_arguments(type, "add_to", list, list_size, rec))
        return 0;
    ++*list_size;
    if (type->counted)
        set_int(rec, type->ref_cnt_offset, get_int(rec, type->ref_cnt_offset) + 1);
    return dlink_add(list, rec);
}

int record_remove_from_list(const record_type* type, dlink** list, int32_t* list_size, dlink* rec)
{
    if (!list_arguments(type, "remove_from", list, list_size, rec))
        return 0;
    if (dlink_pos(*list, rec) < 0) {
        LOG_ERROR("%s_ptr is not a member of %s_list.\n", type->name, type->name);
        return 0;
    }
    if (type->counted)
        set_int(rec, type->ref_cnt_offset, get_int(rec, type->ref_cnt_offset) - 1);
    --*list_size;
    if (*list == rec)
        return dlink_remove(list);
    dlink* handle = rec;
    return dlink_remove(&handle);
}

int record_free(const record_type* type, void* rec)
{
    if (!rec) {
        LOG_ERROR("Cannot free_%s with NULL %s_ptr.\n", type->name, type->name);
        return 0;
    }
    if (type->counted) {
        int32_t ref_cnt = get_int(rec, type->ref_cnt_offset) - 1;
        if (ref_cnt < 0) {
            LOG_ERROR("%s_ref_cnt is less than 0\n", type->name);
            return 0;
        }
        set_int(rec, type->ref_cnt_offset, ref_cnt);
        if (ref_cnt > 0)
            return 1;
    }
    if (!variants_known(type, rec)) {
        if (type->counted)
            set_int(rec, type->ref_cnt_offset, 1);
        return 0;
    }
    return release_record(type, rec);
}

int record_free_array(const record_type* type, void* array, int32_t array_size)
{
    if (!array) {
        LOG_ERROR("Cannot free_%s_array with NULL %s_array.\n", type->name, type->name);
        return 0;
    }
    if (array_size <= 0) {
        LOG_ERROR("Bad %s_array_size = %ld\n", type->name, (long)array_size);
        return 0;
    }
    // Every element is released even when one cannot be: stopping would
    // lose the rest and the array.
    int released = 1;
    for (int32_t i = 0; i < array_size; ++i) {
        char* rec = element(type, array, i);
        if (type->counted && get_int(rec, type->ref_cnt_offset) != 0) {
            const char* name = type->named ? (const char*)get_ptr(rec, type->name_offset) : nullptr;
            LOG_WARNING("%s_ref_cnt is not 0 for %s\n", type->name, name ? name : "(null)");
        }
        released &= release_owned(type, rec);
        set_template(type, rec);
    }
    FREE(array);
    return released;
}

int record_free_list(const record_type* type, void* list)
{
    if (!list) {
        LOG_ERROR("Cannot free_%s_list with NULL %s_list.\n", type->name, type->name);
        return 0;
    }
    return dlink_free_list((dlink*)list, type->free_funct);
}

// ---- Stream forms ----

int record_write_bin(const record_type* type, FILE* bin_file, const void* rec)
{
    if (!bin_file) {
        LOG_ERROR("Cannot write_%s_bin with NULL bin_file.\n", type->name);
        return 0;
    }
    if (!rec) {
        LOG_ERROR("Cannot write_%s_bin with NULL %s_ptr.\n", type->name, type->name);
        return 0;
    }
    char image[RECORD_MAX_IMAGE];
    encode_image(type, rec, image);
    if (!file_write(bin_file, image, type->image_size)) {
        LOG_ERROR("Could not write_%s_bin.\n", type->name);
        return 0;
    }
    return write_owned(type, bin_file, rec, "");
}

int record_write_array_bin(const record_type* type, FILE* bin_file, const void* array,
                           int32_t array_size)
{
    if (!bin_file) {
        LOG_ERROR("Cannot write_%s_array_bin with NULL bin_file.\n", type->name);
        return 0;
    }
    if (!array) {
        LOG_ERROR("Cannot write_%s_array_bin with NULL %s_array.\n", type->name, type->name);
        return 0;
    }
    if (array_size <= 0 || array_size > INT32_MAX / type->image_size) {
        LOG_ERROR("Bad %s_array_size = %ld\n", type->name, (long)array_size);
        return 0;
    }
    int32_t bytes = array_size * type->image_size;
    int written;
    if (type->flat) {
        written = file_write(bin_file, array, bytes);
    } else {
        char* images = (char*)MALLOC((size_t)bytes);
        if (!images) {
            LOG_ERROR("Could not write_%s_array_bin.\n", type->name);
            return 0;
        }
        for (int32_t i = 0; i < array_size; ++i)
            encode_image(type, element(type, array, i), images + (size_t)i * type->image_size);
        written = file_write(bin_file, images, bytes);
        FREE(images);
    }
    if (!written) {
        LOG_ERROR("Could not write_%s_array_bin.\n", type->name);
        return 0;
    }
    if (type->owns)
        for (int32_t i = 0; i < array_size; ++i)
            if (!write_owned(type, bin_file, element(type, array, i), "_array"))
                return 0;
    return 1;
}

int record_write_list_bin(const record_type* type, FILE* bin_file, const void* list,
                          int32_t list_size)
{
    if (!bin_file) {
        LOG_ERROR("Cannot write_%s_list_bin with NULL bin_file.\n", type->name);
        return 0;
    }
    if (!list) {
        LOG_ERROR("Cannot write_%s_list_bin with NULL %s_list.\n", type->name, type->name);
        return 0;
    }
    int32_t written = 0;
    const dlink* node = (const dlink*)list;
    do {
        if (!record_write_bin(type, bin_file, node)) {
            LOG_ERROR("Could not write_%s_list_bin.\n", type->name);
            return 0;
        }
        ++written;
        node = node->next_ptr;
    } while (node && node != list);
    if (written != list_size) {
        LOG_ERROR("Could not write_%s_list_bin, list_size = %ld, elements written = %ld.\n",
                  type->name, (long)list_size, (long)written);
        return 0;
    }
    return 1;
}

void* record_read_bin(const record_type* type, FILE* bin_file)
{
    if (!bin_file) {
        LOG_ERROR("Cannot read_%s_bin with NULL bin_file.\n", type->name);
        return nullptr;
    }
    char image[RECORD_MAX_IMAGE];
    if (!file_read(bin_file, image, type->image_size)) {
        LOG_ERROR("Could not read_%s_bin.\n", type->name);
        return nullptr;
    }
    // The name comes first: the record is made with it.
    char* name = nullptr;
    if (type->named && image_word(image + type->name_image_offset)) {
        name = read_str_bin(bin_file, 4);
        if (!name) {
            LOG_ERROR("Could not read_str_bin %s_name.\n", type->name);
            return nullptr;
        }
    }
    void* rec = record_malloc(type, name);
    if (name)
        FREE(name);
    if (!rec) {
        LOG_ERROR("Could not malloc_%s.\n", type->name);
        return nullptr;
    }
    decode_image(type, image, rec, 1);
    if (!take_owned(type, source{bin_file, nullptr}, rec, image, false) ||
        !check_passes(type, rec)) {
        record_free(type, rec);
        return nullptr;
    }
    return rec;
}

void* record_read_array_bin(const record_type* type, FILE* bin_file, int32_t array_size)
{
    if (!bin_file) {
        LOG_ERROR("Cannot read_%s_array_bin with NULL bin_file.\n", type->name);
        return nullptr;
    }
    if (!count_fits(type, "array", array_size, file_bytes_left(bin_file)))
        return nullptr;
    int32_t bytes = array_size * type->image_size;
    if (type->flat) {  // the images are the records
        void* array = record_malloc_array(type, array_size);
        if (!array) {
            LOG_ERROR("Could not malloc_%s_array temp_%s_array.\n", type->name, type->name);
            return nullptr;
        }
        if (!file_read(bin_file, array, bytes)) {
            LOG_ERROR("Could not read_%s_array_bin.\n", type->name);
            record_free_array(type, array, array_size);
            return nullptr;
        }
        if (!check_array_passes(type, array, array_size)) {
            record_free_array(type, array, array_size);
            return nullptr;
        }
        return array;
    }
    char* images = (char*)MALLOC((size_t)bytes);
    if (!images) {
        LOG_ERROR("Could not malloc_%s_array temp_%s_array.\n", type->name, type->name);
        return nullptr;
    }
    if (!file_read(bin_file, images, bytes)) {
        LOG_ERROR("Could not read_%s_array_bin.\n", type->name);
        FREE(images);
        return nullptr;
    }
    void* array = record_malloc_array(type, array_size);
    if (!array) {
        LOG_ERROR("Could not malloc_%s_array %s_array.\n", type->name, type->name);
    } else if (!fill_array(type, source{bin_file, nullptr}, array, images, array_size)) {
        record_free_array(type, array, array_size);
        array = nullptr;
    }
    FREE(images);
    return array;
}

void* record_read_list_bin(const record_type* type, FILE* bin_file, int32_t list_size)
{
    if (!bin_file) {
        LOG_ERROR("Cannot read_%s_list_bin with NULL bin_file.\n", type->name);
        return nullptr;
    }
    return take_list_of(type, source{bin_file, nullptr}, list_size);
}

// ---- Link forms ----

link_cursor link_arena_begin(link_arena* arena, char* image, int32_t size, int32_t start)
{
    link_cursor cursor = {};
    if (!arena) {
        LOG_ERROR("%s\n", "Cannot link_arena_begin with NULL link_arena.");
        return cursor;
    }
    if (arena->image || arena->chunks) {
        LOG_ERROR("%s\n", "Cannot link_arena_begin with a link_arena in use.");
        return cursor;
    }
    arena->image = image;
    cursor.arena = arena;
    if (image && size >= 0 && start >= 0 && start <= size) {
        cursor.data = image + start;
        cursor.end = image + size;
    }
    return cursor;
}

void link_arena_free(link_arena* arena)
{
    if (!arena)
        return;
    while (link_chunk* chunk = arena->chunks) {
        arena->chunks = chunk->next;
        FREE(chunk);
    }
    if (arena->image)
        FREE(arena->image);
    arena->image = nullptr;
}

void* record_link(const record_type* type, link_cursor* data_hdl)
{
    if (!cursor_usable(data_hdl, type->name, ""))
        return nullptr;
    long left = (long)(data_hdl->end - data_hdl->data);
    if (left < type->image_size) {
        LOG_ERROR("Cannot link_%s with %ld bytes left\n", type->name, left);
        return nullptr;
    }
    void* rec = arena_alloc(data_hdl->arena, type->size);
    if (!rec) {
        LOG_ERROR("Could not malloc_%s.\n", type->name);
        return nullptr;
    }
    const char* image = data_hdl->data;
    data_hdl->data += type->image_size;
    set_template(type, rec);
    decode_image(type, image, rec, 1);
    return take_owned(type, source{nullptr, data_hdl}, rec, image, true) && check_passes(type, rec)
               ? rec
               : nullptr;
}

void* record_link_array(const record_type* type, link_cursor* data_hdl, int32_t array_size)
{
    if (!cursor_usable(data_hdl, type->name, "_array") ||
        !count_fits(type, "array", array_size, (long)(data_hdl->end - data_hdl->data)))
        return nullptr;
    char* array = (char*)arena_alloc(data_hdl->arena, (size_t)array_size * type->size);
    if (!array) {
        LOG_ERROR("Could not malloc_%s_array.\n", type->name);
        return nullptr;
    }
    for (int32_t i = 0; i < array_size; ++i)
        set_template(type, element(type, array, i));
    const char* images = data_hdl->data;
    data_hdl->data += (size_t)array_size * type->image_size;
    return fill_array(type, source{nullptr, data_hdl}, array, images, array_size) ? array : nullptr;
}

void* record_link_list(const record_type* type, link_cursor* data_hdl, int32_t list_size)
{
    if (!cursor_usable(data_hdl, type->name, "_list"))
        return nullptr;
    return take_list_of(type, source{nullptr, data_hdl}, list_size);
}
