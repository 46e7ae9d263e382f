// The configuration file: one text file in the working directory named after
// the session ("varnock" gives "varnock.cfg"), read once at start-up and
// written at exit. Each module with settings writes its own section and reads
// the same values back in the same order: gameglobals, d3dxframe, sound,
// dxinput. Values are taken by position within their section, which is
// found by its marker line ("//  [dxinput]"); the keys beside the values
// serve a person reading the file. A line that holds no value of the kind its
// setting takes (erased, or text where a number belongs) still counts as that
// setting's line, and a section whose marker is missing has no lines: such a
// setting keeps its value with a warning that names it, and no other setting
// moves. A file without any section marker is read by position throughout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum { CONFIG_PATH_SIZE = 300 };

// The file's path: the session name when it has a directory part, else the
// working directory, a backslash and the session name; extension "cfg";
// lower case. Returns 0 when it does not fit `size`.
int config_session_path(const char* session_name, char* path, size_t size);

int write_edit_session_file(const char* session_name);
// 1 when every setting was read; 0 (after its lines) when the file is
// missing or foreign, or any setting kept its value.
int config_read_engine_config_file(const char* session_name);
// Before defaults are written over a file that could not be read, the file
// is kept beside it with ".bad" added (a previous one is replaced). Returns 1
// when it was kept or there is none; 0 when it stays where it is, and then
// write_edit_session_file leaves it alone for the rest of the run.
int config_keep_unreadable_file(const char* session_name);
// Forgets a file left in place (for tests).
void config_reset(void);

// Line writers for sections with several numbers on a line.
int write_session_3_long(FILE* session_file, int32_t a, int32_t b, int32_t c,
                         const char* comment_str);
int write_session_4_long(FILE* session_file, int32_t a, int32_t b, int32_t c, int32_t d,
                         const char* comment_str);
int write_session_3_float(FILE* session_file, float a, float b, float c, const char* comment_str);
