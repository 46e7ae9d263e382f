// Text lines and the number readers: the input is a text file whose lines
// the line reader, the twenty number readers and the key reader take in turn.
// A line comes back whole or not at all, trimmed and without its comment;
// numbers are finite and within their type.
#include <cmath>
#include <cstring>

#include "file_io.h"
#include "fuzz_support.h"
#include "text_io.h"

namespace {

const char* const keys[] = {"SCALE", "MOVE", "END"};

void check_line(const char* line)
{
    size_t length = std::strlen(line);
    FUZZ_CHECK(length > 0 && length < TEXT_LINE_SIZE);
    FUZZ_CHECK(std::strstr(line, "//") == nullptr);
    FUZZ_CHECK(line[0] != ' ' && line[0] != '\t');
    FUZZ_CHECK(line[length - 1] != ' ' && line[length - 1] != '\t');
}

template <typename T>
void check_numbers(int ok, const T* values, int count)
{
    for (int i = 0; ok && i < count; ++i)
        FUZZ_CHECK(std::isfinite((double)values[i]));
}

// One read of the reader chosen by `turn`.
void read_one(FILE* file, int16_t* line_cnt, int turn)
{
    char line[TEXT_LINE_SIZE];
    int16_t s[4];
    int32_t n[4];
    double d[4];
    float f[4];
    switch (turn % 12) {
    case 0:
    case 1:
        if (get_text_line(file, line_cnt, line))
            check_line(line);
        break;
    case 2:
        read_short_text(file, line_cnt, s);
        break;
    case 3:
        read_4_shorts_text(file, line_cnt, s, s + 1, s + 2, s + 3);
        break;
    case 4:
        read_int_text(file, line_cnt, n);
        break;
    case 5:
        read_3_ints_text(file, line_cnt, n, n + 1, n + 2);
        break;
    case 6:
        read_2_longs_text(file, line_cnt, n, n + 1);
        break;
    case 7:
        check_numbers(read_double_text(file, line_cnt, d), d, 1);
        break;
    case 8:
        check_numbers(read_4_doubles_text(file, line_cnt, d, d + 1, d + 2, d + 3), d, 4);
        break;
    case 9:
        check_numbers(read_float_text(file, line_cnt, f), f, 1);
        break;
    case 10:
        check_numbers(read_3_floats_text(file, line_cnt, f, f + 1, f + 2), f, 3);
        break;
    case 11: {
        int16_t index = -1;
        if (read_key_text(file, line_cnt, keys, 3, &index, line))
            FUZZ_CHECK(index >= 0 && index < 3 && line[0] != ' ' && line[0] != '\t');
        break;
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The physical lines: the reader counts each once, however it ends.
    size_t lines = 0;
    for (size_t i = 0; i < size; ++i)
        lines += data[i] == '\n' || i + 1 == size;
    FILE* file = fuzz_stream(data, size);
    int16_t line_cnt = 0;
    for (int turn = 0; !std::feof(file); ++turn) {
        read_one(file, &line_cnt, turn);
        FUZZ_CHECK(turn <= (int)lines);  // every read takes at least one line
    }
    if (lines < 32768)
        FUZZ_CHECK((size_t)line_cnt == lines);
    std::fclose(file);
    return 0;
}

void fuzz_write_seeds(void)
{
    // A text data file as the program writes them: header, value lines.
    FILE* file = file_open_write_version_text(fuzz_seed_path("values").c_str(), 1, 2);
    file_write_long_line(file, -12, "a short");
    file_write_value_line(file, "1 2 3 4", "four shorts");
    file_write_long_line(file, 2147483647, "an int");
    file_write_value_line(file, "-7 8 +9", "three ints");
    file_write_value_line(file, "1 -2", "two longs");
    file_write_float_line(file, 0.125f, "a double");
    file_write_value_line(file, "1.5 -2.25 3 .5", "four doubles");
    file_write_float_line(file, -3.4e38f, "a float");
    file_write_value_line(file, "1.0 2.0 3.0", "three floats");
    file_write_value_line(file, "scale 2 3", "a key line");
    file_close(file);
    // A long line holding a NUL byte used to come back in pieces.
    fuzz_seed("nul_line", std::string(200, '1') + '\0' + std::string(200, '2') + "\n3\n");
    fuzz_seed("long_line_crlf", std::string(299, '7') + "\r\n" + std::string(300, '8') + "\n");
}
