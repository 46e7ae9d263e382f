#include "file_io.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <sys/stat.h>

#include "debug.h"
#include "heap.h"
#include "platform/path.h"
#include "str_util.h"
#include "text_io.h"
#include "token.h"

int32_t file_hdr_type_found = 0;
int32_t file_hdr_version_found = 0;

namespace {

// The banner of every binary header: the maker line, zero-padded to 64 bytes.
const char file_hdr_banner[FILE_HDR_BANNER_SIZE] = "ZORLANDI SOFTWORKS varnock data file  ";
static_assert(sizeof("ZORLANDI SOFTWORKS varnock data file  ") - 1 == 38);

// Name buffers of the file-name functions and of the joined search path.
constexpr size_t name_buffer_size = 1024;

int32_t read_int32_le(const char* bytes)
{
    uint32_t value = (uint32_t)(unsigned char)bytes[0] | (uint32_t)(unsigned char)bytes[1] << 8 |
                     (uint32_t)(unsigned char)bytes[2] << 16 |
                     (uint32_t)(unsigned char)bytes[3] << 24;
    return (int32_t)value;
}

void write_int32_le(char* bytes, int32_t value)
{
    uint32_t v = (uint32_t)value;
    bytes[0] = (char)(v & 0xff);
    bytes[1] = (char)(v >> 8 & 0xff);
    bytes[2] = (char)(v >> 16 & 0xff);
    bytes[3] = (char)(v >> 24 & 0xff);
}

// Checks the type and the version of a header image, with the found values
// and messages of both header checks.
int check_header(const char* header, const char* filename, int32_t file_type, int32_t file_version)
{
    file_hdr_type_found = read_int32_le(header + 64);
    if (file_hdr_type_found != file_type) {
        LOG_ERROR("Wrong file type in '%s', found %ld expected %ld\n", filename,
                  (long)file_hdr_type_found, (long)file_type);
        file_hdr_version_found = 0;
        return 0;
    }
    file_hdr_version_found = read_int32_le(header + 68);
    if (file_hdr_version_found != file_version) {
        LOG_ERROR("Wrong file version in '%s', found %ld expected %ld\n", filename,
                  (long)file_hdr_version_found, (long)file_version);
        return 0;
    }
    return 1;
}

file_replace_hook replace_hook;

// 0 when the test hook fails the step, as a full disk would.
int replace_step(const char* step)
{
    if (replace_hook && !replace_hook(step)) {
        errno = ENOSPC;
        return 0;
    }
    return 1;
}

int replacement_name(const char* filename, char* temp, size_t size)
{
    return STR_CPY(temp, size, filename) && STR_CAT(temp, size, ".tmp");
}

// Gives up a replacement: the temporary file goes, the old file stays.
int abandon_replace(FILE* file, const char* temp, const char* filename, const char* step, int error)
{
    if (file)
        std::fclose(file);
    platform_remove(temp);
    LOG_ERROR("Could not write '%s': %s failed (%s); the previous file is kept.\n", filename, step,
              std::strerror(error));
    return 0;
}

int write_text_header(FILE* file, const char* filename, int32_t file_type, int32_t file_version)
{
    int failed = 0;
    failed |= std::fprintf(file, "//  %s\n", file_hdr_banner) < 0;
    failed |= std::fprintf(file, "//\n") < 0;
    failed |= std::fprintf(file, "//  %s written at %s\n", filename, file_time_str()) < 0;
    failed |= std::fprintf(file, "//\n") < 0;
    failed |= std::fprintf(file, "\n") < 0;
    failed |= !file_write_long_line(file, file_type, "file_type");
    failed |= !file_write_long_line(file, file_version, "file_version");
    return !failed;
}

int padding_for(int32_t length, int16_t byte_boundary)
{
    if ((byte_boundary & (byte_boundary - 1)) == 0)  // 4, as everywhere: no division
        return (int)((0u - (uint32_t)length) & (uint32_t)(byte_boundary - 1));
    return (byte_boundary - length % byte_boundary) % byte_boundary;
}

}  // namespace

