#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_io.h"
#include "heap.h"
#include "test_support.h"

namespace {

std::string le32(int32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = (char)(((uint32_t)value >> (8 * i)) & 0xff);
    return bytes;
}

std::string header(int32_t type, int32_t version)
{
    std::string bytes(FILE_HDR_SIZE, '\0');
    bytes.replace(64, 4, le32(type));
    bytes.replace(68, 4, le32(version));
    return bytes;
}

class FileIo : public ::testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    TempDir dir;
    LogCapture log;
};

}  // namespace

TEST_F(FileIo, BinaryHeaderRoundTripAndBanner)
{
    std::string path = dir.file("a.enw");
    FILE* out = file_open_write_version_bin(path.c_str(), 13, 155);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(file_write(out, "data", 4), 1);
    file_close(out);
    std::string bytes = dir.read("a.enw");
    ASSERT_EQ(bytes.size(), 104u);
    EXPECT_EQ(bytes.substr(0, 18), "ZORLANDI SOFTWORKS");
    EXPECT_EQ(std::strlen(bytes.c_str()), 38u);
    EXPECT_EQ(bytes.substr(38, 26), std::string(26, '\0'));
    EXPECT_EQ(bytes.substr(64, 8), le32(13) + le32(155));
    EXPECT_EQ(bytes.substr(72, 28), std::string(28, '\0'));

    int found = -1;
    FILE* in = file_open_search_verify_version_bin(path.c_str(), nullptr, 13, 155, &found);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(std::ftell(in), 100);
    file_close(in);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(FileIo, BinaryHeaderRefusals)
{
    struct Case {
        const char* name;
        std::string content;
        int32_t type_found, version_found;
        std::string error;  // before and after the path
        std::string error_end;
    } cases[] = {
        {"short", std::string(99, 'x'), 0, 0, "Unable to read file_hdr for '", "'"},
        {"type", header(11, 999), 11, 0, "Wrong file type in '", "', found 11 expected 13"},
        {"version", header(13, 154), 13, 154, "Wrong file version in '",
         "', found 154 expected 155"},
    };
    for (const Case& c : cases) {
        log.clear();
        std::string path = dir.write(c.name, c.content);
        int found = -1;
        EXPECT_EQ(file_open_search_verify_version_bin(path.c_str(), nullptr, 13, 155, &found),
                  nullptr);
        EXPECT_EQ(found, 1) << c.name;
        EXPECT_EQ(file_hdr_type_found, c.type_found) << c.name;
        EXPECT_EQ(file_hdr_version_found, c.version_found) << c.name;
        std::string expected = c.error + path + c.error_end;
        EXPECT_EQ(log.errors(), std::vector<std::string>{expected});

        // The whole-file load refuses the same files the same way, and
        // keeps no block of them.
        log.clear();
        const int64_t blocks = heap_live_blocks();
        EXPECT_EQ(file_mem_load_search_verify_version_bin(path.c_str(), nullptr, 13, 155, &found),
                  nullptr);
        EXPECT_EQ(heap_live_blocks(), blocks) << c.name;
        EXPECT_EQ(file_hdr_type_found, c.type_found) << c.name;
        EXPECT_EQ(log.errors(), std::vector<std::string>{expected});
    }

    int found = -1;
    EXPECT_EQ(
        file_open_search_verify_version_bin(dir.file("missing").c_str(), nullptr, 13, 155, &found),
        nullptr);
    EXPECT_EQ(found, 0);
}

namespace {

// One kind of versioned record file for the loader helper: its record is
// one word after the header; its reports say what they were given.
std::vector<std::string> versioned_reports;
const versioned_record_file word_file = {
    13,
    155,
    [](FILE* file) -> void* {
        int32_t word = 0;
        if (!file_read(file, &word, 4))
            return nullptr;
        int32_t* record = (int32_t*)MALLOC(sizeof word);
        *record = word;
        return record;
    },
    [](const char* path, int32_t found) {
        versioned_reports.push_back("header " + std::string(path) + " " + std::to_string(found));
    },
    [](const char* name) { versioned_reports.push_back("record " + std::string(name)); },
};

// The descriptors this process holds open.
size_t open_file_count()
{
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        count += entry.is_symlink() ? 1 : 0;
    return count;
}

}  // namespace

// The helper opens, checks, reads one record and closes; each failure gets
// one report, the one its kind gives, and the file is not left open.
TEST_F(FileIo, VersionedRecordFilesReadOneRecordOrReportWhy)
{
    struct Case {
        const char* name;
        std::string content;
        int32_t word;  // the record read; 0: none
        std::string report;
        bool missing;
    } cases[] = {
        {"good", header(13, 155) + le32(42), 42, "", false},
        {"version", header(13, 154) + le32(42), 0, "header PATH 154", false},
        {"type", header(11, 155) + le32(42), 0, "header PATH 0", false},
        {"record", header(13, 155) + "ab", 0, "record shown", false},
        {"missing", "", 0, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        versioned_reports.clear();
        std::string path = c.missing ? dir.file(c.name) : dir.write(c.name, c.content);
        size_t open_files = open_file_count();
        int32_t* record = (int32_t*)file_read_versioned_record(path.c_str(), "shown", &word_file);
        EXPECT_EQ(open_file_count(), open_files) << "the file is closed whatever the outcome";
        EXPECT_EQ(record ? *record : 0, c.word);
        if (record)
            FREE(record);
        std::string report = c.report;
        if (size_t at = report.find("PATH"); at != std::string::npos)
            report.replace(at, 4, path);
        EXPECT_EQ(versioned_reports,
                  report.empty() ? std::vector<std::string>{} : std::vector<std::string>{report});
        if (c.missing) {
            EXPECT_EQ(log.errors(),
                      std::vector<std::string>{"Could not find '" + path + "' for reading"});
        }
    }
}

TEST_F(FileIo, WholeFileLoad)
{
    std::string path = dir.write("good", header(60, 105) + "abcd");
    int32_t size = 0;
    char* block = file_mem_load_search_verify_version_bin(path.c_str(), nullptr, 60, 105, nullptr,
                                                          &size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, 104);
    EXPECT_EQ(std::string(block + 100, 4), "abcd");
    FREE(block);

    std::string empty = dir.write("empty", "");
    EXPECT_EQ(file_mem_load_search_verify_version_bin(empty.c_str(), nullptr, 60, 105, nullptr),
              nullptr);
    auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].substr(0, 26), "Attempting to malloc 0 byt");
    EXPECT_EQ(errors[1], "Could not malloc 0 bytes for '" + empty + "'");
}

