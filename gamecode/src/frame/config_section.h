// A section of the configuration file whose lines are plain values, one
// setting a line, described by a table: a module's section is its marker
// ("//  [name]") and its rows, so changing what a module keeps in the file is
// one row. The values are written beside their keys, which serve a person
// reading the file, and read back by position (config.h lays the file out
// first, so a damaged line keeps its setting with a warning and no other
// setting moves).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum config_kind {
    CONFIG_LONG,    // an int32_t, as it stands
    CONFIG_SWITCH,  // an int32_t: written 1 when it is exactly 1, else 0
    CONFIG_FLAG,    // an int32_t: written 1 when it is not 0, else 0
    CONFIG_FLOAT,   // a float
    // A float that is either `on` or 0: written 1 when it is `on`, else 0.
    CONFIG_FLOAT_SWITCH,
    // A char array of `size` bytes; a line longer than it is refused (with
    // the copy's error line), not cut.
    CONFIG_STRING,
};
// Switches and flags read as 1 (or `on`) only for a line that holds 1.

struct config_row {
    config_kind kind;
    void* field;
    const char* key;
    size_t size = 0;  // CONFIG_STRING
    float on = 0.0f;  // CONFIG_FLOAT_SWITCH
};

// Writes the marker and one line per row: 1, or 0 when a line could not be
// written (the others are written all the same).
int config_write_section(FILE* session_file, const char* name, const config_row* rows,
                         size_t count);
// Reads one line per row into its field; a value that cannot be read leaves
// its field as it was, and reading goes on with the next line. 1 when every
// row was read.
int config_read_section(FILE* session_file, int16_t* line_cnt, const config_row* rows,
                        size_t count);

template <size_t N>
int config_write_section(FILE* session_file, const char* name, const config_row (&rows)[N])
{
    return config_write_section(session_file, name, rows, N);
}

template <size_t N>
int config_read_section(FILE* session_file, int16_t* line_cnt, const config_row (&rows)[N])
{
    return config_read_section(session_file, line_cnt, rows, N);
}
