// Text lines and number readers. Every text format of the program is read
// line by line: "//" comments are cut, blanks and tabs trimmed, empty lines
// skipped, and every physical line counted in the caller's 16-bit counter,
// which the messages quote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The size of the line buffers of every text reader.
enum { TEXT_LINE_SIZE = 300 };

// The C library's line read; NULL at the end of the file or on an error.
char* std_file_gets(FILE* file, char* buffer, int length);
int std_file_eof(FILE* file);

// The next line with content into `the_line` (`line_size` bytes, at most
// TEXT_LINE_SIZE are used). Returns 1, or 0 at the end of the file (silently)
// or on failure. A physical line that does not fit, or that holds a NUL byte,
// is refused whole (and consumed).
int get_text_line(FILE* text_file, int16_t* line_cnt, char* the_line,
                  size_t line_size = TEXT_LINE_SIZE);

// Readers of one line of one to four numbers; 1 when exactly that many were
// read.
int read_short_text(FILE* text_file, int16_t* line_cnt, int16_t* a);
int read_2_shorts_text(FILE* text_file, int16_t* line_cnt, int16_t* a, int16_t* b);
int read_3_shorts_text(FILE* text_file, int16_t* line_cnt, int16_t* a, int16_t* b, int16_t* c);
int read_4_shorts_text(FILE* text_file, int16_t* line_cnt, int16_t* a, int16_t* b, int16_t* c,
                       int16_t* d);
int read_int_text(FILE* text_file, int16_t* line_cnt, int32_t* a);
int read_2_ints_text(FILE* text_file, int16_t* line_cnt, int32_t* a, int32_t* b);
int read_3_ints_text(FILE* text_file, int16_t* line_cnt, int32_t* a, int32_t* b, int32_t* c);
int read_4_ints_text(FILE* text_file, int16_t* line_cnt, int32_t* a, int32_t* b, int32_t* c,
                     int32_t* d);
int read_long_text(FILE* text_file, int16_t* line_cnt, int32_t* a);
int read_2_longs_text(FILE* text_file, int16_t* line_cnt, int32_t* a, int32_t* b);
int read_3_longs_text(FILE* text_file, int16_t* line_cnt, int32_t* a, int32_t* b, int32_t* c);
int read_4_longs_text(FILE* text_file, int16_t* line_cnt, int32_t* a, int32_t* b, int32_t* c,
                      int32_t* d);
int read_double_text(FILE* text_file, int16_t* line_cnt, double* a);
int read_2_doubles_text(FILE* text_file, int16_t* line_cnt, double* a, double* b);
int read_3_doubles_text(FILE* text_file, int16_t* line_cnt, double* a, double* b, double* c);
int read_4_doubles_text(FILE* text_file, int16_t* line_cnt, double* a, double* b, double* c,
                        double* d);
int read_float_text(FILE* text_file, int16_t* line_cnt, float* a);
int read_2_floats_text(FILE* text_file, int16_t* line_cnt, float* a, float* b);
int read_3_floats_text(FILE* text_file, int16_t* line_cnt, float* a, float* b, float* c);
int read_4_floats_text(FILE* text_file, int16_t* line_cnt, float* a, float* b, float* c, float* d);

// Reads a line whose first word (upper-cased) is one of `key_table`; returns 1
// with its index and the rest of the line in `the_line`.
int read_key_text(FILE* text_file, int16_t* line_cnt, const char* const* key_table,
                  int16_t key_count, int16_t* key_index, char* the_line,
                  size_t line_size = TEXT_LINE_SIZE);
