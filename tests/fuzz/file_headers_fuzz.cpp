// File headers and string records: the input is a data file, checked by the
// binary header reader, loaded whole by the whole-file reader and checked by
// the text header reader. After a binary header the string records are read
// twice, from the stream (read_str_bin) and in place (link_str): both forms
// give the same strings, take the same bytes and stop at the same record.
#include <cstring>
#include <string>
#include <vector>

#include "file_io.h"
#include "fuzz_support.h"
#include "heap.h"
#include "text_io.h"

namespace {

// The record's text, or "<null>" for a stored length of 0, with the bytes it
// took; `ok` false for a refused record.
struct string_record {
    bool ok;
    std::string text;
    long end;
};

std::vector<string_record> stream_strings(FILE* file)
{
    std::vector<string_record> records;
    for (;;) {
        // A NULL is no refusal only where the length word is 0.
        long start = std::ftell(file);
        unsigned char word[4];
        bool zero = std::fread(word, 1, 4, file) == 4 && !(word[0] | word[1] | word[2] | word[3]);
        std::fseek(file, start, SEEK_SET);
        char* text = read_str_bin(file, 4);
        if (!text && !zero) {
            records.push_back({false, "", start});
            return records;
        }
        records.push_back({true, text ? text : "<null>", std::ftell(file)});
        if (text)
            FREE(text);
    }
}

std::vector<string_record> linked_strings(char* image, int32_t size)
{
    std::vector<string_record> records;
    data_cursor cursor = {image + FILE_HDR_SIZE, image + size};
    for (;;) {
        char* before = cursor.data;
        char* text = link_str(&cursor, 4);
        if (text)
            FUZZ_CHECK(text > before && text + std::strlen(text) < image + size);
        bool empty = !text && cursor.data == before + 4;
        if (!text && !empty) {
            FUZZ_CHECK(cursor.data == before);
            records.push_back({false, "", (long)(before - image)});
            return records;
        }
        records.push_back({true, text ? text : "<null>", (long)(cursor.data - image)});
    }
}

bool same(const std::vector<string_record>& a, const std::vector<string_record>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].ok != b[i].ok || a[i].text != b[i].text || (a[i].ok && a[i].end != b[i].end))
            return false;
    return true;
}

int32_t word_at(const uint8_t* data, size_t size, size_t offset)
{
    if (size < offset + 4)
        return 0;
    return (int32_t)(data[offset] | data[offset + 1] << 8 | data[offset + 2] << 16 |
                     (uint32_t)data[offset + 3] << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzz_file("data.bin", data, size);
    // The readers are asked for the type and version the file holds (the
    // first byte, part of the banner no reader looks at, asks for another
    // pair instead, so the refusals are taken too).
    bool own = size == 0 || data[0] % 2 == 0;
    int32_t type = own ? word_at(data, size, 64) : FILE_TYPE_ENTITY;
    int32_t version = own ? word_at(data, size, 68) : FILE_VERSION_ENTITY;

    int found = -1;
    std::vector<string_record> from_stream;
    if (FILE* file = file_open_search_verify_version_bin(path.c_str(), nullptr, type, version,
                                                         &found)) {
        FUZZ_CHECK(std::ftell(file) == FILE_HDR_SIZE);
        from_stream = stream_strings(file);
        file_close(file);
    }
    FUZZ_CHECK(found == 1);

    int32_t loaded = 0;
    char* image = file_mem_load_search_verify_version_bin(path.c_str(), nullptr, type, version,
                                                          &found, &loaded);
    FUZZ_CHECK((image != nullptr) == !from_stream.empty());
    if (image) {
        FUZZ_CHECK(loaded == (int32_t)size);
        FUZZ_CHECK(same(from_stream, linked_strings(image, loaded)));
        FREE(image);
    }

    int16_t line_cnt = 0;
    if (FILE* file = file_open_search_verify_version_text(path.c_str(), &line_cnt, nullptr, type,
                                                          version, &found)) {
        char line[TEXT_LINE_SIZE];
        while (get_text_line(file, &line_cnt, line))
            ;
        file_close(file);
    }
    return 0;
}

void fuzz_write_seeds(void)
{
    FILE* file = file_open_write_version_bin(fuzz_seed_path("strings.bin").c_str(),
                                             FILE_TYPE_ENTITY, FILE_VERSION_ENTITY);
    for (const char* text : {"c:\\data\\win\\entity", "", "a", "abcd", "seven!!"})
        write_str_bin(file, text, 4);
    int32_t no_string = 0;
    file_write(file, &no_string, 4);
    file_close(file);

    file = file_open_write_version_bin(fuzz_seed_path("header_only.bin").c_str(), FILE_TYPE_MODEL,
                                       FILE_VERSION_MODEL);
    file_close(file);

    file = file_open_write_version_text(fuzz_seed_path("text_header.txt").c_str(), FILE_TYPE_CONFIG,
                                        FILE_VERSION_CONFIG);
    file_write_value_line(file, "value", "a value line");
    file_close(file);
}