// A directory, or a file of 2 GiB or more (sparse here: it takes no disk),
// where a whole file is expected: its size is taken in full and refused
// before anything is allocated for it, with one line that says why.
TEST_F(FileIo, WholeFileLoadRefusesDirectoriesAndHugeFiles)
{
    dir.write("folder/.keep", "");
    std::string folder = dir.file("folder");
    int found = -1;
    EXPECT_EQ(file_mem_load_search_verify_version_bin(folder.c_str(), nullptr, 60, 105, &found),
              nullptr);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"'" + folder + "' is not a file: it is a directory"});
    EXPECT_EQ(found, 0);

    // 4 GiB and 104 bytes, with a good header: cut to 32 bits it would pass
    // for a file of 104 bytes.
    const long long sizes[] = {(1LL << 31) + 104, (1LL << 32) + 104};
    for (long long size : sizes) {
        std::string path = dir.write("huge", header(60, 105) + "abcd");
        ASSERT_EQ(truncate(path.c_str(), (off_t)size), 0);
        FILE* file = file_open(path.c_str(), FILE_MODE_READ_BIN);
        EXPECT_EQ(fsize(file), size);
        file_close(file);
        log.clear();
        EXPECT_EQ(file_mem_load_search_verify_version_bin(path.c_str(), nullptr, 60, 105, &found),
                  nullptr);
        EXPECT_EQ(log.errors(),
                  std::vector<std::string>{"'" + path + "' has " + std::to_string(size) +
                                           " bytes, more than the 268435456 read "
                                           "whole"});
        EXPECT_EQ(found, 1);
    }
}