FILE* file_open(const char* filename, int32_t file_mode)
{
    if (!filename) {
        LOG_ERROR("%s\n", "Cannot open a NULL filename");
        return nullptr;
    }
    if (!filename[0]) {
        LOG_ERROR("Illegal filename '%s'\n", filename);
        return nullptr;
    }
    const char* mode;
    switch (file_mode) {
    case FILE_MODE_READ_BIN:
        mode = "rb";
        break;
    case FILE_MODE_WRITE_BIN:
        mode = "wb";
        break;
    case FILE_MODE_READ_WRITE_BIN:
        LOG_NOTICE("Open for read_write binary: %s\n", filename);
        LOG_NOTICE("Not yet implemented\n");
        return nullptr;
    case FILE_MODE_READ_TEXT:
        mode = "r";
        break;
    case FILE_MODE_WRITE_TEXT:
        mode = "w";
        break;
    case FILE_MODE_UPDATE_BIN:
        mode = "r+b";
        break;
    default:
        LOG_ERROR("Error opening %s\n", filename);
        LOG_ERROR("Bad file_mode: %ld\n", (long)file_mode);
        return nullptr;
    }
    FILE* file = platform_fopen(filename, mode);
    if (!file && errno == EISDIR)
        LOG_ERROR("'%s' is not a file: it is a directory\n", filename);
    return file;
}

int file_close(FILE* file)
{
    if (!file) {
        LOG_ERROR("%s\n", "Cannot close a NULL file");
        return 0;
    }
    // The tokenizer must not hand this stream's tokens to the next file
    // (which may well get the same stream address).
    token_file_closed(file);
    if (std::fclose(file) != 0) {
        LOG_ERROR("Error closing\n");
        return 0;
    }
    return 1;
}

int file_write(FILE* file, const void* data_ptr, int32_t n)
{
    if (!file) {
        LOG_ERROR("%s\n", "Cannot write from a NULL file");
        return 0;
    }
    if (!data_ptr) {
        LOG_ERROR("%s\n", "Cannot write from a NULL data_ptr");
        return 0;
    }
    if (n <= 0) {
        LOG_ERROR("Cannot write %ld bytes to file\n", (long)n);
        return 0;
    }
    if (std::fwrite(data_ptr, 1, (size_t)n, file) != (size_t)n) {
        LOG_ERROR("Unable to write %ld bytes", (long)n);
        return 0;
    }
    return 1;
}

int file_read(FILE* file, void* data_ptr, int32_t n)
{
    if (!file) {
        LOG_ERROR("%s\n", "Cannot read from a NULL file");
        return 0;
    }
    if (!data_ptr) {
        LOG_ERROR("%s\n", "Cannot read to a NULL data_ptr");
        return 0;
    }
    if (n <= 0) {
        LOG_ERROR("Cannot read %ld bytes from file\n", (long)n);
        return 0;
    }
    if (std::fread(data_ptr, 1, (size_t)n, file) != (size_t)n) {
        LOG_ERROR("Unable to read %ld bytes\n", (long)n);
        return 0;
    }
    return 1;
}

int file_seek(FILE* file, int32_t offset)
{
    if (!file) {
        LOG_ERROR("%s\n", "Cannot fseek a NULL file");
        return 0;
    }
    return std::fseek(file, offset, SEEK_SET) == 0 ? 1 : 0;
}

int64_t fsize(FILE* file)
{
    if (!file) {
        LOG_ERROR("%s\n", "Cannot get fsize a NULL file");
        return 0;
    }
    off_t position = ftello(file);
    fseeko(file, 0, SEEK_END);
    off_t size = ftello(file);
    fseeko(file, position, SEEK_SET);
    return size < 0 ? 0 : (int64_t)size;
}

int32_t file_bytes_left(FILE* file)
{
    if (!file)
        return 0;
    long position = std::ftell(file);
    if (position < 0)
        return 0;
    long long size = -1;
    struct stat st;
    int descriptor = fileno(file);
    if (descriptor >= 0) {
        if (fstat(descriptor, &st) == 0)
            size = st.st_size;
    } else if (std::fseek(file, 0, SEEK_END) == 0) {  // a stream in memory: measured
        size = std::ftell(file);
        std::fseek(file, position, SEEK_SET);
    }
    if (size < position)
        return 0;
    long long left = size - position;
    return left > INT32_MAX ? INT32_MAX : (int32_t)left;
}

int file_append(FILE* target, FILE* file)
{
    if (!target) {
        LOG_ERROR("%s\n", "Can't file_append with NULL target");
        return 0;
    }
    if (!file) {
        LOG_ERROR("%s\n", "Can't file_append with NULL file to append");
        return 0;
    }
    enum { block_size = 300 };
    char buffer[block_size];
    int64_t n = fsize(file);
    int ok = 1;
    for (int64_t block = 0; block < n / block_size; ++block) {
        if (!file_read(file, buffer, block_size) || !file_write(target, buffer, block_size))
            ok = 0;
    }
    // A size that is a multiple of the block leaves nothing more to copy.
    int32_t rest = (int32_t)(n % block_size);
    if (rest > 0 && (!file_read(file, buffer, rest) || !file_write(target, buffer, rest)))
        ok = 0;
    return ok;
}

