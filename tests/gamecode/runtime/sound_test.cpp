#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo_sounds.h"
#include "gameglobals.h"
#include "platform/ail.h"
#include "platform/ail_test.h"
#include "sound.h"
#include "sound_support.h"
#include "test_support.h"
#include "win_entity.h"

namespace {

constexpr int32_t RATE = AIL_TEST_LOOPBACK_RATE;
constexpr float UNITS_PER_METRE = 1.0f / 0.0254f;

// A tone of `frames` frames at half of full scale, as a wave file.
std::string pcm_wav(int32_t frames = RATE / 10, int32_t channels = 1)
{
    return sound_wav_pcm(sound_tone(frames, channels, RATE, 441.0, 0.5), channels, RATE);
}

// Sound on, played through the loopback output with four channels of each
// kind, sound files in a temporary folder.
class Sound : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        ail_test_set_output(AIL_TEST_OUTPUT_LOOPBACK);
        ail_test_set_channel_count(4);
        sound_set_enabled();
        log.clear();
    }
    void TearDown() override { test_reset_state(); }

    void start(int32_t enable_3d)
    {
        sound_module.enable_3d = enable_3d;
        ASSERT_EQ(sound_init(), 1);
    }
    win_sound_container* load(const char* name, const std::string& bytes, int32_t is_3d = 0)
    {
        dir.write(name, bytes);
        return sound_load(name, is_3d, dir.path().c_str());
    }
    // The current camera, at `position`, looking at `look_at`.
    void camera_at(win_vect3 position, win_vect3 look_at = {0.0f, 0.0f, 1.0f})
    {
        camera.local_matrix.m[3][0] = position.x;
        camera.local_matrix.m[3][1] = position.y;
        camera.local_matrix.m[3][2] = position.z;
        game_globals.current_camera = &camera;
        game_globals.camera_look_at_point = look_at;
    }
    // What the next twentieth of a second sounds like.
    channel_energy heard() { return sound_energy(render_sound(RATE / 20), 100); }
    int playing(int32_t channel)
    {
        return sound_module.enable_3d
                   ? AIL_3D_sample_status(sound_module.sound_3d_sample_table[channel]) ==
                         AIL_SAMPLE_PLAYING
                   : AIL_sample_status(sound_module.sound_2d_sample_table[channel]) ==
                         AIL_SAMPLE_PLAYING;
    }
    std::vector<std::string> list_names()
    {
        std::vector<std::string> names;
        win_sound_container* sound = sound_module.sound_container_list;
        for (int32_t i = 0; i < sound_module.sound_container_list_size; ++i) {
            names.push_back(sound->win_sound_container_name);
            sound = sound->next_ptr;
        }
        return names;
    }

    LogCapture log;
    TempDir dir;
    win_entity camera = {};
};

const win_vect3 origin = {0.0f, 0.0f, 0.0f};

}  // namespace

TEST_F(Sound, StartsTwoDAndThreeDOutputsAndEndsThem)
{
    start(0);
    EXPECT_EQ(sound_module.sound_2d_channel_count, 4);
    EXPECT_NE(sound_get_digital_driver(), nullptr);
    EXPECT_TRUE(log.contains("Number of regular sound channels available: 4."));
    EXPECT_EQ(sound_term(), 1);
    EXPECT_EQ(sound_get_digital_driver(), nullptr);
    EXPECT_EQ(sound_module.sound_2d_sample_table[0], nullptr);

    log.clear();
    start(1);
    EXPECT_EQ(sound_module.sound_3d_channel_count, 4);
    EXPECT_NE(sound_module.sound_3d_listener, nullptr);
    std::vector<std::string> notices = log.notices();
    ASSERT_GE(notices.size(), 6u);
    EXPECT_EQ(notices[1], "Enumerating 3D providers.");
    EXPECT_EQ(notices[2].rfind("3d Sound Provider #0: ", 0), 0u);
    EXPECT_EQ(notices[3], "Number of 3D sound Providers available: 1.");
    EXPECT_EQ(notices[4], "Opened 3d provider 0.");
    EXPECT_EQ(notices[5], "Number of 3d channels available: 4.");
    EXPECT_EQ(sound_term(), 1);
    EXPECT_EQ(sound_module.sound_3d_provider, nullptr);
    EXPECT_TRUE(log.errors().empty());
}

