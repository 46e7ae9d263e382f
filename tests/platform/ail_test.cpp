#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "demo_sounds.h"
#include "image_writers.h"
#include "platform/ail.h"
#include "platform/ail_internal.h"
#include "platform/ail_test.h"
#include "platform/report.h"
#include "platform_support.h"
#include "sound_support.h"

namespace {

constexpr int32_t RATE = AIL_TEST_LOOPBACK_RATE;

// A tenth of a second of a 441 Hz tone at half of full scale.
std::vector<int16_t> tone(int32_t channels = 1, int32_t frames = RATE / 10)
{
    return sound_tone(frames, channels, RATE, 441.0, 0.5);
}

// The library started, with a loopback output, and a folder for sound files.
class SoundLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        ail_test_set_output(AIL_TEST_OUTPUT_LOOPBACK);
        ASSERT_EQ(AIL_startup(), 1);
        ASSERT_EQ(AIL_waveOutOpen(&driver, nullptr, -1, nullptr), 0);
        ASSERT_NE(driver, nullptr);
    }
    void TearDown() override { test_reset_state(); }

    // `bytes` as a file read by the library: its size word, then the bytes.
    uint8_t* read(const std::string& bytes)
    {
        auto* buffer = (uint8_t*)AIL_file_read(dir.write("sound.bin", bytes).c_str(),
                                               AIL_FILE_READ_WITH_SIZE);
        EXPECT_NE(buffer, nullptr) << AIL_last_error();
        return buffer;
    }
    // Playable data of a wave file image (the data of a PCM wave as read).
    const void* playable(const std::string& wave) { return read(wave) + 4; }

    // A 2D channel with `data` attached.
    ail_sample* channel_with(const void* data)
    {
        ail_sample* sample = AIL_allocate_sample_handle(driver);
        EXPECT_NE(sample, nullptr);
        EXPECT_NE(AIL_set_sample_file(sample, data, 0), 0) << AIL_last_error();
        return sample;
    }

    ail_driver* driver = nullptr;
    TempDir dir;
};

// The decoded samples of a decompressor's output (a 16-bit PCM wave image).
std::vector<int16_t> samples_of(const void* wave, uint32_t size)
{
    const uint8_t* bytes = (const uint8_t*)wave;
    std::vector<int16_t> samples((size - 44) / 2);
    std::memcpy(samples.data(), bytes + 44, samples.size() * 2);
    return samples;
}

