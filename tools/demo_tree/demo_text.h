// Writing the text data files of the demo tree and of tests: a file with the
// common text header, written line by line, whose every value must read
// back as what it was. The first value the file has no way to say, and any
// failed write, refuse the file: it is removed when it is closed.
#pragma once

#include <cstdint>
#include <cstdio>

// A text data file being written; `ok` turns false at the first fault, after
// its log line.
struct demo_text_sink {
    FILE* file;
    const char* path;
    bool ok;
};

// Opens `path` for a text data file of `type` and `version` (the header
// written) into `out`; false after a log line.
bool demo_text_open(demo_text_sink* out, const char* path, int32_t type, int32_t version);
// Closes the file; one that was not written whole goes. 1, or 0.
int demo_text_close(demo_text_sink* out);
// Refuses the file for `what` it cannot say (once, with a log line).
void demo_text_refuse(demo_text_sink* out, const char* what);

// One line, which must fit the readers' line.
void demo_text_put_line(demo_text_sink* out, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// A value line with its comment, in the columns of every text data file.
void demo_text_put_value(demo_text_sink* out, const char* value, const char* comment);

// The shortest text that reads back as `value`, without an exponent, which
// the readers do not take; "0" after refusing a value that is not finite.
struct demo_text_real {
    char text[64];
};
demo_text_real demo_text_real_of(demo_text_sink* out, float value);

// Whether `name` reads back as one token: no blank, nothing the tokenizer
// splits at, and no leading digit (which starts a number).
bool demo_text_reads_as_token(const char* name);
// Whether `text` reads back as a line of its own: not empty, not starting or
// ending with a blank, and holding no comment and no line end.
bool demo_text_reads_as_line(const char* text);
