// Record families: one engine that gives every persistent record type its
// whole family of operations from one description of the type.
//
// Memory:  malloc_X, malloc_X_array, free_X, free_X_array, and for list-type
//          records add_to_X_list, remove_from_X_list, free_X_list, free_X_funct.
// Stream:  write_X_bin, read_X_bin, write_X_array_bin, read_X_array_bin, and
//          for list-type records write_X_list_bin, read_X_list_bin.
// Link:    link_X, link_X_array, and for list-type records link_X_list.
//
// HOW TO DECLARE A RECORD TYPE
//
// Declare the plain struct, then describe it, member by member and in member
// order, between RECORD_BEGIN(type, image bytes) and RECORD_END(type, traits,
// default template...). The description is the type's binary image too: each
// row is one or more little-endian 32-bit words of the image.
//
//     struct win_trigger {
//         win_trigger* prev_ptr;              // list node: prev, next, name
//         win_trigger* next_ptr;
//         char* win_trigger_name;
//         int32_t win_trigger_ref_cnt;
//         int32_t win_trigger_flags;
//         win_vect3 win_trigger_center;       // a value record held inline
//         char* script_name;
//         int32_t win_plane_array_size;       // a count goes right before its pointer
//         win_plane* win_plane_array;
//         int32_t win_hot_sector_list_size;
//         win_hot_sector* win_hot_sector_list;
//         win_ast* win_trigger_ast;           // one owned record
//         int32_t win_vtx_idx_array_size;
//         uint16_t* win_vtx_idx_array;        // raw 16-bit numbers
//         win_collision* win_collision_ptr;   // resolved at run time
//     };
//
//     RECORD_BEGIN(win_trigger, 68)
//         REC_LINKS(prev_ptr, next_ptr)
//         REC_NAME(win_trigger_name)
//         REC_REF_CNT(win_trigger_ref_cnt)
//         REC_WORDS(win_trigger_flags)
//         REC_WORDS(win_trigger_center)
//         REC_STRING(script_name)
//         REC_ARRAY(win_plane_array_size, win_plane_array, win_plane)
//         REC_LIST(win_hot_sector_list_size, win_hot_sector_list, win_hot_sector)
//         REC_RECORD(win_trigger_ast, win_ast)
//         REC_NUMBERS(win_vtx_idx_array_size, win_vtx_idx_array, win_vtx_idx)
//         REC_RUNTIME(win_collision_ptr)
//     RECORD_END(win_trigger, NAMED_LIST, .win_trigger_flags = 1)
//
// That is all: the family (malloc_win_trigger(name), add_to_win_trigger_list,
// write_win_trigger_array_bin, link_win_trigger_list, ...) now exists, with the
// log texts of the pattern in the type's and fields' words. The element types
// (win_plane, win_hot_sector, win_ast) are declared the same way before. A type
// may own records of its own type; one that owns a type declared further on
// names it first with `struct E; RECORD_FORWARD(E);`.
//
// Rows (each member of the struct is covered by exactly one row):
//   REC_WORDS(m)              int32, uint32 or float words, or a value record or
//                             array of them held inline; stored as they are
//   REC_LINKS(prev, next)     the list node's two links; first row of list-type
//                             records; written as 1, read as the record itself
//   REC_NAME(m)               the owned name, X_name (right after the links in a
//                             list-type record: it is the node's key); the first
//                             owned item
//   REC_REF_CNT(m)            the reference count of a counted record
//   REC_STRING(m)             any other owned string
//   REC_ARRAY(count, m, E)    owned array of E records with its int32 count
//   REC_LIST(count, m, E)     owned list of list-type E records with its size
//   REC_RECORD(m, E)          one owned E record; for a counted E one reference
//   REC_NUMBERS(count, m, w)  owned raw array of 16- or 32-bit numbers (by the
//                             member's pointer type); w names one element in
//                             the messages ("Could not read_w_bin.")
//   REC_VARIANT(tag, m, tbl)  owned record (a void*) whose type the int32 word
//                             `tag`, a REC_WORDS row before it, picks from
//                             the table `tbl`; an unknown tag fails reads,
//                             writes, links and frees (free_X leaves a
//                             record that holds nothing else untouched, so
//                             that it can be freed again with the right tag;
//                             any other free releases the record and all
//                             else it holds, but cannot take apart what
//                             nothing says the type of):
//                                 inline constexpr record_variant win_block_kinds[] = {
//                                     {0, &win_line_block_desc}, {1, &win_planar_block_desc}};
//   REC_BYTES(m, size_fn)     owned byte buffer (a uint8_t*) whose length the
//                             record's own words give: `size_fn` (int32_t of
//                             const void* record) answers it, or -1 when the
//                             words make no valid length. Stored after the
//                             image as an int32 length, the bytes and zero
//                             padding to 4; a stored length other than the
//                             one the words give is refused
//   REC_SLOT(m)               pointer-wide word whose 32-bit stored value is
//                             data (an element number) and passes through
//   REC_RUNTIME(m)            run-time pointer or word: a plain reference to
//                             data owned elsewhere, a callback; written as 0,
//                             reset to 0 by every reader, never freed
//   REC_UNSTORED(m)           member of any plain type held in memory only: no
//                             word in the image, 0 after every read and link,
//                             never freed (state of the program's own that
//                             the file format has no place for)
//   REC_REFERENCE(m, E)       run-time pointer that holds one reference of a
//                             shared, counted E record (a hull the record
//                             names and gets at load), or an E of its own
//                             that is made at run time and never stored:
//                             written as 0, reset to NULL by every reader,
//                             released (free_E) with the record
//   REC_RUNTIME_ARRAY(count, m, E)
//                             run-time array of E slots that the record owns,
//                             filled at load (the animations a state table
//                             names): the count is stored and read back as
//                             data, the pointer written as 0 and reset to NULL
//                             by every reader; released with free_E_array
//                             (count) with the record, so the slot type says
//                             what a slot lets go (a counted slot its
//                             reference, a borrowed one nothing)
// REC_ARRAY, REC_LIST and REC_RECORD take an optional last word, a string
// literal, that replaces the default word (the member's name) in the write
// failure message ("Could not write_W_array_bin."): the message keeps its
// words when the member is named otherwise.
// One-word holder types declared as a pointer typedef describe the record
// itself: REC_SELF_STRING(), REC_SELF_SLOT(), REC_SELF_RECORD(E) (with the
// same optional word), REC_SELF_RUNTIME() (a borrowed pointer). Value types
// whose every member is a 32-bit word are declared in one line:
//     RECORD_VALUE(win_quat, 16, -1.0f, -1.0f, -1.0f, -1.0f)
//
// A type whose stored words must agree with each other (indexes into its own
// arrays) names a check before its description:
//     RECORD_CHECK(win_trigger, win_trigger_check_indexes)
// The check (int of const void* record) sees every record of the type once it
// is read or linked whole, singly, in an array or in a list, and answers 1, or
// 0 after one error line; the reader then refuses the record like any other
// corrupt one, releasing what it made.
//
// A type whose records are known somewhere else while they live (a record
// that put itself on a register of the program) names a release step before
// its description:
//     RECORD_RELEASE(win_ast, win_ast_release)
// The step (void of void* record) runs whenever a record of the type is
// released, singly, in an array or in a list, before what it owns is; a
// record that never registered passes through it too.
//
// Traits (the second argument of RECORD_END): PLAIN, NAMED (REC_NAME: malloc_X
// takes the name), LIST (REC_LINKS: the list operations exist) or NAMED_LIST.
// A REC_REF_CNT row makes the type counted. The default template follows the
// traits as an aggregate initializer (designated or positional); members left
// out are 0 / NULL.
//
// The compiler checks the description: rows in member order covering every
// member, counts declared right before their pointers, pointers of the element
// type named, the image size given, the traits matching the rows.
//
// WHO RELEASES WHAT
//
// What malloc_X and the stream readers return belongs to the caller, with all
// it owns: release it with free_X, free_X_array (with the same count) or
// free_X_list (then set the head to NULL and the size to 0). free_X never
// unlinks a record from a list: take it off first. Each answers 1 only when
// every release inside it succeeded too; the array and list forms release
// every element all the same.
//
// The link forms decode the records of a file image loaded whole into a
// link_arena: records, arrays, lists and number arrays are allocated in the
// arena, strings point into the image, and so do the records of types whose
// memory is their image (the value types) wherever the image holds them at a
// multiple of 4. The arena owns the image and all of them; link_arena_free
// releases everything at once. Never apply free_X, free_X_array or
// free_X_list to linked records.
//
//     int32_t size = 0;
//     char* image = file_mem_load_search_verify_version_bin(name, paths, type, version,
//                                                          &found, &size);
//     link_arena arena = {};
//     link_cursor cursor = link_arena_begin(&arena, image, size, FILE_HDR_SIZE);
//     win_trigger* trigger = link_win_trigger(&cursor);
//     ...
//     link_arena_free(&arena);  // the trigger, all it holds, and the image
//
// Readers never trust a stored count or length: each is checked against the
// bytes that remain in the file or the image before anything is allocated, and
// a failed read releases everything it made. A count stored beside an array, a
// list or numbers that the image does not hold reads as 0, after an error
// line: no count is left that disagrees with what was read. The writers store
// such a count beside a NULL pointer as the record holds it, with a zero
// presence word, so only a record built in memory with that disagreement
// (never one read or linked) comes back from its image changed. A stream read
// takes what remains of the file once and reads it ahead through a window
// (file_source); it leaves the file just after the last byte of its records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <utility>

