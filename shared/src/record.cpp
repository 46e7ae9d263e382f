#include "record.h"

#include <bit>
#include <cstring>

#include "debug.h"
#include "heap.h"

// Images are little-endian 32-bit words; the words of a record are copied to
// and from them as they lie in memory.
static_assert(std::endian::native == std::endian::little);

char record_announced_mark;

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

void warn_nameless(const record_type* type)
{
    LOG_WARNING("%s_name is NULL (or 0 length) in malloc_%s %s_struct\n", type->name, type->name,
                type->name);
}

// ---- Nesting ----

// How deep the records of one operation lie. Past RECORD_MAX_DEPTH the
// operation is refused with one line; the levels above it then fail without
// adding lines of their own.
struct nesting {
    int32_t depth = 0;
    bool refused = false;
    // Releasing what a failed read or link made: the tags it met were judged
    // (and an unknown one reported) on the way in.
    bool discarding = false;
};

// Enters the level of a record (or of the elements of an array), named in
// the refusal by its operation, as "read_expression_bin".
int nest(nesting* levels, const char* operation, const char* type_name, const char* form)
{
    if (levels->depth >= RECORD_MAX_DEPTH) {
        if (!levels->refused)
            LOG_ERROR("Cannot %s_%s%s nested deeper than %ld records.\n", operation, type_name,
                      form, (long)RECORD_MAX_DEPTH);
        levels->refused = true;
        return 0;
    }
    ++levels->depth;
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
        case RECORD_RUNTIME_ARRAY:
            put_word(image, (uint32_t)get_int(rec, field.count_offset));
            put_word(image + 4, 0);
            break;
        case RECORD_UNSTORED:
            break;
        default:  // owned pointers
            put_word(image, presence(get_ptr(rec, field.offset)));
        }
        image += record_image_bytes(field);
    }
}

// Decoding marks the owned pointers whose items follow; taking an item
// replaces its mark. After a failure the marks still standing are cleared
// before the record is released, so a release never meets one.
void clear_announced(const record_type* type, void* rec)
{
    if (type->named && get_ptr(rec, type->name_offset) == record_announced)
        set_ptr(rec, type->name_offset, nullptr);
    for (uint32_t i = 0; i < type->n_owned_rows; ++i) {
        const record_field& field = type->fields[type->owned_rows[i]];
        if (get_ptr(rec, field.offset) == record_announced)
            set_ptr(rec, field.offset, nullptr);
    }
}

// ---- Release ----

int free_record(const record_type* type, void* rec, nesting* levels);
int free_array(const record_type* type, void* array, int32_t array_size, nesting* levels);

// A list's nodes, each released as free_X does, one level below their owner.
struct list_release {
    const record_type* type;
    nesting* levels;
};

int free_list_node(void* node, void* context)
{
    const list_release* release = (const list_release*)context;
    return free_record(release->type, node, release->levels);
}

int free_list(const record_type* type, void* list, nesting* levels)
{
    if (!list) {
        LOG_ERROR("Cannot free_%s_list with NULL %s_list.\n", type->name, type->name);
        return 0;
    }
    list_release release = {type, levels};
    return dlink_free_list_with((dlink*)list, free_list_node, &release);
}

// Releases the owned items and the references held in field order, the name
// first, after the type's release step; 1 when every release inside
// succeeded. An unknown tag is reported and fails the release, which goes
// on with the rest: the record and all it holds are released but the tagged
// record, which nothing says how to take apart (keeping the holder would
// lose everything else it holds as well).
int release_owned(const record_type* type, void* rec, nesting* levels)
{
    if (type->release)
        type->release(rec);
    int released = 1;
    if (type->named) {
        if (void* name = get_ptr(rec, type->name_offset))
            FREE(name);
        else
            LOG_WARNING("%s_ptr did not have %s_name to free.\n", type->name, type->name);
    }
    for (uint32_t i = 0; i < type->n_owned_rows; ++i) {
        const record_field& field = type->fields[type->owned_rows[i]];
        void* ptr = get_ptr(rec, field.offset);
        const record_type* variant = nullptr;
        if (field.kind == RECORD_VARIANT && (ptr || !levels->discarding) &&
            !(variant = variant_type(field, rec))) {
            released = 0;
            continue;
        }
        if (!ptr)
            continue;
        switch (field.kind) {
        case RECORD_ARRAY:
        case RECORD_RUNTIME_ARRAY:
            released &= free_array(field.elem, ptr, get_int(rec, field.count_offset), levels);
            break;
        case RECORD_LIST:
            released &= free_list(field.elem, ptr, levels);
            break;
        case RECORD_RECORD:
        case RECORD_REFERENCE:
            released &= free_record(field.elem, ptr, levels);
            break;
        case RECORD_VARIANT:
            // A held payload whose type was not found was passed over above.
            INVARIANT(variant != nullptr);
            released &= free_record(variant, ptr, levels);
            break;
        default:  // strings, numbers, bytes
            FREE(ptr);
        }
    }
    return released;
}

