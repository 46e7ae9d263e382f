// Sounds for the demo data tree and for tests: tones written as wave file
// images, 8- or 16-bit PCM or IMA ADPCM (the wave kinds the game plays).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `frames` frames of a sine tone of `frequency` Hz, `amplitude` (0 .. 1) of
// full scale, the same in each of `channels` channels (interleaved).
std::vector<int16_t> sound_tone(int32_t frames, int32_t channels, int32_t rate, double frequency,
                                double amplitude);

// A PCM wave file image of the interleaved `samples`, stored with 8 or 16 bits.
std::string sound_wav_pcm(const std::vector<int16_t>& samples, int32_t channels, int32_t rate,
                          int32_t bits = 16);

// An IMA ADPCM wave file image of the interleaved `samples`: blocks of 256
// bytes a channel, the last one filled up with silence.
std::string sound_wav_ima_adpcm(const std::vector<int16_t>& samples, int32_t channels,
                                int32_t rate);
// Frames one IMA ADPCM block of sound_wav_ima_adpcm holds: the first sample
// in the block's header, two more in each of its other 252 bytes a channel.
enum { SOUND_IMA_ADPCM_BLOCK_FRAMES = 505 };