#include "dlink.h"
#include "file_io.h"

enum record_kind : uint8_t {
    RECORD_WORDS,
    RECORD_LINKS,
    RECORD_NAME,
    RECORD_REF_CNT,
    RECORD_STRING,
    RECORD_ARRAY,
    RECORD_LIST,
    RECORD_RECORD,
    RECORD_NUMBERS,
    RECORD_VARIANT,
    RECORD_BYTES,
    RECORD_SLOT,
    RECORD_RUNTIME,
    RECORD_UNSTORED,
    RECORD_REFERENCE,
    RECORD_RUNTIME_ARRAY,
};

struct record_type;

// One choice of a REC_VARIANT field: the tag value and the type it selects.
struct record_variant {
    int32_t tag;
    const record_type* type;
};

// One row of a type's description. Made by the REC_ macros below.
struct record_field {
    record_kind kind = RECORD_WORDS;
    const char* name = "";  // the member, for messages
    uint32_t offset = 0;    // of the member in the record
    uint32_t size = 0;      // bytes in memory
    uint32_t align = 1;
    uint32_t count_offset = 0;          // ARRAY, LIST, NUMBERS: the count; VARIANT: the tag;
                                        // LINKS: the next link
    const char* count_name = "";        // that member, for messages
    const record_type* elem = nullptr;  // ARRAY, LIST, RECORD
    uint32_t elem_size = 0;             // NUMBERS: bytes of one number
    const char* word = "";              // NUMBERS: one element; ARRAY, LIST, RECORD: the
                                        // write-message word when not empty
    const record_variant* variants = nullptr;
    uint32_t n_variants = 0;
    int32_t (*byte_count)(const void* rec) = nullptr;  // BYTES: the buffer's length
};

