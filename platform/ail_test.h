// Test hooks of the sound library: what the next AIL_waveOutOpen opens (a
// loopback output whose mix the test renders itself, so that tests hear
// exactly what was played, or no output at all), the channel count, and an
// MP3 encoder for fixtures.
#pragma once

#include <cstdint>
#include <string>

enum ail_test_output {
    AIL_TEST_OUTPUT_DEVICE,    // the system's default device, as in the game
    AIL_TEST_OUTPUT_LOOPBACK,  // no device: the mix is made by ail_test_render
    AIL_TEST_OUTPUT_NONE,      // the open fails, as on a machine without sound
};
void ail_test_set_output(int output);

// Frames per second of the loopback output.
enum { AIL_TEST_LOOPBACK_RATE = 22050 };
// Mixes the next `frame_count` frames of the open loopback output into
// `frames` (left, right, left, ...). 1, or 0 when no loopback output is open.
int ail_test_render(float* frames, int32_t frame_count);

// What AIL_get_preference tells as the channel count; 0 restores the library's
// own.
void ail_test_set_channel_count(int32_t count);

// `frames` frames of 16-bit samples (interleaved by channel) encoded as an MP3
// stream; empty when the encoder failed.
std::string ail_test_mp3_bytes(const int16_t* samples, int32_t frames, int32_t channels,
                               int32_t rate);
