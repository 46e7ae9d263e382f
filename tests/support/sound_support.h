// Helpers of the sound tests: the loopback output's mix, measured.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The loopback output's next `frames` frames (left, right, ...); empty when
// no loopback output is open.
std::vector<float> render_sound(int32_t frames);

// Mean square of each channel of a rendered mix, from frame `from` on.
struct channel_energy {
    double left = 0.0, right = 0.0;
    double total() const { return left + right; }
};
channel_energy sound_energy(const std::vector<float>& mix, size_t from = 0);