// No output (a machine without a sound device), in 2D and 3D mode: one
// error line and one line on the terminal say why the game is silent,
// and the session goes on as with sound off: nothing loads, every play
// succeeds without a line, and what the start opened is closed.
TEST_F(Sound, WithoutAnOutputTheGameGoesOnAsWithSoundOff)
{
    for (int32_t enable_3d : {0, 1}) {
        SCOPED_TRACE(enable_3d);
        test_reset_state();
        ail_test_set_output(AIL_TEST_OUTPUT_NONE);
        sound_set_enabled();
        sound_module.enable_3d = enable_3d;
        log.clear();
        testing::internal::CaptureStderr();
        EXPECT_EQ(sound_init(), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "varnock: the game plays without sound: couldn't open a digital output device "
                  "(no audio output device could be opened)\n");
        EXPECT_EQ(log.errors(), std::vector<std::string>{
                                    "Couldn't open a digital output device (no audio output "
                                    "device could be opened): the game plays without sound."});
        EXPECT_EQ(sound_is_enabled(), 0);
        EXPECT_EQ(sound_get_digital_driver(), nullptr) << "the output is closed";
        EXPECT_EQ(sound_module.sound_3d_provider, nullptr);

        log.clear();
        EXPECT_EQ(load("step.wav", pcm_wav()), nullptr) << "nothing loads";
        win_sound_container* stranger = malloc_win_sound_container("level_music.wav");
        EXPECT_EQ(sound_play(stranger, nullptr, nullptr, 1), 1);
        EXPECT_EQ(sound_set_volume(stranger, 100, 64), 1);
        EXPECT_EQ(sound_stop(stranger), 1);
        EXPECT_EQ(sound_term(), 1);
        free_win_sound_container(stranger);
        EXPECT_TRUE(log.errors().empty());
    }
    // An output that opens again later is used (the sound library was shut).
    test_reset_state();
    ail_test_set_output(AIL_TEST_OUTPUT_LOOPBACK);
    ail_test_set_channel_count(4);
    sound_set_enabled();
    start(0);
    EXPECT_EQ(sound_is_enabled(), 1);
}