TEST_F(FileIo, SearchPathFindsFileInListedDirectory)
{
    dir.write("sub/x.txt", "x");
    const int64_t blocks = heap_live_blocks();
    dlink* paths = nullptr;
    ASSERT_NE(add_pathname(&paths, (dir.path() + "/nowhere\\\\").c_str()), nullptr);
    ASSERT_NE(add_pathname(&paths, (dir.path() + "/sub").c_str()), nullptr);
    // Every trailing backslash goes, a lone one too: the root is "".
    dlink* root = nullptr;
    ASSERT_NE(add_pathname(&root, "\\"), nullptr);
    EXPECT_STREQ(root->dlink_key_str, "");
    EXPECT_EQ(free_pathname_list(root), 1);
    std::string upper_dir = dir.path();
    for (char& ch : upper_dir)
        ch = (char)std::toupper((unsigned char)ch);
    EXPECT_EQ(std::string(paths->dlink_key_str), upper_dir + "/NOWHERE");
    // The same directory again gives the node it already has.
    EXPECT_EQ(add_pathname(&paths, (dir.path() + "/SUB").c_str()), paths->next_ptr);
    EXPECT_EQ(dlink_count(paths), 2u);
    // Keys are upper-cased; the resolver matches them without regard to case.
    FILE* file = file_open_search("x.txt", FILE_MODE_READ_BIN, paths);
    ASSERT_NE(file, nullptr);
    file_close(file);
    const char* found = file_search("x.txt", paths);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(std::string(found), upper_dir + "/SUB\\x.txt");
    EXPECT_EQ(free_pathname_list(paths), 1);
    EXPECT_EQ(heap_live_blocks(), blocks);  // every node and key released
}

TEST_F(FileIo, TextHeaderRoundTripAndComments)
{
    std::string path = dir.file("varnock.cfg");
    FILE* out = file_open_write_version_text(path.c_str(), 21, 124);
    ASSERT_NE(out, nullptr);
    file_close(out);
    std::string text = dir.read("varnock.cfg");
    EXPECT_NE(text.find("//  ZORLANDI SOFTWORKS"), std::string::npos);
    char type_line[160];
    std::snprintf(type_line, sizeof type_line, "\n%-44d//  file_type\n%-44d//  file_version\n", 21,
                  124);
    EXPECT_TRUE(text.ends_with(type_line));

    int16_t line_cnt = -5;
    int found = 0;
    FILE* in = file_open_search_verify_version_text(path.c_str(), &line_cnt, nullptr, 21, 124,
                                                    &found);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(line_cnt, 7);
    file_close(in);

    std::string hand = dir.write("hand.txt", "21   // type\r\n\r\n  124\r\n");
    in = file_open_search_verify_version_text(hand.c_str(), &line_cnt, nullptr, 21, 124, &found);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(line_cnt, 3);
    file_close(in);

    // Each refusal after a good header, so that every value found is the
    // refused file's own: a header that cannot be read found neither.
    struct Refusal {
        std::string path;
        int found;
        int32_t type_found, version_found;
        std::vector<std::string> errors;
    };
    std::string wrong = dir.write("wrong.txt", "21\n125\n");
    std::string nothing = dir.write("nothing.txt", "// only a comment\n");
    std::string no_version = dir.write("no_version.txt", "21\n");
    const std::string unread = "Unable to read an int at line 1";
    const std::string could_not = "Could not file_open_search_verify_version_text for '";
    const Refusal refusals[] = {
        {wrong, 1, 21, 125, {"Wrong file version in '" + wrong + "', found 125 expected 124"}},
        {nothing, 1, 0, 0, {unread, could_not + nothing + "'"}},
        {no_version, 1, 0, 0, {unread, could_not + no_version + "'"}},
        {dir.file("missing.txt"), 0, 0, 0, {}},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.path);
        file_close(file_open_search_verify_version_text(hand.c_str(), &line_cnt, nullptr, 21, 124,
                                                        &found));
        log.clear();
        EXPECT_EQ(file_open_search_verify_version_text(r.path.c_str(), &line_cnt, nullptr, 21, 124,
                                                       &found),
                  nullptr);
        EXPECT_EQ(found, r.found);
        EXPECT_EQ(file_hdr_type_found, r.type_found);
        EXPECT_EQ(file_hdr_version_found, r.version_found);
        EXPECT_EQ(log.errors(), r.errors);
    }
}

