#include "config.h"

#include <unistd.h>

#include <cstring>

#include "d3dxframe.h"
#include "debug.h"
#include "dxinput.h"
#include "file_io.h"
#include "gameglobals.h"
#include "runtime_services.h"
#include "str_util.h"

namespace {

// The sections in file order; both directions walk this one table.
const struct {
    int (*write)(FILE* session_file);
    int (*read)(FILE* session_file, int16_t* line_cnt);
} sections[] = {
    {gameglobals_write_config, gameglobals_read_config},
    {d3dxframe_write_config, d3dxframe_read_config},
    {sound_write_config, sound_read_config},
    {dxinput_write_config, dxinput_read_config},
};

int refuse_null(const void* pointer, const char* function, const char* name)
{
    if (pointer)
        return 0;
    LOG_ERROR("Cannot %s with NULL %s.\n", function, name);
    return 1;
}

// A file that could not be read and could not be set aside either: it is
// not written over in this run, so none of its settings are lost.
char unreadable_kept_in_place[CONFIG_PATH_SIZE];

}  // namespace

int config_session_path(const char* session_name, char* path, size_t size)
{
    if (!session_name || !path || size == 0)
        return 0;
    path[0] = '\0';
    if (std::strpbrk(session_name, "\\/:")) {
        if (!STR_CPY(path, size, session_name))
            return 0;
    } else {
        // The working directory as the program knows it: at most 149
        // characters. A longer one leaves the name relative, which opens in
        // the same directory.
        char directory[150];
        if (getcwd(directory, sizeof directory) &&
            (!STR_CPY(path, size, directory) || !STR_CAT(path, size, "\\")))
            return 0;
        if (!STR_CAT(path, size, session_name))
            return 0;
    }
    if (!set_filename_ext(path, size, "cfg", 1))
        return 0;
    to_lower_case(path);
    return 1;
}

int write_edit_session_file(const char* session_name)
{
    if (refuse_null(session_name, "write_edit_session_file", "session_name"))
        return 0;
    char path[CONFIG_PATH_SIZE];
    if (!config_session_path(session_name, path, sizeof path))
        return 0;
    LOG_NOTICE("Writing SES '%s'\n", path);
    if (strcmp(path, unreadable_kept_in_place) == 0) {
        LOG_ERROR("Not writing over the unreadable '%s'.\n", path);
        return 0;
    }
    FILE* session_file = file_open_write_version_text(path, FILE_TYPE_CONFIG, FILE_VERSION_CONFIG);
    if (!session_file) {
        LOG_ERROR("Unable to file_open_write_version_text for '%s'\n", path);
        return 0;
    }
    int ok = fprintf(session_file, "\n//  %-20s//  Session name\n\n", session_name) >= 0;
    for (const auto& section : sections)
        ok = section.write(session_file) && ok;
    ok = file_close(session_file) && ok;
    if (!ok) {
        LOG_ERROR("Did not successfully write_edit_session_file '%s'\n", path);
        return 0;
    }
    return 1;
}

int config_read_engine_config_file(const char* session_name)
{
    if (refuse_null(session_name, "config_read_engine_config_file", "session_name"))
        return 0;
    char path[CONFIG_PATH_SIZE];
    if (!config_session_path(session_name, path, sizeof path))
        return 0;
    LOG_NOTICE("Reading SES '%s'\n", path);
    int16_t line_cnt = 0;
    int found = 0;
    FILE* session_file = file_open_search_verify_version_text(
        path, &line_cnt, nullptr, FILE_TYPE_CONFIG, FILE_VERSION_CONFIG, &found);
    if (!session_file) {
        if (found)
            LOG_ERROR("'%s' found, but bad file type or file version\n", path);
        else
            LOG_ERROR("Could not find '%s'\n", path);
        return 0;
    }
    int ok = 1;
    for (const auto& section : sections)
        ok = section.read(session_file, &line_cnt) && ok;
    file_close(session_file);
    return ok;
}

int config_keep_unreadable_file(const char* session_name)
{
    if (refuse_null(session_name, "config_keep_unreadable_file", "session_name"))
        return 0;
    char path[CONFIG_PATH_SIZE];
    if (!config_session_path(session_name, path, sizeof path))
        return 0;
    if (!file_exists(path))
        return 1;
    char kept[CONFIG_PATH_SIZE + 4];
    snprintf(kept, sizeof kept, "%s.bad", path);
    if (!rename_file(path, kept)) {
        LOG_ERROR("Unable to keep the unreadable '%s' as '%s'; it is not written over.\n", path,
                  kept);
        STR_CPY(unreadable_kept_in_place, sizeof unreadable_kept_in_place, path);
        return 0;
    }
    LOG_NOTICE("The unreadable '%s' is kept as '%s'.\n", path, kept);
    return 1;
}

void config_reset(void)
{
    unreadable_kept_in_place[0] = '\0';
}

int write_session_3_long(FILE* session_file, int32_t a, int32_t b, int32_t c,
                         const char* comment_str)
{
    if (refuse_null(session_file, "write_session_3_long", "session_file") ||
        refuse_null(comment_str, "write_session_3_long", "comment_str"))
        return 0;
    return fprintf(session_file, "%-4ld %-4ld %-4ld %29s//  %s\n", (long)a, (long)b, (long)c, " ",
                   comment_str) >= 0;
}

int write_session_4_long(FILE* session_file, int32_t a, int32_t b, int32_t c, int32_t d,
                         const char* comment_str)
{
    if (refuse_null(session_file, "write_session_4_long", "session_file") ||
        refuse_null(comment_str, "write_session_4_long", "comment_str"))
        return 0;
    return fprintf(session_file, "%-4ld %-4ld %-4ld %-4ld %24s//  %s\n", (long)a, (long)b, (long)c,
                   (long)d, " ", comment_str) >= 0;
}

int write_session_3_float(FILE* session_file, float a, float b, float c, const char* comment_str)
{
    if (refuse_null(session_file, "write_session_3_float", "session_file") ||
        refuse_null(comment_str, "write_session_3_float", "comment_str"))
        return 0;
    return fprintf(session_file, "%-4.6f %-4.6f %-4.6f %12s//  %s\n", (double)a, (double)b,
                   (double)c, " ", comment_str) >= 0;
}