int file_exists(const char* filename)
{
    REFUSE_NULL(filename, "file_exists", "filename", 0);
    FILE* file = file_open(filename, FILE_MODE_READ_BIN);
    if (!file)
        return 0;
    std::fclose(file);
    return 1;
}

int remove_file(const char* filename)
{
    REFUSE_NULL(filename, "remove_file", "filename", 0);
    if (!file_exists(filename)) {
        LOG_ERROR("'%s' does not exist for removing.\n", filename);
        return 0;
    }
    if (platform_remove(filename) != 0) {
        LOG_ERROR("Could not remove_file '%s', errno = %ld\n", filename, (long)errno);
        return 0;
    }
    return 1;
}

int rename_file(const char* src_filename, const char* dest_filename)
{
    REFUSE_NULL(src_filename, "rename_file", "src_filename", 0);
    REFUSE_NULL(dest_filename, "rename_file", "dest_filename", 0);
    if (std::strcmp(src_filename, dest_filename) == 0) {
        LOG_ERROR("Cannot rename a file to the same name: %s!\n", src_filename);
        return 0;
    }
    if (!file_exists(src_filename)) {
        LOG_ERROR("Could not find source file \"%s\"\n", src_filename);
        return 0;
    }
    if (file_exists(dest_filename) && !remove_file(dest_filename)) {
        LOG_ERROR("Could not remove previously existing destination file '%s'\n", dest_filename);
        return 0;
    }
    if (platform_rename(src_filename, dest_filename) != 0) {
        LOG_ERROR("Could not rename '%s' to '%s', errno = %ld\n", src_filename, dest_filename,
                  (long)errno);
        return 0;
    }
    return 1;
}

int32_t file_time(const char* filename)
{
    int ok = 0;
    long long mtime = platform_file_mtime(filename, &ok);
    if (!ok) {
        LOG_ERROR("Could not get file_time for '%s'\n", filename ? filename : "(null)");
        return 0;
    }
    return (int32_t)mtime;
}

const char* file_time_str(void)
{
    static char buffer[32];
    return format_local_time(std::time(nullptr), buffer, sizeof buffer);
}

FILE* file_open_write_version_bin(const char* filename, int32_t file_type, int32_t file_version)
{
    REFUSE_NULL(filename, "file_open_write_version_bin", "filename", nullptr);
    FILE* file = file_open(filename, FILE_MODE_WRITE_BIN);
    if (!file) {
        LOG_ERROR("Unable to open '%s' for file_open_write_version_bin\n", filename);
        return nullptr;
    }
    char header[FILE_HDR_SIZE] = {};
    std::memcpy(header, file_hdr_banner, FILE_HDR_BANNER_SIZE);
    write_int32_le(header + 64, file_type);
    write_int32_le(header + 68, file_version);
    if (!file_write(file, header, FILE_HDR_SIZE)) {
        LOG_ERROR("Unable to write file_hdr to '%s'\n", filename);
        std::fclose(file);
        return nullptr;
    }
    return file;
}

FILE* file_open_write_version_text(const char* filename, int32_t file_type, int32_t file_version)
{
    REFUSE_NULL(filename, "file_open_write_version_text", "filename", nullptr);
    FILE* file = file_open(filename, FILE_MODE_WRITE_TEXT);
    if (!file) {
        LOG_ERROR("Unable to open '%s' for file_open_write_version_text\n", filename);
        return nullptr;
    }
    if (!write_text_header(file, filename, file_type, file_version)) {
        LOG_ERROR("Could not file_optn_write_version_text for '%s'\n", filename);
        std::fclose(file);
        return nullptr;
    }
    return file;
}

FILE* file_open_replace_version_text(const char* filename, int32_t file_type, int32_t file_version)
{
    REFUSE_NULL(filename, "file_open_replace_version_text", "filename", nullptr);
    char temp[name_buffer_size];
    if (!replacement_name(filename, temp, sizeof temp)) {
        LOG_ERROR("Could not write '%s': the name is too long; the previous file is kept.\n",
                  filename);
        return nullptr;
    }
    FILE* file = replace_step("open") ? platform_fopen(temp, "w") : nullptr;
    if (!file) {
        int error = errno;
        LOG_ERROR("Could not write '%s': opening '%s' failed (%s); the previous file is kept.\n",
                  filename, temp, std::strerror(error));
        return nullptr;
    }
    // The header names the file it belongs to, not the temporary one.
    if (!write_text_header(file, filename, file_type, file_version)) {
        abandon_replace(file, temp, filename, "writing", errno);
        return nullptr;
    }
    return file;
}

