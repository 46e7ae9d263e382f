// Fuzz target of the sound library's decoding: the input is a sound file as
// the game reads it. It goes the way a load takes it (type detection, wave
// information, ADPCM or MP3 decompression), and the playable data is then
// attached to a channel of a loopback output, which decodes it as a first
// play does. Whatever the bytes, each step gives a result or refuses with a
// reason, and leaks nothing.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ail.h"
#include "platform/ail_test.h"

namespace {

// The bytes as a buffer of the library, as AIL_file_read gives it.
uint8_t* library_buffer(const uint8_t* data, size_t size)
{
    static const std::string path = [] {
        char name[] = "/tmp/ail_decode_fuzz_XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        return std::string(name);
    }();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return nullptr;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
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