// A record type as the engine sees it. Made by RECORD_END.
struct record_type {
    const char* name;
    uint32_t size;       // in memory
    int32_t image_size;  // in the files
    const void* templ;   // the default template
    const record_field* fields;
    uint32_t n_fields;
    bool list_type;
    bool named;
    bool counted;
    bool owns;  // has owned items (a name, strings, arrays, ...) or references
    bool flat;  // the memory layout is the image
    uint32_t name_offset;
    uint32_t name_image_offset;
    uint32_t ref_cnt_offset;
    dlink_free_funct free_funct;
    int (*check)(const void* rec);  // NULL, or the type's RECORD_CHECK
    void (*release)(void* rec);     // NULL, or the type's RECORD_RELEASE
    // The rows that a release visits other than the name, in order: the
    // owned items, which the streams carry too, and the references held.
    const uint16_t* owned_rows;
    uint32_t n_owned_rows;
    // Takes a stored image into a record, every member: the words as stored,
    // links to the record itself, owned pointers `record_announced` when
    // the stored word announces their item (else NULL), run-time, reference
    // and unstored members 0, the reference count `ref_cnt`. Made from the rows
    // at compile time.
    void (*decode)(const char* image, void* rec, int32_t ref_cnt);
};

// What an owned pointer of a decoded record holds until its item is taken.
extern char record_announced_mark;
inline void* const record_announced = &record_announced_mark;

// The check of a type's stored words (RECORD_CHECK); none by default.
typedef int (*record_check_funct)(const void* rec);
template <class T>
inline constexpr record_check_funct record_check = nullptr;

// The release step of a type (RECORD_RELEASE); none by default.
typedef void (*record_release_funct)(void* rec);
template <class T>
inline constexpr record_release_funct record_release = nullptr;

// The largest image of one record.
enum { RECORD_MAX_IMAGE = 1024 };

// How deep records may nest: the records that one record owns (singly, in an
// array or in a list) lie one level below it. Reading, linking, writing and
// freeing refuse deeper records with one ERROR line instead of recursing
// until the stack runs out. The data files nest a handful of levels, the
// deepest being entities within entities and a script expression's tree (a
// level per operator of one expression); a level costs under 256 bytes of
// stack (512 with the sanitizers), so the whole depth stays well inside any
// thread's stack.
enum { RECORD_MAX_DEPTH = 1024 };

// Link forms. The arena owns the loaded image and the records decoded from it.
struct link_chunk;
struct link_arena {
    char* image;         // released by link_arena_free
    link_chunk* chunks;  // the decoded records, arrays and number arrays
};
// The cursor of the link forms (`data_hdl`): the bounded cursor over the image
// and the arena that receives what is decoded.
struct link_cursor : data_cursor {
    link_arena* arena;
};
// Gives `image` (a heap block of `size` bytes) to an empty arena and returns
// a cursor at byte `start` of it; an arena holds one image. A bad start gives
// a cursor with NULL data (the arena still owns the image).
link_cursor link_arena_begin(link_arena* arena, char* image, int32_t size, int32_t start);
// Releases every record linked through the arena, and the image.
void link_arena_free(link_arena* arena);

