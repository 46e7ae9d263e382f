// File access: stream wrappers, the versioned headers every data file begins
// with, string records inside binary files, the search-path list and the
// file-name functions. Every open goes through the path resolver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "dlink.h"

// file_open modes
enum {
    FILE_MODE_READ_BIN = 0,        // "rb"
    FILE_MODE_WRITE_BIN = 1,       // "wb"
    FILE_MODE_READ_WRITE_BIN = 2,  // not implemented: two notices, NULL
    FILE_MODE_READ_TEXT = 3,       // "r"
    FILE_MODE_WRITE_TEXT = 4,      // "w"
    FILE_MODE_UPDATE_BIN = 5,      // "r+b"
};

// The binary file header: a 64-byte banner, the type at offset 64, the version
// at offset 68, 28 reserved zero bytes. Record data follows at offset 100.
enum { FILE_HDR_SIZE = 100, FILE_HDR_BANNER_SIZE = 64 };

// File types and versions of the program's data files.
enum {
    FILE_TYPE_COLLISION = 11,
    FILE_VERSION_COLLISION = 106,
    FILE_TYPE_ENTITY = 13,
    FILE_VERSION_ENTITY = 155,
    FILE_TYPE_SCRIPT = 16,
    FILE_VERSION_SCRIPT = 106,
    FILE_TYPE_CONFIG = 21,
    FILE_VERSION_CONFIG = 124,
    FILE_TYPE_AST_TEXT = 24,
    FILE_VERSION_AST_TEXT = 112,
    FILE_TYPE_AI = 27,
    FILE_VERSION_AI = 105,
    FILE_TYPE_SHADER = 44,
    FILE_VERSION_SHADER = 105,
    FILE_TYPE_TRANSTEX = 47,
    FILE_VERSION_TRANSTEX = 101,
    FILE_TYPE_LOAD_SCRIPT = 54,
    FILE_VERSION_LOAD_SCRIPT = 100,
    FILE_TYPE_NAV_MAP = 57,
    FILE_VERSION_NAV_MAP = 100,
    FILE_TYPE_MODEL = 60,
    FILE_VERSION_MODEL = 105,
    FILE_TYPE_ANIM = 61,
    FILE_VERSION_ANIM = 108,
    FILE_TYPE_AST_BIN = 67,
    FILE_VERSION_AST_BIN = 112,
};

// What the last header check found (0 where it found nothing), for the
// caller's own message after a refused file.
extern int32_t file_hdr_type_found;
extern int32_t file_hdr_version_found;
// The found values back to 0 and no replace hook; for tests.
void file_io_reset(void);

// Stream access. Each returns 1 / a stream on success, 0 / NULL on failure
// after one error entry, unless noted.
FILE* file_open(const char* filename, int32_t file_mode);  // a missing file: NULL, no entry
int file_close(FILE* file);
int file_write(FILE* file, const void* data_ptr, int32_t n);
int file_read(FILE* file, void* data_ptr, int32_t n);
int file_seek(FILE* file, int32_t offset);
// The size of an open file in bytes (64-bit: files of 2 GiB and more too).
int64_t fsize(FILE* file);
// Bytes from the current position to the end of the file; 0 for NULL.
int32_t file_bytes_left(FILE* file);
int file_append(FILE* target, FILE* file);
int file_exists(const char* filename);
int remove_file(const char* filename);
int rename_file(const char* src_filename, const char* dest_filename);
int32_t file_time(const char* filename);
const char* file_time_str(void);

// Versioned headers.
FILE* file_open_write_version_bin(const char* filename, int32_t file_type, int32_t file_version);
FILE* file_open_write_version_text(const char* filename, int32_t file_type, int32_t file_version);
FILE* file_open_search_verify_version_bin(const char* filename, dlink* pathname_list,
                                          int32_t file_type, int32_t file_version, int* found);
// The whole file (header included) in one heap block that the caller
// releases; its size in *size when `size` is not NULL. A file larger than
// PLATFORM_MAX_WHOLE_FILE is refused.
char* file_mem_load_search_verify_version_bin(const char* filename, dlink* pathname_list,
                                              int32_t file_type, int32_t file_version, int* found,
                                              int32_t* size = nullptr);
FILE* file_open_search_verify_version_text(const char* filename, int16_t* line_cnt,
                                           dlink* pathname_list, int32_t file_type,
                                           int32_t file_version, int* found);

// Replacing a file whole, for files a player would miss (the configuration):
// the new text goes to a temporary file beside the old one ("<name>.tmp"),
// which is flushed, written down to the disk and renamed over the old file
// only once everything was written. A kill or a full disk meanwhile leaves
// the old file as it was; a failure removes the temporary file and says in
// one error line that the previous file is kept.
// Opens the temporary file and writes the text header; NULL after the line.
FILE* file_open_replace_version_text(const char* filename, int32_t file_type, int32_t file_version);
// Ends what file_open_replace_version_text began: with `written` 0 (the
// caller's writes failed) the old file is kept. 1 when the file was replaced.
int file_close_replace(FILE* file, const char* filename, int written);
// For tests: called before each step of a replacement ("open", "write",
// "sync", "rename") and after the last ("renamed"); an answer of 0 fails
// the step as a full disk would. NULL for none.
typedef int (*file_replace_hook)(const char* step);
void file_io_set_replace_hook(file_replace_hook hook);

