// In-place string utilities that test their arguments.
#pragma once

#include <cstddef>
#include <cstdint>

void to_upper_case(char* the_str);
void to_lower_case(char* the_str);

// Copies `src_str` into `dest_str`, which holds `dest_size` bytes. Returns 1,
// or 0 after an error entry when an argument is NULL or the text does not fit
// (the destination is then left as it was). A NULL source writes the text
// "STRCPY error at <file>(<line>)", cut to the destination, into `dest_str`.
int str_cpy(char* dest_str, size_t dest_size, const char* src_str, const char* file, long line);
// Appends `src_str` to `dest_str` in the same way ("STRCAT error at ...").
int str_cat(char* dest_str, size_t dest_size, const char* src_str, const char* file, long line);

#define STR_CPY(dest, size, src) str_cpy((dest), (size), (src), __FILE__, __LINE__)
#define STR_CAT(dest, size, src) str_cat((dest), (size), (src), __FILE__, __LINE__)

// Strips one leading and one trailing double quote; 1 when both were there.
int remove_quotes(char* the_str);

// A calendar time (seconds since the epoch) as local time, 24 characters, in
// a static buffer that the next call overwrites.
const char* time_to_str(int32_t time);

// The 24-character local time form of `time`, without a newline, into
// `buffer` (at least 25 bytes). Shared by every time text of the program.
char* format_local_time(int64_t time, char* buffer, size_t size);

// The one decimal number scanner of the program: locale-free and strict.
// At `*cursor` it skips blanks and tabs, then takes an optional sign and
// digits (for reals also one "." with digits on either side of it). "inf",
// "nan", hex and exponents are not numbers. On success it stores the value,
// moves `*cursor` past the number and returns 1; else it returns 0 and leaves
// `*cursor` alone. A number outside the range of its type (an integer beyond
// int32, a real beyond double, or beyond float for the float scanner) is not
// a number.
int scan_decimal_long(const char** cursor, int32_t* value);
int scan_decimal_double(const char** cursor, double* value);
int scan_decimal_float(const char** cursor, float* value);
// The same for reals with an optional exponent, as the tokenizer's numbers
// have them: "e" or "E", an optional sign and digits ("1e+5", "2.5E-3"). An
// "e" not followed by digits is no part of the number ("1ex" scans as 1).
int scan_decimal_double_exponent(const char** cursor, double* value);