// The engine. The typed family functions below call these.
void* record_malloc(const record_type* type, const char* name);
void* record_malloc_array(const record_type* type, int32_t array_size);
int record_add_to_list(const record_type* type, dlink** list, int32_t* list_size, dlink* rec);
int record_remove_from_list(const record_type* type, dlink** list, int32_t* list_size, dlink* rec);
int record_free(const record_type* type, void* rec);
int record_free_array(const record_type* type, void* array, int32_t array_size);
int record_free_list(const record_type* type, void* list);
int record_write_bin(const record_type* type, FILE* bin_file, const void* rec);
int record_write_array_bin(const record_type* type, FILE* bin_file, const void* array,
                           int32_t array_size);
int record_write_list_bin(const record_type* type, FILE* bin_file, const void* list,
                          int32_t list_size);
void* record_read_bin(const record_type* type, FILE* bin_file);
void* record_read_array_bin(const record_type* type, FILE* bin_file, int32_t array_size);
void* record_read_list_bin(const record_type* type, FILE* bin_file, int32_t list_size);
void* record_link(const record_type* type, link_cursor* data_hdl);
void* record_link_array(const record_type* type, link_cursor* data_hdl, int32_t array_size);
void* record_link_list(const record_type* type, link_cursor* data_hdl, int32_t list_size);

template <const record_type* type>
int record_free_funct(void* node)
{
    return record_free(type, node);
}

// ---- Compile-time side of the descriptions ----

enum {
    RECORD_TRAITS_PLAIN = 0,
    RECORD_TRAITS_NAMED = 1,
    RECORD_TRAITS_LIST = 2,
    RECORD_TRAITS_NAMED_LIST = 3
};

constexpr bool record_kind_has_count(record_kind kind)
{
    return kind == RECORD_ARRAY || kind == RECORD_LIST || kind == RECORD_NUMBERS ||
           kind == RECORD_RUNTIME_ARRAY;
}

// Whether the row's count goes with items stored in the image (an array, a
// list or numbers); a run-time array's count is data, its slots made at load.
constexpr bool record_kind_counts_items(record_kind kind)
{
    return kind == RECORD_ARRAY || kind == RECORD_LIST || kind == RECORD_NUMBERS;
}

constexpr bool record_kind_owns(record_kind kind)
{
    return kind == RECORD_NAME || kind == RECORD_STRING || kind == RECORD_ARRAY ||
           kind == RECORD_LIST || kind == RECORD_RECORD || kind == RECORD_NUMBERS ||
           kind == RECORD_VARIANT || kind == RECORD_BYTES;
}

// Whether releasing a record releases something the row holds: its owned
// items, and the references it keeps of shared records.
constexpr bool record_kind_releases(record_kind kind)
{
    return record_kind_owns(kind) || kind == RECORD_REFERENCE || kind == RECORD_RUNTIME_ARRAY;
}

// Bytes of one row in the image.
constexpr uint32_t record_image_bytes(const record_field& field)
{
    if (field.kind == RECORD_WORDS)
        return field.size;
    if (field.kind == RECORD_UNSTORED)
        return 0;
    if (field.kind == RECORD_LINKS || record_kind_has_count(field.kind))
        return 8;
    return 4;
}

constexpr uint32_t record_align_up(uint32_t value, uint32_t align)
{
    return (value + align - 1) / align * align;
}

// Every member covered once, in order, each row of a width its kind allows.
template <class D>
constexpr bool record_layout_ok()
{
    using T = typename D::T;
    uint32_t end = 0;
    uint32_t index = 0;
    for (const record_field& field : D::fields) {
        if (record_kind_has_count(field.kind)) {
            if (field.count_offset != record_align_up(end, 4))
                return false;
            end = field.count_offset + 4;
        }
        if (field.align == 0 || field.offset != record_align_up(end, field.align))
            return false;
        switch (field.kind) {
        case RECORD_WORDS:
            if (field.size == 0 || field.size % 4 != 0 || field.align > 4)
                return false;
            break;
        case RECORD_LINKS:
            if (index != 0 || field.size != 2 * sizeof(void*) ||
                field.count_offset != field.offset + sizeof(void*))
                return false;
            break;
        case RECORD_REF_CNT:
            if (field.size != 4)
                return false;
            break;
        case RECORD_RUNTIME:
            if (field.size != 4 && field.size != sizeof(void*))
                return false;
            break;
        case RECORD_UNSTORED:
            break;
        case RECORD_NUMBERS:
            if (field.size != sizeof(void*) || (field.elem_size != 2 && field.elem_size != 4))
                return false;
            break;
        case RECORD_VARIANT: {
            bool tag_found = false;
            for (const record_field& tag : D::fields)
                if (tag.kind == RECORD_WORDS && tag.offset == field.count_offset && tag.size == 4 &&
                    tag.offset < field.offset)
                    tag_found = true;
            if (!tag_found || field.size != sizeof(void*) || field.n_variants == 0)
                return false;
            break;
        }
        default:
            if (field.size != sizeof(void*))
                return false;
        }
        end = field.offset + field.size;
        ++index;
    }
    return record_align_up(end, alignof(T)) == sizeof(T);
}