TEST_F(FileIo, StringRecordsPadToTheBoundary)
{
    struct Case {
        const char* text;
        int32_t length;
        size_t record_size;
    } cases[] = {{"abc", 4, 8}, {"abcd", 5, 12}, {"abcde", 6, 12}, {"", 1, 8}};
    for (const Case& c : cases) {
        std::string path = dir.file("str.bin");
        FILE* out = file_open(path.c_str(), FILE_MODE_WRITE_BIN);
        ASSERT_EQ(write_str_bin(out, c.text, 4), 1);
        file_close(out);
        std::string bytes = dir.read("str.bin");
        ASSERT_EQ(bytes.size(), c.record_size) << c.text;
        EXPECT_EQ(bytes.substr(0, 4), le32(c.length));
        EXPECT_EQ(bytes.substr(4 + c.length), std::string(c.record_size - 4 - c.length, '\0'));

        FILE* in = file_open(path.c_str(), FILE_MODE_READ_BIN);
        char* read_back = read_str_bin(in, 4);
        ASSERT_NE(read_back, nullptr);
        EXPECT_STREQ(read_back, c.text);
        EXPECT_EQ(std::ftell(in), (long)c.record_size);
        FREE(read_back);
        file_close(in);

        data_cursor cursor = {bytes.data(), bytes.data() + bytes.size()};
        char* linked = link_str(&cursor, 4);
        ASSERT_NE(linked, nullptr);
        EXPECT_EQ(linked, bytes.data() + 4);  // points into the image
        EXPECT_EQ(cursor.data, bytes.data() + c.record_size);
    }
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(FileIo, AStringReadLeavesTheStreamJustAfterItsRecord)
{
    // The reader takes more of the file than the record at once; what it
    // took beyond the record goes back.
    std::string tail(5000, 't');
    std::string path = dir.write("strings.bin", le32(3) + std::string("ab\0", 3) + '\0' + tail);
    FILE* in = file_open(path.c_str(), FILE_MODE_READ_BIN);
    char* text = read_str_bin(in, 4);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "ab");
    FREE(text);
    EXPECT_EQ(std::ftell(in), 8);
    std::string rest(tail.size(), '\0');
    EXPECT_EQ(std::fread(rest.data(), 1, rest.size(), in), tail.size());
    EXPECT_EQ(rest, tail);
    file_close(in);
}

TEST_F(FileIo, AStringWhoseLengthTheWindowCannotGrowForIsRefused)
{
    // The first window of a source takes the padding whole; the string's
    // length lies just past it, and the larger window it needs cannot be had.
    std::string path = dir.write("window.bin",
                                 std::string(256, 'p') + le32(3) + "ab" + '\0' + '\0');
    FILE* in = file_open(path.c_str(), FILE_MODE_READ_BIN);
    file_source src;
    file_source_open(&src, in);
    char padding[256];
    ASSERT_EQ(file_source_read(&src, padding, 256), 1);
    heap_fail_nth_allocation(1);
    EXPECT_EQ(file_source_str(&src, 4), nullptr);
    heap_fail_nth_allocation(0);
    EXPECT_EQ(log.errors().back(), "Unable to read actual_len.");
    char* text = file_source_str(&src, 4);  // the heap back, it reads
    EXPECT_STREQ(text, "ab");
    FREE(text);
    file_source_close(&src);
    file_close(in);
}