TEST_F(Sound, WhileDisabledNothingLoadsAndEveryCallSucceeds)
{
    sound_set_disabled();
    EXPECT_EQ(sound_init(), 1);
    EXPECT_EQ(load("step.wav", pcm_wav()), nullptr);
    win_sound_container* stranger = malloc_win_sound_container("x.wav");
    EXPECT_EQ(sound_play(stranger, nullptr, nullptr, 1), 1);
    EXPECT_EQ(sound_set_volume(stranger, 500, 0), 1);
    EXPECT_EQ(sound_stop(stranger), 1);
    EXPECT_EQ(sound_unload(stranger), 1);
    EXPECT_EQ(sound_term(), 1);
    free_win_sound_container(stranger);
    EXPECT_EQ(log.notices(),
              (std::vector<std::string>{"sound_init aborted because sound is disabled.",
                                        "sound_stop called.",
                                        "sound_term aborted because sound is disabled."}));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Sound, LoadsEachKindOfFileIntoTheList)
{
    start(0);
    std::vector<int16_t> tone = sound_tone(RATE / 10, 1, RATE, 441.0, 0.5);
    std::string mp3 = ail_test_mp3_bytes(tone.data(), RATE / 10, 1, RATE);
    ASSERT_FALSE(mp3.empty());
    win_sound_container* pcm = load("Step.wav", pcm_wav(), 1);
    win_sound_container* adpcm = load("door.wav", sound_wav_ima_adpcm(tone, 1, RATE), 7);
    win_sound_container* compressed = load("theme.mp3", mp3);
    ASSERT_NE(pcm, nullptr);
    ASSERT_NE(adpcm, nullptr);
    ASSERT_NE(compressed, nullptr);
    // PCM plays from the file as read; the others from what they decompress to.
    EXPECT_EQ(pcm->win_sound_container_sample_data, (char*)pcm->win_sound_container_file_image + 4);
    EXPECT_EQ(adpcm->win_sound_container_file_image, nullptr);
    EXPECT_NE(adpcm->win_sound_container_sample_data, nullptr);
    EXPECT_EQ(compressed->win_sound_container_file_image, nullptr);
    EXPECT_EQ(pcm->win_sound_container_is_3d, 1);
    EXPECT_EQ(adpcm->win_sound_container_is_3d, 0) << "only 1 flags a 3D sound";
    EXPECT_EQ(compressed->win_sound_container_load_index, 2);
    EXPECT_EQ(list_names(), (std::vector<std::string>{"Step.wav", "door.wav", "theme.mp3"}));
    EXPECT_TRUE(log.contains("Attempting to sound_load door.wav."));

    // Two loads of one file are two sounds; find gives the first.
    win_sound_container* again = load("door.wav", sound_wav_ima_adpcm(tone, 1, RATE));
    EXPECT_NE(again, adpcm);
    EXPECT_EQ(sound_find("door.wav"), adpcm);
    EXPECT_EQ(sound_find("Door.wav"), nullptr);
    EXPECT_EQ(sound_find(nullptr), nullptr);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Sound, AFileThatCannotBeLoadedLeavesTheListAsItWas)
{
    start(0);
    ASSERT_NE(load("step.wav", pcm_wav()), nullptr);
    std::string long_name(120, 'x');
    struct {
        const char* what;
        const char* name;
        std::string bytes;  // written when not empty
        const char* directory;
        std::string error;
    } cases[] = {
        {"unknown type", "notes.wav", "just some text", dir.path().c_str(),
         "unable to load " + dir.path() + "\\notes.wav."},
        {"missing file", "gone.wav", "", dir.path().c_str(),
         "unable to load " + dir.path() + "\\gone.wav."},
        {"damaged MP3", "broken.mp3", "ID3 and nothing else", dir.path().c_str(),
         "unable to load " + dir.path() + "\\broken.mp3."},
        {"no directory", "step.wav", "", nullptr, "unable to load step.wav."},
        {"path too long", long_name.c_str(), "", dir.path().c_str(),
         "unable to load " + dir.path() + "\\" + long_name + "."},
        {"no name", nullptr, "", dir.path().c_str(), "unable to load (null)."},
    };
    for (const auto& c : cases) {
        log.clear();
        if (!c.bytes.empty())
            dir.write(c.name, c.bytes);
        EXPECT_EQ(sound_load(c.name, 0, c.directory), nullptr) << c.what;
        ASSERT_FALSE(log.errors().empty()) << c.what;
        EXPECT_EQ(log.errors()[0], c.error) << c.what;
        EXPECT_EQ(list_names(), std::vector<std::string>{"step.wav"}) << c.what;
    }
    // A failure of the library comes with the library's reason.
    log.clear();
    sound_load("notes.wav", 0, dir.path().c_str());
    EXPECT_EQ(log.errors().back(), "AIL_last_error returned: the data is no wave file and no MP3.");
}

