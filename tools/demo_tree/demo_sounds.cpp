#include "demo_sounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

void put16(std::string& out, uint32_t value)
{
    out += (char)(value & 0xFF);
    out += (char)((value >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// RIFF WAVE around a format chunk's body, optional fact chunk and the data.
std::string riff_wave(const std::string& format, const std::string& fact, const std::string& data)
{
    std::string out = "RIFF";
    size_t fact_bytes = fact.empty() ? 0 : 8 + fact.size();
    put32(out, (uint32_t)(4 + 8 + format.size() + fact_bytes + 8 + data.size()));
    out += "WAVEfmt ";
    put32(out, (uint32_t)format.size());
    out += format;
    if (!fact.empty()) {
        out += "fact";
        put32(out, (uint32_t)fact.size());
        out += fact;
    }
    out += "data";
    put32(out, (uint32_t)data.size());
    return out + data;
}

const int ima_steps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int ima_index_steps[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

enum { IMA_BLOCK_BYTES = 256 };  // a channel's share of one block
static_assert(SOUND_IMA_ADPCM_BLOCK_FRAMES == (IMA_BLOCK_BYTES - 4) * 2 + 1);

// The encoder's half of one channel: it follows the decoder's predictor.
struct ima_channel {
    int predictor = 0;
    int index = 0;

    uint8_t encode(int sample)
    {
        int step = ima_steps[index];
        int diff = sample - predictor;
        uint8_t code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        for (int bit = 4, part = step; bit; bit >>= 1, part >>= 1)
            if (diff >= part) {
                code |= (uint8_t)bit;
                diff -= part;
            }
        int delta = step >> 3;
        if (code & 4)
            delta += step;
        if (code & 2)
            delta += step >> 1;
        if (code & 1)
            delta += step >> 2;
        predictor = std::clamp(code & 8 ? predictor - delta : predictor + delta, -32768, 32767);
        index = std::clamp(index + ima_index_steps[code & 7], 0, 88);
        return code;
    }
};

}  // namespace

std::vector<int16_t> sound_tone(int32_t frames, int32_t channels, int32_t rate, double frequency,
                                double amplitude)
{
    std::vector<int16_t> samples((size_t)frames * channels);
    for (int32_t i = 0; i < frames; ++i) {
        double value = amplitude * 32767.0 *
                       std::sin(2.0 * std::numbers::pi * frequency * i / rate);
        for (int32_t c = 0; c < channels; ++c)
            samples[(size_t)i * channels + c] = (int16_t)std::lround(value);
    }
    return samples;
}

std::string sound_wav_pcm(const std::vector<int16_t>& samples, int32_t channels, int32_t rate,
                          int32_t bits)
{
    std::string data;
    for (int16_t sample : samples) {
        if (bits == 8)
            data += (char)(uint8_t)((sample >> 8) + 128);  // 8-bit samples are unsigned
        else
            put16(data, (uint16_t)sample);
    }
    uint32_t block_align = (uint32_t)(channels * bits / 8);
    std::string format;
    put16(format, 1);
    put16(format, (uint32_t)channels);
    put32(format, (uint32_t)rate);
    put32(format, (uint32_t)rate * block_align);
    put16(format, block_align);
    put16(format, (uint32_t)bits);
    return riff_wave(format, "", data);
}

std::string sound_wav_ima_adpcm(const std::vector<int16_t>& samples, int32_t channels, int32_t rate)
{
    const int32_t block_frames = SOUND_IMA_ADPCM_BLOCK_FRAMES;
    const int32_t frames = (int32_t)(samples.size() / channels);
    std::vector<ima_channel> state((size_t)channels);
    auto sample_at = [&](int32_t frame, int32_t channel) {
        return frame < frames ? samples[(size_t)frame * channels + channel] : 0;
    };
    std::string data;
    for (int32_t first = 0; first < frames; first += block_frames) {
        // Per channel: the first sample as it stands, the step index, a zero.
        for (int32_t c = 0; c < channels; ++c) {
            state[c].predictor = sample_at(first, c);
            put16(data, (uint16_t)(int16_t)state[c].predictor);
            data += (char)state[c].index;
            data += '\0';
        }
        // Then runs of 8 samples a channel, 4 bytes each, low nibble first.
        for (int32_t run = first + 1; run < first + block_frames; run += 8)
            for (int32_t c = 0; c < channels; ++c)
                for (int32_t i = 0; i < 8; i += 2) {
                    uint8_t low = state[c].encode(sample_at(run + i, c));
                    uint8_t high = state[c].encode(sample_at(run + i + 1, c));
                    data += (char)(low | high << 4);
                }
    }
    uint32_t block_align = (uint32_t)(IMA_BLOCK_BYTES * channels);
    std::string format;
    put16(format, 0x11);
    put16(format, (uint32_t)channels);
    put32(format, (uint32_t)rate);
    put32(format, (uint32_t)((int64_t)rate * block_align / block_frames));
    put16(format, block_align);
    put16(format, 4);
    put16(format, 2);  // two more bytes of format follow:
    put16(format, (uint32_t)block_frames);
    std::string fact;
    put32(fact, (uint32_t)frames);
    return riff_wave(format, fact, data);
}