TEST_F(FileIo, StringRecordLengthZeroIsNull)
{
    std::string bytes = le32(0) + "rest";
    data_cursor cursor = {bytes.data(), bytes.data() + bytes.size()};
    EXPECT_EQ(link_str(&cursor, 4), nullptr);
    EXPECT_EQ(cursor.data, bytes.data() + 4);

    std::string path = dir.write("zero.bin", bytes);
    FILE* in = file_open(path.c_str(), FILE_MODE_READ_BIN);
    EXPECT_EQ(read_str_bin(in, 4), nullptr);
    file_close(in);
    EXPECT_TRUE(log.errors().empty());
}

// A source hands out the stream's bytes in order whatever the sizes asked
// for: reads that end a byte short of the window, reads of the window's
// size, reads larger than a block, and the end of the stream.
TEST_F(FileIo, ASourceHandsOutTheStreamInOrderWhateverTheReadSizes)
{
    struct Case {
        int size;
        std::vector<int> reads;
    } cases[] = {
        {300, {255, 10, 35}},
        {300, {256, 44}},
        {300, {1, 299}},
        {70000, {300, 65536, 4163, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reads));
        std::string bytes(c.size, '\0');
        for (int i = 0; i < c.size; ++i)
            bytes[i] = (char)(i * 7 + i / 256);
        FILE* in = file_with_bytes(bytes);
        file_source src;
        file_source_open(&src, in);
        int at = 0;
        for (int n : c.reads) {
            std::string got(n, '\0');
            ASSERT_EQ(file_source_read(&src, got.data(), n), 1) << at;
            EXPECT_EQ(got, bytes.substr(at, n)) << at;
            at += n;
        }
        char beyond;
        EXPECT_EQ(file_source_read(&src, &beyond, 1), 0);
        EXPECT_EQ(file_source_read(&src, &beyond, -1), 0);
        file_source_close(&src);
        std::fclose(in);
    }
}

TEST_F(FileIo, CorruptStringRecordsAreRefused)
{
    const std::string cases[] = {
        le32(-4) + "abcd",                   // negative length
        le32(1000) + "abcd",                 // longer than what is left
        le32(4) + "abcd",                    // not zero-terminated
        le32(5) + std::string("abcd\0", 5),  // padding missing
        std::string("\x01\x00", 2),          // length cut short
    };
    for (const std::string& bytes : cases) {
        log.clear();
        std::string path = dir.write("bad.bin", bytes);
        FILE* in = file_open(path.c_str(), FILE_MODE_READ_BIN);
        const int64_t blocks = heap_live_blocks();
        EXPECT_EQ(read_str_bin(in, 4), nullptr);
        EXPECT_EQ(heap_live_blocks(), blocks);  // nothing of it is kept
        file_close(in);
        std::string copy = bytes;
        data_cursor cursor = {copy.data(), copy.data() + copy.size()};
        EXPECT_EQ(link_str(&cursor, 4), nullptr);
        EXPECT_EQ(cursor.data, copy.data());
        EXPECT_EQ(log.errors().size(), 2u);
    }
}

TEST_F(FileIo, StringRecordArgumentRefusals)
{
    data_cursor empty = {nullptr, nullptr};
    EXPECT_EQ(link_str(nullptr, 4), nullptr);
    EXPECT_EQ(link_str(&empty, 4), nullptr);
    EXPECT_EQ(write_str_bin(nullptr, "a", 4), 0);
    EXPECT_EQ(read_str_bin(nullptr, 4), nullptr);
    std::string bytes = le32(0);
    data_cursor cursor = {bytes.data(), bytes.data() + 4};
    EXPECT_EQ(link_str(&cursor, 0), nullptr);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot link_str from NULL data_hdl.",
                                "Cannot link_str from NULL * data_hdl.",
                                "Cannot write_str_bin with NULL str_file.",
                                "Cannot read_str_bin from NULL str_file.",
                                "Bad byte_boundary = 0",
                            }));
}