int release_record(const record_type* type, void* rec, nesting* levels)
{
    int released = release_owned(type, rec, levels);
    set_template(type, rec);
    FREE(rec);
    return released;
}

// free_X past its refusals: a counted record only loses a reference while
// others hold it.
int drop_record(const record_type* type, void* rec, nesting* levels)
{
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
    return release_record(type, rec, levels);
}

int free_record(const record_type* type, void* rec, nesting* levels)
{
    if (!rec) {
        LOG_ERROR("Cannot free_%s with NULL %s_ptr.\n", type->name, type->name);
        return 0;
    }
    if (!nest(levels, "free", type->name, ""))
        return 0;
    int freed = drop_record(type, rec, levels);
    --levels->depth;
    return freed;
}

int free_array(const record_type* type, void* array, int32_t array_size, nesting* levels)
{
    if (!array) {
        LOG_ERROR("Cannot free_%s_array with NULL %s_array.\n", type->name, type->name);
        return 0;
    }
    if (array_size <= 0) {
        LOG_ERROR("Bad %s_array_size = %ld\n", type->name, (long)array_size);
        return 0;
    }
    if (!type->owns && !type->counted && !type->release) {  // nothing to do element by element
        FREE(array);
        return 1;
    }
    if (!nest(levels, "free", type->name, "_array"))
        return 0;
    // Every element is released even when one cannot be: stopping would
    // lose the rest and the array.
    int released = 1;
    for (int32_t i = 0; i < array_size; ++i) {
        char* rec = element(type, array, i);
        if (type->counted && get_int(rec, type->ref_cnt_offset) != 0) {
            const char* name = type->named ? (const char*)get_ptr(rec, type->name_offset) : nullptr;
            LOG_WARNING("%s_ref_cnt is not 0 for %s\n", type->name, name ? name : "(null)");
        }
        released &= release_owned(type, rec, levels);
        set_template(type, rec);
    }
    FREE(array);
    --levels->depth;
    return released;
}

// Releases what a failed read made, without judging its tags again.
nesting discarding_levels()
{
    nesting levels;
    levels.discarding = true;
    return levels;
}

void discard_record(const record_type* type, void* rec)
{
    nesting levels = discarding_levels();
    free_record(type, rec, &levels);
}

void discard_array(const record_type* type, void* array, int32_t array_size)
{
    nesting levels = discarding_levels();
    free_array(type, array, array_size, &levels);
}

void discard_list(const record_type* type, void* list)
{
    nesting levels = discarding_levels();
    free_list(type, list, &levels);
}

// ---- Writing ----

// Where the stream forms write, and how deep they are. A record's image is
// written before anything it owns, so one image buffer serves every level.
struct sink {
    FILE* bin_file;
    nesting levels;
    char image[RECORD_MAX_IMAGE];
};

int write_record(const record_type* type, sink* out, const void* rec);
int write_array(const record_type* type, sink* out, const void* array, int32_t array_size);
int write_list(const record_type* type, sink* out, const void* list, int32_t list_size);

// A byte buffer: its length, the bytes, zero padding to a multiple of 4.
int write_bytes(FILE* bin_file, const uint8_t* bytes, int32_t length)
{
    static const char padding[4] = {};
    return length > 0 && file_write(bin_file, &length, 4) && file_write(bin_file, bytes, length) &&
           (length % 4 == 0 || file_write(bin_file, padding, 4 - length % 4));
}