TEST_F(Sound, PcmAndAdpcmSoundsPlayToTheirEndAndFreeTheirChannel)
{
    start(0);
    std::vector<int16_t> tone = sound_tone(RATE / 10, 1, RATE, 441.0, 0.5);
    win_sound_container* sounds[] = {load("step.wav", pcm_wav()),
                                     load("door.wav", sound_wav_ima_adpcm(tone, 1, RATE))};
    for (win_sound_container* sound : sounds) {
        ASSERT_NE(sound, nullptr);
        ASSERT_EQ(sound_play(sound, nullptr, nullptr, 1), 1);
        int32_t channel = sound->win_sound_container_channel;
        EXPECT_EQ(channel, 0);
        EXPECT_TRUE(playing(channel));
        channel_energy energy = heard();
        EXPECT_GT(energy.total(), 0.06) << sound->win_sound_container_name;
        EXPECT_NEAR(energy.left, energy.right, energy.total() / 20) << "pan 63 is the middle";
        render_sound(RATE);
        EXPECT_FALSE(playing(channel)) << sound->win_sound_container_name;
        EXPECT_EQ(heard().total(), 0.0);
    }
    // A loop count plays the sound that many times.
    ASSERT_EQ(sound_play(sounds[0], nullptr, nullptr, 3), 1);
    render_sound(3 * RATE / 10 - 200);
    EXPECT_TRUE(playing(0));
    render_sound(400);
    EXPECT_FALSE(playing(0));
}

TEST_F(Sound, ABusySoundTakesAnotherChannelAndMusicTakesTheLast)
{
    start(0);
    win_sound_container* loop = load("wind.wav", pcm_wav());
    win_sound_container* step = load("step.wav", pcm_wav());
    win_sound_container* music = load("level_music.WAV", pcm_wav());
    ASSERT_EQ(sound_play(loop, nullptr, nullptr, 0), 1);
    EXPECT_EQ(loop->win_sound_container_channel, 0);
    // Busy on its own channel: it plays on the next free one as well.
    ASSERT_EQ(sound_play(loop, nullptr, nullptr, 0), 1);
    EXPECT_EQ(loop->win_sound_container_channel, 1);
    EXPECT_TRUE(playing(0));
    EXPECT_TRUE(log.contains("playing sound wind.wav on channel 1."));

    ASSERT_EQ(sound_play(loop, nullptr, nullptr, 0), 1);
    EXPECT_EQ(loop->win_sound_container_channel, 2);
    // The music's first play takes channel 3, the last; then all are busy.
    ASSERT_EQ(sound_play(music, nullptr, nullptr, 0), 1);
    EXPECT_EQ(music->win_sound_container_channel, 3);
    log.clear();
    EXPECT_EQ(sound_play(step, nullptr, nullptr, 1), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"No regular sample channels available. "});
    EXPECT_EQ(step->win_sound_container_channel, -1);

    // Music takes the last channel even from another sound.
    sound_stop(music);
    ASSERT_EQ(sound_play(step, nullptr, nullptr, 0), 1);
    EXPECT_EQ(step->win_sound_container_channel, 3);
    win_sound_container* more = load("boss_music.mp3", pcm_wav());
    ASSERT_EQ(sound_play(more, nullptr, nullptr, 0), 1);
    EXPECT_EQ(more->win_sound_container_channel, 3);

    // A name of exactly "music.wav" is no music: it finds no free channel.
    win_sound_container* plain = load("music.wav", pcm_wav());
    EXPECT_EQ(sound_play(plain, nullptr, nullptr, 1), 0);
    EXPECT_EQ(plain->win_sound_container_channel, -1);
}