int file_close_replace(FILE* file, const char* filename, int written)
{
    REFUSE_NULL(file, "file_close_replace", "file", 0);
    char temp[name_buffer_size];
    if (!filename || !replacement_name(filename, temp, sizeof temp)) {
        std::fclose(file);
        LOG_ERROR("%s\n", "Cannot file_close_replace without the name it was opened with.");
        return 0;
    }
    // errno is what the stream's last failed write left, when one failed; a
    // caller's failure (`written` 0) with no stream error left none, so EIO.
    if (!written || std::ferror(file) || !replace_step("write") || std::fflush(file) != 0) {
        int error = (!written && !std::ferror(file)) ? EIO : errno;
        return abandon_replace(file, temp, filename, "writing", error);
    }
    if (!replace_step("sync") || !platform_sync_file(file))
        return abandon_replace(file, temp, filename, "writing to the disk", errno);
    if (std::fclose(file) != 0)
        return abandon_replace(nullptr, temp, filename, "closing", errno);
    if (!replace_step("rename") || platform_rename(temp, filename) != 0)
        return abandon_replace(nullptr, temp, filename, "renaming the new file over it", errno);
    // The new file is whole already; the rename itself survives a crash once
    // the directory is on the disk too, and a failure there loses nothing.
    platform_sync_directory_of(filename);
    replace_step("renamed");
    return 1;
}

void file_io_set_replace_hook(file_replace_hook hook)
{
    replace_hook = hook;
}

int file_write_value_line(FILE* file, const char* value, const char* comment)
{
    const char* separator = std::strlen(value) >= 44 ? " " : "";
    return std::fprintf(file, "%-44s%s//  %s\n", value, separator, comment) >= 0;
}

int file_write_long_line(FILE* file, int32_t value, const char* comment)
{
    char text[16];
    std::snprintf(text, sizeof text, "%ld", (long)value);
    return file_write_value_line(file, text, comment);
}

int file_write_float_line(FILE* file, float value, const char* comment)
{
    char text[64];  // FLT_MAX takes 39 digits before the six decimals
    std::snprintf(text, sizeof text, "%f", (double)value);
    return file_write_value_line(file, text, comment);
}