// A sound file of tests/data/sounds.
std::string sound_fixture(const char* name)
{
    std::string bytes = read_test_data(std::string("sounds/") + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

// The 16-bit source samples of the fixtures (tests/data/README.md).
std::vector<int16_t> fixture_samples(int32_t channels)
{
    std::vector<int16_t> samples;
    for (int32_t i = 0; i < 64; ++i)
        for (int32_t c = 0; c < channels; ++c)
            samples.push_back((int16_t)(((i + 1) * 4099 + c * 20011) % 65536 - 32768));
    return samples;
}

// A wave file image of the plain float header (tag 3) holding `values`, mono.
std::string float_wave(const std::vector<float>& values)
{
    uint32_t data_bytes = (uint32_t)(values.size() * 4);
    ImageBytes wave;
    wave.raw("RIFF").word(36 + data_bytes).raw("WAVEfmt ").word(16).half(3).half(1);
    wave.word(8000).word(32000).half(4).half(32).raw("data").word(data_bytes);
    for (float value : values)
        wave.real(value);
    return wave.bytes();
}

double rms(const std::vector<int16_t>& samples)
{
    double sum = 0.0;
    for (int16_t sample : samples)
        sum += (double)sample * sample;
    return std::sqrt(sum / (double)samples.size());
}

}  // namespace

TEST_F(SoundLibrary, TellsWaveKindsAndMp3FromTheirBytes)
{
    std::string pcm = sound_wav_pcm(tone(), 1, RATE);
    std::string mp3 = ail_test_mp3_bytes(tone().data(), RATE / 10, 1, RATE);
    ASSERT_FALSE(mp3.empty());
    std::string ms_adpcm = pcm;
    ms_adpcm[20] = 2;  // the format tag of the other ADPCM
    struct {
        const char* what;
        std::string bytes;
        int32_t type;
    } cases[] = {
        {"16-bit PCM", pcm, AIL_FILE_TYPE_PCM_WAV},
        {"8-bit PCM", sound_wav_pcm(tone(), 1, RATE, 8), AIL_FILE_TYPE_PCM_WAV},
        {"IMA ADPCM", sound_wav_ima_adpcm(tone(), 1, RATE), AIL_FILE_TYPE_ADPCM_WAV},
        {"MP3", mp3, AIL_FILE_TYPE_MP3},
        {"MP3 after a tag", "ID3" + mp3, AIL_FILE_TYPE_MP3},
        {"other ADPCM", ms_adpcm, AIL_FILE_TYPE_UNKNOWN},
        {"format chunk cut", pcm.substr(0, 30), AIL_FILE_TYPE_UNKNOWN},
        {"chunk longer than the file", pcm.substr(0, 12) + "junk\xff\xff\xff\x7f",
         AIL_FILE_TYPE_UNKNOWN},
        {"text", "hello, world", AIL_FILE_TYPE_UNKNOWN},
        {"nothing", "", AIL_FILE_TYPE_UNKNOWN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AIL_file_type(c.bytes.data(), (uint32_t)c.bytes.size()), c.type) << c.what;
}

// What sound tools write for more than 16 bits, for float and for high
// rates: the extensible header (its sub-format says PCM or float) and the
// plain float one. They play as they stand, sample for sample.
TEST_F(SoundLibrary, ExtensibleAndFloatWavesDecodeToTheirSamples)
{
    std::vector<int16_t> eight_bit;
    for (int32_t i = 0; i < 64; ++i)
        eight_bit.push_back((int16_t)(((i * 37) % 256 - 128) * 256));
    const struct {
        const char* file;
        int32_t channels, rate;
        std::vector<int16_t> samples;
    } cases[] = {
        {"pcm8_96k_ffmpeg.wav", 1, 96000, eight_bit},
        {"pcm16_96k_ffmpeg.wav", 1, 96000, fixture_samples(1)},
        {"pcm24_sox.wav", 1, 8000, fixture_samples(1)},
        {"pcm32_ffmpeg.wav", 2, 8000, fixture_samples(2)},
        {"float32_sox.wav", 2, 8000, fixture_samples(2)},
        {"float32_ffmpeg.wav", 2, 8000, fixture_samples(2)},
        {"float64_ffmpeg.wav", 1, 8000, fixture_samples(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string bytes = sound_fixture(c.file);
        const void* data = playable(bytes);
        ASSERT_EQ(AIL_file_type(data, (uint32_t)bytes.size()), AIL_FILE_TYPE_PCM_WAV)
            << AIL_last_error();
        ail_pcm pcm;
        ASSERT_EQ(ail_decode_playable(data, &pcm), 1) << AIL_last_error();
        EXPECT_EQ(pcm.channels, c.channels);
        EXPECT_EQ(pcm.rate, c.rate);
        EXPECT_EQ(pcm.samples, c.samples);
        AIL_release_sample_handle(channel_with(data));
    }

    // Float beyond full scale clips; it does not wrap round to the other sign.
    const void* loud = playable(float_wave({1.5f, -2.0f, 0.5f, -1.0f, 1.0f}));
    ail_pcm pcm;
    ASSERT_EQ(ail_decode_playable(loud, &pcm), 1) << AIL_last_error();
    EXPECT_EQ(pcm.samples, (std::vector<int16_t>{32767, -32768, 16384, -32768, 32767}));

    // A sub-format other than the standard PCM and float ones, and an
    // extension too short to hold one, are refused with the reason.
    std::string wave = sound_fixture("pcm24_sox.wav");
    size_t fmt = wave.find("fmt ") + 8;
    std::string adpcm = wave, foreign = wave, short_extension = wave;
    adpcm[fmt + 24] = 0x11;
    foreign[fmt + 39] = 0x70;  // the last byte of the sub-format
    short_extension[fmt + 16] = 10;
    for (const std::string& bytes : {adpcm, foreign, short_extension}) {
        EXPECT_EQ(AIL_file_type(bytes.data(), (uint32_t)bytes.size()), AIL_FILE_TYPE_UNKNOWN);
        EXPECT_NE(std::string(AIL_last_error()).find("(extensible header)"), std::string::npos)
            << AIL_last_error();
    }
}

TEST_F(SoundLibrary, ReadsWholeFilesWithTheirSize)
{
    auto* buffer = (uint8_t*)AIL_file_read(dir.write("Sounds/Step.WAV", "abcde").c_str(),
                                           AIL_FILE_READ_WITH_SIZE);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(AIL_file_error(), 0);
    uint32_t size;
    std::memcpy(&size, buffer, 4);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string((const char*)buffer + 4, 5), "abcde");
    AIL_mem_free_lock(buffer);

    // Paths of the program's form resolve as every file open does.
    buffer = (uint8_t*)AIL_file_read((dir.path() + "\\sounds\\step.wav").c_str(),
                                     AIL_FILE_READ_WITH_SIZE);
    EXPECT_NE(buffer, nullptr);
    AIL_mem_free_lock(buffer);

    EXPECT_EQ(AIL_file_read(dir.file("missing.wav").c_str(), AIL_FILE_READ_WITH_SIZE), nullptr);
    EXPECT_NE(AIL_file_error(), 0);
    EXPECT_NE(std::string(AIL_last_error()).find("missing.wav"), std::string::npos);

    // A directory, and a file beyond what is read whole (sparse: it takes no
    // disk), are refused before anything is allocated for them.
    dir.write("folder.wav/.keep", "");
    std::string huge = dir.write("huge.wav", "abcde");
    ASSERT_EQ(truncate(huge.c_str(), (off_t)(1LL << 32) + 5), 0);
    const struct {
        std::string path, why;
    } refused[] = {
        {dir.file("folder.wav"), "is not a file"},
        {huge, "of 268435456 bytes at most"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(AIL_file_read(r.path.c_str(), AIL_FILE_READ_WITH_SIZE), nullptr);
        EXPECT_NE(AIL_file_error(), 0);
        EXPECT_NE(std::string(AIL_last_error()).find(r.why), std::string::npos) << AIL_last_error();
    }
}

TEST_F(SoundLibrary, DecompressesImaAdpcmCloseToTheOriginal)
{
    std::vector<int16_t> original = tone(2, 3000);
    uint8_t* file = read(sound_wav_ima_adpcm(original, 2, RATE));
    ail_sound_info info;
    ASSERT_NE(AIL_WAV_info(file + 4, &info), 0);
    EXPECT_EQ(info.format, 0x11);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.rate, (uint32_t)RATE);
    void* out = nullptr;
    uint32_t size = 0;
    ASSERT_NE(AIL_decompress_ADPCM(&info, &out, &size), 0) << AIL_last_error();
    AIL_mem_free_lock(file);

    EXPECT_EQ(AIL_file_type(out, size), AIL_FILE_TYPE_PCM_WAV);
    std::vector<int16_t> decoded = samples_of(out, size);
    // Whole blocks: the last one is filled up with silence.
    ASSERT_GE(decoded.size(), original.size());
    std::vector<int16_t> error(original.size());
    for (size_t i = 0; i < original.size(); ++i)
        error[i] = (int16_t)(decoded[i] - original[i]);
    EXPECT_LT(rms(error), rms(original) / 20) << "ADPCM keeps the tone within 5%";
    AIL_mem_free_lock(out);
}

TEST_F(SoundLibrary, DecompressesMp3FromMemory)
{
    std::vector<int16_t> original = tone(1, RATE / 2);
    std::string mp3 = ail_test_mp3_bytes(original.data(), RATE / 2, 1, RATE);
    ASSERT_FALSE(mp3.empty());
    int32_t progress_calls = 0;
    static int32_t* calls = &progress_calls;
    void* out = nullptr;
    uint32_t size = 0;
    ASSERT_NE(AIL_decompress_ASI(mp3.data(), (uint32_t)mp3.size(), "mp3", &out, &size,
                                 [](uint32_t, uint32_t) -> int32_t { return ++*calls; }),
              0)
        << AIL_last_error();
    EXPECT_GT(progress_calls, 0);
    std::vector<int16_t> decoded = samples_of(out, size);
    // The encoder adds a little lead-in and padding.
    EXPECT_GE(decoded.size(), original.size());
    EXPECT_LT(decoded.size(), original.size() + (size_t)RATE / 5);
    EXPECT_NEAR(rms(decoded), rms(original), rms(original) / 10);
    AIL_mem_free_lock(out);

    // A progress callback that answers 0 abandons the decompression.
    EXPECT_EQ(AIL_decompress_ASI(mp3.data(), (uint32_t)mp3.size(), "mp3", &out, nullptr,
                                 [](uint32_t, uint32_t) -> int32_t { return 0; }),
              0);
    EXPECT_EQ(out, nullptr);
}

TEST_F(SoundLibrary, RefusesWhatItCannotDecodeWithAReason)
{
    std::string junk(600, '\x55');
    std::string adpcm = sound_wav_ima_adpcm(tone(), 1, RATE);
    std::string pcm = sound_wav_pcm(tone(), 1, RATE);
    std::string three_channels = sound_wav_pcm(tone(3), 3, RATE);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(AIL_decompress_ASI(junk.data(), (uint32_t)junk.size(), "mp3", &out, nullptr, nullptr),
              0);
    EXPECT_EQ(out, nullptr);
    EXPECT_STRNE(AIL_last_error(), "");
    EXPECT_EQ(AIL_decompress_ASI(pcm.data(), (uint32_t)pcm.size(), "ogg", &out, nullptr, nullptr),
              0);
    EXPECT_NE(std::string(AIL_last_error()).find("ogg"), std::string::npos);

    // ADPCM cut in its data, ADPCM that is PCM, and a header only.
    struct {
        const char* what;
        std::string bytes;
    } waves[] = {{"PCM as ADPCM", pcm}, {"header only", adpcm.substr(0, 60)}};
    for (const auto& c : waves) {
        uint8_t* file = read(c.bytes);
        ail_sound_info info;
        AIL_WAV_info(file + 4, &info);
        EXPECT_EQ(AIL_decompress_ADPCM(&info, &out, nullptr), 0) << c.what;
        EXPECT_EQ(out, nullptr) << c.what;
        AIL_mem_free_lock(file);
    }
    ail_sound_info info;
    EXPECT_EQ(AIL_WAV_info(junk.data(), &info), 0) << "not a buffer of the library";

    // Playable data must be PCM of one or two channels.
    ail_sample* sample = AIL_allocate_sample_handle(driver);
    EXPECT_EQ(AIL_set_sample_file(sample, playable(three_channels), 0), 0);
    EXPECT_NE(std::string(AIL_last_error()).find("3 channels"), std::string::npos);
    EXPECT_EQ(AIL_set_sample_file(sample, playable(adpcm), 0), 0);
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE);
}

TEST_F(SoundLibrary, SamplesPlayToTheirEndAndReportDone)
{
    std::vector<int16_t> original = tone();
    std::string adpcm = sound_wav_ima_adpcm(original, 1, RATE);
    uint8_t* adpcm_file = read(adpcm);
    ail_sound_info info;
    AIL_WAV_info(adpcm_file + 4, &info);
    void* decompressed = nullptr;
    ASSERT_NE(AIL_decompress_ADPCM(&info, &decompressed, nullptr), 0);
    struct {
        const char* what;
        const void* data;
        int32_t frames;
    } cases[] = {
        {"PCM", playable(sound_wav_pcm(original, 1, RATE)), RATE / 10},
        {"8-bit PCM", playable(sound_wav_pcm(original, 1, RATE, 8)), RATE / 10},
        {"IMA ADPCM", decompressed, SOUND_IMA_ADPCM_BLOCK_FRAMES * 5},
    };
    for (const auto& c : cases) {
        ail_sample* sample = channel_with(c.data);
        EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE) << "attached, not started";
        AIL_start_sample(sample);
        EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_PLAYING) << c.what;
        channel_energy playing = sound_energy(render_sound(c.frames - 200));
        EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_PLAYING) << c.what;
        render_sound(400);
        EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE) << c.what;
        channel_energy after = sound_energy(render_sound(1000));
        // A half-scale sine (mean square 1/8), centred: both sides hear it
        // alike, each at about half its power.
        EXPECT_GT(playing.total(), 0.06) << c.what;
        EXPECT_NEAR(playing.left, playing.right, 0.01) << c.what;
        EXPECT_EQ(after.total(), 0.0) << c.what;
        AIL_release_sample_handle(sample);
    }
}