TEST_F(FileIo, OpenModes)
{
    EXPECT_EQ(file_open("x", FILE_MODE_READ_WRITE_BIN), nullptr);
    EXPECT_EQ(log.notices(),
              (std::vector<std::string>{"Open for read_write binary: x", "Not yet implemented"}));
    EXPECT_EQ(file_open("x", 7), nullptr);
    EXPECT_EQ(file_open("", 0), nullptr);
    EXPECT_EQ(file_open(nullptr, 0), nullptr);
    EXPECT_EQ(file_open(dir.file("missing").c_str(), 0), nullptr);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Error opening x", "Bad file_mode: 7",
                                        "Illegal filename ''", "Cannot open a NULL filename"}));
}

TEST_F(FileIo, ReadWriteAndSize)
{
    std::string path = dir.write("data", "0123456789");
    FILE* file = file_open(path.c_str(), FILE_MODE_READ_BIN);
    char buffer[16];
    EXPECT_EQ(fsize(file), 10);
    EXPECT_EQ(file_seek(file, 6), 1);
    EXPECT_EQ(file_bytes_left(file), 4);
    EXPECT_EQ(file_read(file, buffer, 4), 1);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(file_read(file, buffer, 1), 0);
    EXPECT_EQ(file_read(file, buffer, 0), 0);
    file_close(file);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Unable to read 1 bytes",
                                                      "Cannot read 0 bytes from file"}));

    // A stream with no file behind it is measured by seeking, and left where it was.
    char bytes[] = "0123456789";
    FILE* memory = fmemopen(bytes, 10, "rb");
    ASSERT_EQ(std::fseek(memory, 3, SEEK_SET), 0);
    EXPECT_EQ(file_bytes_left(memory), 7);
    EXPECT_EQ(std::ftell(memory), 3);
    std::fclose(memory);
}

TEST_F(FileIo, AppendCopiesWholeBlocksAndTheRest)
{
    for (size_t size : {0u, 5u, 300u, 600u, 601u}) {
        std::string content(size, 'x');
        for (size_t i = 0; i < size; ++i)
            content[i] = (char)('a' + i % 26);
        std::string source_path = dir.write("source", content);
        std::string target_path = dir.write("target", "head");
        FILE* target = std::fopen(target_path.c_str(), "ab");
        FILE* source = file_open(source_path.c_str(), FILE_MODE_READ_BIN);
        EXPECT_EQ(file_append(target, source), 1) << size;
        file_close(source);
        file_close(target);
        EXPECT_EQ(dir.read("target"), "head" + content) << size;
    }
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(FileIo, ExistsRemoveRenameAndTime)
{
    std::string a = dir.write("a", "A");
    std::string b = dir.write("b", "B");
    std::string c = dir.file("c");
    EXPECT_EQ(file_exists(a.c_str()), 1);
    EXPECT_GT(file_time(a.c_str()), 0);
    EXPECT_EQ(rename_file(a.c_str(), c.c_str()), 1);  // onto a missing name
    EXPECT_EQ(file_exists(a.c_str()), 0);
    EXPECT_EQ(rename_file(c.c_str(), b.c_str()), 1);  // replaces b
    EXPECT_EQ(dir.read("b"), "A");
    EXPECT_TRUE(log.errors().empty());

    EXPECT_EQ(rename_file(b.c_str(), b.c_str()), 0);
    EXPECT_EQ(rename_file(a.c_str(), b.c_str()), 0);
    const std::string nowhere = dir.file("missing/b");  // a directory that is not there
    EXPECT_EQ(rename_file(b.c_str(), nowhere.c_str()), 0);
    EXPECT_EQ(dir.read("b"), "A");
    EXPECT_EQ(remove_file(b.c_str()), 1);
    EXPECT_EQ(remove_file(b.c_str()), 0);
    EXPECT_EQ(file_time(b.c_str()), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot rename a file to the same name: " + b + "!",
                                "Could not find source file \"" + a + "\"",
                                "Could not rename '" + b + "' to '" + nowhere + "', errno = 2",
                                "'" + b + "' does not exist for removing.",
                                "Could not get file_time for '" + b + "'",
                            }));

    // A destination that is there but cannot be removed (the kernel's own
    // file, even for root) keeps the source where it was.
    std::string d = dir.write("d", "D");
    log.clear();
    EXPECT_EQ(rename_file(d.c_str(), "/proc/self/status"), 0);
    EXPECT_EQ(dir.read("d"), "D");
    EXPECT_EQ(log.errors().back(),
              "Could not remove previously existing destination file '/proc/self/status'");
}