TEST_F(Sound, StoppingOrUnloadingASoundLeavesOtherSoundsOnItsOldChannelAlone)
{
    start(0);
    win_sound_container* a = load("a.wav", pcm_wav());
    win_sound_container* b = load("b.wav", pcm_wav());
    ASSERT_EQ(sound_play(a, nullptr, nullptr, 1), 1);
    render_sound(RATE);  // a is over; its channel 0 is free again
    ASSERT_EQ(sound_play(b, nullptr, nullptr, 0), 1);
    ASSERT_EQ(b->win_sound_container_channel, 0);
    EXPECT_EQ(sound_stop(a), 1);
    EXPECT_TRUE(playing(0)) << "a's old channel plays b now";
    // Setting a's volume gives a a channel of its own again.
    EXPECT_EQ(sound_set_volume(a, 100, 63), 1);
    EXPECT_EQ(a->win_sound_container_channel, 1);
    EXPECT_TRUE(log.contains("Setting sound a.wav to channel 1."));
    EXPECT_FALSE(playing(1)) << "attached, not started";
    EXPECT_EQ(sound_unload(a), 1);
    EXPECT_TRUE(playing(0));
    EXPECT_GT(heard().total(), 0.06);

    // A sound on two channels is stopped on both before its data goes.
    ASSERT_EQ(sound_play(b, nullptr, nullptr, 0), 1);
    ASSERT_EQ(b->win_sound_container_channel, 1);
    EXPECT_EQ(sound_unload(b), 1);
    EXPECT_FALSE(playing(0));
    EXPECT_FALSE(playing(1));
    EXPECT_EQ(heard().total(), 0.0);
    EXPECT_TRUE(log.errors().empty());

    // What is no longer loaded is refused, not followed.
    EXPECT_EQ(sound_play(b, nullptr, nullptr, 1), 0);
    EXPECT_EQ(sound_stop(b), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Unable to sound_play - sound_container is not a loaded sound.",
                                "Unable to sound_stop - sound_container is not a loaded sound."}));
}

TEST_F(Sound, TwoDVolumeFadesWithDistance)
{
    start(0);
    camera_at({100.0f, 50.0f, -30.0f});
    win_sound_container* sound = load("growl.wav", pcm_wav(RATE), 1);
    win_sound_container* flat = load("click.wav", pcm_wav(RATE));
    auto play_at = [&](win_sound_container* which, float dx, float dz) {
        win_vect3 position = {100.0f + dx * UNITS_PER_METRE, 50.0f, -30.0f + dz * UNITS_PER_METRE};
        EXPECT_EQ(sound_play(which, &position, nullptr, 1), 1);
        render_sound(200);
        channel_energy energy = heard();
        sound_stop(which);
        return energy;
    };
    // Straight ahead, so the pan stays in the middle.
    channel_energy full = play_at(sound, 0.0f, 10.0f);
    EXPECT_GT(full.total(), 0.06);
    EXPECT_NEAR(full.left, full.right, full.total() / 20);
    // At 100 metres volume 66 of 127; from 199 metres on, silence.
    EXPECT_NEAR(play_at(sound, 0.0f, 100.0f).total() / full.total(), (66.0 / 127) * (66.0 / 127),
                0.01);
    EXPECT_EQ(play_at(sound, 0.0f, 199.0f).total(), 0.0);
    EXPECT_EQ(play_at(sound, 0.0f, 199.5f).total(), 0.0);
    // A sound not flagged 3D, or without a position, plays at full volume.
    EXPECT_NEAR(play_at(flat, 0.0f, 150.0f).total(), full.total(), full.total() / 50);
    EXPECT_EQ(sound_play(sound, nullptr, nullptr, 1), 1);
    EXPECT_NEAR(heard().total(), full.total(), full.total() / 50);
    sound_stop(sound);
    // Without a camera a positioned sound plays at the listener too.
    game_globals.current_camera = nullptr;
    EXPECT_NEAR(play_at(sound, 0.0f, 150.0f).total(), full.total(), full.total() / 50);
}

// The pan follows the world's x alone, whichever way the camera looks: a
// source at a lower x than the listener's sounds from the right.
TEST_F(Sound, TwoDPanFollowsTheWorldsX)
{
    start(0);
    win_sound_container* sound = load("growl.wav", pcm_wav(RATE), 1);
    struct {
        float listener_x, source_x;  // metres
        const char* louder;
    } cases[] = {{150.0f, 0.0f, "right"}, {0.0f, 150.0f, "left"}};
    for (const auto& c : cases) {
        camera_at({c.listener_x * UNITS_PER_METRE, 0.0f, 0.0f});
        win_vect3 position = {c.source_x * UNITS_PER_METRE, 0.0f, 0.0f};
        ASSERT_EQ(sound_play(sound, &position, nullptr, 1), 1);
        render_sound(200);
        channel_energy energy = heard();
        sound_stop(sound);
        double near = c.louder[0] == 'r' ? energy.right : energy.left;
        double far = c.louder[0] == 'r' ? energy.left : energy.right;
        EXPECT_GT(near, 2 * far) << c.louder;
    }
}