TEST_F(SoundLibrary, ALoopCountPlaysThatManyTimesAndZeroLoopsUntilEnded)
{
    const int32_t frames = RATE / 10;
    ail_sample* sample = channel_with(playable(sound_wav_pcm(tone(1, frames), 1, RATE)));
    AIL_set_sample_loop_count(sample, 3);
    AIL_start_sample(sample);
    render_sound(3 * frames - 100);
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_PLAYING) << "in the third play";
    EXPECT_GT(sound_energy(render_sound(90)).total(), 0.05);
    render_sound(20);
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE);

    // The count stays for the next start; 0 repeats until the channel ends.
    AIL_start_sample(sample);
    render_sound(3 * frames + 10);
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE);
    AIL_set_sample_loop_count(sample, 0);
    AIL_start_sample(sample);
    render_sound(20 * frames);
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_PLAYING);
    AIL_end_sample(sample);
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE);
    EXPECT_LT(sound_energy(render_sound(1000), 100).total(), 1e-6);
}

TEST_F(SoundLibrary, PanAndVolumeShapeTheEnergy)
{
    struct {
        const char* what;
        int32_t channels, pan;
    } cases[] = {
        {"mono, left", 1, 0},
        {"mono, right", 1, 127},
        {"stereo, left", 2, 0},
        {"stereo, right", 2, 127},
    };
    for (const auto& c : cases) {
        ail_sample* sample = channel_with(
            playable(sound_wav_pcm(tone(c.channels), c.channels, RATE)));
        AIL_set_sample_pan(sample, c.pan);
        AIL_start_sample(sample);
        channel_energy energy = sound_energy(render_sound(RATE / 20), 100);
        double near = c.pan ? energy.right : energy.left, far = c.pan ? energy.left : energy.right;
        EXPECT_GT(near, 0.1) << c.what;
        EXPECT_LT(far, near / 20) << c.what;
        AIL_release_sample_handle(sample);
    }

    // Volume scales the amplitude: half the volume, a quarter of the energy.
    const void* data = playable(sound_wav_pcm(tone(1, RATE), 1, RATE));
    ail_sample* full = channel_with(data);
    AIL_start_sample(full);
    double full_energy = sound_energy(render_sound(RATE / 20), 100).total();
    AIL_end_sample(full);
    ail_sample* half = channel_with(data);
    AIL_set_sample_volume(half, 127 / 2);
    AIL_start_sample(half);
    EXPECT_NEAR(sound_energy(render_sound(RATE / 20), 100).total() / full_energy,
                (63.0 / 127) * (63.0 / 127), 0.02);
    AIL_set_sample_volume(half, 0);
    render_sound(200);
    EXPECT_LT(sound_energy(render_sound(RATE / 20), 100).total(), 1e-6);
}

