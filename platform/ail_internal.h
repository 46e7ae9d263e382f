// What the two halves of the sound library share: the buffers it gives out
// with their decoding (ail_data.cpp) and the output that plays them
// (ail_output.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A buffer the library gave out (a file read or a decompressed sample).
struct ail_block {
    uint8_t* base;
    size_t size;
};

// The buffer that holds the byte at `data`, or NULL.
const ail_block* ail_find_block(const void* data);
// Gives back every buffer still out (AIL_shutdown).
void ail_release_all_blocks(void);

// 16-bit samples decoded from playable data.
struct ail_pcm {
    std::vector<int16_t> samples;  // interleaved by channel
    int32_t channels;              // 1 or 2
    int32_t rate;
};
// Decodes the playable data at `data`: a PCM wave file image that reaches at
// most to the end of its buffer. 1, or 0 with the last error set.
int ail_decode_playable(const void* data, ail_pcm* pcm);

// Sets the text of AIL_last_error (a printf format).
void ail_set_last_error(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Told by AIL_mem_free_lock before a buffer goes: the output stops and
// detaches the channels that play it and forgets what it decoded from it.
void ail_output_forget_block(const ail_block* block);
