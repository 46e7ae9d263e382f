// Fuzz target of the sound library's decoding: the input is a sound file as
// the game reads it. It goes the way a load takes it (type detection, wave
// information, ADPCM or MP3 decompression), and the playable data is then
// attached to a channel of a loopback output, which decodes it as a first
// play does. Whatever the bytes, each step gives a result or refuses with a
// reason, and leaks nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "demo_sounds.h"
#include "fuzz_support.h"
#include "platform/ail.h"
#include "platform/ail_test.h"

namespace {

// The bytes as a buffer of the library, as AIL_file_read gives it.
uint8_t* library_buffer(const uint8_t* data, size_t size)
{
    std::string path = fuzz_file("sound.wav", data, size);
    return (uint8_t*)AIL_file_read(path.c_str(), AIL_FILE_READ_WITH_SIZE);
}

ail_sample* channel(void)
{
    static ail_sample* sample = [] {
        ail_test_set_output(AIL_TEST_OUTPUT_LOOPBACK);
        AIL_startup();
        ail_driver* driver = nullptr;
        AIL_waveOutOpen(&driver, nullptr, -1, nullptr);
        return AIL_allocate_sample_handle(driver);
    }();
    return sample;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ail_sample* sample = channel();
    uint8_t* file = library_buffer(data, size);
    if (!file)
        return 0;
    uint8_t* image = file + 4;
    void* decoded = nullptr;
    switch (AIL_file_type(image, (uint32_t)size)) {
    case AIL_FILE_TYPE_PCM_WAV:
        AIL_set_sample_file(sample, image, 0);
        break;
    case AIL_FILE_TYPE_ADPCM_WAV: {
        ail_sound_info info;
        if (AIL_WAV_info(image, &info))
            AIL_decompress_ADPCM(&info, &decoded, nullptr);
        break;
    }
    case AIL_FILE_TYPE_MP3:
        AIL_decompress_ASI(image, (uint32_t)size, "mp3", &decoded, nullptr, nullptr);
        break;
    }
    if (decoded)
        AIL_set_sample_file(sample, decoded, 0);
    AIL_mem_free_lock(decoded);
    AIL_mem_free_lock(file);
    return 0;
}

void fuzz_write_seeds(void)
{
    std::vector<int16_t> mono = sound_tone(600, 1, 22050, 440.0, 0.5);
    std::vector<int16_t> stereo = sound_tone(600, 2, 11025, 880.0, 0.25);
    fuzz_seed("pcm16.wav", sound_wav_pcm(mono, 1, 22050));
    fuzz_seed("pcm8_stereo.wav", sound_wav_pcm(stereo, 2, 11025, 8));
    fuzz_seed("ima_adpcm.wav", sound_wav_ima_adpcm(mono, 1, 22050));
    fuzz_seed("ima_adpcm_stereo.wav", sound_wav_ima_adpcm(stereo, 2, 11025));
    // What sound tools write: the extensible header (PCM of 8 to 32 bits,
    // float) and the plain float one.
    for (const char* name :
         {"pcm8_96k_ffmpeg.wav", "pcm16_96k_ffmpeg.wav", "pcm24_sox.wav", "pcm32_ffmpeg.wav",
          "float32_sox.wav", "float32_ffmpeg.wav", "float64_ffmpeg.wav"})
        fuzz_seed(name, read_test_data(std::string("sounds/") + name));
}