TEST_F(SoundLibrary, ThreeDSamplesSoundFromWhereTheyAreAndFadeWithDistance)
{
    ail_provider_cursor cursor = 0;
    ail_provider* provider = nullptr;
    const char* name = nullptr;
    ASSERT_NE(AIL_enumerate_3D_providers(&cursor, &provider, &name), 0);
    EXPECT_STRNE(name, "");
    EXPECT_EQ(AIL_enumerate_3D_providers(&cursor, &provider, &name), 0) << "one provider";
    ASSERT_EQ(AIL_open_3D_provider(provider), AIL_3D_NO_ERROR);
    ail_listener* listener = AIL_open_3D_listener(provider);
    ASSERT_NE(listener, nullptr);
    // A stereo sound plays mixed down to mono.
    const void* data = playable(sound_wav_pcm(tone(2, RATE), 2, RATE));

    auto heard = [&](float x, float y, float z) {
        ail_3d_sample* sample = AIL_allocate_3D_sample_handle(provider);
        EXPECT_NE(AIL_set_3D_sample_file(sample, data), 0) << AIL_last_error();
        AIL_set_3D_sample_float_distances(sample, 200.0f, 10.0f, 200.0f, 10.0f);
        AIL_set_3D_position(sample, x, y, z);
        AIL_start_3D_sample(sample);
        EXPECT_EQ(AIL_3D_sample_status(sample), (uint32_t)AIL_SAMPLE_PLAYING);
        channel_energy energy = sound_energy(render_sound(RATE / 20), 100);
        AIL_release_3D_sample_handle(sample);
        return energy;
    };
    // The listener faces the world's z with y up: x is to its right.
    channel_energy right = heard(5.0f, 0.0f, 0.0f);
    channel_energy left = heard(-5.0f, 0.0f, 0.0f);
    EXPECT_GT(right.right, 3 * right.left);
    EXPECT_GT(left.left, 3 * left.right);
    channel_energy ahead = heard(0.0f, 0.0f, 5.0f);
    EXPECT_NEAR(ahead.left, ahead.right, ahead.total() / 20);
    // Full within 10 metres, linear to silence at 200: at 105, half the
    // amplitude.
    EXPECT_NEAR(heard(0.0f, 0.0f, 105.0f).total() / ahead.total(), 0.25, 0.03);
    EXPECT_LT(heard(0.0f, 0.0f, 250.0f).total(), 1e-6);

    // Turning the listener to face the world's x puts the same source ahead.
    AIL_set_3D_orientation(listener, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    channel_energy turned = heard(5.0f, 0.0f, 0.0f);
    EXPECT_NEAR(turned.left, turned.right, turned.total() / 20);
    AIL_close_3D_listener(listener);
    AIL_close_3D_provider(provider);
}

TEST_F(SoundLibrary, GivingBackABufferStopsTheChannelsThatPlayIt)
{
    uint8_t* file = read(sound_wav_pcm(tone(1, RATE), 1, RATE));
    ail_sample* sample = channel_with(file + 4);
    AIL_set_sample_loop_count(sample, 0);
    AIL_start_sample(sample);
    render_sound(100);
    AIL_mem_free_lock(file);
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE);
    EXPECT_EQ(sound_energy(render_sound(1000), 200).total(), 0.0);
    AIL_start_sample(sample);  // nothing attached any more
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE);

    // What the library never gave out is reported and left alone.
    static std::vector<std::string> reports;
    reports.clear();
    platform_set_report_sink([](platform_report_kind kind, const char*, long, const char* text) {
        reports.push_back(std::string(kind == PLATFORM_REPORT_ERROR ? "error: " : "") + text);
    });
    int local = 0;
    AIL_mem_free_lock(&local);
    platform_set_report_sink(nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("error: AIL_mem_free_lock: ", 0), 0u);
    EXPECT_NE(reports[0].find("is no buffer of the sound library."), std::string::npos);
}

