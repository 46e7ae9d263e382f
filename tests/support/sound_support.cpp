#include "sound_support.h"

#include "platform/ail_test.h"

std::vector<float> render_sound(int32_t frames)
{
    std::vector<float> mix(2 * (size_t)frames);
    if (!ail_test_render(mix.data(), frames))
        mix.clear();
    return mix;
}

channel_energy sound_energy(const std::vector<float>& mix, size_t from)
{
    channel_energy energy;
    size_t frames = mix.size() / 2;
    for (size_t i = from; i < frames; ++i) {
        energy.left += (double)mix[2 * i] * mix[2 * i];
        energy.right += (double)mix[2 * i + 1] * mix[2 * i + 1];
    }
    if (frames > from) {
        energy.left /= (double)(frames - from);
        energy.right /= (double)(frames - from);
    }
    return energy;
}