template <class D>
constexpr int32_t record_image_size()
{
    uint32_t bytes = 0;
    for (const record_field& field : D::fields)
        bytes += record_image_bytes(field);
    return (int32_t)bytes;
}

template <class D>
constexpr int record_traits()
{
    int traits = 0;
    for (const record_field& field : D::fields) {
        if (field.kind == RECORD_NAME)
            traits |= RECORD_TRAITS_NAMED;
        if (field.kind == RECORD_LINKS)
            traits |= RECORD_TRAITS_LIST;
    }
    return traits;
}

// At most one name, links and count; the name is the first owned item and, in
// a list-type record, the third word (the node's key).
template <class D>
constexpr bool record_name_placed()
{
    int names = 0, links = 0, counts = 0, owned_before_name = 0;
    uint32_t index = 0;
    for (const record_field& field : D::fields) {
        if (field.kind == RECORD_NAME) {
            ++names;
            if (owned_before_name || (D::fields[0].kind == RECORD_LINKS && index != 1))
                return false;
        } else if (record_kind_owns(field.kind)) {
            ++owned_before_name;
        }
        links += field.kind == RECORD_LINKS;
        counts += field.kind == RECORD_REF_CNT;
        ++index;
    }
    return names <= 1 && links <= 1 && counts <= 1;
}

// The decoder of a type: one straight piece of code per row, so that a
// record costs a few moves rather than a walk through its description.
template <class D, size_t I>
constexpr uint32_t record_image_offset()
{
    uint32_t offset = 0;
    for (size_t i = 0; i < I; ++i)
        offset += record_image_bytes(D::fields[i]);
    return offset;
}

template <class D, size_t I>
inline void record_decode_row(const char* image, char* rec, int32_t ref_cnt)
{
    constexpr const record_field& field = D::fields[I];
    const char* stored = image + record_image_offset<D, I>();
    if constexpr (field.kind == RECORD_WORDS) {
        std::memcpy(rec + field.offset, stored, field.size);
    } else if constexpr (field.kind == RECORD_LINKS) {
        void* self = rec;
        std::memcpy(rec + field.offset, &self, sizeof self);
        std::memcpy(rec + field.count_offset, &self, sizeof self);
    } else if constexpr (field.kind == RECORD_REF_CNT) {
        std::memcpy(rec + field.offset, &ref_cnt, 4);
    } else if constexpr (field.kind == RECORD_RUNTIME || field.kind == RECORD_REFERENCE ||
                         field.kind == RECORD_UNSTORED) {
        std::memset(rec + field.offset, 0, field.size);
    } else if constexpr (field.kind == RECORD_RUNTIME_ARRAY) {  // the count only
        void* none = nullptr;
        std::memcpy(rec + field.count_offset, stored, 4);
        std::memcpy(rec + field.offset, &none, sizeof none);
    } else {  // a slot's value, or an owned item's presence word after its count
        uint32_t word;
        if constexpr (record_kind_has_count(field.kind))
            std::memcpy(rec + field.count_offset, stored, 4);
        std::memcpy(&word, stored + (record_kind_has_count(field.kind) ? 4 : 0), 4);
        void* ptr = word ? record_announced : nullptr;
        if constexpr (field.kind == RECORD_SLOT)
            ptr = (void*)(uintptr_t)word;
        std::memcpy(rec + field.offset, &ptr, sizeof ptr);
    }
}

template <class D, size_t... I>
void record_decode_rows(const char* image, void* rec, int32_t ref_cnt, std::index_sequence<I...>)
{
    (record_decode_row<D, I>(image, (char*)rec, ref_cnt), ...);
}

template <class D>
void record_decode(const char* image, void* rec, int32_t ref_cnt)
{
    record_decode_rows<D>(image, rec, ref_cnt, std::make_index_sequence<std::size(D::fields)>());
}

template <class D>
constexpr size_t record_owned_count()
{
    size_t count = 0;
    for (const record_field& field : D::fields)
        count += record_kind_releases(field.kind) && field.kind != RECORD_NAME;
    return count;
}

template <class D>
inline constexpr auto record_owned_rows = [] {
    std::array<uint16_t, record_owned_count<D>()> rows{};
    size_t n = 0;
    for (size_t i = 0; i < std::size(D::fields); ++i)
        if (record_kind_releases(D::fields[i].kind) && D::fields[i].kind != RECORD_NAME)
            rows[n++] = (uint16_t)i;
    return rows;
}();