// Writes the owned items in field order, the name first.
int write_owned(const record_type* type, sink* out, const void* rec, const char* form)
{
    const char* name = type->named ? (const char*)get_ptr(rec, type->name_offset) : nullptr;
    if (name && !write_str_bin(out->bin_file, name, 4)) {
        LOG_ERROR("Could not write_%s%s_bin %s_name.\n", type->name, form, type->name);
        return 0;
    }
    for (uint32_t i = 0; i < type->n_owned_rows; ++i) {
        const record_field& field = type->fields[type->owned_rows[i]];
        const record_type* variant = nullptr;
        if (field.kind == RECORD_VARIANT && !(variant = variant_type(field, rec)))
            return 0;
        void* ptr = get_ptr(rec, field.offset);
        // References and run-time arrays are written as 0.
        if (!ptr || field.kind == RECORD_REFERENCE || field.kind == RECORD_RUNTIME_ARRAY)
            continue;
        int32_t count = record_kind_has_count(field.kind) ? get_int(rec, field.count_offset) : 0;
        int ok;
        switch (field.kind) {
        case RECORD_STRING:
            if (!(ok = write_str_bin(out->bin_file, (const char*)ptr, 4)))
                LOG_ERROR("%s\n", "Could not write_str_bin.");
            break;
        case RECORD_ARRAY:
            if (!(ok = write_array(field.elem, out, ptr, count)) && !out->levels.refused)
                LOG_ERROR("Could not write_%s_array_bin.\n", write_word(field, field.name));
            break;
        case RECORD_LIST:
            if (!(ok = write_list(field.elem, out, ptr, count)) && !out->levels.refused)
                LOG_ERROR("Could not write_%s_bin.\n", write_word(field, field.name));
            break;
        case RECORD_RECORD:
            if (!(ok = write_record(field.elem, out, ptr)) && !out->levels.refused)
                LOG_ERROR("Could not write_%s_bin.\n", write_word(field, field.elem->name));
            break;
        case RECORD_NUMBERS:
            ok = count > 0 && count <= INT32_MAX / (int32_t)field.elem_size &&
                 file_write(out->bin_file, ptr, count * (int32_t)field.elem_size);
            if (!ok)
                LOG_ERROR("Could not write_%s_bin.\n", field.name);
            break;
        case RECORD_BYTES:
            if (!(ok = write_bytes(out->bin_file, (const uint8_t*)ptr, field.byte_count(rec))))
                LOG_ERROR("Could not write_%s_bin.\n", field.name);
            break;
        default:  // RECORD_VARIANT
            if (!(ok = write_record(variant, out, ptr)) && !out->levels.refused)
                LOG_ERROR("Could not write_%s_bin.\n", variant->name);
        }
        if (!ok)
            return 0;
    }
    return 1;
}

int write_record(const record_type* type, sink* out, const void* rec)
{
    if (!out->bin_file) {
        LOG_ERROR("Cannot write_%s_bin with NULL bin_file.\n", type->name);
        return 0;
    }
    if (!rec) {
        LOG_ERROR("Cannot write_%s_bin with NULL %s_ptr.\n", type->name, type->name);
        return 0;
    }
    if (!nest(&out->levels, "write", type->name, "_bin"))
        return 0;
    encode_image(type, rec, out->image);
    int ok = file_write(out->bin_file, out->image, type->image_size);
    if (!ok)
        LOG_ERROR("Could not write_%s_bin.\n", type->name);
    else
        ok = write_owned(type, out, rec, "");
    --out->levels.depth;
    return ok;
}