FILE* file_open_search_verify_version_bin(const char* filename, dlink* pathname_list,
                                          int32_t file_type, int32_t file_version, int* found)
{
    REFUSE_NULL(filename, "file_open_search_verify_version_bin", "filename", nullptr);
    FILE* file = file_open_search(filename, FILE_MODE_READ_BIN, pathname_list);
    if (!file) {
        if (found)
            *found = 0;
        file_hdr_type_found = 0;
        file_hdr_version_found = 0;
        return nullptr;
    }
    if (found)
        *found = 1;
    char header[FILE_HDR_SIZE];
    if (std::fread(header, 1, FILE_HDR_SIZE, file) != FILE_HDR_SIZE) {
        LOG_ERROR("Unable to read file_hdr for '%s'\n", filename);
        std::fclose(file);
        file_hdr_type_found = 0;
        file_hdr_version_found = 0;
        return nullptr;
    }
    if (!check_header(header, filename, file_type, file_version)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

void* file_read_versioned_record(const char* path, const char* name,
                                 const versioned_record_file* kind)
{
    REFUSE_NULL(path, "file_read_versioned_record", "path", nullptr);
    REFUSE_NULL(kind, "file_read_versioned_record", "kind", nullptr);
    int found = 0;
    FILE* file = file_open_search_verify_version_bin(path, nullptr, kind->file_type,
                                                     kind->file_version, &found);
    if (!file) {
        if (found)
            kind->report_bad_header(path, file_hdr_version_found);
        else
            LOG_ERROR("Could not find '%s' for reading\n", path);
        return nullptr;
    }
    void* record = kind->read(file);
    file_close(file);
    if (!record)
        kind->report_bad_record(name);
    return record;
}

char* file_mem_load_search_verify_version_bin(const char* filename, dlink* pathname_list,
                                              int32_t file_type, int32_t file_version, int* found,
                                              int32_t* size_out)
{
    if (size_out)
        *size_out = 0;
    REFUSE_NULL(filename, "file_mem_load_search_verify_version_bin", "filename", nullptr);
    file_hdr_type_found = 0;
    file_hdr_version_found = 0;
    FILE* file = file_open_search(filename, FILE_MODE_READ_BIN, pathname_list);
    if (!file) {
        if (found)
            *found = 0;
        return nullptr;
    }
    if (found)
        *found = 1;
    // A size beyond what is read whole (a damaged or foreign file) is
    // refused before anything is allocated for it.
    int64_t size = fsize(file);
    if (size > PLATFORM_MAX_WHOLE_FILE) {
        LOG_ERROR("'%s' has %lld bytes, more than the %lld read whole\n", filename, (long long)size,
                  PLATFORM_MAX_WHOLE_FILE);
        std::fclose(file);
        return nullptr;
    }
    char* block = (char*)MALLOC((size_t)size);
    if (!block) {
        LOG_ERROR("Could not malloc %ld bytes for '%s'\n", (long)size, filename);
        std::fclose(file);
        return nullptr;
    }
    if (std::fread(block, 1, (size_t)size, file) != (size_t)size) {
        LOG_ERROR("Unable to read the entire file for '%s'\n", filename);
        std::fclose(file);
        FREE(block);
        return nullptr;
    }
    std::fclose(file);
    // A file shorter than its header has no type or version to check.
    if (size < FILE_HDR_SIZE) {
        LOG_ERROR("Unable to read file_hdr for '%s'\n", filename);
        FREE(block);
        return nullptr;
    }
    if (!check_header(block, filename, file_type, file_version)) {
        FREE(block);
        return nullptr;
    }
    if (size_out)
        *size_out = (int32_t)size;
    return block;
}

FILE* file_open_search_verify_version_text(const char* filename, int16_t* line_cnt,
                                           dlink* pathname_list, int32_t file_type,
                                           int32_t file_version, int* found)
{
    REFUSE_NULL(filename, "file_open_search_verify_version_text", "filename", nullptr);
    REFUSE_NULL(line_cnt, "file_open_search_verify_version_text", "line_cnt", nullptr);
    *line_cnt = 0;
    FILE* file = file_open_search(filename, FILE_MODE_READ_TEXT, pathname_list);
    if (!file) {
        if (found)
            *found = 0;
        file_hdr_type_found = 0;
        file_hdr_version_found = 0;
        return nullptr;
    }
    if (found)
        *found = 1;

    int32_t type = 0;
    if (!read_long_text(file, line_cnt, &type)) {
        file_hdr_type_found = 0;
        file_hdr_version_found = 0;
        LOG_ERROR("Could not file_open_search_verify_version_text for '%s'\n", filename);
        std::fclose(file);
        return nullptr;
    }
    file_hdr_type_found = type;
    if (type != file_type) {
        LOG_ERROR("Wrong file type in '%s', found %ld expected %ld\n", filename, (long)type,
                  (long)file_type);
        std::fclose(file);
        file_hdr_version_found = 0;
        return nullptr;
    }
    int32_t version = 0;
    if (!read_long_text(file, line_cnt, &version)) {
        file_hdr_type_found = 0;
        file_hdr_version_found = 0;
        LOG_ERROR("Could not file_open_search_verify_version_text for '%s'\n", filename);
        std::fclose(file);
        return nullptr;
    }
    file_hdr_version_found = version;
    if (version != file_version) {
        LOG_ERROR("Wrong file version in '%s', found %ld expected %ld\n", filename, (long)version,
                  (long)file_version);
        std::fclose(file);
        return nullptr;
    }
    return file;
}

int write_str_bin(FILE* str_file, const char* the_str, int16_t byte_boundary)
{
    REFUSE_NULL(str_file, "write_str_bin", "str_file", 0);
    REFUSE_NULL(the_str, "write_str_bin", "the_str", 0);
    if (byte_boundary <= 0) {
        LOG_ERROR("Bad byte_boundary = %d\n", (int)byte_boundary);
        return 0;
    }
    size_t text_length = std::strlen(the_str) + 1;
    if (text_length > (size_t)INT32_MAX - 4) {
        LOG_ERROR("Could not write_geo_str '%s'\n", the_str);
        return 0;
    }
    int32_t length = (int32_t)text_length;
    char length_bytes[4];
    write_int32_le(length_bytes, length);
    if (!file_write(str_file, length_bytes, 4)) {
        LOG_ERROR("Could not NULL write_str_bin.\n");
        return 0;
    }
    if (!file_write(str_file, the_str, length)) {
        LOG_ERROR("Could not write_geo_str '%s'\n", the_str);
        return 0;
    }
    const char junk = 0;
    for (int pad = padding_for(length, byte_boundary); pad > 0; --pad) {
        if (!file_write(str_file, &junk, 1)) {
            LOG_ERROR("Could not write_str_bin junk char.\n");
            return 0;
        }
    }
    return 1;
}

char* read_str_bin(FILE* str_file, int16_t byte_boundary)
{
    if (!str_file) {
        LOG_ERROR("%s\n", "Cannot read_str_bin from NULL str_file.");
        return nullptr;
    }
    if (byte_boundary <= 0) {
        LOG_ERROR("Bad byte_boundary = %d\n", (int)byte_boundary);
        return nullptr;
    }
    file_source src;
    file_source_open(&src, str_file);
    char* the_str = file_source_str(&src, byte_boundary);
    file_source_close(&src);
    return the_str;
}

char* link_str(data_cursor* data_hdl, int16_t byte_boundary)
{
    if (!data_hdl) {
        LOG_ERROR("%s\n", "Cannot link_str from NULL data_hdl.");
        return nullptr;
    }
    if (!data_hdl->data) {
        LOG_ERROR("%s\n", "Cannot link_str from NULL * data_hdl.");
        return nullptr;
    }
    if (byte_boundary <= 0) {
        LOG_ERROR("Bad byte_boundary = %d\n", (int)byte_boundary);
        return nullptr;
    }
    file_source src;
    file_source_image(&src, data_hdl->data, data_hdl->end);
    char* text = file_source_str(&src, byte_boundary);
    data_hdl->data = src.data;
    return text;
}

namespace {

// The first read ahead stays within the stream's own buffer, so that a small
// read costs no more than before; each later one doubles, up to the largest.
constexpr int32_t source_first_block = 256;
constexpr int32_t source_largest_block = 65536;

}  // namespace

void file_source_open(file_source* src, FILE* file)
{
    *src = {};
    src->file = file;
    src->file_left = file_bytes_left(file);
    src->block = source_first_block;
}

void file_source_image(file_source* src, char* data, const char* end)
{
    *src = {};
    src->data = data;
    src->end = end;
}

void file_source_close(file_source* src)
{
    // What the window holds beyond the last byte taken goes back to the stream.
    long unread = (long)(src->end - src->data);
    if (src->file && unread > 0)
        std::fseek(src->file, -unread, SEEK_CUR);
    if (src->buffer)
        FREE(src->buffer);
    *src = {};
}

int file_source_refill(file_source* src, int32_t n)
{
    int32_t have = (int32_t)(src->end - src->data);
    if (!src->file || n - have > src->file_left)
        return 0;
    int32_t wanted = n - have > src->block ? n - have : src->block;
    int32_t more = wanted < src->file_left ? wanted : src->file_left;
    if (have + more > src->capacity) {
        char* buffer = (char*)MALLOC((size_t)(have + more));
        if (!buffer)
            return 0;
        if (have > 0)
            std::memcpy(buffer, src->data, (size_t)have);
        if (src->buffer)
            FREE(src->buffer);
        src->buffer = buffer;
        src->capacity = have + more;
    } else if (have > 0) {
        std::memmove(src->buffer, src->data, (size_t)have);
    }
    src->data = src->buffer;
    src->end = src->buffer + have;
    if (std::fread(src->buffer + have, 1, (size_t)more, src->file) != (size_t)more) {
        src->file_left = 0;  // what the stream did give is lost with the read
        return 0;
    }
    src->end += more;
    src->file_left -= more;
    if (src->block < source_largest_block)
        src->block *= 2;
    return 1;
}

int file_source_read(file_source* src, void* dest, int32_t n)
{
    int32_t have = (int32_t)(src->end - src->data);
    if (n < 0 || n - have > src->file_left)
        return 0;
    if (n <= have || n - have < src->block) {
        if (!file_source_fill(src, n))
            return 0;
        std::memcpy(dest, src->data, (size_t)n);
        src->data += n;
        return 1;
    }
    // Larger than a block: the window's part, then straight from the stream.
    if (have > 0) {
        std::memcpy(dest, src->data, (size_t)have);
        src->data += have;
    }
    int32_t rest = n - have;
    src->file_left -= rest;
    return std::fread((char*)dest + have, 1, (size_t)rest, src->file) == (size_t)rest;
}

char* file_source_str(file_source* src, int16_t byte_boundary)
{
    bool image = !src->file;
    int32_t left = file_source_left(src);
    if (left < 4) {
        if (image)
            LOG_ERROR("Cannot link_str length with %ld bytes left\n", (long)left);
        else
            LOG_ERROR("Unable to read actual_len.\n");
        return nullptr;
    }
    // The bytes are there, but a stream's window may fail to grow for them.
    if (!file_source_fill(src, 4)) {
        LOG_ERROR("Unable to read actual_len.\n");
        return nullptr;
    }
    int32_t length = read_int32_le(src->data);
    left -= 4;
    if (length == 0) {
        src->data += 4;
        return nullptr;
    }
    int pad = length > 0 ? padding_for(length, byte_boundary) : 0;
    if (image) {
        // In place: the whole record must lie in the image; a refused record
        // leaves the cursor on its length.
        if (length < 0 || (long)length + pad > left) {
            LOG_ERROR("Bad string length %ld with %ld bytes left\n", (long)length, (long)left);
            return nullptr;
        }
        char* text = src->data + 4;
        if (text[length - 1] != '\0') {
            LOG_ERROR("String of length %ld is not zero-terminated\n", (long)length);
            return nullptr;
        }
        src->data = text + length + pad;
        return text;
    }
    src->data += 4;
    if (length < 0 || length > left) {
        LOG_ERROR("Bad string length %ld with %ld bytes left\n", (long)length, (long)left);
        return nullptr;
    }
    char* the_str = (char*)MALLOC((size_t)length);
    if (!the_str) {
        LOG_ERROR("Could not MALLOC the_str while reading\n");
        return nullptr;
    }
    bool terminated;
    if (src->end - src->data >= length) {  // as a rule, the window holds it
        terminated = src->data[length - 1] == '\0';
        std::memcpy(the_str, src->data, (size_t)length);
        src->data += length;
    } else if (file_source_read(src, the_str, length)) {
        terminated = the_str[length - 1] == '\0';
    } else {
        LOG_ERROR("Could not read the_str.\n");
        FREE(the_str);
        return nullptr;
    }
    if (!terminated) {
        LOG_ERROR("String of length %ld is not zero-terminated\n", (long)length);
        FREE(the_str);
        return nullptr;
    }
    if (pad > 0 && !file_source_fill(src, pad)) {
        LOG_ERROR("Could not read_str_bin junk char.\n");
        FREE(the_str);
        return nullptr;
    }
    src->data += pad;
    return the_str;
}

dlink* add_pathname(dlink** pathname_list, const char* pathname)
{
    REFUSE_NULL(pathname_list, "add_pathname", "pathname_list", nullptr);
    REFUSE_NULL(pathname, "add_pathname", "pathname", nullptr);
    char* key = STRDUP(pathname);
    if (!key) {
        LOG_ERROR("Could not strdup pathname '%s'\n", pathname);
        return nullptr;
    }
    to_upper_case(key);
    for (size_t n = std::strlen(key); n > 0 && key[n - 1] == '\\'; --n)
        key[n - 1] = '\0';
    if (dlink* existing = dlink_find(*pathname_list, key)) {
        FREE(key);
        return existing;
    }
    dlink* node = (dlink*)MALLOC(sizeof(dlink));
    if (!node) {
        LOG_ERROR("Could not malloc new pathname for '%s'\n", pathname);
        FREE(key);
        return nullptr;
    }
    dlink_init(node);
    node->dlink_key_str = key;
    dlink_add(pathname_list, node);
    return node;
}

int free_pathname(void* raw_pathname)
{
    dlink* node = (dlink*)raw_pathname;
    REFUSE_NULL(node, "free_pathname", "raw_pathname", 0);
    if (node->dlink_key_str)
        FREE(node->dlink_key_str);
    FREE(node);
    return 1;
}

int free_pathname_list(dlink* pathname_list)
{
    REFUSE_NULL(pathname_list, "free_pathname_list", "pathname_list", 0);
    return dlink_free_list(pathname_list, free_pathname);
}

namespace {

// "%s\\%s" of a search directory and a name; 0 when it does not fit.
int join_search_path(char* buffer, size_t size, const char* directory, const char* filename)
{
    int n = std::snprintf(buffer, size, "%s\\%s", directory, filename);
    return n >= 0 && (size_t)n < size;
}

}  // namespace

FILE* file_open_search(const char* filename, int32_t file_mode, dlink* pathname_list)
{
    REFUSE_NULL(filename, "file_open_search", "filename", nullptr);
    if (FILE* file = file_open(filename, file_mode))
        return file;
    if (!pathname_list)
        return nullptr;
    char candidate[name_buffer_size];
    dlink* node = pathname_list;
    do {
        if (join_search_path(candidate, sizeof candidate, node->dlink_key_str, filename)) {
            if (FILE* file = file_open(candidate, file_mode))
                return file;
        }
        node = node->next_ptr;
    } while (node && node != pathname_list);
    return nullptr;
}

const char* file_search(const char* filename, dlink* pathname_list)
{
    static char found_name[name_buffer_size];
    REFUSE_NULL(filename, "file_search", "filename", nullptr);
    if (file_exists(filename) && std::strlen(filename) < sizeof found_name)
        return std::strcpy(found_name, filename);
    if (!pathname_list)
        return nullptr;
    dlink* node = pathname_list;
    do {
        if (join_search_path(found_name, sizeof found_name, node->dlink_key_str, filename) &&
            file_exists(found_name))
            return found_name;
        node = node->next_ptr;
    } while (node && node != pathname_list);
    return nullptr;
}

int set_filename_ext(char* full_filename, size_t size, const char* new_filename_ext,
                     int replace_flag)
{
    REFUSE_NULL(full_filename, "set_filename_ext", "full_filename", 0);
    REFUSE_NULL(new_filename_ext, "set_filename_ext", "new_filename_ext", 0);
    // The extension belongs to the file-name part: a dot in a directory name
    // is not an extension.
    char* dot = std::strrchr(get_filename(full_filename), '.');
    size_t ext_length = std::strlen(new_filename_ext);
    size_t base_length = dot ? (size_t)(dot - full_filename) : std::strlen(full_filename);
    if (!dot && ext_length == 0)
        return 0;
    if (dot && !replace_flag)
        return 0;
    if (ext_length == 0) {
        *dot = '\0';
        return 1;
    }
    if (base_length + 1 + ext_length + 1 > size) {
        LOG_ERROR("Cannot set_filename_ext '%s' on '%s' in %ld bytes\n", new_filename_ext,
                  full_filename, (long)size);
        return 0;
    }
    full_filename[base_length] = '.';
    std::memcpy(full_filename + base_length + 1, new_filename_ext, ext_length + 1);
    return 1;
}

char* get_filename(char* full_filename)
{
    REFUSE_NULL(full_filename, "get_filename", "full_filename", nullptr);
    if (char* slash = std::strrchr(full_filename, '/'))
        full_filename = slash + 1;
    if (char* backslash = std::strrchr(full_filename, '\\'))
        full_filename = backslash + 1;
    return full_filename;
}

const char* get_pathname(const char* full_filename)
{
    static char pathname[name_buffer_size];
    REFUSE_NULL(full_filename, "get_pathname", "full_filename", nullptr);
    const char* name = get_filename(const_cast<char*>(full_filename));
    size_t length = (size_t)(name - full_filename);
    if (length + 1 > sizeof pathname) {
        LOG_ERROR("Cannot get_pathname of a name of %ld characters\n", (long)length);
        return nullptr;
    }
    std::memcpy(pathname, full_filename, length);
    pathname[length] = '\0';
    if (length > 0 && pathname[length - 1] == '\\')
        pathname[length - 1] = '\0';
    return pathname;
}

char* get_filename_ext(char* full_filename)
{
    REFUSE_NULL(full_filename, "get_filename_ext", "full_filename", nullptr);
    char* dot = std::strchr(full_filename, '.');
    return dot ? dot + 1 : full_filename + std::strlen(full_filename);
}

const char* get_base_filename(const char* full_filename)
{
    static char base[name_buffer_size];
    if (!full_filename) {
        LOG_ERROR("%s\n", "Cannot get_base_filename wtih NULL full_filename.");
        return nullptr;
    }
    const char* name = get_filename(const_cast<char*>(full_filename));
    size_t length = std::strcspn(name, ".");
    if (length + 1 > sizeof base) {
        LOG_ERROR("Cannot get_base_filename of a name of %ld characters\n", (long)length);
        return nullptr;
    }
    std::memcpy(base, name, length);
    base[length] = '\0';
    return base;
}

void file_io_reset(void)
{
    file_hdr_type_found = 0;
    file_hdr_version_found = 0;
    replace_hook = nullptr;
}