template <class D>
constexpr record_type record_type_of(const char* name, dlink_free_funct free_funct)
{
    using T = typename D::T;
    record_type type{};
    type.name = name;
    type.size = sizeof(T);
    type.image_size = D::image_size;
    type.templ = &D::templ;
    type.fields = D::fields;
    type.n_fields = (uint32_t)std::size(D::fields);
    type.flat = sizeof(T) == (size_t)D::image_size;
    type.free_funct = free_funct;
    type.check = record_check<T>;
    type.release = record_release<T>;
    type.decode = &record_decode<D>;
    type.owned_rows = record_owned_rows<D>.data();
    type.n_owned_rows = (uint32_t)record_owned_rows<D>.size();
    uint32_t image_offset = 0;
    for (const record_field& field : D::fields) {
        if (field.kind == RECORD_LINKS)
            type.list_type = true;
        if (field.kind == RECORD_NAME) {
            type.named = true;
            type.name_offset = field.offset;
            type.name_image_offset = image_offset;
        }
        if (field.kind == RECORD_REF_CNT) {
            type.counted = true;
            type.ref_cnt_offset = field.offset;
        }
        if (record_kind_releases(field.kind))
            type.owns = true;
        if (field.kind != RECORD_WORDS)
            type.flat = false;
        image_offset += record_image_bytes(field);
    }
    return type;
}

// Checks made while a row is built.
template <class Count>
consteval uint32_t record_count_at(uint32_t offset)
{
    static_assert(std::is_same_v<Count, int32_t>, "a count is an int32_t member");
    return offset;
}
template <class Member, class Elem>
consteval const record_type* record_elem_of(const record_type* type)
{
    static_assert(std::is_same_v<Member, Elem*>,
                  "the member must point to the element type named in its row");
    return type;
}
template <class Member>
consteval bool record_is_byte_buffer()
{
    static_assert(std::is_same_v<Member, uint8_t*>, "REC_BYTES needs a uint8_t* member");
    return true;
}
template <class Member>
consteval uint32_t record_number_size()
{
    static_assert(std::is_pointer_v<Member> && std::is_arithmetic_v<std::remove_pointer_t<Member>>,
                  "REC_NUMBERS needs a pointer to 16- or 32-bit numbers");
    return (uint32_t)sizeof(std::remove_pointer_t<Member>);
}

// ---- The description macros ----

#define REC_ROW_(KIND, MEMBER, ...)             \
    record_field{.kind = KIND,                  \
                 .name = #MEMBER,               \
                 .offset = offsetof(T, MEMBER), \
                 .size = sizeof(T::MEMBER),     \
                 .align = alignof(decltype(T::MEMBER)) __VA_ARGS__},

#define REC_WORDS(MEMBER) REC_ROW_(RECORD_WORDS, MEMBER)
#define REC_LINKS(PREV, NEXT)                               \
    record_field{.kind = RECORD_LINKS,                      \
                 .name = #PREV,                             \
                 .offset = offsetof(T, PREV),               \
                 .size = sizeof(T::PREV) + sizeof(T::NEXT), \
                 .align = alignof(decltype(T::PREV)),       \
                 .count_offset = offsetof(T, NEXT)},