namespace {

// What a test hook does at one step of a replacement: fail it, or kill the
// process there.
const char* step_to_fail = "";
int fail_step(const char* step)
{
    return std::strcmp(step, step_to_fail) != 0;
}
int kill_at_step(const char* step)
{
    if (std::strcmp(step, step_to_fail) == 0)
        raise(SIGKILL);
    return 1;
}

// Replaces `path` with a text header and `text`: the helper's result (0
// when the open failed).
int replace(const std::string& path, const std::string& text)
{
    FILE* file = file_open_replace_version_text(path.c_str(), 21, 124);
    if (!file)
        return 0;
    int written = std::fputs(text.c_str(), file) >= 0;
    return file_close_replace(file, path.c_str(), written);
}

// Lines larger than the stream's buffer, so that some reach the file before
// the close.
const std::string new_text(100000, 'n');

}  // namespace

// Whatever step fails, the old file stays whole, the temporary file goes and
// one line says so; a replacement that fails nowhere leaves only the new file.
TEST_F(FileIo, AFileIsReplacedWholeOrNotAtAll)
{
    const std::string path = dir.write("varnock.cfg", "old settings\n");
    for (const char* step : {"open", "write", "sync", "rename"}) {
        SCOPED_TRACE(step);
        step_to_fail = step;
        file_io_set_replace_hook(fail_step);
        log.clear();
        EXPECT_EQ(replace(path, new_text), 0);
        EXPECT_EQ(dir.read("varnock.cfg"), "old settings\n");
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
        std::vector<std::string> errors = log.errors();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].rfind("Could not write '" + path + "': ", 0), 0u) << errors[0];
        EXPECT_NE(errors[0].find("(No space left on device); the previous file is kept."),
                  std::string::npos)
            << errors[0];
    }
    file_io_set_replace_hook(nullptr);

    // The caller's own writes failed.
    FILE* file = file_open_replace_version_text(path.c_str(), 21, 124);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file_close_replace(file, path.c_str(), 0), 0);
    EXPECT_EQ(dir.read("varnock.cfg"), "old settings\n");

    log.clear();
    EXPECT_EQ(replace(path, new_text), 1);
    std::string replaced = dir.read("varnock.cfg");
    EXPECT_EQ(replaced.rfind("//  ZORLANDI SOFTWORKS", 0), 0u);
    EXPECT_NE(replaced.find("//  " + path + " written at "), std::string::npos)
        << "the header names the file, not the temporary one";
    EXPECT_EQ(replaced.substr(replaced.size() - new_text.size()), new_text);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_TRUE(log.errors().empty());
}