TEST_F(Sound, VolumeAndPanAreCheckedBeforeTheSound)
{
    start(0);
    struct {
        int32_t volume, pan;
        const char* error;
    } cases[] = {
        {128, 0, "requested volume 128 invalid - value must be between 0 and 127 inclusive."},
        {-1, 0, "requested volume -1 invalid - value must be between 0 and 127 inclusive."},
        {0, 128, "requested extra_info 128 invalid - value must be between 0 and 127 inclusive."},
        {0, 0, "Unable to sound_set_volume - sound_container is NULL."},
    };
    for (const auto& c : cases) {
        log.clear();
        EXPECT_EQ(sound_set_volume(nullptr, c.volume, c.pan), 0);
        EXPECT_EQ(log.errors(), std::vector<std::string>{c.error});
    }
}

TEST_F(Sound, ThreeDSoundsAreHeardFromTheCamera)
{
    start(1);
    // The camera at the origin looks along the world's z: x is to its right.
    camera_at(origin, {0.0f, 0.0f, 1.0f});
    win_sound_container* sound = load("growl.wav", pcm_wav(RATE), 1);
    auto heard_from = [&](float x, float z) {
        win_vect3 position = {x * UNITS_PER_METRE, 0.0f, z * UNITS_PER_METRE};
        EXPECT_EQ(sound_play(sound, &position, nullptr, 1), 1);
        render_sound(200);
        channel_energy energy = heard();
        sound_stop(sound);
        return energy;
    };
    channel_energy right = heard_from(5.0f, 0.0f);
    EXPECT_GT(right.right, 3 * right.left);
    channel_energy left = heard_from(-5.0f, 0.0f);
    EXPECT_GT(left.left, 3 * left.right);
    channel_energy ahead = heard_from(0.0f, 5.0f);
    EXPECT_NEAR(ahead.left, ahead.right, ahead.total() / 20);
    EXPECT_NEAR(heard_from(0.0f, 105.0f).total() / ahead.total(), 0.25, 0.03);

    // The 3D volume stays for the next play.
    EXPECT_EQ(sound_set_volume(sound, 0, 0), 1);
    EXPECT_EQ(heard_from(0.0f, 5.0f).total(), 0.0);

    // With every 3D channel busy a play fails, after its line.
    win_vect3 ahead_point = {0.0f, 0.0f, 5.0f * UNITS_PER_METRE};
    for (int32_t channel = 0; channel < 4; ++channel)
        ASSERT_EQ(sound_play(sound, &ahead_point, nullptr, 0), 1);
    log.clear();
    EXPECT_EQ(sound_play(sound, &ahead_point, nullptr, 0), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"No 3d sample channels available. "});
    sound_stop(sound);

    struct {
        const win_vect3 *sound_position, *listener_position, *facing, *velocity;
        const char* error;
    } cases[] = {
        {nullptr, &origin, &origin, &origin,
         "Cannot sound_set_sample_values with NULL sound_position."},
        {&origin, nullptr, &origin, &origin,
         "Cannot sound_set_sample_values with NULL listener_position."},
        {&origin, &origin, &origin, nullptr,
         "Cannot sound_set_sample_values with NULL sound_velocity."},
        {&origin, &origin, nullptr, &origin, "Cannot sound_set_sample_values with NULL facing."},
    };
    for (const auto& c : cases) {
        log.clear();
        EXPECT_EQ(
            sound_set_sample_values(0, c.sound_position, c.listener_position, c.facing, c.velocity),
            0);
        EXPECT_EQ(log.errors(), std::vector<std::string>{c.error});
    }
    // A facing without direction looks ahead, without a message.
    log.clear();
    EXPECT_EQ(sound_set_sample_values(0, &origin, &origin, &origin, &origin), 1);
    EXPECT_TRUE(log.errors().empty());
}