#define REC_NAME(MEMBER) REC_ROW_(RECORD_NAME, MEMBER)
#define REC_REF_CNT(MEMBER) REC_ROW_(RECORD_REF_CNT, MEMBER)
#define REC_STRING(MEMBER) REC_ROW_(RECORD_STRING, MEMBER)
#define REC_SLOT(MEMBER) REC_ROW_(RECORD_SLOT, MEMBER)
#define REC_RUNTIME(MEMBER) REC_ROW_(RECORD_RUNTIME, MEMBER)
#define REC_UNSTORED(MEMBER) REC_ROW_(RECORD_UNSTORED, MEMBER)
#define REC_COUNTED_ROW_(KIND, COUNT, MEMBER, ...)                                    \
    REC_ROW_(KIND, MEMBER, ,                                                          \
             .count_offset = record_count_at<decltype(T::COUNT)>(offsetof(T, COUNT)), \
             .count_name = #COUNT __VA_ARGS__)
#define REC_ARRAY(COUNT, MEMBER, ELEM, ...)                                           \
    REC_COUNTED_ROW_(RECORD_ARRAY, COUNT, MEMBER, ,                                   \
                     .elem = record_elem_of<decltype(T::MEMBER), ELEM>(&ELEM##_desc), \
                     .word = "" __VA_ARGS__)
#define REC_LIST(COUNT, MEMBER, ELEM, ...)                                            \
    REC_COUNTED_ROW_(RECORD_LIST, COUNT, MEMBER, ,                                    \
                     .elem = record_elem_of<decltype(T::MEMBER), ELEM>(&ELEM##_desc), \
                     .word = "" __VA_ARGS__)
#define REC_NUMBERS(COUNT, MEMBER, WORD)              \
    REC_COUNTED_ROW_(RECORD_NUMBERS, COUNT, MEMBER, , \
                     .elem_size = record_number_size<decltype(T::MEMBER)>(), .word = #WORD)
#define REC_RECORD(MEMBER, ELEM, ...)                                         \
    REC_ROW_(RECORD_RECORD, MEMBER, ,                                         \
             .elem = record_elem_of<decltype(T::MEMBER), ELEM>(&ELEM##_desc), \
             .word = "" __VA_ARGS__)
#define REC_REFERENCE(MEMBER, ELEM)      \
    REC_ROW_(RECORD_REFERENCE, MEMBER, , \
             .elem = record_elem_of<decltype(T::MEMBER), ELEM>(&ELEM##_desc))
#define REC_RUNTIME_ARRAY(COUNT, MEMBER, ELEM)              \
    REC_COUNTED_ROW_(RECORD_RUNTIME_ARRAY, COUNT, MEMBER, , \
                     .elem = record_elem_of<decltype(T::MEMBER), ELEM>(&ELEM##_desc))
#define REC_BYTES(MEMBER, SIZE_FN)   \
    REC_ROW_(RECORD_BYTES, MEMBER, , \
             .byte_count = record_is_byte_buffer<decltype(T::MEMBER)>() ? SIZE_FN : nullptr)
#define REC_VARIANT(TAG, MEMBER, TABLE)                                                      \
    REC_ROW_(RECORD_VARIANT, MEMBER, , .count_offset = offsetof(T, TAG), .count_name = #TAG, \
             .variants = TABLE, .n_variants = (uint32_t)std::size(TABLE))

// The record itself as the one row (pointer typedefs and all-word values).
#define REC_SELF_(KIND, ...) \
    record_field{.kind = KIND, .offset = 0, .size = sizeof(T), .align = alignof(T) __VA_ARGS__},
#define REC_SELF_WORDS() REC_SELF_(RECORD_WORDS)
#define REC_SELF_STRING() REC_SELF_(RECORD_STRING)
#define REC_SELF_SLOT() REC_SELF_(RECORD_SLOT)
#define REC_SELF_RUNTIME() REC_SELF_(RECORD_RUNTIME)
#define REC_SELF_RECORD(ELEM, ...)                                            \
    REC_SELF_(RECORD_RECORD, , .elem = record_elem_of<T, ELEM>(&ELEM##_desc), \
              .word = "" __VA_ARGS__)

// Lets a type own records of its own type (or of a type declared after it).
#define RECORD_FORWARD(X) extern const record_type X##_desc

// Names the check of a type's stored words; comes before its RECORD_BEGIN.
#define RECORD_CHECK(X, FUNCT)  \
    int FUNCT(const void* rec); \
    template <>                 \
    inline constexpr record_check_funct record_check<X> = FUNCT

// Names the release step of a type; comes before its RECORD_BEGIN.
#define RECORD_RELEASE(X, FUNCT) \
    void FUNCT(void* rec);       \
    template <>                  \
    inline constexpr record_release_funct record_release<X> = FUNCT

#define RECORD_BEGIN(X, IMAGE_SIZE)                       \
    RECORD_FORWARD(X);                                    \
    struct X##_record_desc {                              \
        using T = X;                                      \
        static constexpr int32_t image_size = IMAGE_SIZE; \
        static constexpr record_field fields[] = {
#define RECORD_END(X, TRAITS, ...)                                                              \
    }                                                                                           \
    ;                                                                                           \
    _Pragma("GCC diagnostic push") _Pragma(                                                     \
        "GCC diagnostic ignored \"-Wmissing-field-initializers\"") static constexpr T templ = { \
        __VA_ARGS__};                                                                           \
    _Pragma("GCC diagnostic pop")                                                               \
    }                                                                                           \
    ;                                                                                           \
    static_assert(std::is_trivially_copyable_v<X> && std::is_standard_layout_v<X>,              \
                  #X ": records are plain structs");                                            \
    static_assert(record_layout_ok<X##_record_desc>(),                                          \
                  #X ": the rows must cover every member once, in member order");               \
    static_assert(record_image_size<X##_record_desc>() == X##_record_desc::image_size,          \
                  #X ": the rows make an image of another size than the one declared");         \
    static_assert(X##_record_desc::image_size <= RECORD_MAX_IMAGE, #X ": image too large");     \
    static_assert(record_traits<X##_record_desc>() == RECORD_TRAITS_##TRAITS,                   \
                  #X ": the traits do not match the rows (NAMED: REC_NAME, LIST: REC_LINKS)");  \
    static_assert(record_name_placed<X##_record_desc>(),                                        \
                  #X ": one name, the first owned item, right after the links");                \
    inline constinit const record_type X##_desc = record_type_of<X##_record_desc>(              \
        #X, &record_free_funct<&X##_desc>);                                                     \
    RECORD_FAMILY_##TRAITS(X)

#define RECORD_VALUE(X, IMAGE_SIZE, ...) \
    RECORD_BEGIN(X, IMAGE_SIZE)          \
        REC_SELF_WORDS()                 \
    RECORD_END(X, PLAIN, __VA_ARGS__)

// ---- The typed families ----

#define RECORD_FAMILY_COMMON_(X)                                                                 \
    inline X* malloc_##X##_array(int32_t X##_array_size)                                         \
    {                                                                                            \
        return (X*)record_malloc_array(&X##_desc, X##_array_size);                               \
    }                                                                                            \
    inline int free_##X(X* X##_ptr)                                                              \
    {                                                                                            \
        return record_free(&X##_desc, X##_ptr);                                                  \
    }                                                                                            \
    inline int free_##X##_array(X* X##_array, int32_t X##_array_size)                            \
    {                                                                                            \
        return record_free_array(&X##_desc, X##_array, X##_array_size);                          \
    }                                                                                            \
    inline int write_##X##_bin(FILE* bin_file, const X* X##_ptr)                                 \
    {                                                                                            \
        return record_write_bin(&X##_desc, bin_file, X##_ptr);                                   \
    }                                                                                            \
    inline int write_##X##_array_bin(FILE* bin_file, const X* X##_array, int32_t X##_array_size) \
    {                                                                                            \
        return record_write_array_bin(&X##_desc, bin_file, X##_array, X##_array_size);           \
    }                                                                                            \
    inline X* read_##X##_bin(FILE* bin_file)                                                     \
    {                                                                                            \
        return (X*)record_read_bin(&X##_desc, bin_file);                                         \
    }                                                                                            \
    inline X* read_##X##_array_bin(FILE* bin_file, int32_t X##_array_size)                       \
    {                                                                                            \
        return (X*)record_read_array_bin(&X##_desc, bin_file, X##_array_size);                   \
    }                                                                                            \
    inline X* link_##X(link_cursor* data_hdl)                                                    \
    {                                                                                            \
        return (X*)record_link(&X##_desc, data_hdl);                                             \
    }                                                                                            \
    inline X* link_##X##_array(link_cursor* data_hdl, int32_t X##_array_size)                    \
    {                                                                                            \
        return (X*)record_link_array(&X##_desc, data_hdl, X##_array_size);                       \
    }

#define RECORD_FAMILY_LIST_OPS_(X)                                                               \
    inline int add_to_##X##_list(X** X##_list, int32_t* X##_list_size, X* X##_ptr)               \
    {                                                                                            \
        return record_add_to_list(&X##_desc, (dlink**)X##_list, X##_list_size, (dlink*)X##_ptr); \
    }                                                                                            \
    inline int remove_from_##X##_list(X** X##_list, int32_t* X##_list_size, X* X##_ptr)          \
    {                                                                                            \
        return record_remove_from_list(&X##_desc, (dlink**)X##_list, X##_list_size,              \
                                       (dlink*)X##_ptr);                                         \
    }                                                                                            \
    inline int free_##X##_list(X* X##_list)                                                      \
    {                                                                                            \
        return record_free_list(&X##_desc, X##_list);                                            \
    }                                                                                            \
    inline int free_##X##_funct(void* X##_ptr)                                                   \
    {                                                                                            \
        return record_free(&X##_desc, X##_ptr);                                                  \
    }                                                                                            \
    inline int write_##X##_list_bin(FILE* bin_file, const X* X##_list, int32_t X##_list_size)    \
    {                                                                                            \
        return record_write_list_bin(&X##_desc, bin_file, X##_list, X##_list_size);              \
    }                                                                                            \
    inline X* read_##X##_list_bin(FILE* bin_file, int32_t X##_list_size)                         \
    {                                                                                            \
        return (X*)record_read_list_bin(&X##_desc, bin_file, X##_list_size);                     \
    }                                                                                            \
    inline X* link_##X##_list(link_cursor* data_hdl, int32_t X##_list_size)                      \
    {                                                                                            \
        return (X*)record_link_list(&X##_desc, data_hdl, X##_list_size);                         \
    }

#define RECORD_MALLOC_PLAIN_(X)                       \
    inline X* malloc_##X(void)                        \
    {                                                 \
        return (X*)record_malloc(&X##_desc, nullptr); \
    }
#define RECORD_MALLOC_NAMED_(X)                        \
    inline X* malloc_##X(const char* X##_name)         \
    {                                                  \
        return (X*)record_malloc(&X##_desc, X##_name); \
    }

#define RECORD_FAMILY_PLAIN(X) RECORD_MALLOC_PLAIN_(X) RECORD_FAMILY_COMMON_(X)
#define RECORD_FAMILY_NAMED(X) RECORD_MALLOC_NAMED_(X) RECORD_FAMILY_COMMON_(X)
#define RECORD_FAMILY_LIST(X) RECORD_FAMILY_PLAIN(X) RECORD_FAMILY_LIST_OPS_(X)
#define RECORD_FAMILY_NAMED_LIST(X) RECORD_FAMILY_NAMED(X) RECORD_FAMILY_LIST_OPS_(X)
