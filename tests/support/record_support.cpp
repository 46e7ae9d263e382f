#include "record_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "test_support.h"

namespace {

void* read_form(const record_type* type, FILE* file, RecordForm form, int32_t n)
{
    switch (form) {
    case RecordForm::single:
        return record_read_bin(type, file);
    case RecordForm::array:
        return record_read_array_bin(type, file, n);
    default:
        return record_read_list_bin(type, file, n);
    }
}

void* link_form(const record_type* type, link_cursor* cursor, RecordForm form, int32_t n)
{
    switch (form) {
    case RecordForm::single:
        return record_link(type, cursor);
    case RecordForm::array:
        return record_link_array(type, cursor, n);
    default:
        return record_link_list(type, cursor, n);
    }
}

std::string written_form(const record_type* type, const void* rec, RecordForm form, int32_t n)
{
    return written_bytes([&](FILE* file) {
        switch (form) {
        case RecordForm::single:
            return record_write_bin(type, file, rec);
        case RecordForm::array:
            return record_write_array_bin(type, file, rec, n);
        default:
            return record_write_list_bin(type, file, rec, n);
        }
    });
}

void free_form(const record_type* type, void* rec, RecordForm form, int32_t n)
{
    switch (form) {
    case RecordForm::single:
        EXPECT_EQ(record_free(type, rec), 1);
        break;
    case RecordForm::array:
        EXPECT_EQ(record_free_array(type, rec, n), 1);
        break;
    default:
        EXPECT_EQ(record_free_list(type, rec), 1);
    }
}

}  // namespace

std::string with_word(std::string bytes, size_t offset, uint32_t value)
{
    std::memcpy(&bytes.at(offset + 3) - 3, &value, 4);
    return bytes;
}

std::string with_half(std::string bytes, size_t offset, uint16_t value)
{
    std::memcpy(&bytes.at(offset + 1) - 1, &value, 2);
    return bytes;
}

void* record_read_bytes(const record_type* type, const std::string& bytes)
{
    FILE* file = file_with_bytes(bytes);
    void* rec = record_read_bin(type, file);
    std::fclose(file);
    return rec;
}

int expect_counts_follow_items(const record_type* type, int32_t count)
{
    SCOPED_TRACE(type->name);
    LogCapture log;
    void* made = record_malloc(type, nullptr);
    std::string bytes = written_form(type, made, RecordForm::single, 1);
    record_free(type, made);
    std::vector<const record_field*> counted;
    std::vector<std::string> lines;
    uint32_t at = 0;
    for (uint32_t i = 0; i < type->n_fields; ++i) {
        const record_field& field = type->fields[i];
        bool holds_items = record_kind_counts_items(field.kind);
        uint32_t presence = 0;
        if (holds_items)
            std::memcpy(&presence, bytes.data() + at + 4, 4);
        if (holds_items && presence == 0) {
            bytes = with_word(bytes, at, (uint32_t)count);
            counted.push_back(&field);
            lines.push_back(std::string(type->name) + " " + field.count_name + " = " +
                            std::to_string(count) + " with no " + field.name +
                            " stored; taken as 0.");
        }
        at += record_image_bytes(field);
    }
    auto expect_counts_zero = [&](const void* rec) {
        for (const record_field* field : counted) {
            int32_t value = -1;
            std::memcpy(&value, (const char*)rec + field->count_offset, 4);
            EXPECT_EQ(value, 0) << field->count_name;
        }
    };
    log.clear();
    void* read = record_read_bytes(type, bytes);
    EXPECT_NE(read, nullptr);
    EXPECT_EQ(log.errors(), lines);
    if (read) {
        expect_counts_zero(read);
        record_free(type, read);
    }
    LinkImage image(bytes);
    void* linked = record_link(type, &image.cursor);
    EXPECT_NE(linked, nullptr);
    if (linked)
        expect_counts_zero(linked);
    return (int)counted.size();
}

void expect_default_images(const std::vector<RecordDefault>& rows)
{
    LogCapture log;
    for (const RecordDefault& row : rows) {
        SCOPED_TRACE(row.type->name);
        void* rec = record_malloc(row.type, nullptr);
        EXPECT_EQ(written_form(row.type, rec, RecordForm::single, 1), row.image);
        EXPECT_EQ(record_free(row.type, rec), 1);
    }
    EXPECT_TRUE(log.errors().empty());
}

void expect_record_round_trip(const record_type* type, const std::string& bytes, RecordForm form,
                              int32_t n)
{
    SCOPED_TRACE(type->name);
    FILE* file = file_with_bytes(bytes);
    void* read = read_form(type, file, form, n);
    EXPECT_EQ(std::ftell(file), (long)bytes.size());
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(written_form(type, read, form, n), bytes);
    free_form(type, read, form, n);

    LinkImage image(bytes);
    void* linked = link_form(type, &image.cursor, form, n);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(image.consumed(), (long)bytes.size());
    EXPECT_EQ(written_form(type, linked, form, n), bytes);
}

std::vector<std::string> record_refusal(const record_type* type, const std::string& bytes,
                                        RecordForm form, int32_t n)
{
    LogCapture log;
    FILE* file = file_with_bytes(bytes);
    EXPECT_EQ(read_form(type, file, form, n), nullptr);
    std::fclose(file);
    std::vector<std::string> errors = log.errors();

    LinkImage image(bytes);
    EXPECT_EQ(link_form(type, &image.cursor, form, n), nullptr);
    EXPECT_GT(log.errors().size(), errors.size());
    return errors;
}

void expect_record_round_trips(const std::vector<RecordRoundTrip>& rows)
{
    LogCapture log;
    for (const RecordRoundTrip& row : rows)
        expect_record_round_trip(row.type, row.bytes, row.form, row.n);
    EXPECT_TRUE(log.errors().empty());
}

void expect_record_refusals(const record_type* type, const std::vector<RecordRefusal>& rows)
{
    for (const RecordRefusal& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(record_refusal(type, row.bytes), row.errors);
    }
}

void expect_every_prefix_refused(const record_type* type, const std::string& bytes, RecordForm form,
                                 int32_t n)
{
    for (size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE(length);
        EXPECT_FALSE(record_refusal(type, bytes.substr(0, length), form, n).empty());
    }
}

int record_failure_sweep(const record_type* type, const std::string& bytes)
{
    int swept = heap_failure_sweep([&] {
        void* rec = record_read_bytes(type, bytes);
        return rec && record_free(type, rec);
    });
    heap_failure_sweep([&] {
        LinkImage image(bytes);
        return record_link(type, &image.cursor) != nullptr;
    });
    // The writer allocates too (the images of an array of records that own
    // data): each failure must be refused, never written as a success.
    void* rec = record_read_bytes(type, bytes);
    EXPECT_NE(rec, nullptr);
    if (rec) {
        heap_failure_sweep([&] {
            FILE* out = std::tmpfile();
            int ok = record_write_bin(type, out, rec);
            std::fclose(out);
            return ok == 1;
        });
        record_free(type, rec);
    }
    return swept;
}