// A 3D sound that comes toward the camera sounds higher than one that
// stands still.
TEST_F(Sound, AThreeDSoundComingCloserSoundsHigher)
{
    start(1);
    camera_at(origin, {0.0f, 0.0f, 1.0f});
    win_sound_container* sound = load("growl.wav", pcm_wav(RATE), 1);
    // Upward zero crossings of the left channel over a fifth of a second.
    auto crossings_at_speed = [&](float metres_per_second) {
        const win_vect3 position = {0.0f, 0.0f, 20.0f * UNITS_PER_METRE};
        // The sound library takes a thousandth of the velocity, in metres.
        const win_vect3 velocity = {0.0f, 0.0f, -metres_per_second * UNITS_PER_METRE * 1000.0f};
        EXPECT_EQ(sound_play(sound, &position, &velocity, 1), 1);
        const std::vector<float> mix = render_sound(RATE / 5);
        sound_stop(sound);
        int crossings = 0;
        for (size_t i = 2; i < mix.size(); i += 2)
            crossings += mix[i - 2] < 0.0f && mix[i] >= 0.0f;
        return crossings;
    };
    const int still = crossings_at_speed(0.0f);
    EXPECT_NEAR(still, 441 / 5, 3);
    // At 100 metres a second toward the listener, about 343 / 243 times higher.
    EXPECT_NEAR(crossings_at_speed(100.0f), 441 / 5 * 343 / 243, 6);
}

TEST_F(Sound, StopAllAndUnloadAllSpareTheMusicUnlessAllIsAsked)
{
    start(0);
    win_sound_container* step = load("step.wav", pcm_wav());
    win_sound_container* music = load("level_music.mp3", pcm_wav());
    load("door.wav", pcm_wav());
    sound_play(step, nullptr, nullptr, 0);
    sound_play(music, nullptr, nullptr, 0);
    EXPECT_EQ(sound_stop_all(0), 1);
    EXPECT_FALSE(playing(0));
    EXPECT_TRUE(playing(3));
    EXPECT_EQ(sound_unload_all(0), 1);
    EXPECT_EQ(list_names(), std::vector<std::string>{"level_music.mp3"});
    EXPECT_EQ(sound_module.sound_container_list_size, 1);
    EXPECT_TRUE(playing(3));

    EXPECT_EQ(sound_stop_all(1), 1);
    EXPECT_FALSE(playing(3));
    EXPECT_EQ(sound_unload_all(1), 1);
    EXPECT_EQ(sound_module.sound_container_list, nullptr);
    EXPECT_EQ(sound_module.sound_container_list_size, 0);
    EXPECT_TRUE(log.errors().empty());
}

namespace {

// Registrations outlive the test: the function listens only during it.
bool listening = false;
std::vector<const win_sound_container*> forgotten;
void remember_forgotten(const win_sound_container* sound)
{
    if (listening)
        forgotten.push_back(sound);
}

}  // namespace

TEST_F(Sound, HoldersOfSoundPointersAreToldBeforeASoundGoes)
{
    start(0);
    forgotten.clear();
    listening = true;
    ASSERT_EQ(sound_add_forget_funct(remember_forgotten), 1);
    ASSERT_EQ(sound_add_forget_funct(remember_forgotten), 1) << "registered once";
    win_sound_container* step = load("step.wav", pcm_wav());
    win_sound_container* door = load("door.wav", pcm_wav());
    sound_unload(step);
    EXPECT_EQ(forgotten, std::vector<const win_sound_container*>{step});
    sound_unload_all(1);
    EXPECT_EQ(forgotten, (std::vector<const win_sound_container*>{step, door}));
    listening = false;
    EXPECT_EQ(sound_add_forget_funct(nullptr), 0);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"Cannot sound_add_forget_funct with NULL forget."});
}