// Failures of the file system itself: a directory where the temporary file
// goes, and a disk that is full (the temporary file is the device that
// always is).
TEST_F(FileIo, AFileSystemThatFailsLeavesTheOldFileWhole)
{
    const std::string path = dir.write("varnock.cfg", "old settings\n");
    std::filesystem::create_directory(path + ".tmp");
    EXPECT_EQ(replace(path, new_text), 0);
    EXPECT_EQ(dir.read("varnock.cfg"), "old settings\n");
    EXPECT_TRUE(log.contains("the previous file is kept."));
    std::filesystem::remove(path + ".tmp");

    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    std::filesystem::create_symlink("/dev/full", path + ".tmp");
    log.clear();
    EXPECT_EQ(replace(path, new_text), 0);
    EXPECT_EQ(dir.read("varnock.cfg"), "old settings\n");
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Could not write '" + path +
                                                     "': writing failed (No space left on "
                                                     "device); the previous file is kept."});
    EXPECT_FALSE(std::filesystem::is_symlink(path + ".tmp"));
}

// A process killed at any step of a replacement leaves the old file whole,
// or, once the rename is done, the new one.
TEST_F(FileIo, AKillAtAnyStepLeavesTheOldOrTheNewFileWhole)
{
    const std::string path = dir.write("varnock.cfg", "old settings\n");
    for (const char* step : {"open", "write", "sync", "rename", "renamed"}) {
        SCOPED_TRACE(step);
        dir.write("varnock.cfg", "old settings\n");
        step_to_fail = step;
        std::fflush(nullptr);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            file_io_set_replace_hook(kill_at_step);
            replace(path, new_text);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        std::string after = dir.read("varnock.cfg");
        if (std::strcmp(step, "renamed") == 0)
            EXPECT_EQ(after.substr(after.size() - new_text.size()), new_text);
        else
            EXPECT_EQ(after, "old settings\n");
    }
}

TEST(FileNames, ExtensionsAndParts)
{
    struct Case {
        const char* name;
        const char* ext;
        int replace;
        int result;
        const char* out;
    } cases[] = {
        {"a.b.c", "d", 1, 1, "a.b.d"},
        {"a.b.c", "", 1, 1, "a.b"},
        {"a.b.c", "d", 0, 0, "a.b.c"},
        {"abc", "d", 0, 1, "abc.d"},
        {"abc", "", 1, 0, "abc"},
        {"c:\\data.old\\varnock", "cfg", 1, 1, "c:\\data.old\\varnock.cfg"},
        {"dir.x/name", "cfg", 1, 1, "dir.x/name.cfg"},
    };
    for (const Case& c : cases) {
        char name[64];
        std::strcpy(name, c.name);
        EXPECT_EQ(set_filename_ext(name, sizeof name, c.ext, c.replace), c.result) << c.name;
        EXPECT_STREQ(name, c.out) << c.name;
    }

    LogCapture log;
    char small[8] = "abcdef";
    EXPECT_EQ(set_filename_ext(small, sizeof small, "xyz", 1), 0);
    EXPECT_STREQ(small, "abcdef");
    EXPECT_EQ(log.errors().size(), 1u);
    char exact[6] = "abc";  // "abc.d" and its terminator fill it
    EXPECT_EQ(set_filename_ext(exact, sizeof exact, "d", 1), 1);
    EXPECT_STREQ(exact, "abc.d");

    // The name is what follows the last separator of either kind.
    struct Parts {
        const char* full;
        const char* name;
        const char* path;
        const char* ext;
        const char* base;
    } parts[] = {
        {"c:\\data\\win/x\\a.b.c", "a.b.c", "c:\\data\\win/x", "b.c", "a"},
        {"data/win/sky.tga", "sky.tga", "data/win/", "tga", "sky"},
        {"x\\a.b.c", "a.b.c", "x", "b.c", "a"},
        {"bare.txt", "bare.txt", "", "txt", "bare"},
        {"noext", "noext", "", "", "noext"},
    };
    for (const Parts& c : parts) {
        char full[64];
        std::strcpy(full, c.full);
        EXPECT_STREQ(get_filename(full), c.name) << c.full;
        EXPECT_STREQ(get_pathname(full), c.path) << c.full;
        EXPECT_STREQ(get_filename_ext(full), c.ext) << c.full;
        EXPECT_STREQ(get_base_filename(full), c.base) << c.full;
    }
}