int write_array(const record_type* type, sink* out, const void* array, int32_t array_size)
{
    if (!out->bin_file) {
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
    if (!nest(&out->levels, "write", type->name, "_array_bin"))
        return 0;
    int32_t bytes = array_size * type->image_size;
    int ok;
    if (type->flat) {
        ok = file_write(out->bin_file, array, bytes);
    } else {
        char* images = (char*)MALLOC((size_t)bytes);
        ok = images != nullptr;
        if (images) {
            for (int32_t i = 0; i < array_size; ++i)
                encode_image(type, element(type, array, i), images + (size_t)i * type->image_size);
            ok = file_write(out->bin_file, images, bytes);
            FREE(images);
        }
    }
    if (!ok)
        LOG_ERROR("Could not write_%s_array_bin.\n", type->name);
    for (int32_t i = 0; ok && type->owns && i < array_size; ++i)
        ok = write_owned(type, out, element(type, array, i), "_array");
    --out->levels.depth;
    return ok;
}

int write_list(const record_type* type, sink* out, const void* list, int32_t list_size)
{
    if (!out->bin_file) {
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
        if (!write_record(type, out, node)) {
            if (!out->levels.refused)
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

// ---- Reading and linking ----

// Where records come from: the stream forms read a file and build on the
// heap, the link forms read an image and build in its arena. The operation
// names in the messages follow ("read_X_bin" or "link_X").
struct source {
    file_source bytes;
    link_arena* arena;  // NULL for a stream
    nesting levels;

    bool stream() const { return !arena; }
    const char* form() const { return arena ? "link" : "read"; }
    const char* suffix() const { return arena ? "" : "_bin"; }
};

source stream_source(FILE* bin_file)
{
    source src = {};
    file_source_open(&src.bytes, bin_file);
    return src;
}

source link_source(link_cursor* data_hdl)
{
    source src = {};
    file_source_image(&src.bytes, data_hdl->data, data_hdl->end);
    src.arena = data_hdl->arena;
    return src;
}

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

// Memory for what a read builds: the heap for a stream, the arena for a link.
void* take_memory(const source* src, size_t size)
{
    return src->stream() ? MALLOC(size) : arena_alloc(src->arena, size);
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

// Records of a type whose memory is its image are used where the image holds
// them, when it holds them at a multiple of 4 (every member is 32-bit words).
bool in_place(const record_type* type, const source* src)
{
    return type->flat && !src->stream() && (uintptr_t)src->bytes.data % 4 == 0;
}

void* take_record(const record_type* type, source* src);
void* take_array(const record_type* type, source* src, int32_t count);
void* take_list(const record_type* type, source* src, int32_t count);

// Raw numbers: a heap block read from the file, or a copy in the arena (in
// the image they may lie 2 bytes off a multiple of 4).
void* take_numbers(const record_field& field, source* src, int32_t count)
{
    long left = file_source_left(&src->bytes);
    if (count > 0 && count > left / (long)field.elem_size) {
        LOG_ERROR("Bad %s = %ld with %ld bytes left\n", field.count_name, (long)count, left);
        return nullptr;
    }
    // A count of 0 or less is refused below, before it is multiplied.
    int32_t bytes = count > 0 ? count * (int32_t)field.elem_size : 0;
    void* numbers = count > 0 ? take_memory(src, (size_t)bytes) : nullptr;
    if (!numbers) {
        LOG_ERROR("Could not %s_%s%s.\n", src->form(), field.name, src->suffix());
        return nullptr;
    }
    if (!file_source_read(&src->bytes, numbers, bytes)) {
        LOG_ERROR("Could not read_%s_bin.\n", field.word);
        if (src->stream())
            FREE(numbers);
        return nullptr;
    }
    return numbers;
}

// A byte buffer whose length the record's words give: a heap block read from
// the file, or a copy in the arena. The stored length must be that length and
// fit, with its padding, in the bytes left.
void* take_bytes(const record_field& field, source* src, const void* rec)
{
    int32_t expected = field.byte_count(rec);
    int32_t length = -1;
    long left = file_source_left(&src->bytes);
    if (file_source_fill(&src->bytes, 4)) {
        std::memcpy(&length, src->bytes.data, 4);
        src->bytes.data += 4;
        left -= 4;
    }
    long padded = length > 0 ? (long)length + (4 - length % 4) % 4 : 0;
    if (expected <= 0 || length != expected || padded > left) {
        LOG_ERROR("Bad %s length = %ld, expected %ld with %ld bytes left\n", field.name,
                  (long)length, (long)expected, left);
        return nullptr;
    }
    void* bytes = take_memory(src, (size_t)padded);
    if (!bytes) {
        LOG_ERROR("Could not %s_%s%s.\n", src->form(), field.name, src->suffix());
        return nullptr;
    }
    if (!file_source_read(&src->bytes, bytes, (int32_t)padded)) {
        LOG_ERROR("Could not read_%s_bin.\n", field.name);
        if (src->stream())
            FREE(bytes);
        return nullptr;
    }
    return bytes;
}

// Takes the name that the image announced. A record taken singly holds no
// empty name (it is made as malloc_X makes it, and the stream form warns as
// malloc_X does when it has none); an array element keeps what is stored.
int take_name(const record_type* type, source* src, void* rec, bool single)
{
    char* name = nullptr;
    if (get_ptr(rec, type->name_offset) == record_announced) {
        name = file_source_str(&src->bytes, 4);
        if (!name) {
            set_ptr(rec, type->name_offset, nullptr);
            LOG_ERROR("Could not %s_str%s %s_name.\n", src->form(), src->suffix(), type->name);
            return 0;
        }
        if (single && !name[0]) {
            if (src->stream())
                FREE(name);
            name = nullptr;
        }
    }
    set_ptr(rec, type->name_offset, name);
    if (single && !name && src->stream())
        warn_nameless(type);
    return 1;
}

// The line of a failed owned item, in the words of the field and its type.
void report_item(const record_field& field, const record_type* variant, const source* src)
{
    const char* form = src->form();
    const char* suffix = src->suffix();
    switch (field.kind) {
    case RECORD_STRING:
        LOG_ERROR("Could not %s_str%s.\n", form, suffix);
        break;
    case RECORD_ARRAY:
        LOG_ERROR("Could not %s_%s_array%s.\n", form, field.elem->name, suffix);
        break;
    case RECORD_LIST:
        LOG_ERROR("Could not %s_%s_list%s.\n", form, field.elem->name, suffix);
        break;
    case RECORD_RECORD:
        LOG_ERROR("Could not %s_%s%s.\n", form, field.elem->name, suffix);
        break;
    case RECORD_VARIANT:
        LOG_ERROR("Could not %s_%s%s.\n", form, variant->name, suffix);
        break;
    default:  // numbers and bytes report themselves
        break;
    }
}

// A count whose array, list or numbers the image does not announce counts
// nothing: it follows what was read, 0, after a line. Kept, it would send
// every walk bounded by it round a ring that later holds a few members
// millions of times, or past the end of an array made later.
void drop_count_without_items(const record_type* type, const record_field& field, void* rec)
{
    if (!record_kind_counts_items(field.kind) || get_int(rec, field.count_offset) == 0)
        return;
    LOG_ERROR("%s %s = %ld with no %s stored; taken as 0.\n", type->name, field.count_name,
              (long)get_int(rec, field.count_offset), field.name);
    set_int(rec, field.count_offset, 0);
}

// Takes the owned items (but the name) that the image announced, in field
// order. Each item is stored in the record at once, so releasing the record
// after a failure releases what was taken; the marks left are cleared.
int take_owned(const record_type* type, source* src, void* rec)
{
    for (uint32_t i = 0; i < type->n_owned_rows; ++i) {
        const record_field& field = type->fields[type->owned_rows[i]];
        const record_type* variant = nullptr;
        if (field.kind == RECORD_VARIANT && !(variant = variant_type(field, rec))) {
            clear_announced(type, rec);
            return 0;
        }
        if (get_ptr(rec, field.offset) != record_announced) {
            drop_count_without_items(type, field, rec);
            continue;
        }
        int32_t count = record_kind_has_count(field.kind) ? get_int(rec, field.count_offset) : 0;
        void* item;
        switch (field.kind) {
        case RECORD_STRING:
            item = file_source_str(&src->bytes, 4);
            break;
        case RECORD_ARRAY:
            item = take_array(field.elem, src, count);
            break;
        case RECORD_LIST:
            item = take_list(field.elem, src, count);
            break;
        case RECORD_RECORD:
            item = take_record(field.elem, src);
            break;
        case RECORD_NUMBERS:
            item = take_numbers(field, src, count);
            break;
        case RECORD_BYTES:
            item = take_bytes(field, src, rec);
            break;
        default:  // RECORD_VARIANT
            item = take_record(variant, src);
        }
        set_ptr(rec, field.offset, item);
        if (!item) {
            if (!src->levels.refused)
                report_item(field, variant, src);
            clear_announced(type, rec);
            return 0;
        }
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

// One record: its image, then its owned items. A record read from a stream
// is made as malloc_X makes it; a failed one is released with all it took.
void* take_record(const record_type* type, source* src)
{
    if (!nest(&src->levels, src->form(), type->name, src->suffix()))
        return nullptr;
    void* rec = nullptr;
    if (!file_source_fill(&src->bytes, type->image_size)) {
        if (src->stream()) {
            LOG_ERROR("Unable to read %ld bytes\n", (long)type->image_size);
            LOG_ERROR("Could not read_%s_bin.\n", type->name);
        } else {
            LOG_ERROR("Cannot link_%s with %ld bytes left\n", type->name,
                      (long)file_source_left(&src->bytes));
        }
    } else if (in_place(type, src)) {
        rec = src->bytes.data;
        src->bytes.data += type->image_size;
    } else if (!(rec = take_memory(src, type->size))) {
        LOG_ERROR("Could not malloc_%s.\n", type->name);
    } else {
        type->decode(src->bytes.data, rec, 1);
        src->bytes.data += type->image_size;
        if (type->named && !take_name(type, src, rec, true)) {
            if (src->stream())  // nothing taken yet: the record was never made
                FREE(rec);
            rec = nullptr;
        } else if (type->owns && !take_owned(type, src, rec)) {
            if (src->stream())
                discard_record(type, rec);
            rec = nullptr;
        }
    }
    if (rec && !check_passes(type, rec)) {
        if (src->stream())
            discard_record(type, rec);
        rec = nullptr;
    }
    --src->levels.depth;
    return rec;
}

// The images of an array first, then each element's owned items in index
// order. Array elements hold no reference of their own.
void* take_elements(const record_type* type, source* src, int32_t count)
{
    int32_t bytes = count * type->image_size;
    if (in_place(type, src)) {
        void* array = src->bytes.data;
        src->bytes.data += bytes;
        return array;
    }
    char* array = (char*)take_memory(src, (size_t)count * type->size);
    if (!array) {
        if (type->flat)
            LOG_ERROR("Could not malloc_%s_array temp_%s_array.\n", type->name, type->name);
        else
            LOG_ERROR("Could not malloc_%s_array %s_array.\n", type->name, type->name);
        return nullptr;
    }
    if (type->flat) {  // the images are the records
        if (!file_source_read(&src->bytes, array, bytes)) {
            LOG_ERROR("Could not read_%s_array_bin.\n", type->name);
            if (src->stream())
                FREE(array);
            return nullptr;
        }
        return array;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (!file_source_fill(&src->bytes, type->image_size)) {
            LOG_ERROR("Could not %s_%s_array%s.\n", src->form(), type->name, src->suffix());
            if (src->stream())  // nothing owned taken yet
                FREE(array);
            return nullptr;
        }
        type->decode(src->bytes.data, element(type, array, i), 0);
        src->bytes.data += type->image_size;
    }
    for (int32_t i = 0; type->owns && i < count; ++i) {
        char* rec = element(type, array, i);
        if ((type->named && !take_name(type, src, rec, false)) || !take_owned(type, src, rec)) {
            for (int32_t rest = i; rest < count; ++rest)
                clear_announced(type, element(type, array, rest));
            if (src->stream())
                discard_array(type, array, count);
            return nullptr;
        }
    }
    return array;
}

void* take_array(const record_type* type, source* src, int32_t count)
{
    if (!count_fits(type, "array", count, file_source_left(&src->bytes)) ||
        !nest(&src->levels, src->form(), type->name, src->stream() ? "_array_bin" : "_array"))
        return nullptr;
    void* array = take_elements(type, src, count);
    if (array && !check_array_passes(type, array, count)) {
        if (src->stream())
            discard_array(type, array, count);
        array = nullptr;
    }
    --src->levels.depth;
    return array;
}

// Reads or links `count` records and appends them to a new list in order.
void* take_list(const record_type* type, source* src, int32_t count)
{
    if (!count_fits(type, "list", count, file_source_left(&src->bytes)))
        return nullptr;
    dlink* list = nullptr;
    int32_t taken = 0;
    for (int32_t i = 0; i < count; ++i) {
        dlink* node = (dlink*)take_record(type, src);
        if (!node) {
            if (!src->levels.refused)
                LOG_ERROR("Could not %s_%s_list%s.\n", src->form(), type->name, src->suffix());
            if (list && src->stream())
                discard_list(type, list);
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
                nesting levels;
                release_record(type, rec, &levels);
                return nullptr;
            }
            set_ptr(rec, type->name_offset, copy);
        } else {
            warn_nameless(type);
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

namespace {

// Whether the record holds nothing but a variant whose tag is unknown (the
// tag is logged). Freeing such a record alone would release nothing but the
// record, and lose what the tag hides.
bool only_an_unknown_variant(const record_type* type, const void* rec)
{
    if (type->named || type->counted || type->n_owned_rows != 1)
        return false;
    const record_field& field = type->fields[type->owned_rows[0]];
    return field.kind == RECORD_VARIANT && !variant_type(field, rec);
}

}  // namespace

// A release that had to leave records nested too deep is no success. A
// record that holds nothing but a variant of an unknown tag is left as it
// is, so that its holder can set the right tag and free it then, once; one
// that holds more releases the rest, as release_owned says.
int record_free(const record_type* type, void* rec)
{
    if (rec && only_an_unknown_variant(type, rec))
        return 0;
    nesting levels;
    return free_record(type, rec, &levels) && !levels.refused;
}

int record_free_array(const record_type* type, void* array, int32_t array_size)
{
    nesting levels;
    return free_array(type, array, array_size, &levels) && !levels.refused;
}

int record_free_list(const record_type* type, void* list)
{
    nesting levels;
    return free_list(type, list, &levels) && !levels.refused;
}

// ---- Stream forms ----

int record_write_bin(const record_type* type, FILE* bin_file, const void* rec)
{
    sink out = {bin_file, {}, {}};
    return write_record(type, &out, rec);
}

int record_write_array_bin(const record_type* type, FILE* bin_file, const void* array,
                           int32_t array_size)
{
    sink out = {bin_file, {}, {}};
    return write_array(type, &out, array, array_size);
}

int record_write_list_bin(const record_type* type, FILE* bin_file, const void* list,
                          int32_t list_size)
{
    sink out = {bin_file, {}, {}};
    return write_list(type, &out, list, list_size);
}

void* record_read_bin(const record_type* type, FILE* bin_file)
{
    if (!bin_file) {
        LOG_ERROR("Cannot read_%s_bin with NULL bin_file.\n", type->name);
        return nullptr;
    }
    source src = stream_source(bin_file);
    void* rec = take_record(type, &src);
    file_source_close(&src.bytes);
    return rec;
}

void* record_read_array_bin(const record_type* type, FILE* bin_file, int32_t array_size)
{
    if (!bin_file) {
        LOG_ERROR("Cannot read_%s_array_bin with NULL bin_file.\n", type->name);
        return nullptr;
    }
    source src = stream_source(bin_file);
    void* array = take_array(type, &src, array_size);
    file_source_close(&src.bytes);
    return array;
}

void* record_read_list_bin(const record_type* type, FILE* bin_file, int32_t list_size)
{
    if (!bin_file) {
        LOG_ERROR("Cannot read_%s_list_bin with NULL bin_file.\n", type->name);
        return nullptr;
    }
    source src = stream_source(bin_file);
    void* list = take_list(type, &src, list_size);
    file_source_close(&src.bytes);
    return list;
}

// ---- Link forms ----

link_cursor link_arena_begin(link_arena* arena, char* image, int32_t size, int32_t start)
{
    link_cursor cursor = {};
    REFUSE_NULL(arena, "link_arena_begin", "link_arena", cursor);
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
    source src = link_source(data_hdl);
    void* rec = take_record(type, &src);
    data_hdl->data = src.bytes.data;
    return rec;
}

void* record_link_array(const record_type* type, link_cursor* data_hdl, int32_t array_size)
{
    if (!cursor_usable(data_hdl, type->name, "_array"))
        return nullptr;
    source src = link_source(data_hdl);
    void* array = take_array(type, &src, array_size);
    data_hdl->data = src.bytes.data;
    return array;
}

void* record_link_list(const record_type* type, link_cursor* data_hdl, int32_t list_size)
{
    if (!cursor_usable(data_hdl, type->name, "_list"))
        return nullptr;
    source src = link_source(data_hdl);
    void* list = take_list(type, &src, list_size);
    data_hdl->data = src.bytes.data;
    return list;
}
