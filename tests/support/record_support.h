// Checks of record streams shared by the suites of the record families. Each
// takes `bytes` as records of `type` in both forms: the stream form reads them
// from a temporary file, the link form decodes them from a heap image.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "heap.h"
#include "record.h"

// A heap block holding `values`, for a record to own (number arrays).
template <class N>
N* heap_numbers(std::initializer_list<N> values)
{
    N* block = (N*)MALLOC(values.size() * sizeof(N));
    std::copy(values.begin(), values.end(), block);
    return block;
}

// `bytes` with the little-endian word or half-word at `offset` replaced.
std::string with_word(std::string bytes, size_t offset, uint32_t value);
std::string with_half(std::string bytes, size_t offset, uint16_t value);

// The shapes in which records are stored: one record, an array of n, a list of n.
enum class RecordForm { single, array, list };

// Both forms take the whole of `bytes`, and what they build writes `bytes`
// again; what was read is released.
void expect_record_round_trip(const record_type* type, const std::string& bytes,
                              RecordForm form = RecordForm::single, int32_t n = 1);

// Both forms refuse `bytes`. Answers the error lines of the stream form; those
// of the link form, which name the link members, are not compared.
std::vector<std::string> record_refusal(const record_type* type, const std::string& bytes,
                                        RecordForm form = RecordForm::single, int32_t n = 1);

// One record of `type` read from `bytes` with the stream form, or NULL; the
// caller releases it.
void* record_read_bytes(const record_type* type, const std::string& bytes);

// A new record of each row's type, made without a name, writes the row's
// image: the type's default template as it is stored.
struct RecordDefault {
    const record_type* type;
    std::string image;
};
void expect_default_images(const std::vector<RecordDefault>& rows);

// Rows of tables run by the two functions below.
struct RecordRoundTrip {
    const record_type* type;
    std::string bytes;
    RecordForm form;
    int32_t n;
};
struct RecordRefusal {
    const char* what;
    std::string bytes;
    std::vector<std::string> errors;  // of the stream form
};

// expect_record_round_trip for each row, with no error line on the way.
void expect_record_round_trips(const std::vector<RecordRoundTrip>& rows);
// Both forms refuse each row's bytes as one record of `type`, the stream form
// with the row's error lines.
void expect_record_refusals(const record_type* type, const std::vector<RecordRefusal>& rows);

// The default record of `type` stored with every count of an array, a list
// or numbers that it does not hold set to `count`: both forms take it, each
// such count reads as 0, and the stream form says so, one error line per
// count. Answers how many counts were set (0 when the type has none).
int expect_counts_follow_items(const record_type* type, int32_t count = 0x26000000);

// Both forms refuse every proper prefix of `bytes`, each with an error line.
void expect_every_prefix_refused(const record_type* type, const std::string& bytes,
                                 RecordForm form = RecordForm::single, int32_t n = 1);

// Reads and links `bytes` as one record of `type` under heap_failure_sweep,
// then writes what was read under it: each failing allocation is refused
// with an error line and leaves no block behind. Answers the allocations
// swept (of the stream form's read). Needs an open log (LogCapture).
int record_failure_sweep(const record_type* type, const std::string& bytes);