// Giving back one buffer lets go of its own sound and of no other: the
// sound decoded after it still plays.
TEST_F(SoundLibrary, GivingBackABufferLeavesTheOtherSoundsPlayable)
{
    uint8_t* first = read(sound_wav_pcm(tone(), 1, RATE));
    uint8_t* second = read(sound_wav_pcm(tone(), 1, RATE));
    // Both decoded, the first before the second; the channel then holds the
    // first, so nothing holds the second.
    ail_sample* sample = channel_with(first + 4);
    ASSERT_NE(AIL_set_sample_file(sample, second + 4, 0), 0);
    ASSERT_NE(AIL_set_sample_file(sample, first + 4, 0), 0);
    AIL_mem_free_lock(first);

    ASSERT_NE(AIL_set_sample_file(sample, second + 4, 0), 0) << AIL_last_error();
    AIL_start_sample(sample);
    EXPECT_GT(sound_energy(render_sound(RATE / 20)).total(), 0.06);
    AIL_release_sample_handle(sample);
}

TEST(SoundLibraryLifecycle, StartsOnceAndFailsToOpenWithoutAnOutput)
{
    test_reset_state();
    EXPECT_EQ(AIL_startup(), 1);
    EXPECT_EQ(AIL_startup(), 0) << "already started";
    ail_driver* driver = reinterpret_cast<ail_driver*>(1);
    EXPECT_NE(AIL_waveOutOpen(&driver, nullptr, -1, nullptr), 0);
    EXPECT_EQ(driver, nullptr);
    EXPECT_STRNE(AIL_last_error(), "");
    EXPECT_EQ(AIL_allocate_sample_handle(driver), nullptr);

    ail_test_set_output(AIL_TEST_OUTPUT_LOOPBACK);
    ASSERT_EQ(AIL_waveOutOpen(&driver, nullptr, -1, nullptr), 0);
    ail_driver* second = nullptr;
    EXPECT_NE(AIL_waveOutOpen(&second, nullptr, -1, nullptr), 0) << "one output at a time";
    ail_test_set_channel_count(3);
    ASSERT_EQ(AIL_get_preference(AIL_PREFERENCE_MIXER_CHANNELS), 3);
    // Channels still held when the output closes stay harmless handles until
    // they are released.
    ail_sample* sample = AIL_allocate_sample_handle(driver);
    ASSERT_NE(sample, nullptr);
    AIL_waveOutClose(driver);
    AIL_start_sample(sample);
    EXPECT_EQ(AIL_sample_status(sample), (uint32_t)AIL_SAMPLE_DONE);
    AIL_release_sample_handle(sample);
    AIL_shutdown();
    EXPECT_EQ(AIL_startup(), 1) << "started afresh";
    test_reset_state();
}