// A kind of file that holds the binary header and one record stream, with
// the error lines of its loader: that of a file whose header holds another
// type or version (`found`, the version it holds; 0 when already the type
// differed) and that of a file whose record did not read (`name` as the
// caller gave it to file_read_versioned_record).
struct versioned_record_file {
    int32_t file_type;
    int32_t file_version;
    void* (*read)(FILE* bin_file);
    void (*report_bad_header)(const char* path, int32_t found);
    void (*report_bad_record)(const char* name);
};
// Opens `path` (no search list), checks its header against the kind, reads
// one record after it and closes the file. The new record, or NULL after
// one error line: "Could not find '%s' for reading\n" (the path) when no
// such file opens, else the kind's own report.
void* file_read_versioned_record(const char* path, const char* name,
                                 const versioned_record_file* kind);

// Value lines of text data files: the value left-aligned in 44 columns, then
// "//  " and the comment (numbers as "%ld" and "%f"). A value of 44 characters
// or more is followed by one blank, so that its end never joins the comment
// marker (a directory ending in "/" would lose it when read back). Each
// returns 1 when the line was written.
int file_write_value_line(FILE* file, const char* value, const char* comment);
int file_write_long_line(FILE* file, int32_t value, const char* comment);
int file_write_float_line(FILE* file, float value, const char* comment);

// String records: int32 length with the terminating zero (0 = NULL string),
// the bytes, zero padding to a multiple of `byte_boundary` (4 everywhere).
int write_str_bin(FILE* str_file, const char* the_str, int16_t byte_boundary);
// A new heap string, or NULL (also, silently, for a stored length of 0). A
// length that is negative, longer than the rest of the file, or a text that
// is not zero-terminated is refused.
char* read_str_bin(FILE* str_file, int16_t byte_boundary);

// A read cursor over a file image in memory, bounded by its end.
struct data_cursor {
    char* data;       // the next byte; NULL when there is no image
    const char* end;  // one past the last byte of the image
};
// The string record at the cursor: a pointer INTO the image (NULL for length
// 0); the cursor moves past the record and its padding.
char* link_str(data_cursor* data_hdl, int16_t byte_boundary);

// A bounded source of file bytes for the readers that decode records: the
// rest of a stream, or a file image in memory. Its bound, the bytes left in
// the stream or the image, is taken once, when it is opened; readers check
// every stored count and length against it before they allocate. A stream
// is read ahead in growing blocks into a window that readers decode from, so
// that a record costs no read call per field; closing the source puts the
// stream back just after the last byte taken.
struct file_source {
    char* data;         // the next byte not taken
    const char* end;    // one past the window's last byte
    FILE* file;         // the stream behind the window; NULL for an image
    int32_t file_left;  // bytes of the stream within the bound not yet in the window
    char* buffer;       // the window's storage, for a stream
    int32_t capacity;
    int32_t block;  // bytes of the next read ahead
};
// Opens a source on the rest of `file`.
void file_source_open(file_source* src, FILE* file);
// Opens a source on the image bytes [data, end).
void file_source_image(file_source* src, char* data, const char* end);
// Puts a stream back just after the last byte taken and releases the window.
void file_source_close(file_source* src);
// Bytes left within the bound.
inline int32_t file_source_left(const file_source* src)
{
    return (int32_t)(src->end - src->data) + src->file_left;
}
// Makes `n` bytes lie together at `data`; 0 when the bound has fewer or the
// stream fails. Logs nothing.
int file_source_refill(file_source* src, int32_t n);  // the slow side of file_source_fill
inline int file_source_fill(file_source* src, int32_t n)
{
    return src->end - src->data >= n || file_source_refill(src, n);
}
// Copies `n` bytes out of the source; 0 when the bound has fewer or the
// stream fails. Logs nothing.
int file_source_read(file_source* src, void* dest, int32_t n);
// The string record at the source with the checks and messages of
// read_str_bin (a stream: a new heap string) or of link_str (an image: a
// pointer into it).
char* file_source_str(file_source* src, int16_t byte_boundary);

// Search-path list: nodes holding only the list head; keys are upper-cased
// directory names without trailing backslashes.
dlink* add_pathname(dlink** pathname_list, const char* pathname);
int free_pathname(void* raw_pathname);
int free_pathname_list(dlink* pathname_list);
FILE* file_open_search(const char* filename, int32_t file_mode, dlink* pathname_list);
const char* file_search(const char* filename, dlink* pathname_list);

// File names (Windows form, "\" separators).
// Replaces (with `replace_flag`), adds or removes (empty extension) the
// extension of the file-name part; `size` is the buffer's size.
int set_filename_ext(char* full_filename, size_t size, const char* new_filename_ext,
                     int replace_flag);
char* get_filename(char* full_filename);
const char* get_pathname(const char* full_filename);
char* get_filename_ext(char* full_filename);
const char* get_base_filename(const char* full_filename);
